// The job without a window: the start action and the pass of the window's handlers, driven
// once for two folders given on the command line.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/path_syntax.h"

namespace kel {

// `path` as the folder buttons put a chosen folder into a field: with a separator appended
// unless its last whole character already is one (a Shift-JIS trail byte 0x5C is not).
std::string FolderFieldText(const std::string& path, const PathSyntax& syntax);

// Archives every file of the folder `source` into the folder `output`, through the same
// BatchJob the window uses: each status text on a line of its own on `out` (the completion
// text last), a failure as the error display's text on `err`. Both folders must exist.
// Returns the exit status: 0 done, 1 failed.
int RunBatch(const std::string& source, const std::string& output, std::ostream& out,
             std::ostream& err);

}  // namespace kel
