#include "storage/table_definition.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace tessaly::jet {

namespace {

// A map reference in a definition: row number, then the page in three bytes.
void PutMapPointer(uint8_t* p, uint32_t pageRow) {
  p[0] = static_cast<uint8_t>(pageRow & 0xff);
  Put24(p + 1, pageRow >> 8);
}

uint16_t FixedLength(uint8_t type) {
  switch (type) {
    case column_type::kByte:
      return 1;
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

bool IsFixed(uint8_t type) {
  return type == column_type::kBoolean || FixedLength(type) != 0;
}

char16_t AsciiUpper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool NameBefore(std::u16string_view a, std::u16string_view b) {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char16_t x, char16_t y) { return AsciiUpper(x) < AsciiUpper(y); });
}

void WriteColumnDescriptor(const TableLayout& layout, const ColumnSpec& c, uint8_t* e) {
  using namespace column_desc;
  e[kType] = c.type;
  Put32(e + kMagic, tdef::kMagic);
  Put16(e + kNumber, c.number);
  // Fixed columns carry the count of variable columns before them.
  Put16(e + kVarIndex, c.varIndex);
  Put16(e + kIndex, layout.system ? 0 : c.number);
  Put16(e + kSortOrder, kSortGeneral);
  uint8_t flags = kFlagUpdatable;
  if (c.fixed) flags |= kFlagFixed;
  if (layout.system) flags |= kFlagEngine;
  if (c.securityId) flags |= kFlagSecurityId;
  e[kFlags] = flags;
  e[kExtFlags] = c.compressed ? kExtCompressedUnicode : 0;
  Put16(e + kFixedOffset, c.fixed ? c.fixedOffset : 0);
  Put16(e + kLength, c.type == column_type::kBoolean ? 1 : c.length);
}

std::vector<size_t> IndexesByName(const TableLayout& layout) {
  std::vector<size_t> order(layout.indexes.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return NameBefore(layout.indexes[a].name, layout.indexes[b].name);
  });
  return order;
}

// The definition without page headers, as it reads when its pages are joined.
std::vector<uint8_t> DefinitionBytes(const TableLayout& layout, const TableDefinitionState& state) {
  using namespace tdef;
  const auto columnCount = static_cast<uint16_t>(layout.columns.size());
  const auto indexCount = static_cast<uint32_t>(layout.indexes.size());
  assert(state.indexes.empty() || state.indexes.size() == indexCount);
  assert(state.columnMaps.empty() || state.columnMaps.size() == layout.longColumns.size());
  const uint32_t columnsAt = kHeaderSize + kRealIndexSlotSize * indexCount;
  std::vector<uint8_t> b(columnsAt + column_desc::kSize * columnCount, 0);
  b[0] = page_type::kTableDefinition;
  b[1] = 0x01;
  Put32(&b[kMagicOffset], tdef::kMagic);
  Put32(&b[kRowCountOffset], state.rowCount);
  b[kAutoNumberFlagOffset] = 1;
  b[kTableTypeOffset] = layout.system ? kTableTypeSystem : kTableTypeUser;
  Put16(&b[kMaxColumnsOffset], columnCount);
  Put16(&b[kVarColumnsOffset], layout.varCount);
  Put16(&b[kColumnCountOffset], columnCount);
  Put32(&b[kLogicalIndexCountOffset], indexCount);
  Put32(&b[kRealIndexCountOffset], indexCount);
  PutMapPointer(&b[kOwnedMapOffset], state.usedPagesMap);
  PutMapPointer(&b[kFreeMapOffset], state.freePagesMap);
  for (uint32_t i = 0; i < indexCount && !state.indexes.empty(); ++i) {
    Put32(&b[kHeaderSize + kRealIndexSlotSize * i + kUniqueKeysInSlot],
          state.indexes[i].uniqueKeys);
  }

  for (size_t k = 0; k < layout.storedOrder.size(); ++k) {
    WriteColumnDescriptor(layout, layout.columns[layout.storedOrder[k]],
                          &b[columnsAt + column_desc::kSize * k]);
  }
  for (uint16_t number : layout.storedOrder) AppendName(b, layout.columns[number].name);

  for (uint32_t i = 0; i < indexCount; ++i) {
    using namespace index_data;
    const IndexSpec& index = layout.indexes[i];
    const size_t at = b.size();
    b.resize(at + kSize, 0);
    uint8_t* d = &b[at];
    Put32(d, index_data::kMagic);
    for (uint32_t slot = 0; slot < kColumnSlots; ++slot) {
      uint8_t* s = d + kColumnsOffset + kColumnSlotSize * slot;
      const bool used = slot < index.columns.size();
      Put16(s, used ? index.columns[slot] : kUnusedColumn);
      s[2] = used ? kAscending : 0;
    }
    if (!state.indexes.empty()) {
      PutMapPointer(d + kMapOffset, state.indexes[i].map);
      Put32(d + kRootPageOffset, state.indexes[i].rootPage);
    }
    d[kFlagsOffset] = index.flags;
  }
  const std::vector<size_t> byName = IndexesByName(layout);
  for (size_t i : byName) {
    using namespace index_logical;
    const size_t at = b.size();
    b.resize(at + kSize, 0);
    uint8_t* d = &b[at];
    Put32(d, tdef::kMagic);
    Put32(d + kNumberOffset, static_cast<uint32_t>(i));
    Put32(d + kDataBlockOffset, static_cast<uint32_t>(i));
    Put32(d + kRelatedIndexOffset, 0xffffffffu);
    d[kCascadeOffset] = kCascadeNone;
    d[kCascadeOffset + 1] = kCascadeNone;
    d[kTypeOffset] = layout.indexes[i].primaryKey ? kTypePrimaryKey : 0;
  }
  for (size_t i : byName) AppendName(b, layout.indexes[i].name);

  for (size_t k = 0; k < layout.longColumns.size(); ++k) {
    const size_t at = b.size();
    b.resize(at + 10, 0);
    Put16(&b[at], layout.longColumns[k]);
    if (!state.columnMaps.empty()) {
      PutMapPointer(&b[at + 2], state.columnMaps[k].used);
      PutMapPointer(&b[at + 6], state.columnMaps[k].free);
    }
  }
  b.push_back(static_cast<uint8_t>(kEndMarker));
  b.push_back(static_cast<uint8_t>(kEndMarker >> 8));
  Put32(&b[kLengthOffset], static_cast<uint32_t>(b.size()));
  return b;
}

}  // namespace

TableLayout::TableLayout(std::u16string tableName, std::vector<ColumnSpec> specs, bool systemTable,
                         std::vector<IndexSpec> indexSpecs)
    : name(std::move(tableName)),
      columns(std::move(specs)),
      indexes(std::move(indexSpecs)),
      system(systemTable) {
  for (size_t i = 0; i < columns.size(); ++i) {
    ColumnSpec& c = columns[i];
    c.number = static_cast<uint16_t>(i);
    c.fixed = IsFixed(c.type);
    c.compressed = !system && (c.type == column_type::kText || c.type == column_type::kMemo);
    c.varIndex = varCount;
    if (c.fixed) {
      c.length = FixedLength(c.type);
      // A Boolean takes no room in the row: Jet gives it offset 0.
      c.fixedOffset = c.length == 0 ? 0 : fixedSize;
      fixedSize = static_cast<uint16_t>(fixedSize + c.length);
    } else {
      ++varCount;
      if (c.declaredBytes != 0) {
        c.length = c.declaredBytes;
      } else if (c.type == column_type::kText) {
        c.length = static_cast<uint16_t>(c.maxChars * 2);
      } else if (c.type == column_type::kBinary) {
        c.length = 255;
      } else {
        c.length = 0;
      }
    }
  }
  nullMaskSize = static_cast<uint16_t>((columns.size() + 7) / 8);
  for (size_t i = 0; i < columns.size(); ++i) storedOrder.push_back(static_cast<uint16_t>(i));
  if (system) {
    std::stable_sort(storedOrder.begin(), storedOrder.end(), [this](uint16_t a, uint16_t b) {
      return NameBefore(columns[a].name, columns[b].name);
    });
  }
  for (uint16_t number : storedOrder) {
    if (IsLongValue(columns[number].type)) longColumns.push_back(number);
  }
}

uint32_t TableDefinitionPageCount(const TableLayout& layout) {
  const size_t size = DefinitionBytes(layout, {}).size();
  const size_t perPage = kPageSize - tdef::kPageHeaderSize;
  return static_cast<uint32_t>((size - tdef::kPageHeaderSize + perPage - 1) / perPage);
}

std::vector<Page> BuildTableDefinitionPages(const TableLayout& layout,
                                            const TableDefinitionState& state,
                                            const std::vector<uint32_t>& pages) {
  using namespace tdef;
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
    Put16(page.data() + kFreeSpaceOffset,
          static_cast<uint16_t>(kPageSize - used >= 8 ? kPageSize - used - 8 : 0));
    Put32(page.data() + kNextPageOffset, i + 1 < pages.size() ? pages[i + 1] : 0);
  }
  return out;
}

}  // namespace tessaly::jet
