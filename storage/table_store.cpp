#include "storage/table_store.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

#include "storage/dao.h"

namespace tessaly::jet {

TableStore::TableStore(PageFile& file, TableLayout layout, uint32_t definitionPage)
    : file_(file), layout_(std::move(layout)) {
  const uint32_t count = TableDefinitionPageCount(layout_);
  if (definitionPage != 0) {
    definitionPages_.push_back(definitionPage);
    if (count > 1) {
      const uint32_t more = file_.Allocate(count - 1);
      for (uint32_t i = 0; i + 1 < count; ++i) definitionPages_.push_back(more + i);
    }
  } else {
    const uint32_t first = file_.Allocate(count);
    for (uint32_t i = 0; i < count; ++i) definitionPages_.push_back(first + i);
  }
  longValueOf_.assign(layout_.columns.size(), -1);
  longValues_.reserve(layout_.longColumns.size());
  for (uint16_t number : layout_.longColumns) {
    longValueOf_[number] = static_cast<int>(longValues_.size());
    longValues_.emplace_back(file_);
  }
  cells_.resize(layout_.columns.size());
  headers_.resize(layout_.columns.size() * kLongValueHeaderSize);
  external_.resize(layout_.columns.size());
}

uint32_t TableStore::PlanRow(const Cell* cells) {
  const auto columnCount = layout_.columns.size();
  uint32_t variableBytes = 0;
  for (size_t i = 0; i < columnCount; ++i) {
    const ColumnSpec& column = layout_.columns[i];
    external_[i] = 0;
    if (column.fixed || cells[i].kind == Cell::Kind::kNull) continue;
    if (IsLongValue(column.type)) {
      external_[i] = cells[i].size > kMaxInlineLongValue ? 1 : 0;
      variableBytes += kLongValueHeaderSize + (external_[i] ? 0 : cells[i].size);
    } else {
      variableBytes += cells[i].size;
    }
  }
  // Long values leave the row, the largest first, until it fits a page.
  while (RowSize(layout_, variableBytes) > kMaxRowSize) {
    size_t largest = columnCount;
    for (size_t i = 0; i < columnCount; ++i) {
      if (IsLongValue(layout_.columns[i].type) && cells[i].kind != Cell::Kind::kNull &&
          !external_[i] && cells[i].size > 0 &&
          (largest == columnCount || cells[i].size > cells[largest].size)) {
        largest = i;
      }
    }
    if (largest == columnCount) {
      throw Failure(dao::err::kRecordTooLarge,
                    "Record is too large: its values take " +
                        std::to_string(RowSize(layout_, variableBytes)) + " bytes, more than the " +
                        std::to_string(kMaxRowSize) + " bytes a row can hold.");
    }
    external_[largest] = 1;
    variableBytes -= cells[largest].size;
  }
  return RowSize(layout_, variableBytes);
}

void TableStore::CheckRoom(const Cell* cells, uint32_t rowSize) const {
  const bool newDataPage = !pageOpen_ || !page_.Fits(rowSize);
  uint32_t pagesNeeded = newDataPage ? 1 : 0;
  uint32_t externalCount = 0;
  for (size_t i = 0; i < layout_.columns.size(); ++i) externalCount += external_[i];
  for (size_t i = 0; i < layout_.columns.size(); ++i) {
    if (!external_[i]) continue;
    const LongValueWriter& values = longValues_[static_cast<size_t>(longValueOf_[i])];
    // Values sharing the open long-value page might not all fit it: count a page each.
    pagesNeeded += externalCount == 1 ? values.PagesNeeded(cells[i].size)
                                      : std::max(1u, values.PagesNeeded(cells[i].size));
  }
  // A map that turns into a reference map keeps pages back for its bitmaps.
  const uint32_t last = file_.PageCount() + pagesNeeded;
  uint32_t reserve = newDataPage ? dataPages_.ReserveToAdd(last) : 0;
  for (size_t i = 0; i < layout_.columns.size(); ++i) {
    if (external_[i])
      reserve += longValues_[static_cast<size_t>(longValueOf_[i])].ReserveToAdd(last);
  }
  file_.CheckRoom(pagesNeeded + reserve);
}

void TableStore::StoreLongValues(const Cell* cells) {
  for (size_t i = 0; i < layout_.columns.size(); ++i) {
    cells_[i] = cells[i];
    if (!IsLongValue(layout_.columns[i].type) || cells[i].kind == Cell::Kind::kNull) continue;
    uint8_t* header = &headers_[i * kLongValueHeaderSize];
    if (external_[i]) {
      assert(longValueOf_[i] >= 0);
      longValues_[static_cast<size_t>(longValueOf_[i])].Store(cells[i].data, cells[i].size, header);
      cells_[i].data = header;
      cells_[i].size = kLongValueHeaderSize;
    } else {
      // Inline: WriteRow leaves room for the header and the bytes.
      cells_[i].data = nullptr;
      cells_[i].size = kLongValueHeaderSize + cells[i].size;
    }
  }
}

uint32_t TableStore::PlaceRow(const Cell* cells, uint32_t rowSize) {
  if (!pageOpen_ || !page_.Fits(rowSize)) {
    const uint32_t pageNumber = file_.Allocate();
    if (pageOpen_) file_.Write(dataPages_.Pages().back(), page_.Image().data());
    page_.Start(DefinitionPage());
    pageOpen_ = true;
    dataPages_.Add(file_, pageNumber);
    firstRows_.push_back(rowCount_);
  }
  assert(page_.Fits(rowSize));
  uint32_t rowNumber = 0;
  uint8_t* out = page_.AddRow(rowSize, &rowNumber);
  WriteRow(layout_, cells_.data(), rowSize, out);
  // Fill in the inline long values WriteRow left blank.
  for (size_t i = 0; i < layout_.columns.size(); ++i) {
    const ColumnSpec& column = layout_.columns[i];
    if (!IsLongValue(column.type) || cells[i].kind == Cell::Kind::kNull || external_[i]) continue;
    const uint8_t* mask = out + rowSize - layout_.nullMaskSize;
    const uint32_t at = Get16(mask - 4 - 2 * column.varIndex);
    WriteInlineLongValueHeader(cells[i].size, out + at);
    if (cells[i].size > 0)
      std::memcpy(out + at + kLongValueHeaderSize, cells[i].data, cells[i].size);
  }
  return PageRow(dataPages_.Pages().back(), rowNumber);
}

uint32_t TableStore::AppendRow(const Cell* cells) {
  const uint32_t rowSize = PlanRow(cells);
  assert(rowSize <= kMaxRowSize);
  CheckRoom(cells, rowSize);
  StoreLongValues(cells);
  const uint32_t where = PlaceRow(cells, rowSize);
  ++rowCount_;
  unwritten_ = true;
  return where;
}

void TableStore::WriteOpenPages() {
  if (!unwritten_) return;
  if (pageOpen_) file_.Write(dataPages_.Pages().back(), page_.Image().data());
  for (LongValueWriter& values : longValues_) values.WriteOpenPage();
  unwritten_ = false;
}

std::vector<uint8_t> TableStore::BuildFreePagesMap() const {
  // Rows go on the last page only; the pages before it were full.
  if (!pageOpen_) return BuildInlineMap({});
  return BuildInlineMap({dataPages_.Pages().back()});
}

void TableStore::WriteDefinition(TableDefinitionState state) {
  state.rowCount = rowCount_;
  const std::vector<Page> pages = BuildTableDefinitionPages(layout_, state, definitionPages_);
  for (size_t i = 0; i < pages.size(); ++i) file_.Write(definitionPages_[i], pages[i].data());
}

}  // namespace tessaly::jet
