// Files, safe replacement, long paths and the folder lock of the Windows backend, with the
// error numbers the POSIX backend gives for the same conditions.
#include "platform/file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "platform/exceptions.h"
#include "platform/file_identity.h"
#include "platform/file_info.h"
#include "platform/folder_lock.h"
#include "platform/interrupt_watch.h"
#include "platform/output_file.h"
#include "platform/output_folder.h"
#include "platform/win32/console_control.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"
#include "support/temp_dir.h"
#include "support/win32/files.h"

namespace kel {
namespace {

using test::Wide;

TEST(Win32ErrorTest, SameNumbersAsThePosixBackend) {
  const std::pair<DWORD, int> cases[] = {
      {ERROR_FILE_NOT_FOUND, 2},
      {ERROR_PATH_NOT_FOUND, 3},
      {ERROR_INVALID_NAME, 3},
      {ERROR_DIRECTORY, 3},
      {ERROR_TOO_MANY_OPEN_FILES, 4},
      {ERROR_ACCESS_DENIED, 5},
      {ERROR_WRITE_PROTECT, 5},
      {ERROR_DISK_FULL, 101},
      {ERROR_HANDLE_DISK_FULL, 101},
      {ERROR_FILE_EXISTS, 80},
      {ERROR_ALREADY_EXISTS, 80},
      {ERROR_IO_DEVICE, 1117},
      {ERROR_INVALID_PARAMETER, 87},
      {ERROR_NOT_SUPPORTED, 50},
      {100, 31},
      {101, 31},
  };
  for (const auto& [error, number] : cases)
    EXPECT_EQ(win32::ErrorNumberFromWin32(error), number) << error;
  // Conditions a user can act on keep the system's message and get a reason of their own.
  const struct {
    DWORD error;
    int number;
    const char* reason;
  } own_reasons[] = {
      {ERROR_SHARING_VIOLATION, 32, "別のプログラムがこのファイルを使用中です"},
      {ERROR_LOCK_VIOLATION, 33, "別のプログラムがこのファイルを使用中です"},
      {ERROR_FILE_TOO_LARGE, 223, "ファイルが大きすぎて、このドライブには置けません"},
      {ERROR_NETNAME_DELETED, 59, "ネットワーク上のフォルダとの接続が切れました"},
      {ERROR_BAD_NET_NAME, 53, "ネットワーク上のフォルダが見つかりません"},
      {ERROR_NOT_READY, 21, "ドライブの準備ができていません"},
  };
  for (const auto& row : own_reasons) {
    const int number = win32::ErrorNumberFromWin32(row.error);
    EXPECT_EQ(number, row.number) << row.error;
    EXPECT_EQ(EInOutError(number).Message(),
              test::ProgramText("I/O エラー (" + std::to_string(number) + ")"));
    const std::string reason = ReasonText(Reason::FromErrorNumber(number));
    EXPECT_TRUE(reason.starts_with(test::ProgramText(row.reason))) << number;
  }
  // A code without a counterpart keeps its number and gets the generic text.
  EXPECT_EQ(EInOutError(win32::ErrorNumberFromWin32(ERROR_NOT_SUPPORTED)).Message(),
            EInOutError(50).Message());
}

int OpenError(const std::string& path, OpenMode mode) {
  int error_number = 0;
  return File::TryOpen(path, mode, error_number).IsOpen() ? 0 : error_number;
}

TEST(Win32FileTest, WritesReadsSeeksAndTruncates) {
  test::TempDir dir;
  const std::string path = dir / "f.bin";
  File file = File::Open(path, OpenMode::kCreate);
  file.Write("hello world");
  EXPECT_EQ(file.Size(), 11);
  EXPECT_EQ(file.Position(), 11);
  file.Seek(6);
  char buffer[16] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
  EXPECT_TRUE(file.TryTruncate(5));
  EXPECT_EQ(file.Position(), 11);  // the position stays, as with ftruncate
  EXPECT_EQ(file.Size(), 5);
  file.Close();
  file.Close();
  File::Open(path, OpenMode::kReadWrite).Write("J");
  EXPECT_EQ(test::ReadFile(path), "Jello");
  EXPECT_EQ(File::Open(path, OpenMode::kCreate).Size(), 0);
}

TEST(Win32FileTest, OpenFailuresCarryThePosixNumbers) {
  test::TempDir dir;
  test::WriteFile(dir / "plain", "x");
  EXPECT_EQ(OpenError(dir / "missing", OpenMode::kRead), 2);
  EXPECT_EQ(OpenError(dir / "missing\\below", OpenMode::kCreate), 3);
  EXPECT_EQ(OpenError(dir.path(), OpenMode::kCreate), 5);
  EXPECT_EQ(OpenError(dir.path(), OpenMode::kRead), 5);
  EXPECT_EQ(OpenError(dir / std::string("plain\0tail", 10), OpenMode::kCreate), 3);
  EXPECT_EQ(OpenError(dir / "plain", OpenMode::kCreateNew), kErrorFileExists);
  EXPECT_EQ(OpenError(dir / "plain", OpenMode::kCreateHidden), kErrorFileExists);
  EXPECT_EQ(test::ReadFile(dir / "plain"), "x");
}

TEST(Win32FileTest, HiddenFilesAreCreatedHiddenAndKeptHiddenWhenRewritten) {
  test::TempDir dir;
  File::Open(dir / "temp", OpenMode::kCreateHidden).Write("abc");
  EXPECT_NE(GetFileAttributesW(Wide(dir / "temp").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(FileGetAttr(dir / "temp") & kAttrHidden, kAttrHidden);
  // CREATE_ALWAYS would refuse a hidden file; kCreate empties it and keeps its attributes.
  File::Open(dir / "temp", OpenMode::kCreate).Write("x");
  EXPECT_EQ(test::ReadFile(dir / "temp"), "x");
  EXPECT_NE(FileGetAttr(dir / "temp") & kAttrHidden, 0u);
}

TEST(Win32SafeReplace, MovesIntoPlaceUnhiddenAndRefusesReadOnlyAndFolders) {
  test::TempDir dir;
  File::Open(dir / "new", OpenMode::kCreateHidden).Write("new");
  test::WriteFile(dir / "old", "old");
  ASSERT_EQ(TryReplaceFile(dir / "new", dir / "old"), 0);
  EXPECT_EQ(test::ReadFile(dir / "old"), "new");
  EXPECT_EQ(FileGetAttr(dir / "old") & kAttrHidden, 0u);
  EXPECT_EQ(FileGetAttr(dir / "new"), kInvalidAttributes);

  // Windows refuses to replace a read-only file; Wine would, so the backend checks itself.
  test::WriteFile(dir / "next", "next");
  test::WriteFile(dir / "locked", "keep");
  SetFileAttributesW(Wide(dir / "locked").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(TryReplaceFile(dir / "next", dir / "locked"), 5);
  EXPECT_EQ(test::ReadFile(dir / "locked"), "keep");
  EXPECT_EQ(test::ReadFile(dir / "next"), "next");
  SetFileAttributesW(Wide(dir / "locked").c_str(), FILE_ATTRIBUTE_NORMAL);
  CreateDirectoryW(Wide(dir / "folder").c_str(), nullptr);
  EXPECT_EQ(TryReplaceFile(dir / "next", dir / "folder"), 5);
  EXPECT_EQ(TryReplaceFile(dir / "missing", dir / "old"), 2);

  EXPECT_EQ(TryRemoveEntry(dir / "next"), 0);
  EXPECT_EQ(TryRemoveEntry(dir / "next"), 2);
  EXPECT_EQ(TryRemoveEntry(dir / "folder"), 5);
}

TEST(Win32SafeReplace, OutputFileIsHiddenUntilCommittedAndNeverWritesThroughTheTarget) {
  test::TempDir dir;
  test::WriteFile(dir / "0000_txt.zip", "older archive");
  int error_number = 0;
  OutputFile output = OutputFile::TryCreate(dir / "0000_txt.zip", error_number);
  ASSERT_TRUE(output.IsOpen()) << error_number;
  output.Handle().Write("fresh");
  EXPECT_NE(FileGetAttr(output.TemporaryPath()) & kAttrHidden, 0u);
  EXPECT_EQ(test::ReadFile(dir / "0000_txt.zip"), "older archive");
  ASSERT_EQ(output.TryCommit(), 0);
  EXPECT_EQ(test::ReadFile(dir / "0000_txt.zip"), "fresh");
  EXPECT_EQ(FileGetAttr(dir / "0000_txt.zip"), static_cast<uint32_t>(kAttrArchive));

  // A read-only file at the name: the commit fails with Windows' answer and removes the
  // temporary; the file stays as it was.
  SetFileAttributesW(Wide(dir / "0000_txt.zip").c_str(), FILE_ATTRIBUTE_READONLY);
  OutputFile refused = OutputFile::TryCreate(dir / "0000_txt.zip", error_number);
  ASSERT_TRUE(refused.IsOpen());
  refused.Handle().Write("never");
  const std::string temporary = refused.TemporaryPath();
  EXPECT_EQ(refused.TryCommit(), 5);
  EXPECT_EQ(FileGetAttr(temporary), kInvalidAttributes);
  EXPECT_EQ(test::ReadFile(dir / "0000_txt.zip"), "fresh");
  SetFileAttributesW(Wide(dir / "0000_txt.zip").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32FileTest, StatusThroughTheHandleAndIdentity) {
  test::TempDir dir;
  File file = File::Open(dir / "s.txt", OpenMode::kCreate);
  file.Write("12345");
  int error_number = 0;
  const auto before = file.Status("", error_number);
  ASSERT_TRUE(before);
  EXPECT_EQ(before->size, 5u);
  EXPECT_TRUE(before->is_regular);
  EXPECT_EQ(before->unix_mode, 0100644u);  // made from the attributes
  const auto id = QueryFileIdentity(dir / "s.txt");
  ASSERT_TRUE(id);
  EXPECT_EQ(*id, (FileIdentity{before->device, before->inode}));
  Sleep(20);
  file.Write("6");
  const auto after = file.Status("", error_number);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->size, 6u);
  EXPECT_NE(after->change_time.tv_sec * 1000000000ll + after->change_time.tv_nsec,
            before->change_time.tv_sec * 1000000000ll + before->change_time.tv_nsec);
  file.Close();
  EXPECT_FALSE(RemoveFileIfSame(dir / "s.txt", FileIdentity{id->device, id->inode + 1}));
  EXPECT_TRUE(RemoveFileIfSame(dir / "s.txt", *id));
  EXPECT_FALSE(QueryFileIdentity(dir / "s.txt"));

  int status_error = 0;
  EXPECT_FALSE(QueryFileStatus(dir / "missing", &status_error));
  EXPECT_EQ(status_error, 2);
  EXPECT_TRUE(DirectoryExists(dir.path()));
  EXPECT_FALSE(IsRegularFile(dir.path()));
}

TEST(Win32Paths, FullAndResolvedPaths) {
  test::TempDir dir;
  EXPECT_EQ(ExpandFileName(dir / "x\\..\\y"), dir / "y");
  EXPECT_EQ(ExpandFileName(dir.path() + "/a/./b/"), dir / "a\\b\\");
  EXPECT_EQ(ExpandFileName(""), "");
  EXPECT_FALSE(IsRelativePath("C:\\x"));
  EXPECT_FALSE(IsRelativePath("\\x"));
  EXPECT_FALSE(IsRelativePath("C:x"));
  EXPECT_TRUE(IsRelativePath("x\\y"));
  CreateDirectoryW(Wide(dir / "sub").c_str(), nullptr);
  const auto resolved = ResolveExistingPath(dir / "sub\\..\\sub");
  ASSERT_TRUE(resolved);
  EXPECT_TRUE(DirectoryExists(*resolved));
  EXPECT_EQ(resolved->back(), 'b');
  int error_number = 0;
  EXPECT_FALSE(ResolveExistingPath(dir / "missing", &error_number));
  EXPECT_EQ(error_number, 2);
}

// The one form every file-system call takes: the full path after "\\?\", each name as it
// stands (a trailing dot or space, a device name); only "/", "." and ".." are read.
TEST(Win32Paths, ExtendedPathKeepsEveryNameAsItStands) {
  const struct {
    const wchar_t* given;
    const wchar_t* system;
  } rows[] = {
      {L"C:\\作業\\a.txt.", L"\\\\?\\C:\\作業\\a.txt."},
      {L"C:\\in\\b ", L"\\\\?\\C:\\in\\b "},
      {L"C:\\in\\CON.txt", L"\\\\?\\C:\\in\\CON.txt"},
      {L"C:\\in\\nul", L"\\\\?\\C:\\in\\nul"},
      {L"C:/in/./x/../COM1", L"\\\\?\\C:\\in\\COM1"},
      {L"C:\\in\\", L"\\\\?\\C:\\in"},
      {L"C:\\..", L"\\\\?\\C:\\"},
      {L"\\\\server\\share\\dir\\aux.log", L"\\\\?\\UNC\\server\\share\\dir\\aux.log"},
      {L"//server/share/../x ", L"\\\\?\\UNC\\server\\share\\x "},
      {L"\\\\?\\C:\\kept\\..\\as is", L"\\\\?\\C:\\kept\\..\\as is"},
  };
  for (const auto& row : rows) EXPECT_EQ(win32::ExtendedPath(row.given), row.system);
  // A relative path goes after the current folder, its names untouched.
  std::wstring current(MAX_PATH, L'\0');
  current.resize(GetCurrentDirectoryW(MAX_PATH, current.data()));
  EXPECT_EQ(win32::ExtendedPath(L"x\\LPT1.dat."), win32::ExtendedPath(current + L"\\x\\LPT1.dat."));
  EXPECT_TRUE(win32::ExtendedPath(L"x").starts_with(L"\\\\?\\"));
  EXPECT_EQ(win32::ExtendedPath(L""), L"");
}

// Paths past MAX_PATH reach the system in the "\\?\" form; the program never sees it.
TEST(Win32LongPaths, FilesLookupsAndReplacementsBeyondMaxPath) {
  test::TempDir dir;
  std::string folder = dir.path();
  while (folder.size() < 400) {
    folder += "\\" + std::string(60, 'd');
    ASSERT_TRUE(CreateDirectoryW(win32::ExtendedPath(Wide(folder)).c_str(), nullptr)) << folder;
  }
  const std::string path = folder + "\\report.docx";
  ASSERT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
  File::Open(path, OpenMode::kCreate).Write("long");
  EXPECT_EQ(File::Open(path, OpenMode::kRead).Size(), 4);
  ASSERT_TRUE(QueryFileStatus(path));
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_EQ(ExpandFileName(folder + "\\x\\..\\report.docx"), path);
  int error_number = 0;
  OutputFile output = OutputFile::TryCreate(folder + "\\0000docx.zip", error_number);
  ASSERT_TRUE(output.IsOpen()) << error_number;
  output.Handle().Write("zip");
  ASSERT_EQ(output.TryCommit(), 0);
  EXPECT_EQ(File::Open(folder + "\\0000docx.zip", OpenMode::kRead).Size(), 3);
  EXPECT_EQ(TryRemoveEntry(folder + "\\0000docx.zip"), 0);
  int resolve_error = 0;
  const auto resolved = ResolveExistingPath(path, &resolve_error);
  ASSERT_TRUE(resolved) << resolve_error;
  EXPECT_GT(resolved->size(), static_cast<std::size_t>(MAX_PATH));
  // The lock of a long folder too.
  EXPECT_EQ(FolderLock::TryAcquire(folder).GetState(), FolderLock::State::kLocked);
}

TEST(Win32FolderLock, ASecondLockOfTheSameFolderIsRefusedUntilTheFirstGoes) {
  test::TempDir dir;
  CreateDirectoryW(Wide(dir / "out").c_str(), nullptr);
  FolderLock first = FolderLock::TryAcquire(dir / "out");
  ASSERT_EQ(first.GetState(), FolderLock::State::kLocked);
  // Another spelling of the same folder meets the same lock.
  EXPECT_EQ(FolderLock::TryAcquire(dir / "out\\").GetState(), FolderLock::State::kBusy);
  EXPECT_EQ(FolderLock::TryAcquire(dir / "out\\..\\out").GetState(), FolderLock::State::kBusy);
  EXPECT_EQ(FolderLock::TryAcquire(dir.path()).GetState(), FolderLock::State::kLocked);
  // The lock keeps the folder usable: files are made, listed and moved into it.
  int error_number = 0;
  OutputFile output = OutputFile::TryCreate(dir / "out\\files.txt", error_number);
  ASSERT_TRUE(output.IsOpen());
  EXPECT_EQ(output.TryCommit(), 0);
  const OutputFolder out = OutputFolder::TryOpen(dir / "out", error_number);
  std::vector<std::string> names;
  ASSERT_TRUE(out.TryList(names, error_number)) << error_number;
  EXPECT_EQ(names, std::vector<std::string>{"files.txt"});
  FolderLock moved = std::move(first);
  EXPECT_EQ(FolderLock::TryAcquire(dir / "out").GetState(), FolderLock::State::kBusy);
  moved = FolderLock();
  EXPECT_EQ(FolderLock::TryAcquire(dir / "out").GetState(), FolderLock::State::kLocked);

  const FolderLock missing = FolderLock::TryAcquire(dir / "missing");
  EXPECT_EQ(missing.GetState(), FolderLock::State::kFailed);
  EXPECT_EQ(missing.ErrorNumber(), 2);
}

TEST(Win32InterruptWatch, ConsoleEventsCountAsTheirPosixSignals) {
  EXPECT_EQ(win32::OnConsoleControl(CTRL_C_EVENT), FALSE);  // no watch: the default handling
  {
    const InterruptWatch watch;
    EXPECT_EQ(watch.Signal(), 0);
    EXPECT_EQ(win32::OnConsoleControl(CTRL_BREAK_EVENT), TRUE);
    EXPECT_EQ(watch.Signal(), 15);
    EXPECT_STREQ(InterruptWatch::SignalName(watch.Signal()), "Ctrl+Break");
  }
  {
    const InterruptWatch watch;
    EXPECT_EQ(win32::OnConsoleControl(CTRL_C_EVENT), TRUE);
    EXPECT_EQ(watch.Signal(), 2);
  }
  // After these the system ends the process once the handler returns: it holds the process
  // until the watch goes (the run has cleaned up), and not a moment longer.
  for (const auto& [event, signal] :
       {std::pair<DWORD, int>{CTRL_CLOSE_EVENT, 1}, {CTRL_SHUTDOWN_EVENT, 15}}) {
    std::atomic<bool> returned{false};
    std::thread system_thread;
    ULONGLONG watch_gone = 0;
    {
      const InterruptWatch watch;
      system_thread = std::thread([&, event = event] {
        EXPECT_EQ(win32::OnConsoleControl(event), TRUE);
        returned = true;
      });
      while (watch.Signal() == 0) Sleep(1);
      EXPECT_EQ(watch.Signal(), signal) << event;
      Sleep(50);
      EXPECT_FALSE(returned) << event;
      watch_gone = GetTickCount64();
    }
    system_thread.join();
    EXPECT_LT(GetTickCount64() - watch_gone, 1000u) << event;
  }
  EXPECT_EQ(win32::OnConsoleControl(CTRL_C_EVENT), FALSE);
}

}  // namespace
}  // namespace kel
