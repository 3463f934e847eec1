#include "search/search_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <stdexcept>

#include "platform/exceptions.h"
#include "search/search_test_tree.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

using test::MakeDir;
using test::MakeLink;
using test::Relative;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// Records every event of a search, in order. Directory events are marked with "D:".
struct Log {
  std::vector<std::string> names;  // OnFind names
  std::vector<std::string> dirs;   // OnFindDir names
  std::vector<std::string> order;  // both, as they came
  std::vector<TSearchFileData> data;
  std::vector<TSearchFileData> dir_data;
};

void Attach(TSearchFile& search, Log& log) {
  search.OnFind = [&log](TSearchFile&, const std::string& Name, const TSearchFileData& Data,
                         bool&) {
    log.names.push_back(Name);
    log.order.push_back(Name);
    log.data.push_back(Data);
  };
  search.OnFindDir = [&log](TSearchFile&, const std::string& Name, const TSearchFileData& Data,
                            bool&, bool&) {
    log.dirs.push_back(Name);
    log.order.push_back("D:" + Name);
    log.dir_data.push_back(Data);
  };
}

// root/{one.txt, two.doc, .hidden, sub/{in.txt, deeper/{x.txt}}, other.txt/{y.doc}}
void MakeTree(const TempDir& root) {
  WriteFile(root / "one.txt", "1");
  WriteFile(root / "two.doc", "22");
  WriteFile(root / ".hidden", "");
  MakeDir(root / "sub");
  WriteFile(root / "sub/in.txt", "");
  MakeDir(root / "sub/deeper");
  WriteFile(root / "sub/deeper/x.txt", "");
  MakeDir(root / "other.txt");
  WriteFile(root / "other.txt/y.doc", "");
}

TEST(TSearchFile, StartsIdle) {
  TSearchFile search;
  EXPECT_EQ(search.Directory, "");
  EXPECT_EQ(search.SearchName, "");
  EXPECT_FALSE(search.Recursive);
  EXPECT_FALSE(search.OnFind);
  EXPECT_FALSE(search.OnFindDir);
  EXPECT_FALSE(search.Busy());
}

TEST(TSearchFile, ReportsTheEntriesOfOneFolderWithOrWithoutTrailingSeparator) {
  TempDir root;
  MakeTree(root);
  const std::vector<std::string> expected = {"~/.hidden", "~/one.txt", "~/other.txt", "~/sub",
                                             "~/two.doc"};
  for (const std::string& dir : {root.path(), root.path() + "/", root.path() + "/sub/.."}) {
    TSearchFile search;
    Log log;
    Attach(search, log);
    search.Directory = dir;
    ASSERT_TRUE(search.Execute()) << dir;
    EXPECT_EQ(Sorted(Relative(root.path(), log.names)), expected) << dir;
    EXPECT_TRUE(log.dirs.empty()) << "OnFindDir belongs to recursive searches only";
  }
}

TEST(TSearchFile, DescribesEachEntry) {
  TempDir root;
  WriteFile(root / "data.bin", std::string(12345, 'x'));
  WriteFile(root / "locked", "");
  ::chmod((root / "locked").c_str(), 0444);
  WriteFile(root / ".dot", "");
  MakeDir(root / "dir");
  WriteFile(root / "target", "abc");
  MakeLink("target", root / "link");  // links are followed

  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  std::map<std::string, TSearchFileData> by_name;
  for (const auto& d : log.data) by_name[d.FileName] = d;
  ASSERT_EQ(by_name.size(), 6u);
  for (const auto& [name, d] : by_name) {
    EXPECT_EQ(d.ShortName, d.FileName);
    EXPECT_TRUE(d.LastWriteTimeValid) << name;
    EXPECT_FALSE(d.IsVolumeId || d.IsSystem) << name;
  }
  EXPECT_EQ(by_name["data.bin"].Size, 12345);
  EXPECT_TRUE(by_name["data.bin"].IsArchive);
  EXPECT_FALSE(by_name["data.bin"].IsReadOnly || by_name["data.bin"].IsHidden ||
               by_name["data.bin"].IsDirectory);
  EXPECT_TRUE(by_name["locked"].IsReadOnly);
  EXPECT_TRUE(by_name[".dot"].IsHidden);
  EXPECT_TRUE(by_name["dir"].IsDirectory);
  EXPECT_FALSE(by_name["dir"].IsArchive);
  EXPECT_EQ(by_name["link"].Size, 3);
  EXPECT_TRUE(by_name["link"].IsArchive);
}

TEST(TSearchFile, APreEpochOfMsDosTimeClearsOnlyItsOwnFlag) {
  test::ScopedTimeZone utc("UTC");
  TempDir root;
  WriteFile(root / "old-write", "");
  WriteFile(root / "old-access", "");
  const time_t good = 981173106;  // 2001-02-03 04:05:06
  test::SetTimes(root / "old-write", good, 0);
  test::SetTimes(root / "old-access", 0, good);

  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  ASSERT_EQ(log.data.size(), 2u);
  const double expected = 36925.0 + (4 * 3600 + 5 * 60 + 6) / 86400.0;
  for (const auto& d : log.data) {
    const bool old_write = d.FileName == "old-write";
    EXPECT_EQ(d.LastWriteTimeValid, !old_write) << d.FileName;
    EXPECT_EQ(d.LastAccessTimeValid, old_write) << d.FileName;
    EXPECT_NEAR(old_write ? d.LastAccessTime : d.LastWriteTime, expected, 1e-9);
  }
}

TEST(TSearchFile, NeverReportsDotEntriesAndAnEmptyFolderGivesNoEvent) {
  TempDir root;
  MakeDir(root / "empty");
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Directory = root / "empty";
  EXPECT_TRUE(search.Execute());
  search.SearchName = ".*";  // would match "." and ".."
  EXPECT_TRUE(search.Execute());
  search.Recursive = true;
  EXPECT_TRUE(search.Execute());
  EXPECT_TRUE(log.names.empty());
  EXPECT_EQ(log.dirs, std::vector<std::string>{root / "empty"});
}

TEST(TSearchFile, AMissingOrEmptyFolderGivesNoEventAndSucceeds) {
  TempDir root;
  WriteFile(root / "present", "");
  test::ScopedCurrentDir cwd(root.path());  // an empty path must not list this folder
  for (bool recursive : {false, true}) {
    for (const std::string& dir : {root / "missing", std::string()}) {
      TSearchFile search;
      Log log;
      Attach(search, log);
      search.Recursive = recursive;
      search.Directory = dir;
      EXPECT_TRUE(search.Execute()) << dir << " recursive " << recursive;
      EXPECT_TRUE(log.order.empty()) << dir << " recursive " << recursive;
    }
  }
}

TEST(TSearchFile, DoesNotStartWithoutOnFind) {
  TempDir root;
  MakeTree(root);
  TSearchFile search;
  int dir_events = 0;
  search.OnFindDir = [&](TSearchFile&, const std::string&, const TSearchFileData&, bool&,
                         bool&) { ++dir_events; };
  search.Recursive = true;
  search.Directory = root.path();
  EXPECT_FALSE(search.Execute());
  EXPECT_EQ(dir_events, 0);
  EXPECT_FALSE(search.Busy());
}

TEST(TSearchFile, RecursiveWalksFirstThenListsEachFolderInWalkOrder) {
  TempDir root;
  MakeTree(root);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());

  EXPECT_EQ(Sorted(Relative(root.path(), log.dirs)),
            (std::vector<std::string>{"~", "~/other.txt", "~/sub", "~/sub/deeper"}));
  EXPECT_EQ(log.dirs.front(), root.path());
  EXPECT_EQ(log.dirs.back(), root / "sub/deeper");
  // Every OnFindDir comes before the first OnFind.
  const auto first_file = std::find_if(log.order.begin(), log.order.end(),
                                       [](const std::string& s) { return !s.starts_with("D:"); });
  EXPECT_TRUE(std::all_of(first_file, log.order.end(),
                          [](const std::string& s) { return !s.starts_with("D:"); }));
  // Entries come folder by folder, in the order the folders were walked.
  std::vector<std::string> parents;
  for (const auto& name : log.names) {
    const std::string parent = name.substr(0, name.rfind('/'));
    if (parents.empty() || parents.back() != parent) parents.push_back(parent);
  }
  EXPECT_EQ(parents, log.dirs);
  EXPECT_EQ(log.names.size(), 9u);  // 5 at the top, 2 in sub, 1 in deeper, 1 in other.txt
}

TEST(TSearchFile, AMaskFiltersEntriesButNotTheWalk) {
  TempDir root;
  MakeTree(root);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.SearchName = "*.txt";
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  EXPECT_EQ(log.dirs.size(), 4u);  // sub and deeper do not match, and are walked all the same
  EXPECT_EQ(Sorted(Relative(root.path(), log.names)),
            (std::vector<std::string>{"~/one.txt", "~/other.txt", "~/sub/deeper/x.txt",
                                      "~/sub/in.txt"}));
}

// root/{top, A/{fa, B/{fb}}, C/{fc}}; the flags are set for A.
struct FlagCase {
  bool skip;
  bool ignore;
};

class SkipAndIgnore : public ::testing::TestWithParam<FlagCase> {};

TEST_P(SkipAndIgnore, DecideTheEntriesAndTheWalkBelowADirectory) {
  const FlagCase flags = GetParam();
  TempDir root;
  WriteFile(root / "top", "");
  MakeDir(root / "A");
  WriteFile(root / "A/fa", "");
  MakeDir(root / "A/B");
  WriteFile(root / "A/B/fb", "");
  MakeDir(root / "C");
  WriteFile(root / "C/fc", "");

  TSearchFile search;
  Log log;
  Attach(search, log);
  search.OnFindDir = [&](TSearchFile&, const std::string& Name, const TSearchFileData&,
                         bool& Skip, bool& IgnoreSubDir) {
    EXPECT_FALSE(Skip);
    EXPECT_FALSE(IgnoreSubDir);
    log.dirs.push_back(Name);
    if (Name == root / "A") {
      Skip = flags.skip;
      IgnoreSubDir = flags.ignore;
    }
  };
  search.Recursive = true;
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());

  std::vector<std::string> dirs = {"~", "~/A", "~/C"};
  std::vector<std::string> names = {"~/A", "~/C", "~/C/fc", "~/top"};
  if (!flags.skip) names.insert(names.end(), {"~/A/B", "~/A/fa"});
  if (!flags.ignore) {
    dirs.push_back("~/A/B");
    names.push_back("~/A/B/fb");
  }
  EXPECT_EQ(Sorted(Relative(root.path(), log.dirs)), Sorted(dirs));
  EXPECT_EQ(Sorted(Relative(root.path(), log.names)), Sorted(names));
}

INSTANTIATE_TEST_SUITE_P(FourCombinations, SkipAndIgnore,
                         ::testing::Values(FlagCase{false, false}, FlagCase{true, false},
                                           FlagCase{false, true}, FlagCase{true, true}));

TEST(TSearchFile, RecursiveStartWithTrailingSeparator) {
  TempDir root;
  MakeTree(root);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.Directory = root.path() + "/";
  ASSERT_TRUE(search.Execute());
  ASSERT_FALSE(log.dirs.empty());
  EXPECT_EQ(log.dirs.front(), root.path() + "/");
  EXPECT_EQ(log.dir_data.front().FileName, "");
  EXPECT_FALSE(log.dir_data.front().IsDirectory);
  EXPECT_EQ(log.names.size(), 9u);
  for (const auto& name : log.names) EXPECT_EQ(name.find("//"), std::string::npos) << name;
}

TEST(TSearchFile, ContinueFalseStopsAtOnce) {
  TempDir root;
  MakeTree(root);
  for (bool recursive : {false, true}) {
    TSearchFile search;
    int events = 0;
    search.OnFind = [&](TSearchFile& Sender, const std::string&, const TSearchFileData&,
                        bool& Continue) {
      EXPECT_TRUE(Sender.Busy());
      EXPECT_TRUE(Continue);
      ++events;
      Continue = false;
    };
    search.Recursive = recursive;
    search.Directory = root.path();
    EXPECT_FALSE(search.Execute());
    EXPECT_EQ(events, 1);
    EXPECT_FALSE(search.Busy());
    EXPECT_FALSE(search.Execute());  // stops again: no state left from the last run
    EXPECT_EQ(events, 2);
  }
}

TEST(TSearchFile, AbortRaisedByOnFindIsSilent) {
  TempDir root;
  MakeTree(root);
  TSearchFile search;
  int events = 0;
  search.OnFind = [&](TSearchFile&, const std::string&, const TSearchFileData&, bool&) {
    if (++events == 2) throw EAbort();
  };
  search.Recursive = true;
  search.Directory = root.path();
  EXPECT_FALSE(search.Execute());
  EXPECT_EQ(events, 2);
  EXPECT_FALSE(search.Busy());
}

TEST(TSearchFile, AbortRaisedByOnFindDirEndsOnlyTheWalk) {
  TempDir root;
  MakeTree(root);
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.OnFindDir = [&](TSearchFile&, const std::string& Name, const TSearchFileData&, bool&,
                         bool&) {
    log.dirs.push_back(Name);
    if (log.dirs.size() == 2) throw EAbort();  // the second directory is not collected
  };
  search.Recursive = true;
  search.Directory = root.path();
  EXPECT_TRUE(search.Execute());
  EXPECT_EQ(log.dirs.size(), 2u);
  EXPECT_EQ(Sorted(Relative(root.path(), log.names)),
            (std::vector<std::string>{"~/.hidden", "~/one.txt", "~/other.txt", "~/sub",
                                      "~/two.doc"}));
}

TEST(TSearchFile, OtherExceptionsPassOutAndLeaveItIdle) {
  TempDir root;
  MakeTree(root);
  TSearchFile search;
  search.Directory = root.path();
  search.Recursive = true;
  search.OnFind = [](TSearchFile&, const std::string&, const TSearchFileData&, bool&) {
    throw std::runtime_error("from OnFind");
  };
  EXPECT_THROW(search.Execute(), std::runtime_error);
  EXPECT_FALSE(search.Busy());

  Log log;
  Attach(search, log);
  search.OnFindDir = [](TSearchFile&, const std::string& Name, const TSearchFileData&, bool&,
                        bool&) {
    if (Name.ends_with("/sub")) throw EInOutError(5);
  };
  EXPECT_THROW(search.Execute(), EInOutError);
  EXPECT_FALSE(search.Busy());
  EXPECT_TRUE(log.names.empty());

  search.OnFindDir = nullptr;
  EXPECT_TRUE(search.Execute());
  EXPECT_EQ(log.names.size(), 9u);
}

TEST(TSearchFile, ExecuteFromInsideOnFindReturnsFalseAndTheSearchGoesOn) {
  TempDir root;
  MakeTree(root);
  TSearchFile search;
  int events = 0;
  int nested_dir_events = 0;
  search.OnFindDir = [&](TSearchFile& Sender, const std::string&, const TSearchFileData&, bool&,
                         bool&) {
    ++nested_dir_events;
    EXPECT_FALSE(Sender.Execute());
  };
  search.OnFind = [&](TSearchFile& Sender, const std::string&, const TSearchFileData&, bool&) {
    ++events;
    EXPECT_FALSE(Sender.Execute());
  };
  search.Recursive = true;
  search.Directory = root.path();
  EXPECT_TRUE(search.Execute());
  EXPECT_EQ(events, 9);
  EXPECT_EQ(nested_dir_events, 4);
}

TEST(TSearchFile, VirtualHooksSeeEveryEvent) {
  // A derived component can watch the events without taking the handlers.
  class Counting : public TSearchFile {
   public:
    void DoFind(const std::string& Name, const TSearchFileData& Data, bool& Continue) override {
      ++finds;
      TSearchFile::DoFind(Name, Data, Continue);
    }
    void DoFindDir(const std::string&, const TSearchFileData&, bool& Skip, bool&) override {
      ++dirs;
      Skip = true;  // nothing is listed
    }
    int finds = 0;
    int dirs = 0;
  };
  TempDir root;
  MakeTree(root);
  Counting search;
  int handled = 0;
  search.OnFind = [&](TSearchFile&, const std::string&, const TSearchFileData&, bool&) {
    ++handled;
  };
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  EXPECT_EQ(search.finds, 5);
  EXPECT_EQ(handled, 5);
  search.Recursive = true;
  ASSERT_TRUE(search.Execute());
  EXPECT_EQ(search.dirs, 4);
  EXPECT_EQ(search.finds, 5);
}

TEST(TSearchFile, EndsOnASymbolicLinkCycle) {
  TempDir root;
  MakeDir(root / "a");
  WriteFile(root / "a/f", "");
  MakeLink("..", root / "a/loop");
  TSearchFile search;
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  // The link is a directory of its own name, listed once; the walk does not go round again.
  EXPECT_EQ(Sorted(Relative(root.path(), log.dirs)),
            (std::vector<std::string>{"~", "~/a", "~/a/loop"}));
  EXPECT_EQ(Sorted(Relative(root.path(), log.names)),
            (std::vector<std::string>{"~/a", "~/a/f", "~/a/loop", "~/a/loop/a"}));
}

TEST(TSearchFile, ShiftJisNamesWithBackslashTrailBytes) {
  // "表" is 0x95 0x5C and "ソ" 0x83 0x5C in Shift-JIS: the trail byte is the Windows
  // separator. Names are bytes here and must come back whole, with one separator.
  TempDir root;
  const std::string folder = root / "\x95\x5C";
  MakeDir(folder);
  WriteFile(folder + "/\x83\x5C", "");
  TSearchFile search(PathSyntax{PathStyle::kNative, CodePage::kShiftJis});
  Log log;
  Attach(search, log);
  search.Recursive = true;
  search.Directory = root.path();
  ASSERT_TRUE(search.Execute());
  EXPECT_EQ(Sorted(log.names),
            (std::vector<std::string>{folder, folder + "/\x83\x5C"}));
}

}  // namespace
}  // namespace kel
