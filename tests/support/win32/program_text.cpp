#include "support/program_text.h"

#include "platform/code_page.h"

namespace kel::test {

std::string ProgramText(const std::string& utf8) { return Utf8ToCp932(utf8).value_or("?"); }
std::string ProgramNameEncoding() { return "cp932"; }

}  // namespace kel::test
