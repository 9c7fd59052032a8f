#pragma once

// Bytes of an empty database that Access 2000 (build 6620) created, as hex dumps of
// the parts the tests compare with: two index leaves of its catalog and the
// database's property block. They are the oracle for what Jet writes, never a
// source of the writer's pages.

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::test::access {

// "OFFSET  hex bytes" lines into a buffer of `size` bytes, zero where no line says.
inline std::vector<uint8_t> FromDump(std::string_view dump, size_t size) {
  std::vector<uint8_t> out(size);
  std::istringstream lines{std::string(dump)};
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    std::istringstream words(line);
    std::string word;
    words >> word;
    for (size_t at = std::stoul(word, nullptr, 16); words >> word; ++at) {
      out.at(at) = static_cast<uint8_t>(std::stoul(word, nullptr, 16));
    }
  }
  return out;
}

// The catalog's rows in their order on its data page (row number = index):
// Id, ParentId, Name.
struct CatalogRow {
  uint32_t id, parentId;
  std::u16string_view name;
};
inline constexpr CatalogRow kCatalog[] = {
    {0x0f000001, 0x0f000000, u"Tables"},
    {0x0f000002, 0x0f000000, u"Databases"},
    {0x0f000003, 0x0f000000, u"Relationships"},
    {0x10000000, 0x0f000002, u"MSysDb"},
    {0x00000002, 0x0f000001, u"MSysObjects"},
    {0x00000003, 0x0f000001, u"MSysACEs"},
    {0x00000004, 0x0f000001, u"MSysQueries"},
    {0x00000005, 0x0f000001, u"MSysRelationships"},
    {0x80000000, 0x0f000000, u"DataAccessPages"},
    {0x80000001, 0x0f000000, u"Forms"},
    {0x80000002, 0x0f000000, u"Modules"},
    {0x80000003, 0x0f000000, u"Reports"},
    {0x80000004, 0x0f000000, u"Scripts"},
    {0x80000005, 0x0f000000, u"SysRel"},
    {0x80000006, 0x0f000002, u"AccessLayout"},
    {0x80000007, 0x0f000002, u"SummaryInfo"},
    {0x80000008, 0x0f000002, u"UserDefined"},
    {0x0000000f, 0x0f000001, u"MSysAccessObjects"},
};
inline constexpr uint32_t kCatalogDataPage = 14;

// Leaf of the catalog's ParentIdName index (page 7): its header, the start of the
// entry-end bitmap and the first entries.
inline constexpr std::string_view kParentIdNameLeaf = R"(
0000  04 01 95 0c 02 00 00 00 00 00 00 00 00 00 00 00
0010  00 00 00 00 00 00 00 00 00 00 00 00 00 00 08 00
0020  00 01 00 02 00 10 00 00 20 00 00 01 00 08 00 20
01e0  7f 8f 00 00 00 7f 4f 4a 6d 4a 4a 4d 4d 51 6b 6b
01f0  66 4a 55 51 6b 01 00 00 00 0e 08 7f 8f 00 00 00
0200  7f 4f 4a 6d 4a 4c 4a 6b 51 6b 01 00 00 00 0e 01
0210  7f 8f 00 00 00 7f 53 64 69 60 6b 01 00 00 00 0e
0220  09 7f 8f 00 00 00 7f 60 64 4f 6f 5e 51 6b 01 00
0230  00 00 0e 0a 7f 8f 00 00 00 7f 69 51 5e 4a 6d 59
0240  64 62 6b 57 59 66 6b 01 00 00 00 0e 02 7f 8f 00
0250  00 00 7f 69 51 66 64 69 6d 6b 01 00 00 00 0e 0b
0260  7f 8f 00 00 00 7f 6b 4d 69 59 66 6d 6b 01 00 00
0270  00 0e 0c 7f 8f 00 00 00 7f 6b 76 6b 69 51 5e 01
)";

// Leaf of the catalog's Id index (page 8), likewise.
inline constexpr std::string_view kIdLeaf = R"(
0000  04 01 7e 0d 02 00 00 00 00 00 00 00 00 00 00 00
0010  00 00 00 00 00 00 00 00 00 00 00 00 02 04 08 10
0020  20 40 80 00 01 02 04 08 10 20 40 80 00 01 02 04
01e0  7f 00 00 00 00 00 00 0e 08 7f 00 00 00 01 00 00
01f0  0e 09 7f 00 00 00 02 00 00 0e 0a 7f 00 00 00 03
0200  00 00 0e 0b 7f 00 00 00 04 00 00 0e 0c 7f 00 00
0210  00 05 00 00 0e 0d 7f 00 00 00 06 00 00 0e 0e 7f
0220  00 00 00 07 00 00 0e 0f 7f 00 00 00 08 00 00 0e
0230  10 7f 80 00 00 02 00 00 0e 04 7f 80 00 00 03 00
0240  00 0e 05 7f 80 00 00 04 00 00 0e 06 7f 80 00 00
0250  05 00 00 0e 07 7f 80 00 00 0f 00 00 0e 11 7f 8f
0260  00 00 01 00 00 0e 00 7f 8f 00 00 02 00 00 0e 01
0270  7f 8f 00 00 03 00 00 0e 02 7f 90 00 00 00 00 00
)";
// Bytes of the leaf dumps known: up to this offset.
inline constexpr size_t kLeafDumpEnd = 0x280;

// MSysDb's LvProp: AccessVersion "08.50" and Build 6620.
inline constexpr std::string_view kDatabaseProperties = R"(
0000  4d 52 32 00 2e 00 00 00 80 00 1a 00 41 00 63 00
0010  63 00 65 00 73 00 73 00 56 00 65 00 72 00 73 00
0020  69 00 6f 00 6e 00 0a 00 42 00 75 00 69 00 6c 00
0030  64 00 2a 00 00 00 00 00 06 00 00 00 00 00 12 00
0040  00 0a 00 00 0a 00 30 00 38 00 2e 00 35 00 30 00
0050  0c 00 00 04 01 00 04 00 dc 19 00 00
)";
inline constexpr size_t kDatabasePropertiesSize = 92;
// Where its length fields are, and how wide each is: the names chunk's length and
// the two names', the values chunk's length, its map-name length and name length,
// each value's length and data size.
struct LengthField {
  size_t offset, width;
};
inline constexpr LengthField kDatabasePropertyLengths[] = {
    {0x04, 4}, {0x0a, 2}, {0x26, 2}, {0x32, 4}, {0x38, 4},
    {0x3c, 2}, {0x3e, 2}, {0x44, 2}, {0x50, 2}, {0x56, 2},
};

}  // namespace tessaly::test::access
