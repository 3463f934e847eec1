#include "platform/win32/wide_text.h"

#include <climits>
#include <cstdio>
#include <vector>

#include "platform/code_page.h"

namespace kel::win32 {

namespace {

bool FitsInt(std::size_t size) { return size <= static_cast<std::size_t>(INT_MAX); }

}  // namespace

UINT TextCodePage() noexcept { return SystemCodePage() == CodePage::kUtf8 ? CP_UTF8 : GetACP(); }

std::optional<std::wstring> WideFromBytes(std::string_view bytes, UINT code_page) {
  if (bytes.empty()) return std::wstring();
  if (!FitsInt(bytes.size())) return std::nullopt;
  const int length = static_cast<int>(bytes.size());
  const int needed =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(),
                          needed) != needed)
    return std::nullopt;
  return wide;
}

std::optional<std::string> BytesFromWide(std::wstring_view wide, UINT code_page) {
  if (wide.empty()) return std::string();
  if (!FitsInt(wide.size())) return std::nullopt;
  const int length = static_cast<int>(wide.size());
  // UTF-8 takes neither flag nor default character; the other code pages report a character
  // without a form and never put a look-alike in its place.
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* used = utf8 ? nullptr : &used_default;
  const int needed =
      WideCharToMultiByte(code_page, flags, wide.data(), length, nullptr, 0, nullptr, used);
  if (needed <= 0 || used_default) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(code_page, flags, wide.data(), length, bytes.data(), needed, nullptr,
                          used) != needed ||
      used_default)
    return std::nullopt;
  // The way back must give the very same characters: no system is trusted to report every loss.
  const std::optional<std::wstring> back = WideFromBytes(bytes, code_page);
  if (!back || *back != wide) return std::nullopt;
  return bytes;
}

std::optional<std::wstring> WideFromText(std::string_view text) {
  return WideFromBytes(text, TextCodePage());
}

std::optional<std::string> TextFromWide(std::wstring_view wide) {
  return BytesFromWide(wide, TextCodePage());
}

std::string DescribeWide(std::wstring_view wide) {
  const UINT code_page = TextCodePage();
  std::string text;
  for (std::size_t at = 0; at < wide.size();) {
    // One character: a surrogate pair, or one unit.
    std::size_t units = 1;
    if (IS_HIGH_SURROGATE(wide[at]) && at + 1 < wide.size() && IS_LOW_SURROGATE(wide[at + 1]))
      units = 2;
    const std::wstring_view character = wide.substr(at, units);
    if (const auto bytes = BytesFromWide(character, code_page)) {
      text += *bytes;
    } else {
      const unsigned long code =
          units == 2 ? 0x10000ul + ((static_cast<unsigned long>(character[0]) - 0xD800) << 10) +
                           (static_cast<unsigned long>(character[1]) - 0xDC00)
                     : static_cast<unsigned long>(character[0]);
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, "<U+%04lX>", code);
      text += escaped;
    }
    at += units;
  }
  return text;
}

namespace {

constexpr std::wstring_view kVerbatimPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A plain full path as the system gives it (a current folder), or nothing.
std::optional<std::wstring> SystemFullPath(const wchar_t* path) {
  const DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path, needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::nullopt;
  full.resize(length);
  return full;
}

std::optional<std::wstring> CurrentFolder() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring folder(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, folder.data());
  if (length == 0 || length >= needed) return std::nullopt;
  folder.resize(length);
  return folder;
}

// Where the names of `path` start after the "\\server\share" of a share path.
std::size_t ShareEnd(std::wstring_view path) {
  std::size_t at = 2;
  for (int part = 0; part < 2; ++part) {
    while (at < path.size() && !IsSeparator(path[at])) ++at;
    if (part == 0 && at < path.size()) ++at;
  }
  return at;
}

// `root` (a "\\?\" prefix with its drive or share) and the names of `rest`, "." and ".." folded
// by their text, every other name as it is.
std::wstring JoinVerbatim(std::wstring root, std::wstring_view rest) {
  std::vector<std::wstring_view> names;
  while (!rest.empty()) {
    std::size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::wstring_view name = rest.substr(0, end);
    rest.remove_prefix(end < rest.size() ? end + 1 : end);
    if (name.empty() || name == L".") continue;
    if (name == L"..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    names.push_back(name);
  }
  root += L'\\';
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) root += L'\\';
    root += names[i];
  }
  return root;
}

// A full plain path of the system's (a current folder) without a "\\?\" prefix it may carry.
std::wstring PlainForm(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (path.starts_with(kVerbatimPrefix)) return path.substr(4);
  return path;
}

}  // namespace

std::wstring ExtendedPath(std::wstring_view path) {
  // An empty path names nothing, not the current folder.
  if (path.empty() || path.starts_with(kVerbatimPrefix) || path.starts_with(kDevicePrefix))
    return std::wstring(path);
  const bool drive = path.size() >= 2 && path[1] == L':';
  if (drive && path.size() >= 3 && IsSeparator(path[2]))
    return JoinVerbatim(L"\\\\?\\" + std::wstring(path.substr(0, 2)), path.substr(3));
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    const std::size_t end = ShareEnd(path);
    std::wstring share(path.substr(2, end - 2));
    for (wchar_t& c : share)
      if (c == L'/') c = L'\\';
    return JoinVerbatim(L"\\\\?\\UNC\\" + share, path.substr(end));
  }
  // Not full: only the folder it starts from comes from the system (the drive's current folder,
  // the current folder's root, or the current folder); the names after it stay as they are.
  std::optional<std::wstring> base;
  std::wstring_view rest = path;
  if (drive) {
    base = SystemFullPath(std::wstring(path.substr(0, 2)).c_str());
    rest = path.substr(2);
  } else if (!path.empty() && IsSeparator(path[0])) {
    base = SystemFullPath(L"\\");
  } else {
    base = CurrentFolder();
  }
  if (!base) return std::wstring(path);
  std::wstring full = PlainForm(std::move(*base));
  if (!full.empty() && !IsSeparator(full.back())) full += L'\\';
  full += rest;
  const bool rooted = (full.size() >= 3 && full[1] == L':' && IsSeparator(full[2])) ||
                      (full.size() >= 2 && IsSeparator(full[0]) && IsSeparator(full[1]));
  // A base that is not full itself would come back here without end.
  return rooted ? ExtendedPath(full) : std::wstring(path);
}

std::optional<std::wstring> SystemPath(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
  std::optional<std::wstring> wide = WideFromText(path);
  if (!wide) return std::nullopt;
  return ExtendedPath(*wide);
}

}  // namespace kel::win32
