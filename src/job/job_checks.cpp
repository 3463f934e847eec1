#include "job/job_checks.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "job/job_errors.h"
#include "job/name_text.h"
#include "platform/directory_lookup.h"
#include "platform/file_identity.h"
#include "platform/file_info.h"

namespace kel {

void CheckArchivePathsDistinct(const JobState& state) {
  const TStringList& paths = *state.ArchivePaths;
  std::unordered_map<std::string, std::size_t> first_use;
  first_use.reserve(paths.Count());
  for (std::size_t i = 0; i < paths.Count(); ++i) {
    auto [it, inserted] = first_use.emplace(paths[i], i);
    if (!inserted)
      throw ENameClash((*state.SourceFiles)[it->second], (*state.SourceFiles)[i], paths[i]);
  }
}

void CheckFileNames(const TStringList& sources, const PathSyntax& syntax) {
  for (const std::string& source : sources.Items())
    if (HasControlCharacters(syntax.ExtractFileName(source))) throw EBadFileName(source);
}

namespace {

// Names compared as a case-insensitive file system would (Windows finds 0000DOCX.ZIP when asked
// for 0000docx.zip); on a case-sensitive one this only looks up a few names more.
std::string AsciiFolded(std::string name) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}

// ExpandFileName of a path's folder, with the current directory looked up once for all paths.
// The file name stays as the listing gave it: Windows would take a trailing dot or space off a
// name it expands, and "a.txt." would pass for "a.txt".
class PathExpander {
 public:
  PathExpander() : current_dir_(ExpandFileName("./")) {}
  std::string operator()(const std::string& path) const {
    const std::string folder = syntax_.ExtractFilePath(path);
    const std::string name = syntax_.ExtractFileName(path);
    // A bare drive ("C:name") is left to the system whole.
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
      return ExpandFileName(path);
    if (folder.empty()) return current_dir_ + name;
    if (!IsRelativePath(folder)) return ExpandFileName(folder) + name;
    return ExpandFileName(current_dir_ + folder) + name;
  }

 private:
  PathSyntax syntax_ = PathSyntax::Native();
  std::string current_dir_;
};

}  // namespace

void CheckSourcesUntouched(const TStringList& sources, const std::vector<std::string>& targets) {
  const PathExpander expand;
  std::unordered_map<std::string, std::size_t> by_path;
  by_path.reserve(sources.Count());
  for (std::size_t i = 0; i < sources.Count(); ++i) by_path.emplace(expand(sources[i]), i);
  // Only targets that exist can be a source under another name; in a fresh output folder none
  // does, and the sources need not be looked up at all.
  // One listing per output folder says which targets exist at all; only those are looked up.
  const PathSyntax syntax = PathSyntax::Native();
  std::unordered_map<std::string, std::unordered_set<std::string>> present;
  for (const std::string& target : targets) {
    const std::string folder = syntax.ExtractFilePath(target);
    if (present.count(folder) != 0) continue;
    std::unordered_set<std::string>& names = present[folder];
    DirectoryLookup lookup;
    FindRecord record;
    for (bool found = lookup.FindFirst(folder + "*", record); found;
         found = lookup.FindNext(record))
      names.insert(AsciiFolded(record.long_name));
  }
  std::vector<std::optional<FileIdentity>> target_ids;
  target_ids.reserve(targets.size());
  bool any_exists = false;
  for (const std::string& target : targets) {
    const bool listed = present[syntax.ExtractFilePath(target)].count(
                            AsciiFolded(syntax.ExtractFileName(target))) != 0;
    target_ids.push_back(listed ? QueryFileIdentity(target) : std::nullopt);
    any_exists = any_exists || target_ids.back().has_value();
  }
  std::unordered_map<FileIdentity, std::size_t, FileIdentityHash> by_identity;
  if (any_exists) {
    for (std::size_t i = 0; i < sources.Count(); ++i)
      if (auto id = QueryFileIdentity(sources[i])) by_identity.emplace(*id, i);
  }
  for (std::size_t t = 0; t < targets.size(); ++t) {
    const std::string& target = targets[t];
    auto same_path = by_path.find(expand(target));
    if (same_path != by_path.end()) throw ESourceOverwrite(sources[same_path->second], target);
    if (!target_ids[t]) continue;
    auto same_file = by_identity.find(*target_ids[t]);
    if (same_file != by_identity.end()) throw ESourceOverwrite(sources[same_file->second], target);
  }
}

}  // namespace kel
