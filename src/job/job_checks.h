// Guards that stop a run before it could destroy what it is about to archive.
#pragma once

#include <string>
#include <vector>

#include "job/job_state.h"
#include "platform/path_syntax.h"

namespace kel {

class OutputFolder;

// Raises ENameClash naming the first two collected files whose archive paths are equal (only
// possible past 10,000 files, where the sequence field repeats). Requires state.Exists().
void CheckArchivePathsDistinct(const JobState& state);

// Raises ESourceOverwrite when one of `target_names` (the entries the pass will write in the
// output folder `folder`) is one of the `sources`: the same path once both are expanded to full
// paths, or the same file on disk (same device and inode, the target's links followed) when
// both exist. Also raises EInOutError(3) for a path too long to expand.
void CheckSourcesUntouched(const TStringList& sources, const OutputFolder& folder,
                           const std::vector<std::string>& target_names);

}  // namespace kel
