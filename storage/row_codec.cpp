#include "storage/row_codec.h"

#include <cstring>

namespace tessaly::jet {

uint32_t RowSize(const TableLayout& layout, uint32_t variableBytes) {
  uint32_t size = 2u + layout.fixedSize + layout.nullMaskSize;
  if (layout.varCount > 0) size += variableBytes + 2u + 2u * layout.varCount + 2u;
  return size;
}

namespace {

// size bytes, Word <= size < 2 * Word, as two words that may overlap.
template <typename Word>
inline void CopyTwoWords(uint8_t* to, const uint8_t* from, uint32_t size) {
  Word head, tail;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + size - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + size - sizeof tail, &tail, sizeof tail);
}

// Most values are a few bytes: copied here, not by a library call each.
inline void CopyValue(uint8_t* to, const uint8_t* from, uint32_t size) {
  if (size >= 16) {
    std::memcpy(to, from, size);
  } else if (size >= 8) {
    CopyTwoWords<uint64_t>(to, from, size);
  } else if (size >= 4) {
    CopyTwoWords<uint32_t>(to, from, size);
  } else if (size > 0) {
    // One, two or three bytes: first, middle and last cover them.
    to[0] = from[0];
    to[size / 2] = from[size / 2];
    to[size - 1] = from[size - 1];
  }
}

}  // namespace

void WriteRow(const TableLayout& layout, const Cell* cells, uint32_t rowSize, uint8_t* out) {
  const auto columnCount = static_cast<uint32_t>(layout.columns.size());
  // Read once: every byte stored into the row could, for the compiler, change them.
  const ColumnSpec* const columns = layout.columns.data();
  const uint32_t fixedSize = layout.fixedSize;
  const uint32_t varCount = layout.varCount;
  Put16(out, static_cast<uint16_t>(columnCount));
  std::memset(out + 2, 0, fixedSize);
  uint8_t* const mask = out + rowSize - layout.nullMaskSize;
  std::memset(mask, 0, layout.nullMaskSize);
  uint8_t* const trailer = mask;  // offsets are written below it, backwards
  uint32_t at = 2u + fixedSize;
  for (uint32_t i = 0; i < columnCount; ++i) {
    const ColumnSpec& column = columns[i];
    const Cell& cell = cells[i];
    const Cell::Kind kind = cell.kind;
    const bool fixed = column.fixed;
    const uint8_t* const data = cell.data;
    const uint32_t size = cell.size;
    // A Boolean is its null-mask bit.
    const bool present = column.type == column_type::kBoolean
                             ? kind == Cell::Kind::kFixed && cell.fixed[0] != 0
                             : kind != Cell::Kind::kNull;
    if (fixed) {
      if (kind == Cell::Kind::kFixed) {
        std::memcpy(out + 2 + column.fixedOffset, cell.fixed, column.length);
      }
    } else {
      Put16(trailer - 4 - 2 * column.varIndex, static_cast<uint16_t>(at));
      if (kind == Cell::Kind::kBytes) {
        // Without data the space is left for the caller to fill.
        if (data != nullptr) CopyValue(out + at, data, size);
        at += size;
      }
    }
    if (present) SetBit(mask, i);
  }
  if (varCount > 0) {
    Put16(trailer - 2, static_cast<uint16_t>(varCount));
    Put16(trailer - 4 - 2 * varCount, static_cast<uint16_t>(at));
  }
}

bool SplitRow(const TableLayout& layout, const uint8_t* page, uint32_t start, uint32_t size,
              FieldSlice* out) {
  const uint8_t* row = page + start;
  const auto columnCount = static_cast<uint32_t>(layout.columns.size());
  if (size < 2) return false;
  const uint32_t rowColumns = Get16(row);
  const uint32_t maskSize = (rowColumns + 7) / 8;
  if (rowColumns < columnCount || size < 2 + layout.fixedSize + maskSize) return false;
  const uint8_t* mask = row + size - maskSize;
  uint32_t rowVarCount = 0;
  const uint8_t* trailer = mask;
  if (layout.varCount > 0) {
    if (size < 2 + layout.fixedSize + maskSize + 4) return false;
    rowVarCount = Get16(trailer - 2);
    if (size < 2 + layout.fixedSize + maskSize + 4 + 2 * rowVarCount) return false;
  }
  const uint32_t trailerStart = size - maskSize - 4 - 2 * rowVarCount;
  for (uint32_t i = 0; i < columnCount; ++i) {
    const ColumnSpec& column = layout.columns[i];
    FieldSlice& slice = out[i];
    slice.isNull = !TestBit(mask, i);
    slice.offset = 0;
    slice.size = 0;
    if (column.fixed) {
      slice.offset = start + 2 + column.fixedOffset;
      slice.size = column.length;
    } else if (column.varIndex < rowVarCount) {
      const uint32_t begin = Get16(trailer - 4 - 2 * column.varIndex);
      const uint32_t end = Get16(trailer - 4 - 2 * (column.varIndex + 1));
      if (begin > end || end > trailerStart) return false;
      slice.offset = start + begin;
      slice.size = end - begin;
    } else {
      slice.isNull = true;
    }
  }
  return true;
}

}  // namespace tessaly::jet
