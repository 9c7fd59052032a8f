#pragma once

// A table's columns and indexes as the file lays them out, and its
// table-definition pages.

#include <cstdint>
#include <string>
#include <vector>

#include "storage/jet_format.h"

namespace tessaly::jet {

struct ColumnSpec {
  std::u16string name;
  uint8_t type = column_type::kText;
  // Text: the size in characters. Other types ignore it.
  uint16_t maxChars = 0;
  // Text and binary columns of the engine's own tables declare a size in bytes.
  uint16_t declaredBytes = 0;
  bool allowZeroLength = false;
  bool securityId = false;

  // Filled in by TableLayout.
  uint16_t number = 0;
  uint16_t length = 0;  // bytes in the row's fixed part, or the declared size
  bool fixed = false;
  uint16_t fixedOffset = 0;
  uint16_t varIndex = 0;
  bool compressed = false;
};

inline bool IsLongValue(uint8_t type) {
  return type == column_type::kMemo || type == column_type::kOle;
}

struct IndexSpec {
  std::u16string name;
  std::vector<uint16_t> columns;  // column numbers, most significant first
  uint8_t flags = 0;
  bool primaryKey = false;
};

struct TableLayout {
  TableLayout(std::u16string tableName, std::vector<ColumnSpec> specs, bool systemTable,
              std::vector<IndexSpec> indexSpecs = {});

  std::u16string name;
  std::vector<ColumnSpec> columns;  // by column number
  std::vector<IndexSpec> indexes;   // by index number
  bool system;
  uint16_t fixedSize = 0;
  uint16_t varCount = 0;
  uint16_t nullMaskSize = 0;
  // Column numbers in the order the definition stores them: Jet sorts its own
  // tables' columns by name.
  std::vector<uint16_t> storedOrder;
  // Memo and OLE columns, in stored order: each has its own pair of maps.
  std::vector<uint16_t> longColumns;
};

struct TableDefinitionState {
  uint32_t rowCount = 0;
  uint32_t usedPagesMap = 0;  // row pointers to the table's two usage maps
  uint32_t freePagesMap = 0;
  struct ColumnMaps {
    uint32_t used = 0;
    uint32_t free = 0;
  };
  std::vector<ColumnMaps> columnMaps;  // per TableLayout::longColumns entry
  struct Index {
    uint32_t uniqueKeys = 0;
    uint32_t map = 0;  // row pointer to the index's usage map
    uint32_t rootPage = 0;
  };
  std::vector<Index> indexes;  // per TableLayout::indexes entry
};

// The number of pages the definition takes.
uint32_t TableDefinitionPageCount(const TableLayout& layout);
// The definition spread over the given pages (as many as TableDefinitionPageCount).
std::vector<Page> BuildTableDefinitionPages(const TableLayout& layout,
                                            const TableDefinitionState& state,
                                            const std::vector<uint32_t>& pages);

}  // namespace tessaly::jet
