// TSearchFile: enumerates the entries of one folder, or of a folder tree, and reports each one
// with its names, size, time stamps and attribute flags through OnFind. Synchronous: all events
// arrive before Execute returns. Single-threaded; Busy guards against re-entry from a handler.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/path_syntax.h"
#include "platform/string_list.h"
#include "search/search_dir.h"
#include "search/search_file_data.h"

namespace kel {

class TSearchFile;

// One entry matching the mask. Setting Continue to false (it arrives true) ends the search and
// makes Execute return false.
using TFindFileEvent = std::function<void(TSearchFile& Sender, const std::string& Name,
                                          const TSearchFileData& Data, bool& Continue)>;
// One directory of a recursive walk. Skip (arrives false) leaves its entries unreported;
// IgnoreSubDir (arrives false) keeps the walk out of the directories below it.
using TFindDirEvent =
    std::function<void(TSearchFile& Sender, const std::string& Name, const TSearchFileData& Data,
                       bool& Skip, bool& IgnoreSubDir)>;

class TSearchFile {
 public:
  // Creates the owned walker with its OnFind bound to DirFound, and the directory list.
  explicit TSearchFile(PathSyntax syntax = PathSyntax::Native());
  virtual ~TSearchFile();
  TSearchFile(const TSearchFile&) = delete;
  TSearchFile& operator=(const TSearchFile&) = delete;

  // Runs the search. Recursive: first the whole walk (OnFindDir for every directory,
  // breadth-first, from the start folder), then OnFind for the entries of each directory not
  // skipped, in walk order. Not recursive: OnFind for the entries of Directory only (an empty
  // Directory enumerates nothing). Entries are matched against SearchName, or every entry when
  // it is empty; "." and ".." are never reported. Name is the folder, exactly one separator and
  // the entry's name.
  // Returns true when the search ran to its end, also when nothing was found or the folder does
  // not exist; false when it did not start (busy, or OnFind not assigned) or was aborted
  // (Continue set false, or OnFind raised EAbort). EAbort raised by OnFindDir ends only the
  // walk. Throws EInOutError(3) for a path longer than kMaxPathLength; any other exception from
  // a handler passes through. Lookups are closed and Busy reset however Execute ends.
  bool Execute();
  bool Busy() const { return FBusy; }

  // The first folder whose entries the last Execute could not list: it could not be opened
  // (no read access, gone meanwhile) or its listing failed part-way. The search goes on and
  // reports what it saw; a caller that needs every entry asks here afterwards. Folder is empty
  // when every folder was listed to its end.
  struct TListingFailure {
    std::string Folder;
    int ErrorNumber = 0;  // message-table number
  };
  const TListingFailure& ListingFailure() const { return FListingFailure; }

  // Call OnFind / OnFindDir with this component as Sender when assigned.
  virtual void DoFind(const std::string& Name, const TSearchFileData& Data, bool& Continue);
  virtual void DoFindDir(const std::string& Name, const TSearchFileData& Data, bool& Skip,
                         bool& IgnoreSubDir);

  // Bound to the walker's OnFind: offers the directory to OnFindDir and collects it unless
  // skipped. The walker's Continue is left alone.
  void DirFound(TSearchDir& Sender, const std::string& Name, const TSearchFileData& Data,
                bool& IgnoreSubDir, bool& Continue);

  std::string Directory;
  bool Recursive = false;
  std::string SearchName;  // a mask with "*" and "?"; empty means every entry
  TFindFileEvent OnFind;
  TFindDirEvent OnFindDir;

 protected:
  std::unique_ptr<TSearchDir> FSearchDir;
  std::unique_ptr<TStringList> FDirList;  // the directories of the last search

 private:
  void CollectDirectories();
  void ScanDirectory(const std::string& Dir, const std::string& Mask, bool& Continue);

  PathSyntax FSyntax;
  bool FBusy = false;
  TListingFailure FListingFailure;
};

}  // namespace kel
