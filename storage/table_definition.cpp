#include "storage/table_definition.h"

#include <algorithm>
#include <utility>

namespace tessaly::jet {

namespace {

constexpr uint32_t kPageHeaderSize = 8;
constexpr uint32_t kColumnsOffset = 63;
constexpr uint32_t kColumnEntrySize = 25;
constexpr uint8_t kTableTypeUser = 0x4e;
constexpr uint8_t kTableTypeSystem = 0x53;
constexpr uint8_t kFlagFixed = 0x01;
constexpr uint8_t kFlagUpdatable = 0x02;
constexpr uint8_t kFlagCompressedUnicode = 0x01;

uint16_t FixedLength(uint8_t type) {
  switch (type) {
    case column_type::kInt:
      return 2;
    case column_type::kLong:
      return 4;
    case column_type::kDateTime:
      return 8;
    default:
      return 0;
  }
}

// The definition without page headers, as it reads when its pages are joined.
std::vector<uint8_t> DefinitionBytes(const TableLayout& layout, const TableDefinitionState& state) {
  const auto columnCount = static_cast<uint16_t>(layout.columns.size());
  std::vector<uint8_t> b(kColumnsOffset + kColumnEntrySize * columnCount, 0);
  b[0] = page_type::kTableDefinition;
  b[1] = 0x01;
  Put32(&b[16], state.rowCount);
  b[40] = layout.system ? kTableTypeSystem : kTableTypeUser;
  Put16(&b[41], columnCount);
  Put16(&b[43], layout.varCount);
  Put16(&b[45], columnCount);
  Put32(&b[47], 0);  // no indexes
  Put32(&b[51], 0);
  Put32(&b[55], state.usedPagesMap);
  Put32(&b[59], state.freePagesMap);

  for (uint16_t i = 0; i < columnCount; ++i) {
    const ColumnSpec& c = layout.columns[i];
    uint8_t* e = &b[kColumnsOffset + kColumnEntrySize * i];
    e[0] = c.type;
    Put16(e + 5, i);
    Put16(e + 7, c.fixed ? 0 : c.varIndex);
    Put16(e + 9, i);
    if (c.type == column_type::kText || c.type == column_type::kMemo) {
      Put16(e + 11, kSortGeneral);
    }
    e[15] = static_cast<uint8_t>(kFlagUpdatable | (c.fixed ? kFlagFixed : 0));
    e[16] = c.compressed ? kFlagCompressedUnicode : 0;
    Put16(e + 21, c.fixed ? c.fixedOffset : 0);
    Put16(e + 23, c.length);
  }
  for (const ColumnSpec& c : layout.columns) {
    const size_t at = b.size();
    b.resize(at + 2 + c.name.size() * 2);
    Put16(&b[at], static_cast<uint16_t>(c.name.size() * 2));
    for (size_t k = 0; k < c.name.size(); ++k) Put16(&b[at + 2 + 2 * k], c.name[k]);
  }
  b.push_back(0xff);  // end of the (empty) per-column usage map list
  b.push_back(0xff);
  Put32(&b[8], static_cast<uint32_t>(b.size()));
  return b;
}

}  // namespace

TableLayout::TableLayout(std::u16string tableName, std::vector<ColumnSpec> specs, bool systemTable)
    : name(std::move(tableName)), columns(std::move(specs)), system(systemTable) {
  for (ColumnSpec& c : columns) {
    c.fixed = FixedLength(c.type) != 0;
    c.compressed = c.type == column_type::kText || c.type == column_type::kMemo;
    if (c.fixed) {
      c.length = FixedLength(c.type);
      c.fixedOffset = fixedSize;
      fixedSize = static_cast<uint16_t>(fixedSize + c.length);
    } else {
      c.varIndex = varCount++;
      if (c.type == column_type::kText) {
        c.length = static_cast<uint16_t>(c.maxChars * 2);
      } else if (c.type == column_type::kBinary) {
        c.length = 255;
      } else {
        c.length = 0;
      }
    }
  }
  nullMaskSize = static_cast<uint16_t>((columns.size() + 7) / 8);
}

uint32_t TableDefinitionPageCount(const TableLayout& layout) {
  const size_t size = DefinitionBytes(layout, {}).size();
  const size_t perPage = kPageSize - kPageHeaderSize;
  return static_cast<uint32_t>((size - kPageHeaderSize + perPage - 1) / perPage);
}

std::vector<Page> BuildTableDefinitionPages(const TableLayout& layout,
                                            const TableDefinitionState& state,
                                            const std::vector<uint32_t>& pages) {
  const std::vector<uint8_t> bytes = DefinitionBytes(layout, state);
  const size_t perPage = kPageSize - kPageHeaderSize;
  std::vector<Page> out(pages.size());
  size_t at = kPageHeaderSize;
  for (size_t i = 0; i < pages.size(); ++i) {
    Page& page = out[i];
    page.fill(0);
    const size_t take = std::min(perPage, bytes.size() - std::min(bytes.size(), at));
    if (i == 0) {
      std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(kPageHeaderSize + take),
                page.begin());
    } else {
      std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                bytes.begin() + static_cast<std::ptrdiff_t>(at + take),
                page.begin() + kPageHeaderSize);
    }
    at += take;
    page[0] = page_type::kTableDefinition;
    page[1] = 0x01;
    // Jet 4 keeps the page's free space here, less 8.
    const auto used = static_cast<uint32_t>(kPageHeaderSize + take);
    Put16(page.data() + 2, static_cast<uint16_t>(kPageSize - used >= 8 ? kPageSize - used - 8 : 0));
    Put32(page.data() + 4, i + 1 < pages.size() ? pages[i + 1] : 0);
  }
  return out;
}

}  // namespace tessaly::jet
