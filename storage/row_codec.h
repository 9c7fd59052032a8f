#pragma once

// The Jet 4 row: column count, fixed-width values, variable-length values, then
// from the end backwards the null mask (1 = has a value), the number of variable
// columns, their offsets and the end-of-data offset.

#include <cstdint>

#include "storage/table_definition.h"

namespace tessaly::jet {

// A value for one column of a new row: fixed-width bytes, or variable bytes
// (a null data pointer with a size reserves the space).
struct Cell {
  enum class Kind : uint8_t { kNull, kFixed, kBytes };
  Kind kind = Kind::kNull;
  uint8_t fixed[8] = {};
  const uint8_t* data = nullptr;
  uint32_t size = 0;
};

// Bytes of the row, variable values at their given sizes.
uint32_t RowSize(const TableLayout& layout, uint32_t variableBytes);
// Writes the row into out (RowSize bytes).
void WriteRow(const TableLayout& layout, const Cell* cells, uint32_t rowSize, uint8_t* out);

// Where one column's value lies within the page.
struct FieldSlice {
  bool isNull = true;
  uint32_t offset = 0;
  uint32_t size = 0;
};

// Splits the row at page[start, start + size); false when it is malformed.
bool SplitRow(const TableLayout& layout, const uint8_t* page, uint32_t start, uint32_t size,
              FieldSlice* out);

}  // namespace tessaly::jet
