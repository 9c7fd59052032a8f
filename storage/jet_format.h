#pragma once

// Layout constants of the Jet 4 file format and little-endian byte access.

#include <array>
#include <cstdint>
#include <cstring>

namespace tessaly::jet {

inline constexpr uint32_t kPageSize = 4096;
// The format addresses at most 2 GB; one page less keeps the file below 2^31
// bytes, which readers that load the whole file need.
inline constexpr uint32_t kMaxPages = 0x80000000u / kPageSize - 1;

using Page = std::array<uint8_t, kPageSize>;

namespace page_type {
inline constexpr uint8_t kDatabase = 0x00;
inline constexpr uint8_t kData = 0x01;
inline constexpr uint8_t kTableDefinition = 0x02;
inline constexpr uint8_t kUsageBitmap = 0x05;
}  // namespace page_type

// Column types as the table definition stores them.
namespace column_type {
inline constexpr uint8_t kInt = 0x03;
inline constexpr uint8_t kLong = 0x04;
inline constexpr uint8_t kDateTime = 0x08;
inline constexpr uint8_t kBinary = 0x09;
inline constexpr uint8_t kText = 0x0A;
inline constexpr uint8_t kOle = 0x0B;
inline constexpr uint8_t kMemo = 0x0C;
}  // namespace column_type

// Data and long-value pages: type, 1, free space, owner (table definition page or
// "LVAL"), 4 unknown bytes, row count, then the row offset table.
namespace data_page {
inline constexpr uint32_t kFreeSpaceOffset = 2;
inline constexpr uint32_t kOwnerOffset = 4;
inline constexpr uint32_t kRowCountOffset = 12;
inline constexpr uint32_t kRowTableOffset = 14;
inline constexpr uint16_t kRowOffsetMask = 0x1fff;
// A row pointer keeps the row number in one byte.
inline constexpr uint32_t kMaxRowsPerPage = 255;
}  // namespace data_page

// The largest row a data page takes; the rest of the page is its header.
inline constexpr uint32_t kMaxRowSize = 4060;

inline constexpr uint16_t kCodePage1252 = 1252;
inline constexpr uint16_t kSortGeneral = 0x0409;

inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put24(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
}
inline void Put32(uint8_t* p, uint32_t v) {
  Put16(p, static_cast<uint16_t>(v));
  Put16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void PutDouble(uint8_t* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  Put32(p, static_cast<uint32_t>(bits));
  Put32(p + 4, static_cast<uint32_t>(bits >> 32));
}
inline uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Get24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16);
}
inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(Get16(p)) | (static_cast<uint32_t>(Get16(p + 2)) << 16);
}
inline double GetDouble(const uint8_t* p) {
  uint64_t bits = static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// A row pointer: page number in the upper three bytes, row number in the lowest.
inline uint32_t PageRow(uint32_t page, uint32_t row) {
  return (page << 8) | (row & 0xff);
}

}  // namespace tessaly::jet
