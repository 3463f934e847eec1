#include "zip/central_directory.h"

#include "zip/entry_stream.h"
#include "zip/zip_format.h"

namespace kel {

using namespace zip_format;

namespace {

constexpr std::size_t kWriteChunk = 1 << 20;

// A 32-bit field's value, or the marker that sends readers to the Zip64 extra field.
uint32_t Field32(uint64_t value) {
  return value > kMaxPlainField ? kSizeOverflow : static_cast<uint32_t>(value);
}

std::string Zip64CentralExtra(const TPkHeader& h) {
  std::string values;
  if (h.UncompressedSize > kMaxPlainField) Put64(values, h.UncompressedSize);
  if (h.CompressedSize > kMaxPlainField) Put64(values, h.CompressedSize);
  if (h.HeaderOffset > kMaxPlainField) Put64(values, h.HeaderOffset);
  if (values.empty()) return values;
  std::string extra;
  Put16(extra, kZip64ExtraId);
  Put16(extra, static_cast<uint16_t>(values.size()));
  return extra + values;
}

}  // namespace

std::string CentralRecord(const std::string& name, const TPkHeader& h) {
  const std::string extra = Zip64CentralExtra(h);
  const uint16_t needed = (h.Zip64Local || !extra.empty()) ? kVersionZip64 : kVersionDeflate;
  // A UTF-8 name is marked as coming from a Unix host: readers then trust bit 11 instead of
  // translating the name from an OEM code page. The host's attributes are the Unix mode.
  const bool utf8 = (h.Flags & kFlagUtf8Name) != 0;
  const uint16_t made_by = utf8 ? static_cast<uint16_t>(kHostUnix << 8 | needed) : needed;
  const uint32_t external = utf8 ? (h.UnixMode << 16) | (h.Attributes & 0xFF) : h.Attributes;
  std::string r;
  r.reserve(46 + name.size() + extra.size());
  Put32(r, kCentralHeaderSignature);
  Put16(r, made_by);
  Put16(r, needed);
  Put16(r, h.Flags);
  Put16(r, kMethodDeflated);
  Put32(r, h.FileTime);
  Put32(r, h.Crc);
  Put32(r, Field32(h.CompressedSize));
  Put32(r, Field32(h.UncompressedSize));
  Put16(r, static_cast<uint16_t>(name.size()));
  Put16(r, static_cast<uint16_t>(extra.size()));
  Put16(r, 0);  // file comment length
  Put16(r, 0);  // disk number start
  Put16(r, 0);  // internal attributes
  Put32(r, external);
  Put32(r, Field32(h.HeaderOffset));
  return r + name + extra;
}

std::string EndRecords(uint64_t count, uint64_t offset, uint64_t size) {
  const bool count_overflows = count >= kCountOverflow;
  std::string r;
  if (count_overflows || offset > kMaxPlainField || size > kMaxPlainField) {
    Put32(r, kZip64EndSignature);
    Put64(r, 44);             // size of the rest of this record
    Put16(r, kVersionZip64);  // version made by
    Put16(r, kVersionZip64);  // version needed
    Put32(r, 0);              // this disk
    Put32(r, 0);              // disk of the central directory
    Put64(r, count);          // entries on this disk
    Put64(r, count);          // entries in all
    Put64(r, size);
    Put64(r, offset);
    Put32(r, kZip64LocatorSignature);
    Put32(r, 0);              // disk of the Zip64 end record
    Put64(r, offset + size);  // its offset
    Put32(r, 1);              // number of disks
  }
  const uint16_t count16 = count_overflows ? kCountOverflow : static_cast<uint16_t>(count);
  Put32(r, kEndSignature);
  Put16(r, 0);  // this disk
  Put16(r, 0);  // disk of the central directory
  Put16(r, count16);
  Put16(r, count16);
  Put32(r, Field32(size));
  Put32(r, Field32(offset));
  Put16(r, 0);  // comment length
  return r;
}

void WriteCentralDirectory(File& archive, uint64_t start,
                           const std::vector<std::pair<std::string, TPkHeader>>& entries) {
  uint64_t size = 0;
  std::string pending;
  for (const auto& [name, header] : entries) {
    pending += CentralRecord(name, header);
    if (pending.size() >= kWriteChunk) {
      archive.Write(pending);
      size += pending.size();
      pending.clear();
    }
  }
  size += pending.size();
  archive.Write(pending + EndRecords(entries.size(), start, size));
}

}  // namespace kel
