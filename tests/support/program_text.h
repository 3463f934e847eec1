// The program's own texts and names as the tests compare with them: the tests' literals are
// UTF-8, the program's are in the system code page (UTF-8 on Linux, code page 932 on the
// Japanese Windows the tests run as).
#pragma once

#include <string>

namespace kel::test {

// The tests' UTF-8 literal as the program has it.
std::string ProgramText(const std::string& utf8);

// The encoding the program stores names of bytes 0x80 and above in: "utf-8" or "cp932" (for
// ExpectArchiveReadable).
std::string ProgramNameEncoding();

}  // namespace kel::test
