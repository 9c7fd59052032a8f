#include "storage/table_store.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "storage/dao.h"
#include "storage/usage_map.h"

namespace tessaly::jet {

TableStore::TableStore(PageFile& file, TableLayout layout, uint32_t definitionPage)
    : file_(file), layout_(std::move(layout)), longValues_(file) {
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
  bitmapPages_.assign(kReferenceMapSlots, 0);
  cells_.resize(layout_.columns.size());
  headers_.resize(layout_.columns.size() * kLongValueHeaderSize);
  external_.resize(layout_.columns.size());
}

void TableStore::AppendRow(const Cell* cells) {
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
  const uint32_t rowSize = RowSize(layout_, variableBytes);

  uint32_t pagesNeeded = pageOpen_ && page_.Fits(rowSize) ? 0 : 1;
  uint32_t externalCount = 0;
  for (size_t i = 0; i < columnCount; ++i) externalCount += external_[i];
  for (size_t i = 0; i < columnCount; ++i) {
    if (!external_[i]) continue;
    // Values sharing the open long-value page might not all fit it: count a page each.
    pagesNeeded += externalCount == 1 ? longValues_.PagesNeeded(cells[i].size)
                                      : std::max(1u, longValues_.PagesNeeded(cells[i].size));
  }
  file_.CheckRoom(pagesNeeded);

  for (size_t i = 0; i < columnCount; ++i) {
    cells_[i] = cells[i];
    if (!IsLongValue(layout_.columns[i].type) || cells[i].kind == Cell::Kind::kNull) continue;
    uint8_t* header = &headers_[i * kLongValueHeaderSize];
    if (external_[i]) {
      longValues_.Store(cells[i].data, cells[i].size, header);
      cells_[i].data = header;
      cells_[i].size = kLongValueHeaderSize;
    }
  }
  if (!pageOpen_ || !page_.Fits(rowSize)) {
    const uint32_t pageNumber = file_.Allocate();
    if (pageOpen_) file_.Write(dataPages_.back(), page_.Image().data());
    page_.Start(DefinitionPage());
    pageOpen_ = true;
    dataPages_.push_back(pageNumber);
    firstRows_.push_back(rowCount_);
  }
  uint32_t rowNumber = 0;
  uint8_t* out = page_.AddRow(rowSize, &rowNumber);
  // Inline long values: header, then the bytes, written in place.
  for (size_t i = 0; i < columnCount; ++i) {
    if (IsLongValue(layout_.columns[i].type) && cells[i].kind != Cell::Kind::kNull &&
        !external_[i]) {
      cells_[i].data = nullptr;
      cells_[i].size = kLongValueHeaderSize + cells[i].size;
    }
  }
  WriteRow(layout_, cells_.data(), rowSize, out);
  // Fill in the inline long values WriteRow left blank.
  for (size_t i = 0; i < columnCount; ++i) {
    const ColumnSpec& column = layout_.columns[i];
    if (!IsLongValue(column.type) || cells[i].kind == Cell::Kind::kNull || external_[i]) continue;
    const uint8_t* mask = out + rowSize - layout_.nullMaskSize;
    const uint32_t at = Get16(mask - 4 - 2 * column.varIndex);
    WriteInlineLongValueHeader(cells[i].size, out + at);
    if (cells[i].size > 0)
      std::memcpy(out + at + kLongValueHeaderSize, cells[i].data, cells[i].size);
  }
  ++rowCount_;
  unwritten_ = true;
}

void TableStore::WriteOpenPages() {
  if (!unwritten_) return;
  if (pageOpen_) file_.Write(dataPages_.back(), page_.Image().data());
  longValues_.WriteOpenPage();
  unwritten_ = false;
}

std::vector<uint8_t> TableStore::BuildUsedPagesMap() {
  if (FitsInlineMap(dataPages_)) return BuildInlineMap(dataPages_);
  for (uint32_t slot : ReferenceSlotsUsed(dataPages_)) {
    if (bitmapPages_[slot] == 0) bitmapPages_[slot] = file_.AllocateReserved();
    file_.Write(bitmapPages_[slot], BuildBitmapPage(dataPages_, slot).data());
  }
  return BuildReferenceMap(bitmapPages_);
}

void TableStore::WriteDefinition(uint32_t usedPagesMap, uint32_t freePagesMap) {
  TableDefinitionState state;
  state.rowCount = rowCount_;
  state.usedPagesMap = usedPagesMap;
  state.freePagesMap = freePagesMap;
  const std::vector<Page> pages = BuildTableDefinitionPages(layout_, state, definitionPages_);
  for (size_t i = 0; i < pages.size(); ++i) file_.Write(definitionPages_[i], pages[i].data());
}

}  // namespace tessaly::jet
