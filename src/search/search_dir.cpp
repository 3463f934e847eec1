#include "search/search_dir.h"

#include <optional>

#include "platform/exceptions.h"
#include "platform/file_info.h"
#include "search/search_support.h"

namespace kel {

using search_detail::BusyScope;
using search_detail::JoinEntryPath;

TSearchDir::TSearchDir(PathSyntax syntax) : FSyntax(syntax) {}

TSearchDir::~TSearchDir() = default;

bool TSearchDir::Execute() {
  if (FBusy || !OnFind) return false;
  const std::string Base = ExpandFileName(BaseDir);
  const std::optional<FileStatus> base_status = QueryFileStatus(Base);
  if (!base_status) return false;

  BusyScope busy(FBusy);
  FDirQueue.clear();
  FQueuedIds.clear();
  bool Continue = true;
  try {
    ReportBase(Base, DirectoryId{base_status->device, base_status->inode}, Continue);
    WalkQueue(Continue);
  } catch (const EAbort&) {
    return false;
  }
  return true;
}

void TSearchDir::DoFind(const std::string& Name, const TSearchFileData& Data, bool& IgnoreSubDir,
                        bool& Continue) {
  if (OnFind) OnFind(*this, Name, Data, IgnoreSubDir, Continue);
}

namespace {

// The start folder's own entry; an empty record when the lookup finds nothing (a path with a
// trailing separator).
TSearchFileData LookUpEntry(const std::string& path) {
  DirectoryLookup lookup;
  FindRecord record;
  if (!lookup.FindFirst(path, record)) return TSearchFileData{};
  return FillSearchFileData(record);
}

}  // namespace

void TSearchDir::ReportBase(const std::string& Base, DirectoryId id, bool& Continue) {
  const TSearchFileData Data = LookUpEntry(Base);
  bool IgnoreSubDir = false;
  DoFind(Base, Data, IgnoreSubDir, Continue);
  if (!Continue) throw EAbort();
  if (!IgnoreSubDir) Enqueue(Base, id);
}

void TSearchDir::WalkQueue(bool& Continue) {
  while (!FDirQueue.empty()) {
    const std::string Dir = std::move(FDirQueue.front());
    FDirQueue.pop_front();
    WalkOne(Dir, Continue);
  }
}

void TSearchDir::WalkOne(const std::string& Dir, bool& Continue) {
  const std::string Folder = FSyntax.IncludeTrailingSeparator(Dir);
  DirectoryLookup lookup;
  FindRecord record;
  // A folder that cannot be listed contributes nothing; the walk goes on.
  if (!lookup.FindFirst(Folder + "*.*", record)) return;
  do {
    if (!IsSubDirectory(record)) continue;
    const std::string Full = JoinEntryPath(Folder, record.long_name);
    const TSearchFileData Data = FillSearchFileData(record);
    bool IgnoreSubDir = false;
    DoFind(Full, Data, IgnoreSubDir, Continue);
    if (!Continue) throw EAbort();
    if (!IgnoreSubDir) Enqueue(Full, DirectoryId{record.device, record.inode});
  } while (lookup.FindNext(record));
}

void TSearchDir::Enqueue(const std::string& Dir, DirectoryId id) {
  // Links are followed, so a link back up the tree would otherwise be walked for ever. A
  // directory is walked once, under the first path that reached it. An unknown identity (0, 0)
  // is always walked.
  const bool known = id != DirectoryId{0, 0};
  if (known && !FQueuedIds.insert(id).second) return;
  FDirQueue.push_back(Dir);
}

}  // namespace kel
