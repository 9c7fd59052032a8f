#pragma once

// One table in the file: its definition pages, the data page being filled, the
// long values of each memo and OLE column, and the usage maps of its pages (the
// only thing that grows with the table: one number per page). Full pages go to
// the file at once.

#include <cstdint>
#include <vector>

#include "storage/data_page.h"
#include "storage/long_value.h"
#include "storage/page_file.h"
#include "storage/row_codec.h"
#include "storage/table_definition.h"
#include "storage/usage_map.h"

namespace tessaly::jet {

class TableStore {
 public:
  // Takes the definition pages: at definitionPage when given, else new ones.
  TableStore(PageFile& file, TableLayout layout, uint32_t definitionPage = 0);

  const TableLayout& Layout() const { return layout_; }
  uint32_t DefinitionPage() const { return definitionPages_.front(); }

  // Stores a row and returns where it lies (PageRow); long values in cells carry
  // only their bytes (no header yet). Fails with kRecordTooLarge or kDatabaseFull
  // before anything is written. The steps, in this order: plan the row, check the
  // file has room for it, store the long values that leave it, place it.
  uint32_t AppendRow(const Cell* cells);

  uint32_t RowCount() const { return rowCount_; }
  const std::vector<uint32_t>& DataPages() const { return dataPages_.Pages(); }
  // The ordinal of the first row on each data page.
  const std::vector<uint32_t>& FirstRows() const { return firstRows_; }

  // Puts the pages being filled into the file; they stay open for more rows.
  void WriteOpenPages();
  // The map rows of the data pages and of the page rows still go to; the first
  // writes the bitmap pages a reference map needs.
  std::vector<uint8_t> BuildUsedPagesMap() { return dataPages_.Build(file_); }
  std::vector<uint8_t> BuildFreePagesMap() const;
  // Per TableLayout::longColumns entry.
  LongValueWriter& LongValues(size_t k) { return longValues_[k]; }
  // state: everything but the row count, which the store knows.
  void WriteDefinition(TableDefinitionState state);

 private:
  // Which long values leave the row, so that it fits a page; the row's size, at
  // most kMaxRowSize.
  uint32_t PlanRow(const Cell* cells);
  // Throws, changing nothing, unless the file has room for the planned row.
  void CheckRoom(const Cell* cells, uint32_t rowSize);
  // Moves the long values that leave the row to their pages.
  void StoreLongValues(const Cell* cells);
  uint32_t PlaceRow(const Cell* cells, uint32_t rowSize);

  // Where AppendRow is; each step requires the one before.
  enum class RowStep : uint8_t { kNone, kPlanned, kRoomChecked, kLongValuesStored };
  RowStep rowStep_ = RowStep::kNone;

  PageFile& file_;
  TableLayout layout_;
  std::vector<uint32_t> definitionPages_;
  DataPageBuilder page_;
  bool pageOpen_ = false;
  // Per TableLayout::longColumns entry.
  std::vector<LongValueWriter> longValues_;
  // Variable columns other than long values: their sizes are simply summed.
  std::vector<uint16_t> shortVariableColumns_;
  uint32_t rowCount_ = 0;
  // Rows were added since the open pages last went to the file.
  bool unwritten_ = false;
  MapPages dataPages_;
  std::vector<uint32_t> firstRows_;
  // Scratch reused from row to row.
  std::vector<Cell> cells_;
  std::vector<uint8_t> headers_;
  // Per long column: its value leaves the row for long-value pages.
  std::vector<uint8_t> external_;
};

}  // namespace tessaly::jet
