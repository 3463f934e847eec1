#include "search/search_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "platform/exceptions.h"
#include "search/search_test_tree.h"

namespace kel {
namespace {

using test::MakeTree;
using test::SortedRelative;
using test::TempDir;

// Records the events of a search in order; directory events are marked "D:".
struct Log {
  std::vector<std::string> names, dirs, order;
  std::vector<TSearchFileData> data, dir_data;
};

void Attach(TSearchFile& search, Log& log) {
  search.OnFind = [&log](TSearchFile& Sender, const std::string& Name, const TSearchFileData& Data,
                         bool& Continue) {
    EXPECT_TRUE(Sender.Busy() && Continue);
    log.names.push_back(Name);
    log.order.push_back(Name);
    log.data.push_back(Data);
  };
  search.OnFindDir = [&log](TSearchFile&, const std::string& Name, const TSearchFileData& Data,
                            bool& Skip, bool& IgnoreSubDir) {
    EXPECT_FALSE(Skip || IgnoreSubDir);
    log.dirs.push_back(Name);
    log.order.push_back("D:" + Name);
    log.dir_data.push_back(Data);
  };
}

const std::initializer_list<const char*> kTree = {
    "one.txt",     "two.doc",          ".hidden",    "sub/",           "sub/in.txt",
    "sub/deeper/", "sub/deeper/x.txt", "other.txt/", "other.txt/y.doc"};
const std::vector<std::string> kTop = {"~/.hidden", "~/one.txt", "~/other.txt", "~/sub",
                                       "~/two.doc"};
constexpr std::size_t kAllEntries = 9;

TEST(TSearchFile, ListsOneFolderTheSameWithOrWithoutTrailingSeparator) {
  TempDir root;
  MakeTree(root, kTree);
  for (const std::string& dir : {root.path(), root.path() + "/", root.path() + "/sub/.."}) {
    TSearchFile search;
    Log log;
    Attach(search, log);
    search.Directory = dir;
    ASSERT_TRUE(search.Execute()) << dir;
    EXPECT_EQ(SortedRelative(root.path(), log.names), kTop) << dir;
    EXPECT_TRUE(log.dirs.empty()) << "OnFindDir belongs to recursive searches";
    EXPECT_FALSE(search.Busy());
  }
}

TEST(TSearchFile, DescribesEachEntryFollowingLinks) {
  test::ScopedTimeZone utc("UTC");
  TempDir root;
  MakeTree(root, {"locked", ".dot", "dir/", "old-write", "old-access", "link->data"});
  test::WriteFile(root / "data", std::string(12345, 'x'));
  ::chmod((root / "locked").c_str(), 0444);
  const time_t good = 981173106;  // 2001-02-03 04:05:06
  test::SetTimes(root / "old-write", good, 0);
  test::SetTimes(root / "old-access", 0, good);

  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  std::map<std::string, TSearchFileData> by_name;
  for (const auto& d : log.data) by_name[d.FileName] = d;
  ASSERT_EQ(by_name.size(), 7u);
  for (const auto& [name, d] : by_name) {
    EXPECT_EQ(d.ShortName, name);
    EXPECT_EQ(d.IsArchive, name != "dir") << name;
    EXPECT_EQ(d.IsDirectory, name == "dir") << name;
    EXPECT_EQ(d.IsReadOnly, name == "locked") << name;
    EXPECT_EQ(d.IsHidden, name == ".dot") << name;
    EXPECT_EQ(d.LastWriteTimeValid, name != "old-write") << name;
    EXPECT_EQ(d.LastAccessTimeValid, name != "old-access") << name;
  }
  EXPECT_EQ(by_name["data"].Size, 12345);
  EXPECT_EQ(by_name["link"].Size, 12345);
  // A time stamp before 1980 clears only its own flag; the other slot is filled normally.
  const double expected = 36925 + (4 * 3600 + 5 * 60 + 6) / 86400.0;
  EXPECT_DOUBLE_EQ(by_name["old-write"].LastAccessTime, expected);
  EXPECT_DOUBLE_EQ(by_name["old-access"].LastWriteTime, expected);
}

TEST(TSearchFile, EmptyMissingOrUnnamedFoldersGiveNoEventAndSucceed) {
  TempDir root;
  MakeTree(root, {"empty/", "present"});
  test::ScopedCurrentDir cwd(root.path());  // an empty path must not list this folder
  for (bool recursive : {false, true}) {
    for (const std::string& dir : {root / "empty", root / "missing", std::string()}) {
      for (const char* mask : {"", ".*"}) {  // ".*" would match "." and ".."
        TSearchFile search;
        Log log;
        Attach(search, log);
        search.Recursive = recursive;
        search.Directory = dir;
        search.SearchName = mask;
        EXPECT_TRUE(search.Execute()) << dir << " recursive " << recursive;
        EXPECT_TRUE(log.names.empty()) << dir << " recursive " << recursive << " " << mask;
        EXPECT_EQ(log.dirs.size(), recursive && dir == root / "empty" ? 1u : 0u) << dir;
      }
    }
  }
}

TEST(TSearchFile, DoesNotStartWithoutOnFind) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.OnFind = nullptr;
  search.Recursive = true;
  search.Directory = root.path();
  EXPECT_FALSE(search.Execute());
  EXPECT_TRUE(log.order.empty());
}

TEST(TSearchFile, RecursiveWalksFirstThenListsEachFolderInWalkOrder) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  EXPECT_EQ(SortedRelative(root.path(), log.dirs),
            (std::vector<std::string>{"~", "~/other.txt", "~/sub", "~/sub/deeper"}));
  EXPECT_EQ(log.dirs.front(), root.path());
  EXPECT_EQ(log.dirs.back(), root / "sub/deeper");
  // Every OnFindDir before the first OnFind; then the entries folder by folder, in walk order.
  const auto is_dir = [](const std::string& s) { return s.starts_with("D:"); };
  EXPECT_TRUE(std::is_partitioned(log.order.begin(), log.order.end(), is_dir));
  std::vector<std::string> parents;
  for (const auto& name : log.names) {
    const std::string parent = name.substr(0, name.rfind('/'));
    if (parents.empty() || parents.back() != parent) parents.push_back(parent);
  }
  EXPECT_EQ(parents, log.dirs);
  EXPECT_EQ(log.names.size(), kAllEntries);
}

TEST(TSearchFile, AMaskFiltersEntriesButNotTheWalk) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.SearchName = "*.txt";
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  EXPECT_EQ(log.dirs.size(), 4u);  // "sub" and "deeper" do not match and are walked all the same
  EXPECT_EQ(
      SortedRelative(root.path(), log.names),
      (std::vector<std::string>{"~/one.txt", "~/other.txt", "~/sub/deeper/x.txt", "~/sub/in.txt"}));
}

TEST(TSearchFile, RecursiveStartWithTrailingSeparator) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.Directory = root.path() + "/";
  ASSERT_TRUE(search.Execute());
  EXPECT_EQ(log.dirs.front(), root.path() + "/");
  EXPECT_EQ(log.dir_data.front().FileName, "");
  EXPECT_FALSE(log.dir_data.front().IsDirectory);
  EXPECT_EQ(log.names.size(), kAllEntries);
  for (const auto& name : log.names) EXPECT_EQ(name.find("//"), std::string::npos) << name;
}

// The flags are set for A in root/{top, A/{fa, B/{fb}}, C/{fc}}.
class SkipAndIgnore : public ::testing::TestWithParam<std::pair<bool, bool>> {};

TEST_P(SkipAndIgnore, DecideTheEntriesAndTheWalkBelowADirectory) {
  const auto [skip, ignore] = GetParam();
  TempDir root;
  MakeTree(root, {"top", "A/", "A/fa", "A/B/", "A/B/fb", "C/", "C/fc"});
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.OnFindDir = [&](TSearchFile&, const std::string& Name, const TSearchFileData&, bool& Skip,
                         bool& IgnoreSubDir) {
    log.dirs.push_back(Name);
    if (Name == root / "A") {
      Skip = skip;
      IgnoreSubDir = ignore;
    }
  };
  search.Recursive = true;
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());

  std::vector<std::string> dirs = {"~", "~/A", "~/C"};
  std::vector<std::string> names = {"~/A", "~/C", "~/C/fc", "~/top"};
  if (!skip) names.insert(names.end(), {"~/A/B", "~/A/fa"});
  if (!ignore) {
    dirs.push_back("~/A/B");
    names.push_back("~/A/B/fb");
  }
  std::sort(dirs.begin(), dirs.end());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(SortedRelative(root.path(), log.dirs), dirs);
  EXPECT_EQ(SortedRelative(root.path(), log.names), names);
}

INSTANTIATE_TEST_SUITE_P(FourCombinations, SkipAndIgnore,
                         ::testing::Values(std::pair{false, false}, std::pair{true, false},
                                           std::pair{false, true}, std::pair{true, true}));

TEST(TSearchFile, ContinueFalseStopsAtOnce) {
  TempDir root;
  MakeTree(root, kTree);
  for (bool recursive : {false, true}) {
    TSearchFile search;
    int events = 0;
    search.OnFind = [&](TSearchFile&, const std::string&, const TSearchFileData&, bool& Continue) {
      ++events;
      Continue = false;
    };
    search.Recursive = recursive;
    search.Directory = root.path();
    EXPECT_FALSE(search.Execute());
    EXPECT_EQ(events, 1);
    EXPECT_FALSE(search.Busy());
  }
}

TEST(TSearchFile, AbortIsSilentAndEndsOnlyTheStageItCameFrom) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.Directory = root.path();
  search.OnFindDir = [&](TSearchFile&, const std::string& Name, const TSearchFileData&, bool&,
                         bool&) {
    log.dirs.push_back(Name);
    if (log.dirs.size() == 2) throw EAbort();  // ends the walk; the start folder is collected
  };
  EXPECT_TRUE(search.Execute());
  EXPECT_EQ(log.dirs.size(), 2u);
  EXPECT_EQ(SortedRelative(root.path(), log.names), kTop);

  int events = 0;
  search.OnFind = [&](TSearchFile&, const std::string&, const TSearchFileData&, bool&) {
    if (++events == 2) throw EAbort();
  };
  EXPECT_FALSE(search.Execute());
  EXPECT_EQ(events, 2);
  EXPECT_FALSE(search.Busy());
}

TEST(TSearchFile, OtherExceptionsPassOutAndLeaveItIdle) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Directory = root.path();
  search.Recursive = true;
  search.OnFindDir = [](TSearchFile&, const std::string& Name, const TSearchFileData&, bool&,
                        bool&) {
    if (Name.ends_with("/sub")) throw EInOutError(5);
  };
  EXPECT_THROW(search.Execute(), EInOutError);
  EXPECT_FALSE(search.Busy());
  EXPECT_TRUE(log.names.empty());

  search.OnFindDir = nullptr;
  search.OnFind = [](TSearchFile&, const std::string&, const TSearchFileData&, bool&) {
    throw std::runtime_error("from OnFind");
  };
  EXPECT_THROW(search.Execute(), std::runtime_error);
  EXPECT_FALSE(search.Busy());

  Attach(search, log);
  EXPECT_TRUE(search.Execute());
  EXPECT_EQ(log.names.size(), kAllEntries);
}

TEST(TSearchFile, ExecuteFromInsideAHandlerReturnsFalseAndTheSearchGoesOn) {
  TempDir root;
  MakeTree(root, kTree);
  TSearchFile search;
  int events = 0;
  search.OnFindDir = [&](TSearchFile& Sender, const std::string&, const TSearchFileData&, bool&,
                         bool&) {
    ++events;
    EXPECT_FALSE(Sender.Execute());
  };
  search.OnFind = [&](TSearchFile& Sender, const std::string&, const TSearchFileData&, bool&) {
    ++events;
    EXPECT_FALSE(Sender.Execute());
  };
  search.Recursive = true;
  search.Directory = root.path();
  EXPECT_TRUE(search.Execute());
  EXPECT_EQ(events, 4 + kAllEntries);
}

TEST(TSearchFile, EndsOnASymbolicLinkCycle) {
  TempDir root;
  MakeTree(root, {"a/", "a/f", "a/loop->.."});
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  // The link is a directory of its own name, listed once; the walk does not go round again.
  EXPECT_EQ(SortedRelative(root.path(), log.dirs),
            (std::vector<std::string>{"~", "~/a", "~/a/loop"}));
  EXPECT_EQ(SortedRelative(root.path(), log.names),
            (std::vector<std::string>{"~/a", "~/a/f", "~/a/loop", "~/a/loop/a"}));
}

TEST(TSearchFile, ShiftJisNamesWithBackslashTrailBytesComeBackWhole) {
  // "表" is 0x95 0x5C and "ソ" 0x83 0x5C in Shift-JIS: the trail byte is the Windows separator.
  TempDir root;
  MakeTree(root, {"\x95\x5C/", "\x95\x5C/\x83\x5C"});
  TSearchFile search(PathSyntax{PathStyle::kNative, CodePage::kShiftJis});
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.Directory = root / "\x95\x5C";
  ASSERT_TRUE(search.Execute());
  EXPECT_EQ(log.dirs, std::vector<std::string>{root / "\x95\x5C"});
  EXPECT_EQ(log.names, std::vector<std::string>{root / "\x95\x5C/\x83\x5C"});
}

}  // namespace
}  // namespace kel
