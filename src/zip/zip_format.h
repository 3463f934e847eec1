// Little-endian field encoders shared by the local header and the central directory.
#pragma once

#include <cstdint>
#include <string>

namespace kel::zip_format {

inline void Put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

inline void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

inline void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v & 0xFFFFFFFFu));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;    // "PK\3\4"
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;  // "PK\1\2"
constexpr uint32_t kEndSignature = 0x06054b50;            // "PK\5\6"
constexpr uint32_t kZip64EndSignature = 0x06064b50;       // "PK\6\6"
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;   // "PK\6\7"
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kVersionDeflate = 20;  // 2.0: deflate
constexpr uint16_t kVersionZip64 = 45;    // 4.5: Zip64 records
constexpr uint16_t kHostUnix = 3;         // high byte of "version made by"
constexpr uint32_t kSizeOverflow = 0xFFFFFFFFu;
constexpr uint16_t kCountOverflow = 0xFFFF;
constexpr std::size_t kMaxNameLength = 0xFFFF;

}  // namespace kel::zip_format
