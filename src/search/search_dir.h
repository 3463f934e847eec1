// TSearchDir: walks a folder tree breadth-first and reports every directory it meets.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <utility>

#include "platform/path_syntax.h"
#include "search/search_file_data.h"

namespace kel {

class TSearchDir;

// Called once for every directory of the walk. Name is the full path (the expanded start folder
// for the first call). Setting IgnoreSubDir keeps the walk out of that directory; setting
// Continue to false ends the walk (Execute returns false). Both arrive preset: IgnoreSubDir
// false, Continue true.
using TSearchDirEvent =
    std::function<void(TSearchDir& Sender, const std::string& Name, const TSearchFileData& Data,
                       bool& IgnoreSubDir, bool& Continue)>;

class TSearchDir {
 public:
  // `syntax` decides the separator and the code page of rule A (a path gets one separator
  // appended unless its last whole character already is one).
  explicit TSearchDir(PathSyntax syntax = PathSyntax::Native());
  virtual ~TSearchDir();
  TSearchDir(const TSearchDir&) = delete;
  TSearchDir& operator=(const TSearchDir&) = delete;

  // Runs the walk: first the start folder itself (an empty Data when the folder is written with
  // a trailing separator, since the lookup then finds nothing), then every sub-directory,
  // breadth-first, each level in the order the file system gives. Links are followed; a
  // directory reached a second time (a link back up the tree, a bind mount) is reported but not
  // walked again, so the walk ends on a tree with a cycle.
  // Returns true when the walk ran to its end; false when it did not start (busy, OnFind not
  // assigned, BaseDir empty or without attributes) or was aborted (Continue set false, or a
  // handler raised EAbort). Throws EInOutError(3) when BaseDir, expanded, or a path built during
  // the walk is longer than kMaxPathLength; any other exception from a handler passes through.
  // Every open lookup is closed and Busy reset however Execute ends.
  bool Execute();
  bool Busy() const { return FBusy; }

  // Calls OnFind with this walker as Sender when it is assigned.
  virtual void DoFind(const std::string& Name, const TSearchFileData& Data, bool& IgnoreSubDir,
                      bool& Continue);

  std::string BaseDir;  // where the walk starts; expanded against the current directory
  TSearchDirEvent OnFind;

 protected:
  // First in, first out: the directories still to walk. After an abort it may still hold some;
  // the next walk empties it.
  std::deque<std::string> FDirQueue;

 private:
  // Device and inode of a directory: the same pair means the same directory.
  using DirectoryId = std::pair<uint64_t, uint64_t>;

  void ReportBase(const std::string& Base, DirectoryId id, bool& Continue);
  void WalkQueue(bool& Continue);
  void WalkOne(const std::string& Dir, bool& Continue);
  // Queues `Dir` unless the same directory was queued before in this walk.
  void Enqueue(const std::string& Dir, DirectoryId id);

  PathSyntax FSyntax;
  bool FBusy = false;
  std::set<DirectoryId> FQueuedIds;
};

}  // namespace kel
