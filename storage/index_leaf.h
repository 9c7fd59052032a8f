#pragma once

// Index keys and the leaf page that holds an index whose entries fit one page,
// as every index of the engine's own tables does.

#include <cstdint>
#include <string_view>
#include <vector>

#include "storage/jet_format.h"

namespace tessaly::jet {

// A key starts with this byte for a value present and ascending.
inline constexpr uint8_t kKeyPresent = 0x7f;

// A Long: its sign bit flipped, big-endian, so keys sort as numbers.
void AppendLongKey(int32_t value, std::vector<uint8_t>& key);
// Whether every character of text has a code in the General (legacy) order
// this engine knows: the letters of the English alphabet, digits and blanks.
bool HasTextKey(std::u16string_view text);
// A Text in the General (legacy) order, case-insensitive. Requires HasTextKey.
void AppendTextKey(std::u16string_view text, std::vector<uint8_t>& key);

struct IndexEntry {
  std::vector<uint8_t> key;
  uint32_t pageRow = 0;  // the row the entry points to
};

// Puts entries in the order the leaf keeps them: by their bytes.
void SortIndexEntries(std::vector<IndexEntry>& entries);
// Entries with keys unlike the one before; entries must be sorted.
uint32_t CountUniqueKeys(const std::vector<IndexEntry>& entries);
bool FitsIndexLeaf(const std::vector<IndexEntry>& entries);
// The root leaf of a table's index; entries sorted, and FitsIndexLeaf.
Page BuildIndexLeaf(uint32_t tablePage, const std::vector<IndexEntry>& entries);

}  // namespace tessaly::jet
