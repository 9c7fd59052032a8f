#pragma once

// One table in the file: its definition pages, the data page being filled, its
// long values, and a small index of its data pages (the only thing that grows
// with the table). Full pages go to the file at once.

#include <cstdint>
#include <vector>

#include "storage/data_page.h"
#include "storage/long_value.h"
#include "storage/page_file.h"
#include "storage/row_codec.h"
#include "storage/table_definition.h"

namespace tessaly::jet {

class TableStore {
 public:
  // Takes the definition pages: at definitionPage when given, else new ones.
  TableStore(PageFile& file, TableLayout layout, uint32_t definitionPage = 0);

  const TableLayout& Layout() const { return layout_; }
  uint32_t DefinitionPage() const { return definitionPages_.front(); }

  // Stores a row; long values in cells carry only their bytes (no header yet).
  // Fails with kRecordTooLarge or kDatabaseFull before anything is written.
  void AppendRow(const Cell* cells);

  uint32_t RowCount() const { return rowCount_; }
  const std::vector<uint32_t>& DataPages() const { return dataPages_; }
  // The ordinal of the first row on each data page.
  const std::vector<uint32_t>& FirstRows() const { return firstRows_; }

  // Puts the pages being filled into the file; they stay open for more rows.
  void WriteOpenPages();
  // The map row of the data pages; writes the bitmap pages a reference map needs.
  std::vector<uint8_t> BuildUsedPagesMap();
  void WriteDefinition(uint32_t usedPagesMap, uint32_t freePagesMap);

 private:
  PageFile& file_;
  TableLayout layout_;
  std::vector<uint32_t> definitionPages_;
  DataPageBuilder page_;
  bool pageOpen_ = false;
  LongValueWriter longValues_;
  uint32_t rowCount_ = 0;
  // Rows were added since the open pages last went to the file.
  bool unwritten_ = false;
  std::vector<uint32_t> dataPages_;
  std::vector<uint32_t> firstRows_;
  std::vector<uint32_t> bitmapPages_;
  // Scratch reused from row to row.
  std::vector<Cell> cells_;
  std::vector<uint8_t> headers_;
  std::vector<uint8_t> external_;
};

}  // namespace tessaly::jet
