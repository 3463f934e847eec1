// Runs a Windows program the way a script would (a new process, standard output and error
// captured) and gives back what it printed and its exit status.
#pragma once

#include <string>
#include <vector>

namespace kel::test {

struct ProgramRun {
  int status = -1;
  std::string out;  // the bytes as written (CR LF line ends, the program's code page)
  std::string err;
};

// `program` and `args` are UTF-16; each argument is quoted for the command line as the C
// runtime splits it.
ProgramRun RunProgram(const std::wstring& program, const std::vector<std::wstring>& args);

}  // namespace kel::test
