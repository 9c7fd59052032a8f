#include "storage/table_store.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

#include "platform/failure.h"
#include "storage/dao_errors.h"

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
  longValues_.reserve(layout_.longColumns.size());
  for (size_t k = 0; k < layout_.longColumns.size(); ++k) longValues_.emplace_back(file_);
  for (const ColumnSpec& column : layout_.columns) {
    if (!column.fixed && !IsLongValue(column.type)) shortVariableColumns_.push_back(column.number);
  }
  cells_.resize(layout_.columns.size());
  headers_.resize(layout_.longColumns.size() * kLongValueHeaderSize);
  external_.resize(layout_.longColumns.size());
}

uint32_t TableStore::PlanRow(const Cell* cells) {
  assert(cells != nullptr);
  rowStep_ = RowStep::kNone;
  uint32_t variableBytes = 0;
  for (uint16_t i : shortVariableColumns_) {
    if (cells[i].kind != Cell::Kind::kNull) variableBytes += cells[i].size;
  }
  const size_t longCount = layout_.longColumns.size();
  for (size_t k = 0; k < longCount; ++k) {
    const Cell& cell = cells[layout_.longColumns[k]];
    external_[k] = 0;
    if (cell.kind == Cell::Kind::kNull) continue;
    external_[k] = cell.size > kMaxInlineLongValue ? 1 : 0;
    variableBytes += kLongValueHeaderSize + (external_[k] ? 0 : cell.size);
  }
  // Long values leave the row, the largest first, until it fits a page.
  while (RowSize(layout_, variableBytes) > kMaxRowSize) {
    size_t largest = longCount;
    for (size_t k = 0; k < longCount; ++k) {
      const Cell& cell = cells[layout_.longColumns[k]];
      if (cell.kind != Cell::Kind::kNull && !external_[k] && cell.size > 0 &&
          (largest == longCount || cell.size > cells[layout_.longColumns[largest]].size)) {
        largest = k;
      }
    }
    if (largest == longCount) {
      throw Failure(dao::err::kRecordTooLarge,
                    "Record is too large: its values take " +
                        std::to_string(RowSize(layout_, variableBytes)) + " bytes, more than the " +
                        std::to_string(kMaxRowSize) + " bytes a row can hold.");
    }
    external_[largest] = 1;
    variableBytes -= cells[layout_.longColumns[largest]].size;
  }
  rowStep_ = RowStep::kPlanned;
  return RowSize(layout_, variableBytes);
}

void TableStore::CheckRoom(const Cell* cells, uint32_t rowSize) {
  assert(rowStep_ == RowStep::kPlanned);
  assert(rowSize <= kMaxRowSize);
  const bool newDataPage = !pageOpen_ || !page_.Fits(rowSize);
  uint32_t pagesNeeded = newDataPage ? 1 : 0;
  uint32_t externalCount = 0;
  for (uint8_t external : external_) externalCount += external;
  for (size_t k = 0; externalCount > 0 && k < external_.size(); ++k) {
    if (!external_[k]) continue;
    const uint32_t size = cells[layout_.longColumns[k]].size;
    // Values sharing the open long-value page might not all fit it: count a page each.
    pagesNeeded += externalCount == 1 ? longValues_[k].PagesNeeded(size)
                                      : std::max(1u, longValues_[k].PagesNeeded(size));
  }
  // A map that turns into a reference map keeps pages back for its bitmaps.
  const uint32_t last = file_.PageCount() + pagesNeeded;
  uint32_t reserve = newDataPage ? dataPages_.ReserveToAdd(last) : 0;
  for (size_t k = 0; externalCount > 0 && k < external_.size(); ++k) {
    if (external_[k]) reserve += longValues_[k].ReserveToAdd(last);
  }
  file_.CheckRoom(pagesNeeded + reserve);
  rowStep_ = RowStep::kRoomChecked;
}

void TableStore::StoreLongValues(const Cell* cells) {
  assert(rowStep_ == RowStep::kRoomChecked);
  std::copy_n(cells, layout_.columns.size(), cells_.begin());
  for (size_t k = 0; k < layout_.longColumns.size(); ++k) {
    const Cell& cell = cells[layout_.longColumns[k]];
    if (cell.kind == Cell::Kind::kNull) continue;
    Cell& stored = cells_[layout_.longColumns[k]];
    if (external_[k]) {
      uint8_t* header = &headers_[k * kLongValueHeaderSize];
      longValues_[k].Store(cell.data, cell.size, header);
      stored.data = header;
      stored.size = kLongValueHeaderSize;
    } else {
      // Inline: WriteRow leaves room for the header and the bytes.
      stored.data = nullptr;
      stored.size = kLongValueHeaderSize + cell.size;
    }
  }
  rowStep_ = RowStep::kLongValuesStored;
}

uint32_t TableStore::PlaceRow(const Cell* cells, uint32_t rowSize) {
  assert(rowStep_ == RowStep::kLongValuesStored);
  rowStep_ = RowStep::kNone;
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
  for (size_t k = 0; k < layout_.longColumns.size(); ++k) {
    const ColumnSpec& column = layout_.columns[layout_.longColumns[k]];
    const Cell& cell = cells[column.number];
    if (cell.kind == Cell::Kind::kNull || external_[k]) continue;
    const uint8_t* mask = out + rowSize - layout_.nullMaskSize;
    const uint32_t at = Get16(mask - 4 - 2 * column.varIndex);
    WriteInlineLongValueHeader(cell.size, out + at);
    if (cell.size > 0) std::memcpy(out + at + kLongValueHeaderSize, cell.data, cell.size);
  }
  return PageRow(dataPages_.Pages().back(), rowNumber);
}

uint32_t TableStore::AppendRow(const Cell* cells) {
  const uint32_t rowSize = PlanRow(cells);
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
