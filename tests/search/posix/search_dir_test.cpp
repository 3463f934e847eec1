#include "search/search_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <stdexcept>

#include "platform/exceptions.h"
#include "platform/file_info.h"
#include "search/search_test_tree.h"

namespace kel {
namespace {

using test::MakeTree;
using test::SortedRelative;
using test::TempDir;

// Records what a walk reports; `react` may set the by-reference flags.
struct Walk {
  std::vector<std::string> names;
  std::vector<TSearchFileData> data;
  std::function<void(const std::string&, bool& IgnoreSubDir, bool& Continue)> react;

  bool Run(TSearchDir& walker, const std::string& base) {
    walker.OnFind = [this](TSearchDir& Sender, const std::string& Name, const TSearchFileData& Data,
                           bool& IgnoreSubDir, bool& Continue) {
      EXPECT_TRUE(Sender.Busy());
      EXPECT_TRUE(!IgnoreSubDir && Continue);
      names.push_back(Name);
      data.push_back(Data);
      if (react) react(Name, IgnoreSubDir, Continue);
    };
    walker.BaseDir = base;
    const bool result = walker.Execute();
    EXPECT_FALSE(walker.Busy());
    return result;
  }
};

const std::initializer_list<const char*> kTree = {"a/", "a/a1/", "a/a1/deep/", "a/a2/", "a/f",
                                                  "b/", "b/b1/", "c/",         "f"};
const std::vector<std::string> kTreeDirs = {"~",      "~/a", "~/a/a1", "~/a/a1/deep",
                                            "~/a/a2", "~/b", "~/b/b1", "~/c"};

TEST(TSearchDir, ReportsEveryDirectoryOnceBreadthFirst) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchDir walker;
  Walk walk;
  ASSERT_TRUE(walk.Run(walker, root.path()));
  EXPECT_EQ(SortedRelative(root.path(), walk.names), kTreeDirs);
  // Whatever order the file system lists a folder in: the start folder comes first, and the
  // parents of the later directories come in the order they were themselves reported.
  ASSERT_EQ(walk.names[0], root.path());
  EXPECT_TRUE(walk.data[0].IsDirectory);
  std::map<std::string, std::size_t> position = {{root.path(), 0}};
  std::size_t last_parent = 0;
  for (std::size_t i = 1; i < walk.names.size(); ++i) {
    const std::string& name = walk.names[i];
    position[name] = i;
    const std::size_t parent = position.at(name.substr(0, name.rfind('/')));
    EXPECT_GE(parent, last_parent) << name << " out of breadth-first order";
    last_parent = parent;
    EXPECT_EQ(walk.data[i].FileName, name.substr(name.rfind('/') + 1));
    EXPECT_TRUE(walk.data[i].IsDirectory);
  }
}

TEST(TSearchDir, StartFolderWithTrailingSeparatorHasAnEmptyRecord) {
  TempDir root;
  MakeTree(root, {"sub/"});
  test::ScopedCurrentDir cwd(root.path());
  TSearchDir walker;
  Walk walk;
  ASSERT_TRUE(walk.Run(walker, "sub/../"));  // relative: expanded against the current folder
  ASSERT_EQ(walk.names.size(), 2u);
  EXPECT_EQ(walk.names[0], root.path() + "/");
  const TSearchFileData& empty = walk.data[0];
  EXPECT_EQ(empty.FileName + empty.ShortName, "");
  EXPECT_EQ(empty.Size, 0);
  EXPECT_FALSE(empty.IsDirectory || empty.LastWriteTimeValid || empty.LastAccessTimeValid);
  EXPECT_EQ(walk.names[1], root / "sub");  // one separator, not two
}

TEST(TSearchDir, DoesNotStartWithoutHandlerOrFolder) {
  TempDir root;
  MakeTree(root, {"file"});
  TSearchDir walker;
  walker.BaseDir = root.path();
  EXPECT_FALSE(walker.Execute());  // no OnFind
  Walk walk;
  for (const std::string& base : {root / "missing", root / "file/", std::string()}) {
    EXPECT_FALSE(walk.Run(walker, base)) << base;
  }
  EXPECT_TRUE(walk.names.empty());
}

TEST(TSearchDir, IgnoreSubDirPrunesOnlyThatBranch) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchDir walker;
  Walk walk;
  walk.react = [](const std::string& Name, bool& IgnoreSubDir, bool&) {
    IgnoreSubDir = Name.ends_with("/a");
  };
  ASSERT_TRUE(walk.Run(walker, root.path()));
  EXPECT_EQ(SortedRelative(root.path(), walk.names),
            (std::vector<std::string>{"~", "~/a", "~/b", "~/b/b1", "~/c"}));

  walk.names.clear();
  walk.react = [](const std::string&, bool& IgnoreSubDir, bool&) { IgnoreSubDir = true; };
  ASSERT_TRUE(walk.Run(walker, root.path()));
  EXPECT_EQ(walk.names.size(), 1u);
}

TEST(TSearchDir, ContinueFalseOrAbortEndsTheWalkOtherExceptionsPass) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchDir walker;
  for (std::size_t stop_at : {1u, 3u}) {
    Walk walk;
    walk.react = [&](const std::string&, bool&, bool& Continue) {
      Continue = walk.names.size() < stop_at;
    };
    EXPECT_FALSE(walk.Run(walker, root.path()));
    EXPECT_EQ(walk.names.size(), stop_at);
  }
  Walk walk;
  walk.react = [&](const std::string&, bool&, bool&) {
    if (walk.names.size() == 2) throw EAbort();
  };
  EXPECT_FALSE(walk.Run(walker, root.path()));
  walk.react = [&](const std::string&, bool&, bool&) {
    if (walk.names.size() == 4) throw std::runtime_error("handler failed");
  };
  EXPECT_THROW(walk.Run(walker, root.path()), std::runtime_error);
  // Nothing of the broken walks is left over.
  walk = Walk{};
  EXPECT_TRUE(walk.Run(walker, root.path()));
  EXPECT_EQ(walk.names.size(), kTreeDirs.size());
}

TEST(TSearchDir, ExecuteFromInsideAHandlerReturnsFalseAndTheWalkGoesOn) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchDir walker;
  Walk walk;
  walk.react = [&](const std::string&, bool&, bool&) { EXPECT_FALSE(walker.Execute()); };
  EXPECT_TRUE(walk.Run(walker, root.path()));
  EXPECT_EQ(walk.names.size(), kTreeDirs.size());
}

TEST(TSearchDir, FollowsLinksButEndsOnACycle) {
  TempDir root;
  MakeTree(root, {"a/", "a/b/", "a/b/up->..", "a/b/top->../..", "c/", "c/alias->../a/b",
                  "dangling->missing"});
  TSearchDir walker;
  Walk walk;
  // A walk that went round would not end by itself.
  walk.react = [&](const std::string&, bool&, bool& Continue) {
    Continue = walk.names.size() < 1000;
  };
  ASSERT_TRUE(walk.Run(walker, root.path()));
  // Every link to a directory is reported; none leads into a directory walked before. Which of
  // "a/b" and "c/alias" is walked depends on the listing order.
  std::vector<std::string> names = SortedRelative(root.path(), walk.names);
  const std::string via = names[3] == "~/a/b/top" ? "~/a/b" : "~/c/alias";
  EXPECT_EQ(names,
            SortedRelative(root.path(), {root.path(), root / "a", root / "a/b", root / "c",
                                         root / "c/alias", root.path() + via.substr(1) + "/top",
                                         root.path() + via.substr(1) + "/up"}));
}

TEST(TSearchDir, RefusesAPathBeyondThePlatformLimit) {
  // Built through descriptors: the deepest folders cannot be named by a path.
  TempDir root;
  const std::string name(200, 'd');
  const int levels = static_cast<int>(kMaxPathLength / (name.size() + 1)) + 2;
  std::vector<int> fds = {::open(root.path().c_str(), O_RDONLY | O_DIRECTORY)};
  for (int i = 0; i < levels; ++i) {
    ASSERT_EQ(::mkdirat(fds.back(), name.c_str(), 0755), 0);
    fds.push_back(::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
    ASSERT_GE(fds.back(), 0);
  }

  TSearchDir walker;
  Walk walk;
  try {
    walk.Run(walker, root.path());
    ADD_FAILURE() << "a path longer than the limit was accepted";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 3);
  }
  EXPECT_EQ(walk.names.back().size(), root.path().size() + (levels - 2) * (name.size() + 1));

  for (std::size_t i = fds.size() - 1; i > 0; --i) {
    ::close(fds[i]);
    ::unlinkat(fds[i - 1], name.c_str(), AT_REMOVEDIR);
  }
  ::close(fds[0]);
}

}  // namespace
}  // namespace kel
