// Path syntax in one place. The POSIX syntax (kNative): separator "/", no drives, ":" is an
// ordinary character. The Windows syntax ("\" and ":" as delimiters, drive letters,
// \\server\share) lives beside it so that both behave the same way; Native() gives the running
// system's own (posix/native_syntax.cpp, win32/native_syntax.cpp).
// Every function is code-page aware: a trail byte of a double-byte character is never a
// delimiter.
#pragma once

#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace kel {

enum class PathStyle { kNative, kWindows };

struct PathSyntax {
  PathStyle style = PathStyle::kNative;
  CodePage code_page = CodePage::kUtf8;

  static PathSyntax Native();              // the system's style, the system code page
  static PathSyntax Windows(CodePage cp);  // Windows style in any code page (tests)

  char Separator() const;                        // '/' or '\'
  std::string_view PathDelimiters() const;       // "/" or "\:"
  std::string_view ExtensionDelimiters() const;  // "./" or ".\:"

  // Everything after the last path delimiter; the whole path when there is none.
  std::string ExtractFileName(std::string_view path) const;
  // Everything up to and including the last path delimiter; empty when there is none.
  std::string ExtractFilePath(std::string_view path) const;
  // From the last "." to the end when the last extension delimiter of the path is a "."; else
  // empty.
  std::string ExtractFileExt(std::string_view path) const;
  // The file name without its extension.
  std::string ExtractBaseName(std::string_view file_name) const;
  // Drive part: "C:" or "\\server\share" in Windows style; always empty in native style.
  std::string ExtractFileDrive(std::string_view path) const;
  // True when the last whole character of `path` is the separator (rule A).
  bool EndsWithSeparator(std::string_view path) const;
  // `path` with one separator appended unless it already ends in one. An empty path stays
  // empty.
  std::string IncludeTrailingSeparator(std::string_view path) const;
  // The path of `file` relative to the directory part of `base` (".." steps where needed);
  // `file` unchanged when the drives differ. Folder names compare case-insensitively in Windows
  // style and exactly in native style.
  std::string ExtractRelativePath(std::string_view base, std::string_view file) const;
};

}  // namespace kel
