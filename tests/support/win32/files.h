// Files made and read by their wide (UTF-16) names, whatever the program's code page, for the
// Windows tests; and the conversions those tests compare with.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/code_page.h"
#include "platform/win32/wide_text.h"
#include "support/program_text.h"

namespace kel::test {

// UTF-8 text (the tests' literals) as UTF-16.
inline std::wstring Wide(const std::string& utf8) {
  return win32::WideFromBytes(utf8, CP_UTF8).value_or(L"?");
}

// UTF-16 text in the ANSI code page, exactly; "?" when it has no form there.
inline std::string Ansi(const std::wstring& wide) {
  return win32::BytesFromWide(wide, GetACP()).value_or("?");
}


inline void WriteWide(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << Ansi(path);
}

inline std::string ReadWide(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << Ansi(path);
    return {};
  }
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Chooses UTF-8 as the program's code page for one test and gives the ANSI code page back.
class ScopedUtf8Text {
 public:
  ScopedUtf8Text() { ChooseTextCodePage(TextChoice::kUtf8); }
  ~ScopedUtf8Text() { ChooseTextCodePage(TextChoice::kSystem); }
  ScopedUtf8Text(const ScopedUtf8Text&) = delete;
  ScopedUtf8Text& operator=(const ScopedUtf8Text&) = delete;
};

}  // namespace kel::test
