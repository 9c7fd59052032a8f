#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "storage/index_leaf.h"

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
