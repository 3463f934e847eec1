// The primitives behind safe outputs, on real folders: what a replace, a removal and a new-only
// open do to links and devices, temporaries moved into place or cleared away, the folder lock
// and the interrupt watch.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/file.h"
#include "platform/folder_lock.h"
#include "platform/interrupt_watch.h"
#include "platform/output_file.h"
#include "platform/output_folder.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

namespace fs = std::filesystem;

TEST(SafeOutput, EntriesAreReplacedAndRemovedThemselvesNeverThroughALink) {
  test::TempDir dir;
  test::WriteFile(dir / "victim", "precious");
  fs::create_symlink(dir / "victim", dir / "link");
  fs::create_symlink(dir / "nowhere", dir / "dangling");
  fs::create_directory(dir / "folder");
  int error_number = 0;
  // A new-only open fails on every kind of entry, a dangling link included.
  for (const char* name : {"victim", "link", "dangling", "folder"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(File::TryOpen(dir / name, OpenMode::kCreateNew, error_number).IsOpen());
    EXPECT_EQ(error_number, kErrorFileExists);
  }
  EXPECT_FALSE(fs::exists(dir / "nowhere"));

  test::WriteFile(dir / "new", "new");
  EXPECT_EQ(TryReplaceFile(dir / "new", dir / "link"), 0);
  EXPECT_EQ(test::ReadFile(dir / "link"), "new");
  EXPECT_FALSE(fs::is_symlink(dir / "link"));
  test::WriteFile(dir / "new", "new");
  EXPECT_EQ(TryReplaceFile(dir / "new", dir / "folder"), 5);
  // A device node is never replaced (here the move across file systems fails too).
  EXPECT_NE(TryReplaceFile(dir / "new", "/dev/null"), 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::exists(dir / "new"));

  EXPECT_EQ(TryRemoveEntry(dir / "dangling"), 0);
  EXPECT_NE(TryRemoveEntry(dir / "folder"), 0);
  EXPECT_EQ(TryRemoveEntry(dir / "missing"), 2);
  EXPECT_EQ(test::ReadFile(dir / "victim"), "precious");
}

TEST(SafeOutput, TemporaryIsHiddenUntilCommittedAndGoneWhenDiscarded) {
  test::TempDir dir;
  fs::create_symlink(dir / "victim", dir / "out.zip");
  test::WriteFile(dir / "victim", "precious");
  int error_number = 0;
  OutputFolder folder = OutputFolder::TryOpen(dir.path(), error_number);
  folder.UseNamedTemporaries();
  {
    OutputFile output = OutputFile::TryCreate(folder, "out.zip", error_number);
    ASSERT_TRUE(output.IsOpen());
    const std::string temporary = output.TemporaryPath();
    EXPECT_TRUE(IsTemporaryName(fs::path(temporary).filename()));
    EXPECT_EQ(fs::path(temporary).parent_path(), fs::path(dir.path()));
    output.Handle().Write("archive");
    EXPECT_TRUE(fs::is_symlink(dir / "out.zip"));  // nothing happens at the name before
    EXPECT_EQ(output.TryCommit(), 0);
    EXPECT_FALSE(fs::exists(temporary));
  }
  EXPECT_EQ(test::ReadFile(dir / "out.zip"), "archive");
  EXPECT_EQ(test::ReadFile(dir / "victim"), "precious");
  {
    OutputFile output = OutputFile::TryCreate(dir / "out.zip", error_number);
    output.Handle().Write("half");
  }  // dropped without a commit
  EXPECT_EQ(test::ReadFile(dir / "out.zip"), "archive");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);

  error_number = 0;
  EXPECT_FALSE(OutputFile::TryCreate(dir / "no/such/out.zip", error_number).IsOpen());
  EXPECT_NE(error_number, 0);
}

// Where the folder makes files without a name: none shows in the folder until the commit, which
// names it when the name is free and otherwise replaces what stands there as a named temporary
// would (never through a link), or leaves a folder alone.
TEST(SafeOutput, UnnamedOutputAppearsOnlyWhenCommitted) {
  struct Row {
    const char* standing;  // what stands at the final name before
    int commit;            // TryCommit's result
  };
  const Row rows[] = {{"nothing", 0},  {"older file", 0}, {"link", 0},
                      {"dangling", 0}, {"fifo", 0},       {"folder", 5}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.standing);
    test::TempDir dir;
    test::WriteFile(dir / "victim", "precious");
    const std::string standing = row.standing;
    if (standing == "older file") test::WriteFile(dir / "out.zip", "older");
    if (standing == "link") fs::create_symlink(dir / "victim", dir / "out.zip");
    if (standing == "dangling") fs::create_symlink(dir / "nowhere", dir / "out.zip");
    if (standing == "fifo") {
      ASSERT_EQ(mkfifo((dir / "out.zip").c_str(), 0600), 0);
    }
    if (standing == "folder") fs::create_directory(dir / "out.zip");
    const auto before = std::distance(fs::directory_iterator(dir.path()), {});
    int error_number = 0;
    const OutputFolder folder = OutputFolder::TryOpen(dir.path(), error_number);
    {
      OutputFile dropped = OutputFile::TryCreate(folder, "out.zip", error_number);
      dropped.Handle().Write("dropped");
    }
    OutputFile output = OutputFile::TryCreate(folder, "out.zip", error_number);
    ASSERT_TRUE(output.IsOpen());
    EXPECT_EQ(output.TemporaryPath(), "");
    output.Handle().Write("archive");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), before);
    bool move_failed = false;
    EXPECT_EQ(output.TryCommit(&move_failed), row.commit);
    EXPECT_EQ(move_failed, row.commit != 0);
    EXPECT_EQ(test::ReadFile(dir / "victim"), "precious");
    if (row.commit == 0) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "out.zip")));
      EXPECT_EQ(test::ReadFile(dir / "out.zip"), "archive");
    } else {
      EXPECT_TRUE(fs::is_directory(dir / "out.zip"));
    }
    // A later output to a free name lands too, after a taken name as after a free one.
    OutputFile next = OutputFile::TryCreate(folder, "next.zip", error_number);
    next.Handle().Write("next");
    EXPECT_EQ(next.TryCommit(), 0);
    EXPECT_EQ(test::ReadFile(dir / "next.zip"), "next");
    // The victim, out.zip and next.zip: no temporary, dropped or used, stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3);
  }
}

// Only the look of a name; which of these may be removed is the job's own-temporaries test.
TEST(SafeOutput, TemporaryNamesAreRecognisedByTheirLook) {
  struct Row {
    const char* name;
    bool temporary;
  };
  const Row rows[] = {
      {".kelvarin-0123456789ab-0000docx.zip.tmp", true},
      {".kelvarin-0123456789ab-files.txt.tmp", true},
      {".kelvarin-0123456789AB-files.txt.tmp", false},  // never written in upper case
      {".kelvarin-0123456789ab-.tmp", false},           // no final name
      {".kelvarin-012345-0000docx.zip.tmp", false},
      {"kelvarin-0123456789ab-0000docx.zip.tmp", false},
      {".kelvarin-0123456789ab-0000docx.zip", false},
      {"0000docx.zip", false},
  };
  for (const Row& row : rows) EXPECT_EQ(IsTemporaryName(row.name), row.temporary) << row.name;
}

TEST(SafeOutput, OneLockPerFolderReleasedWithItsHolder) {
  test::TempDir dir;
  {
    FolderLock first = FolderLock::TryAcquire(dir.path());
    ASSERT_EQ(first.GetState(), FolderLock::State::kLocked);
    EXPECT_EQ(FolderLock::TryAcquire(dir.path()).GetState(), FolderLock::State::kBusy);
    FolderLock moved = std::move(first);
    EXPECT_EQ(FolderLock::TryAcquire(dir.path()).GetState(), FolderLock::State::kBusy);
  }
  EXPECT_EQ(FolderLock::TryAcquire(dir.path()).GetState(), FolderLock::State::kLocked);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 0);  // no lock file
  const FolderLock missing = FolderLock::TryAcquire(dir / "missing");
  EXPECT_EQ(missing.GetState(), FolderLock::State::kFailed);
  EXPECT_EQ(missing.ErrorNumber(), 2);
}

TEST(SafeOutput, InterruptWatchTakesTheSignalInsteadOfDying) {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    InterruptWatch watch;
    EXPECT_EQ(watch.Signal(), 0);
    kill(getpid(), signal_number);
    for (int i = 0; i < 200 && watch.Signal() == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(watch.Signal(), signal_number);
  }
}

}  // namespace
}  // namespace kel
