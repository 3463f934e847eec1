#include "job/job_state.h"

namespace kel {

void JobState::Create() {
  ListingLines = std::make_unique<TStringList>();
  ArchivePaths = std::make_unique<TStringList>();
  SourceFiles = std::make_unique<TStringList>();
}

void JobState::Release() {
  ListingLines.reset();
  ArchivePaths.reset();
  SourceFiles.reset();
}

void JobState::Clear() {
  ListingLines->Clear();
  ArchivePaths->Clear();
  SourceFiles->Clear();
  FileCount = 0;
}

JobState& TheJobState() {
  static JobState state;
  return state;
}

}  // namespace kel
