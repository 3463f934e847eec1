// Failures injected for real: missing files, an archive's temporary removed or replaced, a
// source that fails to read (/proc/self/mem at offset 0), a source that is no regular file, and
// a file size limit (RLIMIT_FSIZE, which makes writes past it fail as a full disk does) in a
// forked child.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <utility>

#include "platform/exceptions.h"
#include "platform/output_folder.h"
#include "support/temp_dir.h"
#include "zip/entry_stream.h"
#include "zip/zip_builder.h"
#include "zip/zip_reading.h"

namespace kel {
namespace {

// The reason beside a message, as Outcome shows it.
std::string Beside(const Exception& e) {
  const std::string reason = ReasonText(e.GetReason());
  return reason.empty() ? "" : " [" + reason + "]";
}

// What `action` raised, as one comparable line.
std::string Outcome(const std::function<void()>& action) {
  try {
    action();
  } catch (const EGZipError& e) {
    return "EGZipError " + std::to_string(e.Code) + "/" + std::to_string(e.ErrorCode) + ": " +
           e.Message() + Beside(e);
  } catch (const EInOutError& e) {
    return "EInOutError " + std::to_string(e.ErrorCode) + ": " + e.Message() + Beside(e);
  }
  return "ok";
}

const std::string kDiskFull = "[" + EInOutError::MessageFor(101) + "]";

// Limits how far this process may make a file grow; later writes fail with EFBIG.
void SetFileSizeLimit(rlim_t limit) {
  const struct rlimit r = {limit, RLIM_INFINITY};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &r), 0);
}

// Runs `body` in a forked child (SIGXFSZ ignored, so an oversized write fails instead of
// killing it) and returns the text it produced.
std::string InChild(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    signal(SIGXFSZ, SIG_IGN);
    std::string text;
    try {
      text = body();
    } catch (const std::exception& e) {
      text = std::string("uncaught: ") + e.what();
    }
    (void)!write(fds[1], text.data(), text.size());
    _exit(0);
  }
  close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return text;
}

class ZipFailureTest : public ::testing::Test {
 protected:
  // Through named temporaries, which these tests reach by path: what file systems without
  // unnamed files (FAT, NFS) and Windows write through.
  ZipFailureTest() {
    int error_number = 0;
    folder_ = OutputFolder::TryOpen(dir_.path(), error_number);
    folder_.UseNamedTemporaries();
    builder_.SetOutputFolder(&folder_);
  }
  std::string Source(const std::string& name, const std::string& content) {
    test::WriteFile(dir_ / name, content);
    return dir_ / name;
  }
  std::string Base() const { return dir_.path() + "/"; }

  test::TempDir dir_;
  std::string archive_ = dir_ / "f.zip";
  OutputFolder folder_;
  TZipBuilder builder_;
};

TEST_F(ZipFailureTest, MissingSourceIsCodeTwoAndTheArchiveGoesOn) {
  const std::string missing = dir_ / "missing.txt";
  builder_.OpenArchive(archive_, Base());
  EXPECT_EQ(Outcome([&] { builder_.AddFileToArchive(missing); }),
            "EGZipError 2/0: Error opening " + missing + " [ファイルが見つかりません]");
  builder_.AddFileToArchive(Source("ok.txt", "ok"));
  builder_.CloseArchive();
  test::ExpectArchiveHolds(archive_, {{"ok.txt", "ok"}});
}

TEST_F(ZipFailureTest, TemporaryRemovedOrReplacedIsReportedAndNothingIsMovedIntoPlace) {
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace ? "replaced" : "removed");
    builder_.OpenArchive(archive_, Base());
    const std::string temporary = builder_.TemporaryPath();
    ASSERT_FALSE(temporary.empty());
    std::filesystem::remove(temporary);
    if (replace) test::WriteFile(temporary, "someone else's");
    builder_.AddFileToArchive(Source("a.txt", "a"));  // goes on into the handle's file
    EXPECT_EQ(Outcome([&] { builder_.CloseArchive(); }),
              "EInOutError 2: " + EInOutError::MessageFor(2));
    EXPECT_FALSE(std::filesystem::exists(archive_));
    EXPECT_EQ(builder_.ArchiveName(), "");  // given up: the next OpenArchive starts afresh
    // What stands at the temporary's name now is not the builder's: it stays.
    EXPECT_EQ(std::filesystem::exists(temporary), replace);
    std::filesystem::remove(temporary);
  }
}

TEST_F(ZipFailureTest, SourceThatIsNoRegularFileIsNeverRead) {
  // A folder fails to open at all; a FIFO and a device open, and are refused by their kind.
  const std::string fifo = dir_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir_ / "folder";
  std::filesystem::create_directory(folder);
  builder_.OpenArchive(archive_, Base());
  EXPECT_EQ(Outcome([&] { builder_.AddFileToArchive(fifo); }),
            "EGZipError 2/0: Error opening " + fifo + " [通常のファイルではありません]");
  EXPECT_EQ(Outcome([&] { builder_.AddFileToArchive("/dev/zero"); }),
            "EGZipError 2/0: Error opening /dev/zero [通常のファイルではありません]");
  EXPECT_EQ(Outcome([&] { builder_.AddFileToArchive(folder); }),
            "EGZipError 2/0: Error opening " + folder + " [通常のファイルではありません]");
  builder_.CloseArchive();
  EXPECT_EQ(std::filesystem::file_size(archive_), 22u);  // the bare end record: nothing was read
}

TEST_F(ZipFailureTest, SourceThatFailsToReadIsCodeFour) {
  // Offset 0 of a process's memory is never mapped: opening works, reading fails.
  const std::string source = "/proc/self/mem";
  builder_.OpenArchive(archive_, Base());
  EXPECT_EQ(
      Outcome([&] { builder_.AddFileToArchive(source); }),
      "EGZipError 4/0: Error reading from " + source + " [" + EInOutError::MessageFor(1117) + "]");
  EXPECT_EQ(std::filesystem::file_size(builder_.TemporaryPath()), 0u);
  builder_.AddFileToArchive(Source("after.txt", "after"));
  builder_.CloseArchive();
  test::ExpectArchiveHolds(archive_, {{"after.txt", "after"}});
}

TEST_F(ZipFailureTest, ArchiveInAMissingFolderFailsToBeCreated) {
  const std::string nowhere = dir_ / "no/such/folder/a.zip";
  builder_.SetOutputFolder(nullptr);  // the builder opens the archive's folder itself
  const std::string outcome = Outcome([&] { builder_.OpenArchive(nowhere, Base()); });
  EXPECT_EQ(outcome.rfind("EInOutError ", 0), 0u) << outcome;
  EXPECT_EQ(builder_.ArchiveName(), nowhere);
  EXPECT_TRUE(builder_.ArchiveEntries().empty());
}

TEST_F(ZipFailureTest, SourceChangedWhileReadFailsAndLeavesNoEntry) {
  struct Row {
    const char* change;
    std::function<void(const std::string&)> apply;
  };
  const Row rows[] = {
      {"shrunk", [](const std::string& p) { std::filesystem::resize_file(p, 1000); }},
      {"grown", [](const std::string& p) { std::filesystem::resize_file(p, 300000); }},
      {"rewritten in place, same size",
       [](const std::string& p) { test::WriteFile(p, test::MakeBytes(100000, 9, true)); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.change);
    const std::string source = Source("moving.txt", test::MakeBytes(100000, 4, true));
    // An old time, so that any write moves it whatever the clock's granularity.
    std::filesystem::last_write_time(source, std::filesystem::file_time_type{});
    bool changed = false;
    builder_.OnProgress = [&](uint64_t) {
      if (!std::exchange(changed, true)) row.apply(source);
    };
    builder_.OpenArchive(archive_, Base());
    EXPECT_EQ(
        Outcome([&] { builder_.AddFileToArchive(source); }),
        "EGZipError 4/0: Error reading from " + source + " [読み込み中にファイルが変更されました]");
    EXPECT_TRUE(builder_.ArchiveEntries().empty());
    EXPECT_EQ(std::filesystem::file_size(builder_.TemporaryPath()), 0u);
    builder_.DiscardArchive();
    EXPECT_FALSE(std::filesystem::exists(archive_));
  }
}

TEST_F(ZipFailureTest, WriteFailingMidEntryIsCodeFive) {
  const std::string good = Source("good.txt", "good");
  const std::string noise = Source("noise.bin", test::MakeBytes(200000, 1, false));
  const std::string result = InChild([&] {
    builder_.OpenArchive(archive_, Base());
    builder_.AddFileToArchive(good);
    const std::string temporary = builder_.TemporaryPath();
    const auto good_end = std::filesystem::file_size(temporary);
    SetFileSizeLimit(good_end + 1000);
    std::string text = Outcome([&] { builder_.AddFileToArchive(noise); });
    SetFileSizeLimit(RLIM_INFINITY);
    text += "|" + std::to_string(std::filesystem::file_size(temporary) == good_end);
    builder_.CloseArchive();
    return text;
  });
  // Nothing of the failed entry stays behind.
  EXPECT_EQ(result, "EGZipError 5/0: Error writing to " + archive_ + " " + kDiskFull + "|1");
  test::ExpectArchiveHolds(archive_, {{"good.txt", "good"}});
}

TEST_F(ZipFailureTest, WriteFailingAtTheFinishIsCodeThree) {
  // A small entry reaches the archive only at the finish, header and data in one write.
  const std::string small = Source("small.txt", test::MakeBytes(5000, 2, true));
  const std::string result = InChild([&] {
    builder_.OpenArchive(archive_, Base());
    SetFileSizeLimit(30 + 9 + 3);
    return Outcome([&] { builder_.AddFileToArchive(small); }) + "|" +
           std::to_string(builder_.ArchiveEntries().size()) + "|" +
           std::to_string(std::filesystem::file_size(builder_.TemporaryPath()));
  });
  EXPECT_EQ(result, "EGZipError 3/0: Error closing " + archive_ + " " + kDiskFull + "|0|0");
  EXPECT_FALSE(std::filesystem::exists(archive_));
}

TEST_F(ZipFailureTest, FailedCloseKeepsTheArchiveOpenForAnotherTry) {
  const std::string a = Source("a.txt", "a");
  const std::string result = InChild([&] {
    builder_.OpenArchive(archive_, Base());
    builder_.AddFileToArchive(a);
    SetFileSizeLimit(std::filesystem::file_size(builder_.TemporaryPath()) + 20);
    std::string text = Outcome([&] { builder_.CloseArchive(); });
    text += "|" + builder_.ArchiveName();
    text += "|" + std::to_string(builder_.ArchiveEntries().size());
    SetFileSizeLimit(RLIM_INFINITY);
    builder_.CloseArchive();
    return text;
  });
  EXPECT_EQ(result, "EInOutError 101: " + EInOutError::MessageFor(101) + "|" + archive_ + "|1");
  // No remains of the first attempt between the entry and the directory.
  const std::size_t entry = 30 + 5 + test::RawDeflate("a", 6, 0).size();
  EXPECT_EQ(std::filesystem::file_size(archive_), entry + 46 + 5 + 22);
  test::ExpectArchiveHolds(archive_, {{"a.txt", "a"}});
}

TEST_F(ZipFailureTest, StreamReportsAFailedBufferWriteAsAShortCount) {
  test::WriteFile(archive_, "");
  const std::string noise = test::MakeBytes(100000, 3, false);
  const std::string result = InChild([&] {
    auto s = EntryOpen(archive_, "6", "n.bin", 0x5A8C6C21);
    SetFileSizeLimit(5000);
    const int64_t consumed = EntryWrite(s.get(), noise.data(), 100000);
    return std::to_string(consumed < 100000) + " " + std::to_string(s->LastError) + " " +
           std::to_string(EntryClose(s.get()));
  });
  EXPECT_EQ(result, "1 -1 -1");
}

}  // namespace
}  // namespace kel
