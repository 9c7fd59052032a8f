#pragma once

// Layout constants of the Jet 4 file format and little-endian byte access.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

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
inline constexpr uint8_t kIndexLeaf = 0x04;
inline constexpr uint8_t kUsageBitmap = 0x05;
}  // namespace page_type

// Column types as the table definition stores them.
namespace column_type {
inline constexpr uint8_t kBoolean = 0x01;  // the null-mask bit is the value
inline constexpr uint8_t kByte = 0x02;
inline constexpr uint8_t kInt = 0x03;
inline constexpr uint8_t kLong = 0x04;
inline constexpr uint8_t kDateTime = 0x08;
inline constexpr uint8_t kBinary = 0x09;
inline constexpr uint8_t kText = 0x0A;
inline constexpr uint8_t kOle = 0x0B;
inline constexpr uint8_t kMemo = 0x0C;
}  // namespace column_type

// Page 0, the database definition page. Offsets from 0x18 to 0x97 lie in the
// masked block and are stored unmasked here.
namespace header {
inline constexpr uint32_t kMagicOffset = 0x04;  // "Standard Jet DB"
inline constexpr uint32_t kVersionOffset = 0x14;
inline constexpr uint8_t kVersionJet4 = 0x01;
inline constexpr uint32_t kMaskedOffset = 0x18;
inline constexpr uint32_t kMaskedSize = 128;
// Engine bytes every Jet 4 file carries at 0x18: 00 01 00 00, then the
// numbers 0x0101, 2, 3, 4, 5 as 32-bit values.
inline constexpr uint32_t kEngineBytesOffset = 0x18;
inline constexpr uint32_t kCodePageOffset = 0x3c;
inline constexpr uint32_t kDatabaseKeyOffset = 0x3e;
inline constexpr uint32_t kPasswordOffset = 0x42;
inline constexpr uint32_t kPasswordSize = 40;
inline constexpr uint32_t kEngineStampOffset = 0x6a;
inline constexpr uint32_t kEngineStamp = 0x21aa;
inline constexpr uint32_t kSortOrderOffset = 0x6e;
inline constexpr uint32_t kCreationDateOffset = 0x72;
// Jet writes the engine's version here, after a 32-bit 0x0654.
inline constexpr uint32_t kEngineVersionOffset = 0x98;
inline constexpr uint32_t kEngineVersionTag = 0x0654;
inline constexpr char kEngineVersion[] = "4.0";
// A table of 256 16-bit entries closing the page: 0x0101, then 0x0100 each.
inline constexpr uint32_t kTrailerOffset = 0xe00;
inline constexpr uint16_t kTrailerFirst = 0x0101;
inline constexpr uint16_t kTrailerRest = 0x0100;
}  // namespace header

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

// Long values (memo and OLE): a 12-byte header in the row (length in three bytes,
// a kind byte, a row pointer, 4 zero bytes); the bytes follow inline, or lie in
// one row of a long-value page, or in a chain of such rows, each starting with a
// pointer to the next.
namespace long_value {
inline constexpr uint32_t kHeaderSize = 12;
inline constexpr uint32_t kKindOffset = 3;
inline constexpr uint32_t kPointerOffset = 4;
inline constexpr uint8_t kInline = 0x80;
inline constexpr uint8_t kSingle = 0x40;
inline constexpr uint8_t kChained = 0x00;
// The owner field of a long-value page.
inline constexpr uint32_t kPageOwner = 0x4c41564c;  // "LVAL"
}  // namespace long_value

// The largest row a data page takes; the rest of the page is its header.
inline constexpr uint32_t kMaxRowSize = 4060;

// Pages Jet reserves when it creates a database.
namespace fixed_page {
inline constexpr uint32_t kHeader = 0;
// Row 0: the free-page map of the whole file; row 1: 69 zero bytes.
inline constexpr uint32_t kGlobalMap = 1;
// Jet stamps the global map page with 1 where data pages name their table.
inline constexpr uint32_t kGlobalMapOwner = 1;
}  // namespace fixed_page

// Usage maps are rows of 69 bytes: a type byte, then for the inline kind a start
// page and a 64-byte bitmap (512 pages), for the reference kind 17 page numbers
// of bitmap pages, each covering (4096 - 4) * 8 pages: together 2 GB.
namespace usage_map {
inline constexpr uint32_t kRowSize = 69;
inline constexpr uint8_t kInline = 0x00;
inline constexpr uint8_t kReference = 0x01;
inline constexpr uint32_t kStartOffset = 1;
inline constexpr uint32_t kBitmapOffset = 5;
inline constexpr uint32_t kInlinePages = (kRowSize - kBitmapOffset) * 8;
// Readers shift an inline map only to multiples of 8.
inline constexpr uint32_t kStartAlignment = 8;
inline constexpr uint32_t kBitmapPageHeader = 4;
inline constexpr uint32_t kPagesPerBitmapPage = (kPageSize - kBitmapPageHeader) * 8;
inline constexpr uint32_t kReferenceSlots = (kRowSize - 1) / 4;
// The global map moves in windows of this many pages.
inline constexpr uint32_t kGlobalWindow = kInlinePages;
}  // namespace usage_map

// Table definition pages. Offsets count from the start of the definition; when it
// runs over several pages, each further page adds an 8-byte header.
namespace tdef {
inline constexpr uint32_t kPageHeaderSize = 8;
inline constexpr uint32_t kFreeSpaceOffset = 2;
inline constexpr uint32_t kNextPageOffset = 4;
inline constexpr uint32_t kLengthOffset = 8;
// Jet writes this value in every table definition and column descriptor.
inline constexpr uint32_t kMagicOffset = 12;
inline constexpr uint32_t kMagic = 0x0659;
inline constexpr uint32_t kRowCountOffset = 16;
inline constexpr uint32_t kAutoNumberOffset = 20;
// Set to 1 by the engine; Access counts on it for autonumbering.
inline constexpr uint32_t kAutoNumberFlagOffset = 24;
inline constexpr uint32_t kTableTypeOffset = 40;
inline constexpr uint8_t kTableTypeUser = 0x4e;
inline constexpr uint8_t kTableTypeSystem = 0x53;
inline constexpr uint32_t kMaxColumnsOffset = 41;
inline constexpr uint32_t kVarColumnsOffset = 43;
inline constexpr uint32_t kColumnCountOffset = 45;
inline constexpr uint32_t kLogicalIndexCountOffset = 47;
inline constexpr uint32_t kRealIndexCountOffset = 51;
inline constexpr uint32_t kOwnedMapOffset = 55;  // row byte, then a 3-byte page
inline constexpr uint32_t kFreeMapOffset = 59;
inline constexpr uint32_t kHeaderSize = 63;
// Per real index: 4 zero bytes, its count of unique keys, 4 zero bytes.
inline constexpr uint32_t kRealIndexSlotSize = 12;
inline constexpr uint32_t kUniqueKeysInSlot = 4;
// Closes the list of long-value column maps and the definition.
inline constexpr uint16_t kEndMarker = 0xffff;
}  // namespace tdef

// A column descriptor, 25 bytes.
namespace column_desc {
inline constexpr uint32_t kSize = 25;
inline constexpr uint32_t kType = 0;
inline constexpr uint32_t kMagic = 1;  // tdef::kMagic
inline constexpr uint32_t kNumber = 5;
inline constexpr uint32_t kVarIndex = 7;
inline constexpr uint32_t kIndex = 9;
// Text sort order, which Jet writes for every column: LANGID, then 0.
inline constexpr uint32_t kSortOrder = 11;
inline constexpr uint32_t kFlags = 15;
inline constexpr uint32_t kExtFlags = 16;
inline constexpr uint32_t kFixedOffset = 21;
inline constexpr uint32_t kLength = 23;
inline constexpr uint8_t kFlagFixed = 0x01;
inline constexpr uint8_t kFlagUpdatable = 0x02;
// Jet sets these on every column of its own tables, and 0x20 on security ids.
inline constexpr uint8_t kFlagEngine = 0x10;
inline constexpr uint8_t kFlagSecurityId = 0x20;
inline constexpr uint8_t kExtCompressedUnicode = 0x01;
}  // namespace column_desc

// A real index's data block, 52 bytes.
namespace index_data {
inline constexpr uint32_t kSize = 52;
inline constexpr uint32_t kMagic = 0x0783;
inline constexpr uint32_t kColumnsOffset = 4;
inline constexpr uint32_t kColumnSlots = 10;
inline constexpr uint32_t kColumnSlotSize = 3;  // column number, then order
inline constexpr uint8_t kAscending = 0x01;
inline constexpr uint16_t kUnusedColumn = 0xffff;
inline constexpr uint32_t kMapOffset = 34;
inline constexpr uint32_t kRootPageOffset = 38;
inline constexpr uint32_t kFlagsOffset = 46;
inline constexpr uint8_t kFlagUnique = 0x01;
inline constexpr uint8_t kFlagIgnoreNulls = 0x02;
inline constexpr uint8_t kFlagRequired = 0x08;
inline constexpr uint8_t kFlagEngine = 0x80;
}  // namespace index_data

// A logical index's block, 28 bytes; the index names follow the blocks.
namespace index_logical {
inline constexpr uint32_t kSize = 28;
inline constexpr uint32_t kNumberOffset = 4;
inline constexpr uint32_t kDataBlockOffset = 8;
inline constexpr uint32_t kRelatedIndexOffset = 13;  // -1: no relationship
inline constexpr uint32_t kCascadeOffset = 21;       // two bytes Jet sets to 4
inline constexpr uint8_t kCascadeNone = 0x04;
inline constexpr uint32_t kTypeOffset = 23;
inline constexpr uint8_t kTypePrimaryKey = 0x01;
}  // namespace index_logical

// Index leaf pages. Entries are keys then a big-endian 3-byte data page and a row
// byte; the bitmap marks where each entry ends, counted from kEntriesOffset.
namespace index_leaf {
inline constexpr uint32_t kFreeSpaceOffset = 2;
inline constexpr uint32_t kTableOffset = 4;
inline constexpr uint32_t kPrevPageOffset = 12;
inline constexpr uint32_t kNextPageOffset = 16;
inline constexpr uint32_t kTailPageOffset = 20;
inline constexpr uint32_t kPrefixLengthOffset = 24;
inline constexpr uint32_t kEntryMaskOffset = 27;
inline constexpr uint32_t kEntryMaskSize = 453;
inline constexpr uint32_t kEntriesOffset = kEntryMaskOffset + kEntryMaskSize;
inline constexpr uint32_t kRowPointerSize = 4;
}  // namespace index_leaf

// Property blocks (the catalog's LvProp column): "MR2\0", then chunks of a 32-bit
// length (counting its own header), a 16-bit type and a body. The names chunk lists
// every property name once; a values chunk starts with the length of its map-name
// part (counting that length field, so 6 for the unnamed map), the map's name (empty
// for the object itself, the column's name for a column), then its values: 16-bit
// length counting itself, DDL flag, data type, index into the names, 16-bit size,
// the data.
namespace property {
inline constexpr uint8_t kMagic[4] = {'M', 'R', '2', 0};
inline constexpr uint32_t kChunkHeaderSize = 6;
inline constexpr uint16_t kNamesChunk = 0x80;
inline constexpr uint16_t kObjectValuesChunk = 0x00;
inline constexpr uint16_t kColumnValuesChunk = 0x01;
inline constexpr uint32_t kMapNameLengthSize = 4;
inline constexpr uint32_t kValueHeaderSize = 8;
inline constexpr uint8_t kTypeBoolean = column_type::kBoolean;
inline constexpr uint8_t kTypeLong = column_type::kLong;
inline constexpr uint8_t kTypeText = column_type::kText;
}  // namespace property

inline constexpr uint16_t kCodePage1252 = 1252;
inline constexpr uint16_t kSortGeneral = 0x0409;

// Bit sets (null masks, usage bitmaps, index entry masks): bit n is bit n % 8 of
// byte n / 8.
inline void SetBit(uint8_t* bits, size_t n) {
  bits[n / 8] = static_cast<uint8_t>(bits[n / 8] | (1u << (n % 8)));
}
inline bool TestBit(const uint8_t* bits, size_t n) {
  return (bits[n / 8] >> (n % 8)) & 1u;
}

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

// Appending little-endian values, for structures built as they are written.
inline void Append16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Append32(std::vector<uint8_t>& out, uint32_t v) {
  Append16(out, static_cast<uint16_t>(v));
  Append16(out, static_cast<uint16_t>(v >> 16));
}
// A name as definitions and properties keep it: byte length, then UTF-16.
inline void AppendName(std::vector<uint8_t>& out, std::u16string_view name) {
  Append16(out, static_cast<uint16_t>(name.size() * 2));
  for (char16_t c : name) Append16(out, static_cast<uint16_t>(c));
}

// A row pointer: page number in the upper three bytes, row number in the lowest.
inline uint32_t PageRow(uint32_t page, uint32_t row) {
  return (page << 8) | (row & 0xff);
}

}  // namespace tessaly::jet
