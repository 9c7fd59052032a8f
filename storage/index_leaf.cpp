#include "storage/index_leaf.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <tuple>

namespace tessaly::jet {

namespace {

// Codes of the General (legacy) order, read from files the engine wrote; its
// published tables do not match them.
constexpr std::array<uint8_t, 26> kLetterCodes = {
    0x4a, 0x4c, 0x4d, 0x4f, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5b, 0x5c, 0x5e, 0x60,
    0x62, 0x64, 0x66, 0x68, 0x69, 0x6b, 0x6d, 0x6f, 0x71, 0x73, 0x75, 0x76, 0x78};
constexpr uint8_t kFirstDigitCode = 0x36;  // then every second code
constexpr uint8_t kSpaceCode = 0x07;
// Closes a text key that carries no case or accent marks.
constexpr std::array<uint8_t, 2> kTextKeyEnd = {0x01, 0x00};

int TextCode(char16_t c) {
  if (c >= u'A' && c <= u'Z') return kLetterCodes[static_cast<size_t>(c - u'A')];
  if (c >= u'a' && c <= u'z') return kLetterCodes[static_cast<size_t>(c - u'a')];
  if (c >= u'0' && c <= u'9') return kFirstDigitCode + 2 * (c - u'0');
  if (c == u' ') return kSpaceCode;
  return -1;
}

uint32_t EntrySize(const IndexEntry& entry) {
  return static_cast<uint32_t>(entry.key.size()) + index_leaf::kRowPointerSize;
}

void AppendEntry(const IndexEntry& entry, uint8_t* out) {
  std::memcpy(out, entry.key.data(), entry.key.size());
  out += entry.key.size();
  const uint32_t page = entry.pageRow >> 8;
  out[0] = static_cast<uint8_t>(page >> 16);
  out[1] = static_cast<uint8_t>(page >> 8);
  out[2] = static_cast<uint8_t>(page);
  out[3] = static_cast<uint8_t>(entry.pageRow);
}

}  // namespace

void AppendLongKey(int32_t value, std::vector<uint8_t>& key) {
  const uint32_t flipped = static_cast<uint32_t>(value) ^ 0x80000000u;
  key.push_back(kKeyPresent);
  for (int shift = 24; shift >= 0; shift -= 8)
    key.push_back(static_cast<uint8_t>(flipped >> shift));
}

bool HasTextKey(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return TextCode(c) >= 0; });
}

void AppendTextKey(std::u16string_view text, std::vector<uint8_t>& key) {
  assert(HasTextKey(text));
  key.push_back(kKeyPresent);
  for (char16_t c : text) key.push_back(static_cast<uint8_t>(TextCode(c)));
  key.insert(key.end(), kTextKeyEnd.begin(), kTextKeyEnd.end());
}

void SortIndexEntries(std::vector<IndexEntry>& entries) {
  // The same order as the entries' bytes: no key is a prefix of another (text
  // keys end below every character code, Longs have one length), and the
  // big-endian row pointer sorts as the number.
  std::sort(entries.begin(), entries.end(), [](const IndexEntry& x, const IndexEntry& y) {
    // Spelled out: GCC 12 misreads the vector comparison inside std::tie at -O3.
    if (x.key != y.key) {
      return std::lexicographical_compare(x.key.begin(), x.key.end(), y.key.begin(), y.key.end());
    }
    return x.pageRow < y.pageRow;
  });
}

uint32_t CountUniqueKeys(const std::vector<IndexEntry>& entries) {
  uint32_t count = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i == 0 || entries[i].key != entries[i - 1].key) ++count;
  }
  return count;
}

bool FitsIndexLeaf(const std::vector<IndexEntry>& entries) {
  uint32_t total = 0;
  for (const IndexEntry& entry : entries) total += EntrySize(entry);
  return total <= kPageSize - index_leaf::kEntriesOffset;
}

Page BuildIndexLeaf(uint32_t tablePage, const std::vector<IndexEntry>& entries) {
  using namespace index_leaf;
  assert(FitsIndexLeaf(entries));
  Page page{};
  page[0] = page_type::kIndexLeaf;
  page[1] = 0x01;
  Put32(page.data() + kTableOffset, tablePage);
  // No previous, next or tail page, and no prefix shared by the entries.
  uint32_t end = 0;
  for (const IndexEntry& entry : entries) {
    AppendEntry(entry, page.data() + kEntriesOffset + end);
    end += EntrySize(entry);
    SetBit(&page[kEntryMaskOffset], end);
  }
  Put16(page.data() + kFreeSpaceOffset, static_cast<uint16_t>(kPageSize - kEntriesOffset - end));
  return page;
}

}  // namespace tessaly::jet
