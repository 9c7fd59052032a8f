#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "storage/index_leaf.h"
#include "tests/support/access_reference.h"
#include "tests/support/jet_file_check.h"

namespace tessaly::jet {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes LongKey(int32_t value) {
  Bytes key;
  AppendLongKey(value, key);
  return key;
}

Bytes TextKey(std::u16string_view text) {
  Bytes key;
  AppendTextKey(text, key);
  return key;
}

TEST(IndexKeys, LongsSortAsNumbersOnceTheSignIsFlipped) {
  const std::vector<std::pair<int32_t, Bytes>> cases = {
      {2, {0x7f, 0x80, 0x00, 0x00, 0x02}},          {0, {0x7f, 0x80, 0x00, 0x00, 0x00}},
      {-1, {0x7f, 0x7f, 0xff, 0xff, 0xff}},         {INT32_MIN, {0x7f, 0x00, 0x00, 0x00, 0x00}},
      {INT32_MAX, {0x7f, 0xff, 0xff, 0xff, 0xff}},  {0x0f000001, {0x7f, 0x8f, 0x00, 0x00, 0x01}},
      {0x10000000, {0x7f, 0x90, 0x00, 0x00, 0x00}},
  };
  for (const auto& [value, bytes] : cases) EXPECT_EQ(LongKey(value), bytes) << value;
  EXPECT_LT(LongKey(-5), LongKey(3));
}

TEST(IndexKeys, TextsInTheGeneralOrderIgnoreCase) {
  const std::vector<std::pair<std::u16string, Bytes>> cases = {
      {u"MSysObjects",
       {0x7f, 0x60, 0x6b, 0x76, 0x6b, 0x64, 0x4c, 0x5b, 0x51, 0x4d, 0x6d, 0x6b, 0x01, 0x00}},
      {u"abcdefghijklm",
       {0x7f, 0x4a, 0x4c, 0x4d, 0x4f, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5b, 0x5c, 0x5e, 0x60, 0x01,
        0x00}},
      {u"NOPQRSTUVWXYZ",
       {0x7f, 0x62, 0x64, 0x66, 0x68, 0x69, 0x6b, 0x6d, 0x6f, 0x71, 0x73, 0x75, 0x76, 0x78, 0x01,
        0x00}},
      {u"0123456789",
       {0x7f, 0x36, 0x38, 0x3a, 0x3c, 0x3e, 0x40, 0x42, 0x44, 0x46, 0x48, 0x01, 0x00}},
      {u"a 1", {0x7f, 0x4a, 0x07, 0x38, 0x01, 0x00}},
      {u"", {0x7f, 0x01, 0x00}},
  };
  for (const auto& [text, bytes] : cases) {
    ASSERT_TRUE(HasTextKey(text));
    EXPECT_EQ(TextKey(text), bytes);
  }
  EXPECT_EQ(TextKey(u"tblCardData"), TextKey(u"TBLCARDDATA"));
  // A catalog key: the parent's Long, then the name.
  Bytes parentIdName = LongKey(0x0f000001);
  AppendTextKey(u"MSysObjects", parentIdName);
  EXPECT_EQ(parentIdName, (Bytes{0x7f, 0x8f, 0x00, 0x00, 0x01, 0x7f, 0x60, 0x6b, 0x76, 0x6b, 0x64,
                                 0x4c, 0x5b, 0x51, 0x4d, 0x6d, 0x6b, 0x01, 0x00}));
}

// The entries of a dumped leaf, in its order, as far as the dump goes.
std::vector<Bytes> LeafEntries(const Bytes& page) {
  std::vector<Bytes> entries;
  size_t previous = 0;
  for (size_t bit = 1; bit < index_leaf::kEntryMaskSize * 8; ++bit) {
    if (!TestBit(&page[index_leaf::kEntryMaskOffset], bit)) continue;
    if (index_leaf::kEntriesOffset + bit > test::access::kLeafDumpEnd) break;
    entries.emplace_back(page.begin() + index_leaf::kEntriesOffset + previous,
                         page.begin() + index_leaf::kEntriesOffset + bit);
    previous = bit;
  }
  return entries;
}

// The catalog's two leaves as Access wrote them: every entry's key is the one
// computed here, by the writer and by the file checker alike, and the leaves the
// writer builds from the same rows are Access's on every byte the dumps show.
TEST(IndexKeys, KeysAndLeavesAreThoseAccessWrote) {
  struct Leaf {
    std::string_view dump;
    bool byParentAndName;
  };
  for (const Leaf& leaf : {Leaf{test::access::kParentIdNameLeaf, true}, Leaf{test::access::kIdLeaf, false}}) {
    SCOPED_TRACE(leaf.byParentAndName ? "ParentIdName" : "Id");
    const Bytes page = test::access::FromDump(leaf.dump, kPageSize);
    auto keyOf = [&](const test::access::CatalogRow& row) {
      Bytes key = LongKey(static_cast<int32_t>(leaf.byParentAndName ? row.parentId : row.id));
      if (leaf.byParentAndName) AppendTextKey(row.name, key);
      return key;
    };
    auto checkerKeyOf = [&](const test::access::CatalogRow& row) {
      Bytes key = test::JetLongKey(static_cast<int32_t>(leaf.byParentAndName ? row.parentId : row.id));
      if (!leaf.byParentAndName) return key;
      const Bytes name = test::JetGeneralTextKey(row.name).value_or(Bytes{});
      EXPECT_FALSE(name.empty());
      key.insert(key.end(), name.begin(), name.end());
      return key;
    };

    const std::vector<Bytes> entries = LeafEntries(page);
    ASSERT_GE(entries.size(), leaf.byParentAndName ? 7u : 17u);
    for (const Bytes& entry : entries) {
      const size_t keySize = entry.size() - index_leaf::kRowPointerSize;
      const uint32_t dataPage = uint32_t{entry[keySize]} << 16 | uint32_t{entry[keySize + 1]} << 8 |
                                entry[keySize + 2];
      const uint8_t row = entry[keySize + 3];
      ASSERT_EQ(dataPage, test::access::kCatalogDataPage);
      ASSERT_LT(row, std::size(test::access::kCatalog));
      const Bytes key(entry.begin(), entry.begin() + static_cast<std::ptrdiff_t>(keySize));
      EXPECT_EQ(keyOf(test::access::kCatalog[row]), key) << "row " << int{row};
      EXPECT_EQ(checkerKeyOf(test::access::kCatalog[row]), key) << "row " << int{row};
    }

    std::vector<IndexEntry> ours;
    for (uint32_t row = 0; row < std::size(test::access::kCatalog); ++row) {
      ours.push_back({keyOf(test::access::kCatalog[row]), PageRow(test::access::kCatalogDataPage, row)});
    }
    SortIndexEntries(ours);
    const Page built = BuildIndexLeaf(Get32(&page[index_leaf::kTableOffset]), ours);
    for (size_t at = 0; at < test::access::kLeafDumpEnd; ++at) {
      // Between the bitmap's dumped start and the entries the dump says nothing.
      if (at >= 0x30 && at < index_leaf::kEntriesOffset) continue;
      ASSERT_EQ(built[at], page[at]) << "byte 0x" << std::hex << at;
    }
  }
}

TEST(IndexKeys, CharactersWithoutAKnownCodeAreRefused) {
  for (const char16_t* text : {u"tbl_Cards", u"Caf\u00e9", u"a.b", u"x-y", u"\u20ac", u"tab\t"}) {
    EXPECT_FALSE(HasTextKey(text));
  }
}

TEST(IndexLeaf, EntriesSortByTheirBytesAndEndMarksFollowThem) {
  std::vector<IndexEntry> entries = {
      {LongKey(5), PageRow(14, 1)}, {LongKey(-3), PageRow(15, 0)}, {LongKey(5), PageRow(14, 0)}};
  SortIndexEntries(entries);
  EXPECT_EQ(entries[0].key, LongKey(-3));
  EXPECT_EQ(entries[1].pageRow, PageRow(14, 0));
  EXPECT_EQ(CountUniqueKeys(entries), 2u);
  const Page page = BuildIndexLeaf(2, entries);
  EXPECT_EQ(page[0], page_type::kIndexLeaf);
  EXPECT_EQ(Get32(&page[index_leaf::kTableOffset]), 2u);
  // Three entries of 9 bytes: ends at 9, 18 and 27.
  EXPECT_EQ(page[index_leaf::kEntryMaskOffset + 1], 0x02);
  EXPECT_EQ(page[index_leaf::kEntryMaskOffset + 2], 0x04);
  EXPECT_EQ(page[index_leaf::kEntryMaskOffset + 3], 0x08);
  EXPECT_EQ(Get16(&page[index_leaf::kFreeSpaceOffset]),
            kPageSize - index_leaf::kEntriesOffset - 27);
  const Bytes second(page.begin() + index_leaf::kEntriesOffset + 9,
                     page.begin() + index_leaf::kEntriesOffset + 18);
  EXPECT_EQ(second, (Bytes{0x7f, 0x80, 0x00, 0x00, 0x05, 0x00, 0x00, 0x0e, 0x00}));
  EXPECT_EQ(Get16(&BuildIndexLeaf(3, {})[index_leaf::kFreeSpaceOffset]), 0x0e20u);
}

}  // namespace
}  // namespace tessaly::jet
