#include "platform/path_syntax.h"

#include <vector>

namespace kel {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// The folder names of a directory part: the pieces between separators, without the empty
// piece before a leading separator or after the final one.
std::vector<std::string_view> FolderNames(std::string_view dir, char separator, CodePage cp) {
  std::vector<std::string_view> names;
  std::size_t start = 0;
  for (std::size_t pos = 0; pos < dir.size();) {
    const std::size_t len = CharLengthAt(dir, pos, cp);
    if (len == 1 && dir[pos] == separator) {
      names.push_back(dir.substr(start, pos - start));
      start = pos + 1;
    }
    pos += len;
  }
  if (start < dir.size()) names.push_back(dir.substr(start));
  if (!names.empty() && names.front().empty() && !dir.empty() && dir.front() == separator)
    names.erase(names.begin());
  return names;
}

// The UNC drive "\\server\share": up to the separator that ends the share name.
std::string_view UncDrive(std::string_view path, CodePage cp) {
  int separators = 0;
  for (std::size_t pos = 2; pos < path.size();) {
    const std::size_t len = CharLengthAt(path, pos, cp);
    if (len == 1 && path[pos] == '\\' && ++separators == 2) return path.substr(0, pos);
    pos += len;
  }
  return path;
}

// A directory part without its drive; "\\server\" is shorter than its drive "\\server".
std::string WithoutDrive(const std::string& dir, std::size_t drive_size) {
  return dir.size() > drive_size ? dir.substr(drive_size) : std::string();
}

}  // namespace

PathSyntax PathSyntax::Windows(CodePage cp) { return PathSyntax{PathStyle::kWindows, cp}; }

char PathSyntax::Separator() const { return style == PathStyle::kWindows ? '\\' : '/'; }

std::string_view PathSyntax::PathDelimiters() const {
  return style == PathStyle::kWindows ? "\\:" : "/";
}

std::string_view PathSyntax::ExtensionDelimiters() const {
  return style == PathStyle::kWindows ? ".\\:" : "./";
}

std::string PathSyntax::ExtractFileName(std::string_view path) const {
  const std::size_t i = LastDelimiter(PathDelimiters(), path, code_page);
  return std::string(i == npos ? path : path.substr(i + 1));
}

std::string PathSyntax::ExtractFilePath(std::string_view path) const {
  const std::size_t i = LastDelimiter(PathDelimiters(), path, code_page);
  return i == npos ? std::string() : std::string(path.substr(0, i + 1));
}

std::string PathSyntax::ExtractFileExt(std::string_view path) const {
  const std::size_t i = LastDelimiter(ExtensionDelimiters(), path, code_page);
  return (i != npos && path[i] == '.') ? std::string(path.substr(i)) : std::string();
}

std::string PathSyntax::ExtractBaseName(std::string_view file_name) const {
  const std::size_t i = LastDelimiter(ExtensionDelimiters(), file_name, code_page);
  return std::string((i != npos && file_name[i] == '.') ? file_name.substr(0, i) : file_name);
}

std::string PathSyntax::ExtractFileDrive(std::string_view path) const {
  if (style != PathStyle::kWindows) return {};
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\')
    return std::string(UncDrive(path, code_page));
  return {};
}

bool PathSyntax::EndsWithSeparator(std::string_view path) const {
  const std::size_t last = LastCharStart(path, code_page);
  return last != npos && last + 1 == path.size() && path[last] == Separator();
}

std::string PathSyntax::IncludeTrailingSeparator(std::string_view path) const {
  std::string result(path);
  if (!result.empty() && !EndsWithSeparator(path)) result += Separator();
  return result;
}

std::string PathSyntax::ExtractRelativePath(std::string_view base, std::string_view file) const {
  if (style != PathStyle::kWindows && code_page != CodePage::kSystemDoubleByte) {
    // The usual case, a file below the base's folder: the rest of its path is the answer, as the
    // walk below would rebuild it. A '/' byte is always a separator in these code pages.
    const std::size_t base_end = LastDelimiter(PathDelimiters(), base, code_page);
    if (base_end != npos && file.size() > base_end + 1 &&
        file.compare(0, base_end + 1, base.substr(0, base_end + 1)) == 0)
      return std::string(file.substr(base_end + 1));
  }
  const std::string base_drive = ExtractFileDrive(base);
  const std::string file_drive = ExtractFileDrive(file);
  const bool windows = style == PathStyle::kWindows;
  auto same = [&](std::string_view a, std::string_view b) {
    return windows ? AnsiUpperCase(a, code_page) == AnsiUpperCase(b, code_page) : a == b;
  };
  if (!same(base_drive, file_drive)) return std::string(file);

  const std::string base_dir = WithoutDrive(ExtractFilePath(base), base_drive.size());
  const std::string file_dir = WithoutDrive(ExtractFilePath(file), file_drive.size());
  const auto base_names = FolderNames(base_dir, Separator(), code_page);
  const auto file_names = FolderNames(file_dir, Separator(), code_page);
  std::size_t common = 0;
  while (common < base_names.size() && common < file_names.size() &&
         same(base_names[common], file_names[common]))
    ++common;

  std::string result;
  for (std::size_t i = common; i < base_names.size(); ++i)
    result += std::string("..") + Separator();
  for (std::size_t i = common; i < file_names.size(); ++i)
    result += std::string(file_names[i]) + Separator();
  return result + ExtractFileName(file);
}

}  // namespace kel
