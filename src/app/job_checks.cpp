#include "app/job_checks.h"

#include <unordered_map>

#include "app/file_identity.h"
#include "app/job_errors.h"
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

void CheckSourcesUntouched(const TStringList& sources, const std::vector<std::string>& targets) {
  std::unordered_map<std::string, std::size_t> by_path;
  std::unordered_map<FileIdentity, std::size_t, FileIdentityHash> by_identity;
  for (std::size_t i = 0; i < sources.Count(); ++i) {
    by_path.emplace(ExpandFileName(sources[i]), i);
    if (auto id = QueryFileIdentity(sources[i])) by_identity.emplace(*id, i);
  }
  for (const std::string& target : targets) {
    auto same_path = by_path.find(ExpandFileName(target));
    if (same_path != by_path.end()) throw ESourceOverwrite(sources[same_path->second], target);
    auto id = QueryFileIdentity(target);
    if (!id) continue;
    auto same_file = by_identity.find(*id);
    if (same_file != by_identity.end()) throw ESourceOverwrite(sources[same_file->second], target);
  }
}

}  // namespace kel
