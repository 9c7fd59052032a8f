#include "storage/data_page.h"

#include <algorithm>
#include <cassert>

namespace tessaly::jet {

void DataPageBuilder::Start(uint32_t owner) {
  // Rows and the row table overwrite what was here; Image zeroes the rest.
  std::fill_n(page_.begin(), data_page::kRowTableOffset, uint8_t{0});
  page_[0] = page_type::kData;
  page_[1] = 0x01;
  Put32(page_.data() + data_page::kOwnerOffset, owner);
  rows_ = 0;
  dataStart_ = kPageSize;
  Put16(page_.data() + data_page::kFreeSpaceOffset,
        static_cast<uint16_t>(kPageSize - data_page::kRowTableOffset));
}

const Page& DataPageBuilder::Image() {
  const uint32_t tableEnd = data_page::kRowTableOffset + 2 * rows_;
  std::fill(page_.begin() + tableEnd, page_.begin() + dataStart_, uint8_t{0});
  return page_;
}

bool DataPageBuilder::Fits(uint32_t rowSize) const {
  const uint32_t tableEnd = data_page::kRowTableOffset + 2 * (rows_ + 1);
  return rows_ < data_page::kMaxRowsPerPage && tableEnd + rowSize <= dataStart_;
}

uint8_t* DataPageBuilder::AddRow(uint32_t rowSize, uint32_t* rowNumber) {
  assert(page_[0] == page_type::kData);  // started
  assert(Fits(rowSize));
  dataStart_ -= rowSize;
  Put16(page_.data() + data_page::kRowTableOffset + 2 * rows_, static_cast<uint16_t>(dataStart_));
  *rowNumber = rows_++;
  Put16(page_.data() + data_page::kRowCountOffset, static_cast<uint16_t>(rows_));
  const uint32_t tableEnd = data_page::kRowTableOffset + 2 * rows_;
  Put16(page_.data() + data_page::kFreeSpaceOffset, static_cast<uint16_t>(dataStart_ - tableEnd));
  return page_.data() + dataStart_;
}

bool FindRow(const Page& page, uint32_t row, uint32_t* start, uint32_t* size) {
  const uint32_t rows = Get16(page.data() + data_page::kRowCountOffset);
  if (row >= rows || data_page::kRowTableOffset + 2 * rows > kPageSize) return false;
  const uint32_t begin =
      Get16(page.data() + data_page::kRowTableOffset + 2 * row) & data_page::kRowOffsetMask;
  const uint32_t end = row == 0 ? kPageSize
                                : Get16(page.data() + data_page::kRowTableOffset + 2 * (row - 1)) &
                                      data_page::kRowOffsetMask;
  if (begin > end || end > kPageSize || begin < data_page::kRowTableOffset + 2 * rows) return false;
  *start = begin;
  *size = end - begin;
  return true;
}

}  // namespace tessaly::jet
