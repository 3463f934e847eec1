#include "platform/path_syntax.h"

namespace kel {

// "/" alone separates; ":" and "\" are ordinary characters of a name.
PathSyntax PathSyntax::Native() { return PathSyntax{PathStyle::kNative, SystemCodePage()}; }

}  // namespace kel
