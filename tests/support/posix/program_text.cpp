#include "support/program_text.h"

namespace kel::test {

std::string ProgramText(const std::string& utf8) { return utf8; }
std::string ProgramNameEncoding() { return "utf-8"; }

}  // namespace kel::test
