// The toolkit's own window behind a windowed control, as shared code sees it: an opaque
// pointer. The Qt backend stores a QWidget* in it and the Win32 backend an HWND; only the
// backend looks inside.
#pragma once

namespace kel {

struct NativeWindowObject;
using NativeWindow = NativeWindowObject*;

}  // namespace kel
