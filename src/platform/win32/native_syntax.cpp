#include "platform/path_syntax.h"

namespace kel {

// "\" and ":" delimit; drives and \\server\share.
PathSyntax PathSyntax::Native() { return PathSyntax{PathStyle::kWindows, SystemCodePage()}; }

}  // namespace kel
