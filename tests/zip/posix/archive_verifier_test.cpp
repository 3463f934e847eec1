// The read-back check of --verify: good archives pass (classic and Zip64 records), and every
// kind of damage is caught with a reason that names what is wrong.
#include "zip/archive_verifier.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/file.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"
#include "zip/zip_builder.h"

namespace kel::test {
namespace {

uint32_t Get32(const std::string& b, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

void Put(std::string& b, std::size_t at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

std::string Le(uint64_t value, int bytes) {
  std::string s(static_cast<std::size_t>(bytes), '\0');
  Put(s, 0, value, bytes);
  return s;
}

// An archive of one file written by the builder, and where its parts lie.
struct Written {
  std::string path;
  std::string bytes;
  std::size_t name_length = 0;
  std::size_t data_start = 0;
  std::size_t central = 0;  // offset of the central record
  std::size_t end = 0;      // offset of the end record
  ExpectedEntry expected;
};

Written WriteArchive(const TempDir& dir, const std::string& name, const std::string& content) {
  WriteFile(dir / name, content);
  Written w;
  w.path = dir / "archive.zip";
  TZipBuilder builder(PathSyntax{PathStyle::kNative, CodePage::kUtf8});
  builder.OpenArchive(w.path, dir.path() + "/");
  builder.AddFileToArchive(dir / name);
  builder.CloseArchive();
  w.bytes = ReadFile(w.path);
  w.name_length = name.size();
  w.data_start = 30 + name.size();
  w.end = w.bytes.size() - 22;
  w.central = Get32(w.bytes, w.end + 16);
  w.expected.name = name;
  w.expected.flags = static_cast<uint16_t>(HasHighBytes(name) ? 0x0802 : 0x0002);
  w.expected.size = content.size();
  return w;
}

// The reason VerifyArchive gives, or "" when the archive passes.
std::string Reason(const std::string& path, const ExpectedEntry& expected) {
  try {
    VerifyArchive(path, expected);
  } catch (const EVerifyError& e) {
    const std::string lead = "書庫 " + path + " の検証に失敗しました: ";
    EXPECT_EQ(e.Message().substr(0, lead.size()), lead);
    return e.Message().substr(std::min(lead.size(), e.Message().size()));
  }
  return "";
}

TEST(ArchiveVerifier, GoodArchivesPass) {
  TempDir dir;
  for (const auto& [name, content] : {std::pair<std::string, std::string>{"empty.txt", ""},
                                      {"one.bin", "x"},
                                      {"日本語の名前.txt", MakeBytes(100000, 3, true)},
                                      {"noise.bin", MakeBytes(300000, 4, false)}}) {
    SCOPED_TRACE(name);
    const Written w = WriteArchive(dir, name, content);
    EXPECT_EQ(Reason(w.path, w.expected), "");
  }
}

// The same entry rewritten with Zip64 records everywhere they may stand: sizes in the extra
// fields of both headers, the end record's fields all marked, a Zip64 end record and locator.
std::string AsZip64(const Written& w) {
  const std::string name = w.bytes.substr(30, w.name_length);
  const std::string data = w.bytes.substr(w.data_start, w.central - w.data_start);
  const uint32_t size = Get32(w.bytes, 22), crc = Get32(w.bytes, 14), time = Get32(w.bytes, 10);
  const std::string sizes = Le(size, 8) + Le(data.size(), 8);
  const std::string extra = Le(1, 2) + Le(16, 2) + sizes;
  const uint16_t flags = w.expected.flags;
  std::string local = Le(0x04034b50, 4) + Le(45, 2) + Le(flags, 2) + Le(8, 2) + Le(time, 4) +
                      Le(crc, 4) + Le(0xFFFFFFFF, 4) + Le(0xFFFFFFFF, 4) + Le(name.size(), 2) +
                      Le(extra.size(), 2) + name + extra;
  std::string central = Le(0x02014b50, 4) + Le(45, 2) + Le(45, 2) + Le(flags, 2) + Le(8, 2) +
                        Le(time, 4) + Le(crc, 4) + Le(0xFFFFFFFF, 4) + Le(0xFFFFFFFF, 4) +
                        Le(name.size(), 2) + Le(extra.size(), 2) + Le(0, 2) + Le(0, 2) + Le(0, 2) +
                        Le(0x20, 4) + Le(0, 4) + name + extra;
  const uint64_t cd_offset = local.size() + data.size();
  const uint64_t z64_offset = cd_offset + central.size();
  std::string z64 = Le(0x06064b50, 4) + Le(44, 8) + Le(45, 2) + Le(45, 2) + Le(0, 4) + Le(0, 4) +
                    Le(1, 8) + Le(1, 8) + Le(central.size(), 8) + Le(cd_offset, 8);
  std::string locator = Le(0x07064b50, 4) + Le(0, 4) + Le(z64_offset, 8) + Le(1, 4);
  std::string end = Le(0x06054b50, 4) + Le(0, 2) + Le(0, 2) + Le(0xFFFF, 2) + Le(0xFFFF, 2) +
                    Le(0xFFFFFFFF, 4) + Le(0xFFFFFFFF, 4) + Le(0, 2);
  return local + data + central + z64 + locator + end;
}

TEST(ArchiveVerifier, Zip64RecordsAreRead) {
  TempDir dir;
  const std::string content = MakeBytes(70000, 9, true);
  const Written w = WriteArchive(dir, "big.log", content);
  const std::string zip64 = dir / "zip64.zip";
  WriteFile(zip64, AsZip64(w));
  // The outside readers agree that the rewritten archive is sound.
  ExpectArchiveReadable(zip64, {{"big.log", content}});
  EXPECT_EQ(Reason(zip64, w.expected), "");

  std::string damaged = AsZip64(w);
  const std::size_t locator = damaged.size() - 22 - 20;
  Put(damaged, locator + 8, Get32(damaged, locator + 8) - 1, 8);
  WriteFile(zip64, damaged);
  EXPECT_EQ(Reason(zip64, w.expected), "Zip64 終端レコードの位置が不正です");

  damaged = AsZip64(w);
  Put(damaged, damaged.size() - 22 - 20 - 56 + 48, w.central + 1, 8);  // directory offset
  WriteFile(zip64, damaged);
  EXPECT_EQ(Reason(zip64, w.expected), "中央ディレクトリの位置または大きさが不正です");
}

struct Damage {
  const char* what;
  std::function<void(std::string& bytes, const Written& w, ExpectedEntry& expected)> apply;
  const char* reason;  // the start of the reason expected
};

TEST(ArchiveVerifier, DamageIsCaughtWithItsReason) {
  const std::vector<Damage> damages = {
      {"a flipped bit in the deflate data",
       [](std::string& b, const Written& w, ExpectedEntry&) { b[w.data_start + 40] ^= 0x10; },
       ""},  // inflate error or CRC, depending on where the bit lands: checked below
      {"a byte cut off the end",
       [](std::string& b, const Written&, ExpectedEntry&) { b.pop_back(); },
       "終端レコードがありません"},
      {"a byte appended", [](std::string& b, const Written&, ExpectedEntry&) { b += '\0'; },
       "終端レコードがありません"},
      {"two entries counted",
       [](std::string& b, const Written& w, ExpectedEntry&) {
         Put(b, w.end + 8, 2, 2);
         Put(b, w.end + 10, 2, 2);
       },
       "エントリ数が 1 ではありません (2)"},
      {"the directory offset moved",
       [](std::string& b, const Written& w, ExpectedEntry&) {
         Put(b, w.end + 16, w.central - 1, 4);
       },
       "中央ディレクトリの位置または大きさが不正です"},
      {"the central signature",
       [](std::string& b, const Written& w, ExpectedEntry&) { b[w.central] = 'X'; },
       "中央ディレクトリレコードがありません"},
      {"a name byte in the central record",
       [](std::string& b, const Written& w, ExpectedEntry&) { b[w.central + 46] ^= 0x20; },
       "エントリ名が書き込んだ名前と一致しません"},
      {"a name byte in the local header",
       [](std::string& b, const Written&, ExpectedEntry&) { b[30] ^= 0x20; },
       "ローカルヘッダのエントリ名が一致しません"},
      {"the local signature", [](std::string& b, const Written&, ExpectedEntry&) { b[0] = 'X'; },
       "ローカルヘッダがありません"},
      {"the CRC of the central record only",
       [](std::string& b, const Written& w, ExpectedEntry&) { b[w.central + 16] ^= 1; },
       "ローカルヘッダが中央ディレクトリレコードと一致しません"},
      {"the CRC of both headers",
       [](std::string& b, const Written& w, ExpectedEntry&) {
         b[14] ^= 1;
         b[w.central + 16] ^= 1;
       },
       "CRC-32 が一致しません"},
      {"the size in both headers",
       [](std::string& b, const Written& w, ExpectedEntry&) {
         Put(b, 22, Get32(b, 22) + 1, 4);
         Put(b, w.central + 24, Get32(b, w.central + 24) + 1, 4);
       },
       "展開後の大きさが記録と一致しません"},
      {"the compressed size in the local header",
       [](std::string& b, const Written&, ExpectedEntry&) { Put(b, 18, Get32(b, 18) - 1, 4); },
       "ローカルヘッダの大きさが中央ディレクトリレコードと一致しません"},
      {"the compressed size in both headers",
       [](std::string& b, const Written& w, ExpectedEntry&) {
         Put(b, 18, Get32(b, 18) - 1, 4);
         Put(b, w.central + 20, Get32(b, w.central + 20) - 1, 4);
       },
       "圧縮データの長さが記録と一致しません"},
      {"the method",
       [](std::string& b, const Written& w, ExpectedEntry&) { b[w.central + 10] = 0; },
       "圧縮方法が deflate ではありません"},
      {"the flags of the central record",
       [](std::string& b, const Written& w, ExpectedEntry&) { b[w.central + 8] |= 0x08; },
       "汎用フラグが不正です (10)"},
      {"a source that changed size",
       [](std::string&, const Written&, ExpectedEntry& e) { e.size += 1; },
       "元のファイルと大きさが一致しません"},
  };
  TempDir dir;
  const Written w = WriteArchive(dir, "report.txt", MakeBytes(50000, 11, true));
  const std::string damaged_path = dir / "damaged.zip";
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    std::string bytes = w.bytes;
    ExpectedEntry expected = w.expected;
    damage.apply(bytes, w, expected);
    WriteFile(damaged_path, bytes);
    const std::string reason = Reason(damaged_path, expected);
    if (*damage.reason == '\0') {
      EXPECT_TRUE(reason.starts_with("圧縮データを展開できません") ||
                  reason.starts_with("CRC-32 が一致しません"))
          << reason;
    } else {
      EXPECT_TRUE(reason.starts_with(damage.reason)) << reason;
    }
  }
}

// What the reader reports of `bytes`, in order, and how many inflated bytes it handed on.
struct Reading {
  std::vector<ArchiveProblem> kinds;
  uint64_t inflated = 0;
  bool facts = false;
};
Reading Read(const TempDir& dir, const std::string& bytes) {
  WriteFile(dir / "read.zip", bytes);
  File file = File::Open(dir / "read.zip", OpenMode::kReadEntry);
  Reading reading;
  ArchiveReadHooks hooks;
  hooks.on_finding = [&](const ArchiveFinding& f) {
    reading.kinds.push_back(f.kind);
    return true;
  };
  hooks.on_data = [&](const unsigned char*, std::size_t n) { reading.inflated += n; };
  reading.facts = ReadArchive(file, hooks).has_value();
  return reading;
}

// The check wants every problem of an archive: reading goes on after those that leave the data
// reachable and ends at the first that does not; Zip64 records where nothing needs them are
// warnings that --verify lets pass.
TEST(ArchiveReader, ReportsEveryProblemUntilOneEndsTheReading) {
  using P = ArchiveProblem;
  TempDir dir;
  const std::string content = MakeBytes(50000, 11, true);
  const Written w = WriteArchive(dir, "report.txt", content);
  std::string two = w.bytes;
  two[w.central + 46] ^= 0x20;  // the central name
  two[14] ^= 1;                 // both CRCs
  two[w.central + 16] ^= 1;
  Reading r = Read(dir, two);
  EXPECT_EQ(r.kinds, (std::vector<P>{P::kLocalName, P::kCrc}));
  EXPECT_EQ(r.inflated, content.size());
  EXPECT_TRUE(r.facts);

  r = Read(dir, AsZip64(w));
  EXPECT_EQ(r.kinds, (std::vector<P>{P::kUnneededZip64, P::kUnneededZip64, P::kUnneededZip64}));
  for (P kind : r.kinds) EXPECT_TRUE(IsWarning(kind) && !IsFatal(kind));

  r = Read(dir, w.bytes.substr(0, w.bytes.size() - 1));
  EXPECT_EQ(r.kinds, std::vector<P>{P::kNoEndRecord});
  EXPECT_FALSE(r.facts);
  EXPECT_TRUE(IsFatal(P::kNoEndRecord));
  EXPECT_EQ(Read(dir, w.bytes).kinds, std::vector<P>{});
}

TEST(ArchiveVerifier, UnreadableArchiveNamesItself) {
  TempDir dir;
  ExpectedEntry expected{"a.txt", 2, 1};
  EXPECT_EQ(Reason(dir / "missing.zip", expected), "ファイルが見つかりません");
  WriteFile(dir / "short.zip", "PK");
  EXPECT_EQ(Reason(dir / "short.zip", expected), "終端レコードがありません");
}

}  // namespace
}  // namespace kel::test
