#include "search/search_file.h"

#include "platform/exceptions.h"
#include "platform/file_info.h"
#include "search/search_support.h"

namespace kel {

using search_detail::BusyScope;
using search_detail::JoinEntryPath;

namespace {
constexpr const char* kAllEntries = "*.*";
}  // namespace

TSearchFile::TSearchFile(PathSyntax syntax)
    : FSearchDir(std::make_unique<TSearchDir>(syntax)),
      FDirList(std::make_unique<TStringList>()),
      FSyntax(syntax) {
  FSearchDir->OnFind = [this](TSearchDir& Sender, const std::string& Name,
                              const TSearchFileData& Data, bool& IgnoreSubDir, bool& Continue) {
    DirFound(Sender, Name, Data, IgnoreSubDir, Continue);
  };
}

TSearchFile::~TSearchFile() = default;

bool TSearchFile::Execute() {
  if (FBusy || !OnFind) return false;
  BusyScope busy(FBusy);
  FDirList->Clear();
  FListingFailure = {};
  bool Continue = true;
  try {
    CollectDirectories();
    const std::string Mask = SearchName.empty() ? kAllEntries : SearchName;
    const std::size_t count = FDirList->Count();
    for (std::size_t i = 0; i < count; ++i) {
      const std::string Dir = (*FDirList)[i];
      ScanDirectory(Dir, Mask, Continue);
    }
  } catch (const EAbort&) {
    return false;
  }
  return true;
}

void TSearchFile::DoFind(const std::string& Name, const TSearchFileData& Data, bool& Continue) {
  if (OnFind) OnFind(*this, Name, Data, Continue);
}

void TSearchFile::DoFindDir(const std::string& Name, const TSearchFileData& Data, bool& Skip,
                            bool& IgnoreSubDir) {
  if (OnFindDir) OnFindDir(*this, Name, Data, Skip, IgnoreSubDir);
}

void TSearchFile::DirFound(TSearchDir& /*Sender*/, const std::string& Name,
                           const TSearchFileData& Data, bool& IgnoreSubDir, bool& /*Continue*/) {
  bool Skip = false;
  DoFindDir(Name, Data, Skip, IgnoreSubDir);
  if (!Skip) FDirList->Add(Name);
}

void TSearchFile::CollectDirectories() {
  if (Recursive) {
    // The walker expands the folder itself; a walk that does not start leaves the list empty.
    FSearchDir->BaseDir = Directory;
    FSearchDir->Execute();
  } else {
    FDirList->Add(ExpandFileName(Directory));
  }
}

void TSearchFile::ScanDirectory(const std::string& Dir, const std::string& Mask, bool& Continue) {
  // An empty folder path names no folder; without this it would list the current directory.
  if (Dir.empty()) return;
  const std::string Folder = FSyntax.IncludeTrailingSeparator(Dir);
  DirectoryLookup lookup;
  FindRecord record;
  bool found = lookup.FindFirst(Folder + Mask, record);
  for (; found; found = lookup.FindNext(record)) {
    if (record.long_name != "." && record.long_name != "..") {
      const std::string Name = JoinEntryPath(Folder, record.long_name);
      DoFind(Name, FillSearchFileData(record), Continue);
    }
    if (!Continue) throw EAbort();
  }
  if (lookup.ErrorNumber() != 0 && FListingFailure.Folder.empty())
    FListingFailure = {Dir, lookup.ErrorNumber()};
}

}  // namespace kel
