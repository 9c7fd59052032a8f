#pragma once

// Data pages (and long-value pages, which share their layout): a header, a table
// of row offsets growing upwards, rows growing down from the end of the page.

#include <cstdint>

#include "storage/jet_format.h"

namespace tessaly::jet {

inline constexpr uint32_t kLongValueOwner = long_value::kPageOwner;

class DataPageBuilder {
 public:
  void Start(uint32_t owner);
  // Whether a row of this many bytes still fits.
  bool Fits(uint32_t rowSize) const;
  // Room for a new row at the end of the row table; returns its row number.
  // Requires Start() and Fits(rowSize).
  uint8_t* AddRow(uint32_t rowSize, uint32_t* rowNumber);
  uint32_t RowCount() const { return rows_; }
  // The page as it stands; the free space between the row table and the rows is
  // zeroed here rather than the whole page at Start.
  const Page& Image();

 private:
  Page page_{};
  uint32_t rows_ = 0;
  uint32_t dataStart_ = kPageSize;
};

// The bytes of row number row of a data page; false when there is no such row.
bool FindRow(const Page& page, uint32_t row, uint32_t* start, uint32_t* size);

}  // namespace tessaly::jet
