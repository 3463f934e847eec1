#include "job/job_checks.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "job/job_errors.h"
#include "platform/file_identity.h"
#include "platform/file_info.h"
#include "platform/output_folder.h"

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
  std::string operator()(const std::string& path) {
    const std::string folder = syntax_.ExtractFilePath(path);
    const std::string name = syntax_.ExtractFileName(path);
    // A bare drive ("C:name") is left to the system whole.
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
      return ExpandFileName(path);
    if (folder.empty()) return current_dir_ + name;
    // A pass's files share a few folders: each is expanded once.
    auto known = expanded_.find(folder);
    if (known == expanded_.end()) {
      const std::string expanded = IsRelativePath(folder) ? ExpandFileName(current_dir_ + folder)
                                                          : ExpandFileName(folder);
      known = expanded_.emplace(folder, expanded).first;
    }
    return known->second + name;
  }

 private:
  PathSyntax syntax_ = PathSyntax::Native();
  std::string current_dir_;
  std::unordered_map<std::string, std::string> expanded_;
};

}  // namespace

void CheckSourcesUntouched(const TStringList& sources, const OutputFolder& folder,
                           const std::vector<std::string>& target_names) {
  PathExpander expand;
  // Every target is in the output folder, so only a source there can have a target's path:
  // only those are kept for the comparison (none at all when the folders differ).
  const std::string probe = expand(folder.Path() + "x");
  const std::string output_folder = probe.substr(0, probe.size() - 1);
  std::unordered_map<std::string, std::size_t> by_path;
  for (std::size_t i = 0; i < sources.Count(); ++i) {
    std::string path = expand(sources[i]);
    if (path.compare(0, output_folder.size(), output_folder) == 0) by_path.emplace(path, i);
  }
  // Only targets that exist can be a source under another name; in a fresh output folder none
  // does, and the sources need not be looked up at all. One listing of the folder says which
  // exist; when it fails, every target is looked up.
  std::vector<std::string> listed;
  int error_number = 0;
  const bool complete = folder.TryList(listed, error_number);
  std::unordered_set<std::string> present;
  for (const std::string& name : listed) present.insert(AsciiFolded(name));
  std::vector<std::optional<FileIdentity>> target_ids;
  target_ids.reserve(target_names.size());
  bool any_exists = false;
  for (const std::string& name : target_names) {
    const bool listed_here = !complete || present.count(AsciiFolded(name)) != 0;
    target_ids.push_back(listed_here ? folder.TryTargetIdentity(name) : std::nullopt);
    any_exists = any_exists || target_ids.back().has_value();
  }
  std::unordered_map<FileIdentity, std::size_t, FileIdentityHash> by_identity;
  if (any_exists) {
    for (std::size_t i = 0; i < sources.Count(); ++i)
      if (auto id = QueryFileIdentity(sources[i])) by_identity.emplace(*id, i);
  }
  for (std::size_t t = 0; t < target_names.size(); ++t) {
    const std::string target = folder.Path() + target_names[t];
    if (!by_path.empty()) {
      auto same_path = by_path.find(expand(target));
      if (same_path != by_path.end()) throw ESourceOverwrite(sources[same_path->second], target);
    }
    if (!target_ids[t]) continue;
    auto same_file = by_identity.find(*target_ids[t]);
    if (same_file != by_identity.end()) throw ESourceOverwrite(sources[same_file->second], target);
  }
}

}  // namespace kel
