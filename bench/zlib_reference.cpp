// The bare zlib reference for the batch benchmark: writes the archives kelvarin-batch writes -
// one single-entry Zip file per regular file directly inside SOURCE, raw deflate at level 6
// (32 KiB window, memory level 8), the same local header, central record and end record -
// serially, with nothing between zlib and the system calls: one open of each file, one deflate
// state reset per file, 64 KiB reads and writes, the sizes patched with pwrite.
//
// For ASCII names the archives are byte for byte kelvarin-batch's (the benchmark compares their
// sizes); names are sequence numbers, no index is written, no Zip64 (sources below 4 GiB only).
//
// usage: zlib_reference SOURCE OUTPUT [K/N]
// With K/N, only every N-th file from the K-th on (counted from 0): N such processes together
// write what one writes, side by side into the same OUTPUT.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBlock = 64 << 10;

void Die(const std::string& what) {
  std::perror(what.c_str());
  std::exit(1);
}

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

uint32_t DosTime(time_t t) {
  struct tm l {};
  localtime_r(&t, &l);
  if (l.tm_year < 80) return 0x00210000;
  return static_cast<uint32_t>(l.tm_year - 80) << 25 | static_cast<uint32_t>(l.tm_mon + 1) << 21 |
         static_cast<uint32_t>(l.tm_mday) << 16 | static_cast<uint32_t>(l.tm_hour) << 11 |
         static_cast<uint32_t>(l.tm_min) << 5 | static_cast<uint32_t>(l.tm_sec / 2);
}

void WriteAll(int fd, const void* data, std::size_t n, const std::string& path) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = write(fd, p, n);
    if (w <= 0) Die(path);
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

struct Archiver {
  z_stream z{};
  std::vector<unsigned char> in = std::vector<unsigned char>(kBlock);
  std::vector<unsigned char> out = std::vector<unsigned char>(kBlock);

  Archiver() {
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) Die("deflateInit2");
  }
  ~Archiver() { deflateEnd(&z); }

  void Drain(int fd, const std::string& path) {
    WriteAll(fd, out.data(), kBlock - z.avail_out, path);
    z.next_out = out.data();
    z.avail_out = kBlock;
  }

  void Archive(const std::string& source, const std::string& name, const std::string& archive) {
    const int src = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (src < 0) Die(source);
    struct stat st {};
    if (fstat(src, &st) != 0) Die(source);
    const int dst = open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (dst < 0) Die(archive);
    const uint32_t time = DosTime(st.st_mtime);

    std::string local;
    Put32(local, 0x04034b50);
    Put16(local, 20);  // version needed
    Put16(local, 2);   // flags
    Put16(local, 8);   // deflated
    Put32(local, time);
    Put32(local, 0);  // CRC, sizes: patched below
    Put32(local, 0);
    Put32(local, 0);
    Put16(local, static_cast<uint32_t>(name.size()));
    Put16(local, 0);
    local += name;
    WriteAll(dst, local.data(), local.size(), archive);

    deflateReset(&z);
    z.next_out = out.data();
    z.avail_out = kBlock;
    uint32_t crc = crc32(0, nullptr, 0);
    for (;;) {
      const ssize_t n = read(src, in.data(), kBlock);
      if (n < 0) Die(source);
      if (n == 0) break;
      crc = crc32(crc, in.data(), static_cast<uInt>(n));
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(n);
      while (z.avail_in > 0) {
        if (z.avail_out == 0) Drain(dst, archive);
        if (deflate(&z, Z_NO_FLUSH) != Z_OK) Die("deflate");
      }
    }
    int status;
    do {
      if (z.avail_out == 0) Drain(dst, archive);
      status = deflate(&z, Z_FINISH);
    } while (status == Z_OK);
    if (status != Z_STREAM_END) Die("deflate finish");
    Drain(dst, archive);
    close(src);

    const uint32_t compressed = static_cast<uint32_t>(z.total_out);
    const uint32_t size = static_cast<uint32_t>(z.total_in);
    std::string patch;
    Put32(patch, crc);
    Put32(patch, compressed);
    Put32(patch, size);
    if (pwrite(dst, patch.data(), patch.size(), 14) != static_cast<ssize_t>(patch.size()))
      Die(archive);

    uint32_t attributes = 0x20;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= 0x01;
    if (name[0] == '.') attributes |= 0x02;
    std::string tail;
    Put32(tail, 0x02014b50);
    Put16(tail, 20);  // made by
    Put16(tail, 20);  // needed
    Put16(tail, 2);
    Put16(tail, 8);
    Put32(tail, time);
    Put32(tail, crc);
    Put32(tail, compressed);
    Put32(tail, size);
    Put16(tail, static_cast<uint32_t>(name.size()));
    Put16(tail, 0);  // extra
    Put16(tail, 0);  // comment
    Put16(tail, 0);  // disk
    Put16(tail, 0);  // internal attributes
    Put32(tail, attributes);
    Put32(tail, 0);  // local header offset
    tail += name;
    const uint32_t central_offset = static_cast<uint32_t>(local.size()) + compressed;
    const uint32_t central_size = static_cast<uint32_t>(tail.size());
    Put32(tail, 0x06054b50);
    Put16(tail, 0);
    Put16(tail, 0);
    Put16(tail, 1);
    Put16(tail, 1);
    Put32(tail, central_size);
    Put32(tail, central_offset);
    Put16(tail, 0);
    WriteAll(dst, tail.data(), tail.size(), archive);
    if (close(dst) != 0) Die(archive);
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::size_t shard = 0, shards = 1;
  if (argc == 4 && std::sscanf(argv[3], "%zu/%zu", &shard, &shards) == 2 && shard < shards) {
    argc = 3;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: zlib_reference SOURCE OUTPUT [K/N]\n");
    return 2;
  }
  const std::string source = argv[1], output = argv[2];
  DIR* dir = opendir(source.c_str());
  if (dir == nullptr) Die(source);
  std::vector<std::string> names;
  while (const dirent* e = readdir(dir)) {
    if (e->d_type == DT_REG) {
      names.emplace_back(e->d_name);
    } else if (e->d_type == DT_UNKNOWN) {
      struct stat st {};
      if (stat((source + "/" + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
        names.emplace_back(e->d_name);
    }
  }
  closedir(dir);
  Archiver archiver;
  char number[32];
  for (std::size_t i = shard; i < names.size(); i += shards) {
    std::snprintf(number, sizeof number, "/%06zu.zip", i);
    archiver.Archive(source + "/" + names[i], names[i], output + number);
  }
  return 0;
}
