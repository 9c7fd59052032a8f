#include "storage/usage_map.h"

namespace tessaly::jet {

bool FitsInlineMap(const std::vector<uint32_t>& pages) {
  return pages.empty() || pages.back() - pages.front() < kInlineMapPages;
}

std::vector<uint8_t> BuildInlineMap(const std::vector<uint32_t>& pages) {
  std::vector<uint8_t> map(kInlineMapSize, 0);
  const uint32_t start = pages.empty() ? 0 : pages.front();
  Put32(&map[1], start);
  for (uint32_t page : pages) {
    const uint32_t bit = page - start;
    map[5 + bit / 8] = static_cast<uint8_t>(map[5 + bit / 8] | (1u << (bit % 8)));
  }
  return map;
}

std::vector<uint32_t> ReferenceSlotsUsed(const std::vector<uint32_t>& pages) {
  std::vector<uint32_t> slots;
  for (uint32_t page : pages) {
    const uint32_t slot = page / kPagesPerBitmapPage;
    if (slots.empty() || slots.back() != slot) slots.push_back(slot);
  }
  return slots;
}

std::vector<uint8_t> BuildReferenceMap(const std::vector<uint32_t>& bitmapPages) {
  std::vector<uint8_t> map(1 + 4 * kReferenceMapSlots, 0);
  map[0] = 1;
  for (uint32_t slot = 0; slot < kReferenceMapSlots && slot < bitmapPages.size(); ++slot) {
    Put32(&map[1 + 4 * slot], bitmapPages[slot]);
  }
  return map;
}

Page BuildBitmapPage(const std::vector<uint32_t>& pages, uint32_t slot) {
  Page page{};
  page[0] = page_type::kUsageBitmap;
  page[1] = 0x01;
  const uint32_t first = slot * kPagesPerBitmapPage;
  for (uint32_t p : pages) {
    if (p < first || p - first >= kPagesPerBitmapPage) continue;
    const uint32_t bit = p - first;
    page[4 + bit / 8] = static_cast<uint8_t>(page[4 + bit / 8] | (1u << (bit % 8)));
  }
  return page;
}

}  // namespace tessaly::jet
