#pragma once

// Usage maps: which pages hold a table's rows. The inline kind carries a bitmap
// from a start page inside the map row; the reference kind lists bitmap pages,
// each covering a fixed range of page numbers, which together span 2 GB.

#include <cstdint>
#include <vector>

#include "storage/jet_format.h"

namespace tessaly::jet {

inline constexpr uint32_t kInlineMapSize = 64;
inline constexpr uint32_t kInlineMapPages = (kInlineMapSize - 5) * 8;
inline constexpr uint32_t kPagesPerBitmapPage = (kPageSize - 4) * 8;
inline constexpr uint32_t kReferenceMapSlots =
    (kMaxPages + kPagesPerBitmapPage - 1) / kPagesPerBitmapPage;

// pages: ascending page numbers.
bool FitsInlineMap(const std::vector<uint32_t>& pages);
std::vector<uint8_t> BuildInlineMap(const std::vector<uint32_t>& pages);

// The bitmap-page slots a set of pages needs.
std::vector<uint32_t> ReferenceSlotsUsed(const std::vector<uint32_t>& pages);
// bitmapPages: one page number per slot, 0 where the slot is unused.
std::vector<uint8_t> BuildReferenceMap(const std::vector<uint32_t>& bitmapPages);
Page BuildBitmapPage(const std::vector<uint32_t>& pages, uint32_t slot);

// The pages a map names, reading bitmap pages through readPage.
template <typename ReadPage>
std::vector<uint32_t> PagesInMap(const uint8_t* map, uint32_t size, ReadPage readPage) {
  std::vector<uint32_t> pages;
  if (size >= 5 && map[0] == 0) {
    const uint32_t start = Get32(map + 1);
    for (uint32_t i = 0; i < (size - 5) * 8; ++i) {
      if (map[5 + i / 8] & (1u << (i % 8))) pages.push_back(start + i);
    }
  } else if (size >= 1 && map[0] == 1) {
    Page bitmap;
    for (uint32_t slot = 0; slot < (size - 1) / 4; ++slot) {
      const uint32_t page = Get32(map + 1 + 4 * slot);
      if (page == 0) continue;
      readPage(page, bitmap.data());
      for (uint32_t i = 0; i < kPagesPerBitmapPage; ++i) {
        if (bitmap[4 + i / 8] & (1u << (i % 8))) pages.push_back(slot * kPagesPerBitmapPage + i);
      }
    }
  }
  return pages;
}

}  // namespace tessaly::jet
