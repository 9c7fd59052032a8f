#pragma once

// Usage maps: which pages a table, a long-value column or an index holds. The
// inline kind carries a bitmap from a start page inside the map row; the
// reference kind lists bitmap pages, each covering a fixed range of page numbers,
// which together span 2 GB.

#include <cstdint>
#include <vector>

#include "storage/jet_format.h"
#include "storage/page_file.h"

namespace tessaly::jet {

// pages: ascending page numbers, within the 512 an inline map covers.
std::vector<uint8_t> BuildInlineMap(const std::vector<uint32_t>& pages);
// The free-page map of a file of pageCount pages: every page in it is in use.
std::vector<uint8_t> BuildGlobalMap(uint32_t pageCount);

// The bitmap-page slots a set of pages needs.
std::vector<uint32_t> ReferenceSlotsUsed(const std::vector<uint32_t>& pages);
// bitmapPages: one page number per slot, 0 where the slot is unused.
std::vector<uint8_t> BuildReferenceMap(const std::vector<uint32_t>& bitmapPages);
Page BuildBitmapPage(const std::vector<uint32_t>& pages, uint32_t slot);

// The pages one map names, growing at the end of the file, and the bitmap pages
// it takes once it no longer fits inline. Those come out of the file's reserve,
// which the map adds to the moment it turns into a reference map, so that closing
// the file can always write it.
class MapPages {
 public:
  const std::vector<uint32_t>& Pages() const { return pages_; }
  bool Empty() const { return pages_.empty(); }
  // Pages to keep back if the map came to hold page `next` too.
  uint32_t ReserveToAdd(uint32_t next) const;
  // Adds a page above all it holds; grows the file's reserve as ReserveToAdd said.
  void Add(PageFile& file, uint32_t page);
  // The map row; writes the bitmap pages a reference map needs.
  std::vector<uint8_t> Build(PageFile& file);

 private:
  std::vector<uint32_t> pages_;
  bool reference_ = false;
  std::vector<uint32_t> bitmapPages_;
};

}  // namespace tessaly::jet
