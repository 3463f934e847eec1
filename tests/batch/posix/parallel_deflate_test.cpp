// kelvarin-batch --parallel-deflate, with the size from which a file goes in blocks made small:
// big files in blocks on all the jobs, the same bytes whatever their number, and a big file
// that fails or is interrupted halfway leaves nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "batch/batch_run.h"
#include "platform/output_file.h"
#include "support/temp_dir.h"
#include "support/zip_readers.h"
#include "zip/block_deflate.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kSmallThreshold = 200000;

// Every file of `folder`: name -> content.
std::map<std::string, std::string> FolderBytes(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) files[entry.path().filename()] = ReadFile(entry.path());
  return files;
}

int TemporariesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    if (IsTemporaryName(entry.path().filename())) ++count;
  return count;
}

BatchSettings Settings(const std::string& in, const std::string& out, int jobs, bool parallel) {
  BatchSettings s;
  s.source = in;
  s.output = out;
  s.jobs = jobs;
  s.parallel_deflate = parallel;
  s.parallel_deflate_from = kSmallThreshold;
  return s;
}

int RunInProcess(const BatchSettings& settings, std::string* err = nullptr) {
  std::ostringstream out, errors;
  const int status = RunBatch(settings, out, errors);
  if (err) *err = errors.str();
  return status;
}

TEST(ParallelDeflate, BigFilesInBlocksAreTheSameBytesWhateverTheJobsAndReadEverywhere) {
  TempDir dir;
  fs::create_directories(dir / "in");
  const std::size_t block = kDeflateBlockSize;
  // Below the threshold, at it, a whole number of blocks and one byte past, and more blocks
  // than may be in work at once, in text and noise.
  const std::vector<std::size_t> sizes = {
      1000,      kSmallThreshold - 1, kSmallThreshold,
      3 * block, 3 * block + 1,       (kMaxBlocksInFlight + 9) * block + 77};
  for (std::size_t i = 0; i < sizes.size(); ++i)
    WriteFile(dir / ("in/f" + std::to_string(i) + (i % 2 ? ".bin" : ".txt")),
              MakeBytes(sizes[i], static_cast<unsigned>(i), i != 3));
  // Deflated to less than the entry stream's buffer: the archive goes out in one write.
  WriteFile(dir / "in/same.txt", std::string(3 * block, 'z'));
  fs::create_directory(dir / "serial");
  ASSERT_EQ(RunInProcess(Settings(dir / "in", dir / "serial", 1, false)), 0);
  const auto serial = FolderBytes(dir / "serial");
  std::map<std::string, std::string> first;
  for (const int jobs : {1, 2, 8}) {
    SCOPED_TRACE(jobs);
    const std::string out = dir / ("out" + std::to_string(jobs));
    fs::create_directory(out);
    ASSERT_EQ(RunInProcess(Settings(dir / "in", out, jobs, true)), 0);
    const auto archives = FolderBytes(out);
    if (first.empty()) first = archives;
    EXPECT_TRUE(archives == first);
  }
  ASSERT_EQ(first.size(), sizes.size() + 2);
  EXPECT_EQ(first["files.txt"], serial.at("files.txt"));
  // files.txt: "0003_BIN.ZIP\tf3\r\n" and so on.
  std::map<std::string, std::string> source_of;
  std::istringstream index(first["files.txt"]);
  for (std::string line; std::getline(index, line);) {
    std::string archive = line.substr(0, line.find('\t'));
    for (char& ch : archive) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    source_of[archive] = line.substr(line.find('\t') + 1, line.size() - line.find('\t') - 2);
  }
  const auto sources = FolderBytes(dir / "in");
  for (const auto& [name, bytes] : first) {
    if (name == "files.txt") continue;
    SCOPED_TRACE(name);
    std::string source;
    for (const auto& entry : sources)
      if (fs::path(entry.first).stem() == source_of[name]) source = entry.first;
    ASSERT_FALSE(source.empty());
    ExpectArchiveReadable(dir / ("out2/" + name), {{source, sources.at(source)}});
    // Files below the threshold keep the window's bytes; the others are in blocks, within a
    // hair of the serial size.
    if (sources.at(source).size() < kSmallThreshold) {
      EXPECT_EQ(bytes, serial.at(name));
    } else {
      EXPECT_NE(bytes, serial.at(name));
      EXPECT_LT(bytes.size(), serial.at(name).size() * 1.005 + 64);
    }
  }
}

TEST(ParallelDeflate, ABigFileChangedOrInterruptedHalfwayLeavesNothing) {
  struct Case {
    const char* what;
    int jobs;
    bool change;  // else interrupt
  };
  for (const Case& c : {Case{"changed", 1, true}, Case{"changed", 2, true},
                        Case{"interrupted", 1, false}, Case{"interrupted", 2, false}}) {
    SCOPED_TRACE(std::string(c.what) + " jobs " + std::to_string(c.jobs));
    TempDir dir;
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    const std::string big = dir / "in/big.bin";
    WriteFile(big, MakeBytes(80 * kDeflateBlockSize, 3, true));
    WriteFile(dir / "out/0000_bin.zip", "an archive of an earlier run");
    BatchSettings s = Settings(dir / "in", dir / "out", c.jobs, true);
    std::atomic<int> asked{0};
    // Asked between blocks: halfway through the file, the file grows or a signal comes.
    s.interrupt_signal = [&asked, &c, &big] {
      if (++asked != 40) return asked > 40 && !c.change ? 15 : 0;
      if (c.change) {
        std::ofstream(big, std::ios::app) << "more";
        return 0;
      }
      return 15;
    };
    std::string err;
    const int status = RunInProcess(s, &err);
    EXPECT_EQ(status, c.change ? 1 : 128 + 15) << err;
    EXPECT_FALSE(fs::exists(dir / "out/0000_bin.zip"));
    EXPECT_EQ(TemporariesIn(dir / "out"), 0);
  }
}

}  // namespace
}  // namespace kel::test
