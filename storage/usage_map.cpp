#include "storage/usage_map.h"

#include <cassert>

namespace tessaly::jet {

using namespace usage_map;

namespace {

uint32_t InlineStart(uint32_t firstPage) {
  return firstPage / kStartAlignment * kStartAlignment;
}

bool FitsInline(uint32_t first, uint32_t last) {
  return last - InlineStart(first) < kInlinePages;
}

[[maybe_unused]] bool FitsInlineMap(const std::vector<uint32_t>& pages) {
  return pages.empty() || FitsInline(pages.front(), pages.back());
}

}  // namespace

std::vector<uint8_t> BuildInlineMap(const std::vector<uint32_t>& pages) {
  assert(FitsInlineMap(pages));
  std::vector<uint8_t> map(kRowSize, 0);
  map[0] = kInline;
  const uint32_t start = pages.empty() ? 0 : InlineStart(pages.front());
  Put32(&map[kStartOffset], start);
  for (uint32_t page : pages) SetBit(&map[kBitmapOffset], page - start);
  return map;
}

std::vector<uint8_t> BuildGlobalMap(uint32_t pageCount) {
  std::vector<uint8_t> map(kRowSize, 0);
  map[0] = kInline;
  const uint32_t start = pageCount / kGlobalWindow * kGlobalWindow;
  Put32(&map[kStartOffset], start);
  // A set bit is a free page: only those past the end of the file are.
  for (uint32_t page = pageCount; page < start + kGlobalWindow; ++page) {
    SetBit(&map[kBitmapOffset], page - start);
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
  std::vector<uint8_t> map(kRowSize, 0);
  map[0] = kReference;
  for (uint32_t slot = 0; slot < kReferenceSlots && slot < bitmapPages.size(); ++slot) {
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
    SetBit(&page[kBitmapPageHeader], p - first);
  }
  return page;
}

uint32_t MapPages::ReserveToAdd(uint32_t next) const {
  if (reference_ || pages_.empty() || FitsInline(pages_.front(), next)) return 0;
  return kReferenceSlots;
}

void MapPages::Add(PageFile& file, uint32_t page) {
  assert(pages_.empty() || page > pages_.back());
  const uint32_t reserve = ReserveToAdd(page);
  if (reserve > 0) {
    file.SetReserve(file.Reserve() + reserve);
    reference_ = true;
    bitmapPages_.assign(kReferenceSlots, 0);
  }
  pages_.push_back(page);
}

std::vector<uint8_t> MapPages::Build(PageFile& file) {
  if (!reference_) return BuildInlineMap(pages_);
  for (uint32_t slot : ReferenceSlotsUsed(pages_)) {
    if (bitmapPages_[slot] == 0) bitmapPages_[slot] = file.AllocateReserved();
    file.Write(bitmapPages_[slot], BuildBitmapPage(pages_, slot).data());
  }
  return BuildReferenceMap(bitmapPages_);
}

}  // namespace tessaly::jet
