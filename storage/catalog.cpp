#include "storage/catalog.h"

#include <utility>

#include "storage/text_compression.h"

namespace tessaly::jet {

namespace {

enum CatalogColumn : uint8_t {
  kId,
  kParentId,
  kName,
  kType,
  kDateCreate,
  kDateUpdate,
  kOwner,
  kFlags,
  kDatabase,
  kConnect,
  kForeignName,
  kRmtInfoShort,
  kRmtInfoLong,
  kLv,
  kLvProp,
  kLvModule,
  kLvExtra,
  kColumnCount
};

ColumnSpec Column(const char16_t* name, uint8_t type, uint16_t maxChars = 0) {
  ColumnSpec c;
  c.name = name;
  c.type = type;
  c.maxChars = maxChars;
  c.allowZeroLength = true;
  return c;
}

void SetFixed32(Cell& cell, uint32_t value) {
  cell.kind = Cell::Kind::kFixed;
  Put32(cell.fixed, value);
}

}  // namespace

TableLayout CatalogLayout() {
  std::vector<ColumnSpec> c(kColumnCount);
  c[kId] = Column(u"Id", column_type::kLong);
  c[kParentId] = Column(u"ParentId", column_type::kLong);
  c[kName] = Column(u"Name", column_type::kText, 255);
  c[kType] = Column(u"Type", column_type::kInt);
  c[kDateCreate] = Column(u"DateCreate", column_type::kDateTime);
  c[kDateUpdate] = Column(u"DateUpdate", column_type::kDateTime);
  c[kOwner] = Column(u"Owner", column_type::kBinary);
  c[kFlags] = Column(u"Flags", column_type::kLong);
  c[kDatabase] = Column(u"Database", column_type::kMemo);
  c[kConnect] = Column(u"Connect", column_type::kMemo);
  c[kForeignName] = Column(u"ForeignName", column_type::kMemo);
  c[kRmtInfoShort] = Column(u"RmtInfoShort", column_type::kBinary);
  c[kRmtInfoLong] = Column(u"RmtInfoLong", column_type::kOle);
  c[kLv] = Column(u"Lv", column_type::kOle);
  c[kLvProp] = Column(u"LvProp", column_type::kOle);
  c[kLvModule] = Column(u"LvModule", column_type::kOle);
  c[kLvExtra] = Column(u"LvExtra", column_type::kOle);
  return TableLayout(u"MSysObjects", std::move(c), true);
}

void AppendCatalogEntry(TableStore& catalog, const CatalogEntry& entry) {
  std::vector<Cell> cells(kColumnCount);
  SetFixed32(cells[kId], static_cast<uint32_t>(entry.id));
  SetFixed32(cells[kParentId], static_cast<uint32_t>(entry.parentId));
  std::vector<uint8_t> name;
  AppendStoredText(entry.name, true, name);
  cells[kName].kind = Cell::Kind::kBytes;
  cells[kName].data = name.data();
  cells[kName].size = static_cast<uint32_t>(name.size());
  cells[kType].kind = Cell::Kind::kFixed;
  Put16(cells[kType].fixed, static_cast<uint16_t>(entry.type));
  cells[kDateCreate].kind = Cell::Kind::kFixed;
  PutDouble(cells[kDateCreate].fixed, entry.created);
  cells[kDateUpdate] = cells[kDateCreate];
  SetFixed32(cells[kFlags], entry.flags);
  if (!entry.properties.empty()) {
    cells[kLvProp].kind = Cell::Kind::kBytes;
    cells[kLvProp].data = entry.properties.data();
    cells[kLvProp].size = static_cast<uint32_t>(entry.properties.size());
  }
  catalog.AppendRow(cells.data());
}

std::vector<CatalogEntry> InitialCatalogEntries(double created) {
  auto entry = [created](int32_t id, int32_t parent, const char16_t* name, int16_t type,
                         uint32_t flags) {
    CatalogEntry e;
    e.id = id;
    e.parentId = parent;
    e.name = name;
    e.type = type;
    e.flags = flags;
    e.created = created;
    return e;
  };
  using namespace catalog_id;
  return {
      entry(kTables, kRoot, u"Tables", catalog_type::kContainer, 0),
      entry(kDatabases, kRoot, u"Databases", catalog_type::kContainer, 0),
      entry(kRelationships, kRoot, u"Relationships", catalog_type::kContainer, 0),
      entry(kDatabaseObject, kDatabases, u"MSysDb", catalog_type::kDatabase, 0),
      entry(static_cast<int32_t>(kCatalogDefinitionPage), kTables, u"MSysObjects",
            catalog_type::kTable, kSystemObjectFlags),
  };
}

}  // namespace tessaly::jet
