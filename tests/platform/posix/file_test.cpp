#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/exceptions.h"
#include "support/temp_dir.h"

namespace kel {
namespace {

TEST(ErrorNumberTest, MapsErrnoToMessageTableNumbers) {
  const std::pair<int, int> cases[] = {
      {ENOENT, 2},  {ENOTDIR, 3}, {ENAMETOOLONG, 3}, {ELOOP, 3},  {EMFILE, 4},   {ENFILE, 4},
      {EACCES, 5},  {EPERM, 5},   {EROFS, 5},        {EISDIR, 5}, {ENOSPC, 101}, {EDQUOT, 101},
      {EFBIG, 101}, {EEXIST, 80}, {EBUSY, 32},       {EIO, 1117}, {EINVAL, 87},  {ECHILD, ECHILD},
  };
  for (const auto& [err, number] : cases) EXPECT_EQ(ErrorNumberFromErrno(err), number) << err;
  EXPECT_EQ(ErrorNumberFromErrno(EINVAL, ErrnoSource::kPathName), 3);
  // Raw errno values that equal a number of the table must not borrow its text.
  EXPECT_NE(EInOutError(ErrorNumberFromErrno(EINTR)).Message(), EInOutError(4).Message());
  EXPECT_NE(ErrorNumberFromErrno(ENETUNREACH), 101);
}

TEST(ErrorNumberTest, MessagesComeFromTheTable) {
  EXPECT_EQ(EInOutError(2).Message(), "ファイルが見つかりません");
  EXPECT_EQ(EInOutError(3).Message(), "不正なファイル名です");
  EXPECT_EQ(EInOutError(4).Message(), "オープンしたファイルが多すぎます");
  EXPECT_EQ(EInOutError(5).Message(), "ファイルへのアクセスが拒否されました");
  EXPECT_EQ(EInOutError(100).Message(), "ファイルの末尾以降を読み込みました");
  EXPECT_EQ(EInOutError(101).Message(), "ディスクがいっぱいです");
  EXPECT_EQ(EInOutError(106).Message(), "入力値が数値ではありません");
  EXPECT_EQ(EInOutError(1117).Message(), "I/O エラー (1117)");
  EXPECT_EQ(EInOutError(-7).ErrorCode, -7);
  EXPECT_EQ(EFCreateError("/x/y.txt").Message(), "ファイル /x/y.txt を作成できません");
  EXPECT_EQ(EWriteError().Message(), "ストリームへの書き込みエラー");
  EXPECT_THROW(RaiseLastOSError(ENOENT), EInOutError);
}

int OpenError(const std::string& path, OpenMode mode) {
  try {
    File::Open(path, mode);
  } catch (const EInOutError& e) {
    return e.ErrorCode;
  }
  return 0;
}

TEST(FileTest, WritesReadsSeeksAndKeepsOrTruncates) {
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
  file.Close();
  file.Close();  // a closed file closes quietly
  EXPECT_FALSE(file.IsOpen());

  File::Open(path, OpenMode::kReadWrite).Write("J");
  EXPECT_EQ(test::ReadFile(path), "Jello world");
  File moved = File::Open(path, OpenMode::kCreate);
  File target(std::move(moved));
  EXPECT_FALSE(moved.IsOpen());
  EXPECT_EQ(target.Size(), 0);
}

TEST(FileTest, OpenFailuresCarryTheirNumbers) {
  test::TempDir dir;
  test::WriteFile(dir / "plain", "x");
  EXPECT_EQ(OpenError(dir / "missing", OpenMode::kRead), 2);
  EXPECT_EQ(OpenError(dir / "plain/below", OpenMode::kCreate), 3);
  EXPECT_EQ(OpenError(dir.path(), OpenMode::kCreate), 5);
  EXPECT_EQ(OpenError(dir.path(), OpenMode::kRead), 5);
  EXPECT_EQ(OpenError(dir / std::string("plain\0tail", 10), OpenMode::kCreate), 3);
  EXPECT_FALSE(test::ReadFile(dir / "plain").empty());  // the cut name was not opened
}

TEST(FileTest, FullDiskIsReportedAs101) {
  File full = File::Open("/dev/full", OpenMode::kReadWrite);
  int error_number = 0;
  EXPECT_EQ(full.TryWrite("abc", 3, error_number), 0);
  EXPECT_EQ(error_number, 101);
  EXPECT_THROW(full.Write("abc"), EInOutError);
}

// In a child process: a write over RLIMIT_FSIZE stops at the limit with "disk full".
void WriteOverFileSizeLimit(const std::string& path) {
  struct rlimit limit = {10, 10};
  setrlimit(RLIMIT_FSIZE, &limit);
  File file = File::Open(path, OpenMode::kCreate);
  int error_number = 0;
  const int64_t written = file.TryWrite("0123456789abcdef", 16, error_number);
  std::exit(written == 10 && error_number == 101 ? 0 : 1);
}

TEST(FileTest, WritePastFileSizeLimitFailsInsteadOfKillingTheProcess) {
  test::TempDir dir;
  EXPECT_EXIT(WriteOverFileSizeLimit(dir / "limited"), testing::ExitedWithCode(0), "");
}

// In a child process: opening a FIFO nobody writes to returns at once, and reads end.
void OpenLonelyFifo(const std::string& path) {
  alarm(5);
  File fifo = File::Open(path, OpenMode::kRead);
  char c;
  std::exit(fifo.Read(&c, 1) == 0 ? 0 : 1);
}

TEST(FileTest, OpeningAFifoDoesNotHang) {
  test::TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
  EXPECT_EXIT(OpenLonelyFifo(dir / "fifo"), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kel
