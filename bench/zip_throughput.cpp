// Throughput of the zip builder against plain zlib on the same bytes.
//
// Builds a deterministic corpus (a few large files and many small ones of text, binary noise
// and a mix), then alternates, round by round, two passes over it: the builder writing one
// archive per file as the archiving pass does (OpenArchive, AddFileToArchive, CloseArchive),
// and plain zlib deflating the same bytes, already in memory, at level 6 (raw deflate, 32 KiB
// window, memory level 8) into a memory buffer. The order of the two alternates from round to
// round. Prints the median time of each and the builder's throughput as a ratio of zlib's
// (1.0 means no overhead at all), by the wall clock and by the CPU time of this thread; on a
// machine shared with other work the CPU-time figure is the steadier one.
//
// usage: zip_bench [rounds] [folder]   (default 9 rounds; a folder's regular files replace the
//                                       generated corpus)
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "zip/zip_builder.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Times {
  double wall = 0, cpu = 0;
};

double ThreadCpuSeconds() {
  struct timespec t {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs `pass` and measures it both ways.
template <typename Pass>
Times Measure(Pass pass) {
  const auto wall = Clock::now();
  const double cpu = ThreadCpuSeconds();
  pass();
  return {std::chrono::duration<double>(Clock::now() - wall).count(), ThreadCpuSeconds() - cpu};
}

struct Source {
  std::string path;
  std::string bytes;
};

std::string Text(std::size_t size, std::mt19937& rng) {
  static const char* const kWords[] = {"archive ", "deflate ", "kelvarin ", "index\r\n", "zip ",
                                       "folder ",  "data ",    "file ",     "0042 ",     "the "};
  std::string s;
  while (s.size() < size) s += kWords[rng() % 10];
  s.resize(size);
  return s;
}

std::string Noise(std::size_t size, std::mt19937& rng) {
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// Text with a quarter of noise spread through it, like documents with embedded pictures.
std::string Mixed(std::size_t size, std::mt19937& rng) {
  std::string s;
  while (s.size() < size) s += (rng() % 4 == 0) ? Noise(4096, rng) : Text(12288, rng);
  s.resize(size);
  return s;
}

std::vector<Source> MakeCorpus(const fs::path& dir) {
  std::mt19937 rng(20240611);
  std::vector<Source> corpus;
  auto add = [&](const std::string& name, std::string bytes) {
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    corpus.push_back({path, std::move(bytes)});
  };
  add("large_text.txt", Text(24 << 20, rng));
  add("large_noise.bin", Noise(8 << 20, rng));
  add("large_mixed.doc", Mixed(24 << 20, rng));
  for (int i = 0; i < 300; ++i) {
    const std::size_t size = 1024 + rng() % (64 << 10);
    add("small" + std::to_string(i) + ".dat", i % 3 == 0   ? Noise(size, rng)
                                              : i % 3 == 1 ? Text(size, rng)
                                                           : Mixed(size, rng));
  }
  return corpus;
}

std::vector<Source> ReadCorpus(const fs::path& dir) {
  std::vector<Source> corpus;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    corpus.push_back({entry.path().string(), std::string(std::istreambuf_iterator<char>(in), {})});
  }
  return corpus;
}

void BuilderPass(const std::vector<Source>& corpus, const fs::path& out) {
  int n = 0;
  for (const Source& s : corpus) {
    const std::string archive = (out / (std::to_string(n++) + ".zip")).string();
    kel::OpenArchive(archive, fs::path(s.path).parent_path().string() + "/");
    kel::AddFileToArchive(s.path);
    kel::CloseArchive();
  }
}

void ZlibPass(const std::vector<Source>& corpus, std::vector<unsigned char>& out,
              uint64_t& compressed) {
  compressed = 0;
  for (const Source& s : corpus) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
    const std::size_t bound = deflateBound(&z, s.bytes.size());
    if (out.size() < bound) out.resize(bound);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(s.bytes.data()));
    z.avail_in = static_cast<uInt>(s.bytes.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
    compressed += z.total_out;
    deflateEnd(&z);
  }
}

double Median(const std::vector<Times>& times, double Times::*field) {
  std::vector<double> v;
  for (const Times& t : times) v.push_back(t.*field);
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

uint64_t ArchiveBytes(const fs::path& out) {
  uint64_t total = 0;
  for (const auto& entry : fs::directory_iterator(out)) total += entry.file_size();
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const fs::path work = fs::temp_directory_path() / ("kel-zip-bench-" + std::to_string(getpid()));
  fs::create_directories(work / "in");
  fs::create_directories(work / "out");
  const std::vector<Source> corpus = argc > 2 ? ReadCorpus(argv[2]) : MakeCorpus(work / "in");
  uint64_t input = 0;
  for (const Source& s : corpus) input += s.bytes.size();

  std::vector<Times> builder_times, zlib_times;
  std::vector<unsigned char> buffer;
  uint64_t zlib_compressed = 0;
  auto builder_pass = [&] { BuilderPass(corpus, work / "out"); };
  auto zlib_pass = [&] { ZlibPass(corpus, buffer, zlib_compressed); };
  builder_pass();  // warm the caches once
  zlib_pass();
  for (int r = 0; r < rounds; ++r) {
    if (r % 2 == 0) builder_times.push_back(Measure(builder_pass));
    zlib_times.push_back(Measure(zlib_pass));
    if (r % 2 == 1) builder_times.push_back(Measure(builder_pass));
  }
  const double mb = static_cast<double>(input) / 1e6;
  std::printf("corpus: %zu files, %.1f MB; %d rounds, medians (wall / CPU)\n", corpus.size(), mb,
              rounds);
  const double zw = Median(zlib_times, &Times::wall), zc = Median(zlib_times, &Times::cpu);
  const double bw = Median(builder_times, &Times::wall), bc = Median(builder_times, &Times::cpu);
  std::printf("plain zlib level 6 to memory:  %.3f s / %.3f s  %.1f MB/s  (%.1f MB deflated)\n", zw,
              zc, mb / zw, static_cast<double>(zlib_compressed) / 1e6);
  std::printf("zip builder, one archive each: %.3f s / %.3f s  %.1f MB/s  (%.1f MB of archives)\n",
              bw, bc, mb / bw, static_cast<double>(ArchiveBytes(work / "out")) / 1e6);
  std::printf("builder throughput / zlib throughput: %.3f wall, %.3f CPU\n", zw / bw, zc / bc);
  fs::remove_all(work);
  return 0;
}
