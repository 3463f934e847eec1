#include "search/search_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "platform/exceptions.h"
#include "platform/file_info.h"
#include "search/search_test_tree.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

using test::MakeDir;
using test::MakeLink;
using test::Relative;
using test::TempDir;
using test::WriteFile;

struct Walk {
  std::vector<std::string> names;
  std::vector<TSearchFileData> data;
};

// A walker that records every directory it reports.
void Record(TSearchDir& walker, Walk& walk) {
  walker.OnFind = [&walk](TSearchDir&, const std::string& Name, const TSearchFileData& Data,
                          bool&, bool&) {
    walk.names.push_back(Name);
    walk.data.push_back(Data);
  };
}

// root/{a/{a1/{deep}, a2}, b/{b1}, c, f.txt, a/fa.txt}
void MakeTree(const TempDir& root) {
  for (const char* dir : {"a", "a/a1", "a/a1/deep", "a/a2", "b", "b/b1", "c"}) MakeDir(root / dir);
  WriteFile(root / "f.txt", "x");
  WriteFile(root / "a/fa.txt", "x");
}

std::string ParentOf(const std::string& path) {
  return path.substr(0, path.rfind('/'));
}

TEST(TSearchDir, ReportsEveryDirectoryBreadthFirst) {
  TempDir root;
  MakeTree(root);
  TSearchDir walker;
  Walk walk;
  Record(walker, walk);
  walker.BaseDir = root.path();
  ASSERT_TRUE(walker.Execute());

  std::vector<std::string> sorted = Relative(root.path(), walk.names);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"~", "~/a", "~/a/a1", "~/a/a1/deep", "~/a/a2",
                                              "~/b", "~/b/b1", "~/c"}));
  // Breadth-first, whatever order the file system lists a folder in: the start folder first,
  // and the parents of the reported directories appear in the order they were reported.
  ASSERT_EQ(walk.names.front(), root.path());
  std::map<std::string, std::size_t> position;
  std::size_t last_parent = 0;
  for (std::size_t i = 0; i < walk.names.size(); ++i) {
    position[walk.names[i]] = i;
    if (i == 0) continue;
    const std::size_t parent = position.at(ParentOf(walk.names[i]));
    EXPECT_GE(parent, last_parent) << walk.names[i] << " out of breadth-first order";
    last_parent = parent;
  }
}

TEST(TSearchDir, DescribesEachDirectoryAndTheStartFolderItself) {
  TempDir root;
  MakeDir(root / "only");
  TSearchDir walker;
  Walk walk;
  Record(walker, walk);
  walker.BaseDir = root.path();
  ASSERT_TRUE(walker.Execute());
  ASSERT_EQ(walk.names.size(), 2u);
  EXPECT_EQ(walk.data[0].FileName, std::filesystem::path(root.path()).filename().string());
  EXPECT_TRUE(walk.data[0].IsDirectory);
  EXPECT_EQ(walk.names[1], root / "only");
  EXPECT_EQ(walk.data[1].FileName, "only");
  EXPECT_EQ(walk.data[1].ShortName, "only");
  EXPECT_TRUE(walk.data[1].IsDirectory);
  EXPECT_FALSE(walk.data[1].IsArchive);
}

TEST(TSearchDir, StartFolderWithTrailingSeparatorHasAnEmptyRecord) {
  TempDir root;
  MakeDir(root / "sub");
  TSearchDir walker;
  Walk walk;
  Record(walker, walk);
  walker.BaseDir = root.path() + "/";
  ASSERT_TRUE(walker.Execute());
  ASSERT_EQ(walk.names.size(), 2u);
  EXPECT_EQ(walk.names[0], root.path() + "/");
  const TSearchFileData& empty = walk.data[0];
  EXPECT_EQ(empty.FileName, "");
  EXPECT_EQ(empty.ShortName, "");
  EXPECT_EQ(empty.Size, 0);
  EXPECT_FALSE(empty.IsDirectory || empty.CreationTimeValid || empty.LastWriteTimeValid ||
               empty.LastAccessTimeValid);
  EXPECT_EQ(walk.names[1], root / "sub");  // one separator, not two
}

TEST(TSearchDir, ExpandsARelativeStartFolder) {
  TempDir root;
  MakeDir(root / "sub");
  test::ScopedCurrentDir cwd(root.path());
  TSearchDir walker;
  Walk walk;
  Record(walker, walk);
  walker.BaseDir = "sub/../sub";
  ASSERT_TRUE(walker.Execute());
  ASSERT_EQ(walk.names.size(), 1u);
  EXPECT_EQ(walk.names[0], std::filesystem::current_path().string() + "/sub");
}

TEST(TSearchDir, DoesNotStartWithoutHandlerOrFolder) {
  TempDir root;
  TSearchDir walker;
  walker.BaseDir = root.path();
  EXPECT_FALSE(walker.Execute());  // no OnFind

  Walk walk;
  Record(walker, walk);
  walker.BaseDir = root / "missing";
  EXPECT_FALSE(walker.Execute());
  WriteFile(root / "file", "x");
  walker.BaseDir = root / "file/";
  EXPECT_FALSE(walker.Execute());
  walker.BaseDir = "";
  EXPECT_FALSE(walker.Execute());
  EXPECT_TRUE(walk.names.empty());
  EXPECT_FALSE(walker.Busy());
}

TEST(TSearchDir, IgnoreSubDirPrunesOnlyThatBranch) {
  TempDir root;
  MakeTree(root);
  TSearchDir walker;
  std::vector<std::string> names;
  walker.OnFind = [&](TSearchDir&, const std::string& Name, const TSearchFileData& Data,
                      bool& IgnoreSubDir, bool&) {
    names.push_back(Name);
    if (Data.FileName == "a") IgnoreSubDir = true;
  };
  walker.BaseDir = root.path();
  ASSERT_TRUE(walker.Execute());
  std::vector<std::string> sorted = Relative(root.path(), names);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"~", "~/a", "~/b", "~/b/b1", "~/c"}));
}

TEST(TSearchDir, IgnoringTheStartFolderEndsTheWalkThere) {
  TempDir root;
  MakeTree(root);
  TSearchDir walker;
  int events = 0;
  walker.OnFind = [&](TSearchDir&, const std::string&, const TSearchFileData&,
                      bool& IgnoreSubDir, bool&) {
    ++events;
    IgnoreSubDir = true;
  };
  walker.BaseDir = root.path();
  EXPECT_TRUE(walker.Execute());
  EXPECT_EQ(events, 1);
}

TEST(TSearchDir, StopsAtTheFirstContinueFalse) {
  TempDir root;
  MakeTree(root);
  for (int stop_at : {0, 2}) {
    TSearchDir walker;
    int events = 0;
    walker.OnFind = [&](TSearchDir& Sender, const std::string&, const TSearchFileData&, bool&,
                        bool& Continue) {
      EXPECT_TRUE(Sender.Busy());
      EXPECT_TRUE(Continue);
      if (events++ == stop_at) Continue = false;
    };
    walker.BaseDir = root.path();
    EXPECT_FALSE(walker.Execute());
    EXPECT_EQ(events, stop_at + 1);
    EXPECT_FALSE(walker.Busy());
  }
}

TEST(TSearchDir, AbortFromAHandlerIsSilentOtherExceptionsPass) {
  TempDir root;
  MakeTree(root);
  TSearchDir walker;
  walker.BaseDir = root.path();
  walker.OnFind = [](TSearchDir&, const std::string& Name, const TSearchFileData&, bool&, bool&) {
    if (Name.ends_with("/a")) throw EAbort();
  };
  EXPECT_FALSE(walker.Execute());
  EXPECT_FALSE(walker.Busy());

  walker.OnFind = [](TSearchDir&, const std::string& Name, const TSearchFileData&, bool&, bool&) {
    if (Name.ends_with("/b")) throw std::runtime_error("handler failed");
  };
  EXPECT_THROW(walker.Execute(), std::runtime_error);
  EXPECT_FALSE(walker.Busy());

  // Nothing of the broken walks is left over: the next one reports each directory once.
  Walk walk;
  Record(walker, walk);
  EXPECT_TRUE(walker.Execute());
  EXPECT_EQ(walk.names.size(), 8u);
}

TEST(TSearchDir, ExecuteFromInsideAHandlerReturnsFalseAndTheWalkGoesOn) {
  TempDir root;
  MakeTree(root);
  TSearchDir walker;
  int events = 0;
  walker.OnFind = [&](TSearchDir& Sender, const std::string&, const TSearchFileData&, bool&,
                      bool&) {
    ++events;
    EXPECT_FALSE(Sender.Execute());
  };
  walker.BaseDir = root.path();
  EXPECT_TRUE(walker.Execute());
  EXPECT_EQ(events, 8);
}

TEST(TSearchDir, FollowsLinksButEndsOnACycle) {
  TempDir root;
  MakeDir(root / "a");
  MakeDir(root / "a/b");
  MakeLink("..", root / "a/b/up");       // back to a: a cycle
  MakeLink("../..", root / "a/b/top");   // back to the start folder
  MakeDir(root / "c");
  MakeLink("../a/b", root / "c/alias");  // a second way into b
  MakeLink("missing", root / "dangling");
  TSearchDir walker;
  Walk walk;
  walker.OnFind = [&walk](TSearchDir&, const std::string& Name, const TSearchFileData&, bool&,
                          bool& Continue) {
    walk.names.push_back(Name);
    Continue = walk.names.size() < 1000;  // a walk that goes round would not end by itself
  };
  walker.BaseDir = root.path();
  ASSERT_TRUE(walker.Execute());
  std::vector<std::string> sorted = Relative(root.path(), walk.names);
  std::sort(sorted.begin(), sorted.end());
  // Every link to a directory is reported as a directory; none is walked a second time. Which
  // of "a/b" and "c/alias" is walked depends on the listing order, so both children are taken
  // under either name.
  std::vector<std::string> expected = {"~", "~/a", "~/a/b", "~/c", "~/c/alias"};
  for (const auto& name : sorted) {
    if (name.ends_with("/up") || name.ends_with("/top")) expected.push_back(name);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sorted, expected);
  EXPECT_EQ(sorted.size(), 7u);
}

// Removes a tree too deep for path-based removal, one level at a time through descriptors.
void RemoveDeepChain(int parent_fd, const std::string& name, int depth) {
  if (depth > 0) {
    const int fd = ::openat(parent_fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
      RemoveDeepChain(fd, name, depth - 1);
      ::close(fd);
    }
  }
  ::unlinkat(parent_fd, name.c_str(), AT_REMOVEDIR);
}

TEST(TSearchDir, RefusesAPathBeyondThePlatformLimit) {
  TempDir root;
  const std::string name(200, 'd');
  const int levels = static_cast<int>(kMaxPathLength / (name.size() + 1)) + 2;
  int fd = ::open(root.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < levels; ++i) {
    ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  ::close(fd);

  TSearchDir walker;
  std::size_t longest = 0;
  walker.OnFind = [&](TSearchDir&, const std::string& Name, const TSearchFileData&, bool&,
                      bool&) { longest = std::max(longest, Name.size()); };
  walker.BaseDir = root.path();
  try {
    walker.Execute();
    ADD_FAILURE() << "a path longer than the limit was accepted";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 3);
  }
  EXPECT_FALSE(walker.Busy());
  EXPECT_LE(longest, kMaxPathLength);  // every reported path was whole

  const int root_fd = ::open(root.path().c_str(), O_RDONLY | O_DIRECTORY);
  RemoveDeepChain(root_fd, name, levels);
  ::close(root_fd);
}

TEST(TSearchDir, RefusesAStartFolderBeyondThePlatformLimit) {
  TSearchDir walker;
  bool called = false;
  walker.OnFind = [&](TSearchDir&, const std::string&, const TSearchFileData&, bool&, bool&) {
    called = true;
  };
  std::string base = "/tmp";
  while (base.size() <= kMaxPathLength) base += "/x";
  walker.BaseDir = base;
  EXPECT_THROW(walker.Execute(), EInOutError);
  EXPECT_FALSE(called);
  EXPECT_FALSE(walker.Busy());
}

}  // namespace
}  // namespace kel
