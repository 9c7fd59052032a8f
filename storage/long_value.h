#pragma once

// Long values (memo and OLE): a 12-byte header in the row — length, where the
// bytes are, row pointer — with the bytes inline after it, in one row of a
// long-value page, or in a chain of long-value rows, each naming the next.

#include <cstdint>
#include <vector>

#include "storage/data_page.h"
#include "storage/page_file.h"
#include "storage/usage_map.h"

namespace tessaly::jet {

inline constexpr uint32_t kLongValueHeaderSize = long_value::kHeaderSize;
// Larger values leave the row.
inline constexpr uint32_t kMaxInlineLongValue = 1024;
// One row of an otherwise empty page.
inline constexpr uint32_t kMaxSingleLongValue = kPageSize - data_page::kRowTableOffset - 2;
inline constexpr uint32_t kChainChunk = kMaxSingleLongValue - 4;
// The header counts bytes in three bytes.
inline constexpr uint32_t kMaxLongValueBytes = 0xffffff;

void WriteInlineLongValueHeader(uint32_t size, uint8_t* header);

// The long values of one column: each column owns its pages, as its own pair of
// usage maps records.
class LongValueWriter {
 public:
  explicit LongValueWriter(PageFile& file) : file_(file) {}
  // New pages storing size bytes may take (an upper bound).
  uint32_t PagesNeeded(uint32_t size) const;
  // Pages the column's map would keep back if it took pages up to `last`.
  uint32_t ReserveToAdd(uint32_t last) const { return pages_.ReserveToAdd(last); }
  // Stores the bytes in long-value pages and writes the header pointing to them.
  void Store(const uint8_t* data, uint32_t size, uint8_t* header);
  // Puts the page being filled into the file.
  void WriteOpenPage();

  // The map rows of the pages the column owns and of the page it fills.
  std::vector<uint8_t> BuildUsedPagesMap() { return pages_.Build(file_); }
  std::vector<uint8_t> BuildFreePagesMap() const;
  const MapPages& Pages() const { return pages_; }

 private:
  uint32_t NewPages(uint32_t count);

  PageFile& file_;
  DataPageBuilder page_;
  uint32_t pageNumber_ = 0;
  bool open_ = false;
  MapPages pages_;
};

// The stored bytes of a long value whose header and inline bytes are field[0, size);
// false when its pages do not hold what the header says.
bool ReadLongValue(PageFile& file, const uint8_t* field, uint32_t size, std::vector<uint8_t>& out);

}  // namespace tessaly::jet
