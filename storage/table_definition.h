#pragma once

// A table's columns as the file lays them out, and its table-definition pages.

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
  bool allowZeroLength = false;

  // Filled in by TableLayout.
  uint16_t length = 0;  // bytes in the definition (0 for long values)
  bool fixed = false;
  uint16_t fixedOffset = 0;
  uint16_t varIndex = 0;
  bool compressed = false;
};

inline bool IsLongValue(uint8_t type) {
  return type == column_type::kMemo || type == column_type::kOle;
}

struct TableLayout {
  TableLayout(std::u16string tableName, std::vector<ColumnSpec> specs, bool systemTable);

  std::u16string name;
  std::vector<ColumnSpec> columns;
  bool system;
  uint16_t fixedSize = 0;
  uint16_t varCount = 0;
  uint16_t nullMaskSize = 0;
};

struct TableDefinitionState {
  uint32_t rowCount = 0;
  uint32_t usedPagesMap = 0;  // row pointers to the two usage maps
  uint32_t freePagesMap = 0;
};

// The number of pages the definition takes.
uint32_t TableDefinitionPageCount(const TableLayout& layout);
// The definition spread over the given pages (as many as TableDefinitionPageCount).
std::vector<Page> BuildTableDefinitionPages(const TableLayout& layout,
                                            const TableDefinitionState& state,
                                            const std::vector<uint32_t>& pages);

}  // namespace tessaly::jet
