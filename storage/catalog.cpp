#include "storage/catalog.h"

#include <utility>

#include "storage/index_leaf.h"
#include "storage/properties.h"
#include "storage/text_compression.h"

namespace tessaly::jet {

namespace {

// Text and binary columns of the engine's tables declare 510 bytes.
constexpr uint16_t kSystemColumnBytes = 510;

namespace objects {
enum Col : uint16_t {
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
}  // namespace objects

namespace aces {
enum Col : uint16_t { kObjectId, kSid, kAcm, kInheritable, kColumnCount };
}  // namespace aces

ColumnSpec Column(const char16_t* name, uint8_t type) {
  ColumnSpec c;
  c.name = name;
  c.type = type;
  c.allowZeroLength = true;
  if (type == column_type::kText || type == column_type::kBinary) {
    c.declaredBytes = kSystemColumnBytes;
  }
  return c;
}

ColumnSpec SidColumn(const char16_t* name) {
  ColumnSpec c = Column(name, column_type::kBinary);
  c.securityId = true;
  return c;
}

IndexSpec Index(const char16_t* name, std::vector<uint16_t> columns, uint8_t flags,
                bool primaryKey = false) {
  IndexSpec index;
  index.name = name;
  index.columns = std::move(columns);
  index.flags = flags;
  index.primaryKey = primaryKey;
  return index;
}

constexpr uint8_t kUniqueIndex = index_data::kFlagEngine | index_data::kFlagUnique;
constexpr uint8_t kRequiredIndex = index_data::kFlagEngine | index_data::kFlagRequired;
constexpr uint8_t kIgnoreNullsIndex = index_data::kFlagEngine | index_data::kFlagIgnoreNulls;

void SetFixed32(Cell& cell, uint32_t value) {
  cell.kind = Cell::Kind::kFixed;
  Put32(cell.fixed, value);
}

void SetBytes(Cell& cell, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return;
  cell.kind = Cell::Kind::kBytes;
  cell.data = bytes.data();
  cell.size = static_cast<uint32_t>(bytes.size());
}

// The other ids of the default workgroup that Jet grants rights to.
const SecurityId& AdminsSid() {
  static const SecurityId sid{0xa7, 0x33};
  return sid;
}
const SecurityId& UsersSid() {
  static const SecurityId sid{0xa7, 0x36};
  return sid;
}
// Stored in full, as Jet does.
const SecurityId& WorkgroupSid() {
  static const SecurityId sid{
      0xa4, 0xf7, 0x46, 0x67, 0xe1, 0x71, 0x67, 0xee, 0xd7, 0xb1, 0x0f, 0x8f, 0xfe, 0xef, 0x76,
      0xff, 0xaa, 0xe3, 0x66, 0x51, 0x05, 0xbd, 0xd2, 0x9d, 0x4d, 0x4b, 0x39, 0x52, 0xd9, 0xfb,
      0x9a, 0x07, 0x66, 0x0c, 0x5b, 0xd2, 0xd8, 0x7d, 0xdd, 0xb3, 0x1e, 0x65, 0x90, 0x19, 0x00,
      0x94, 0x89, 0xc2, 0x3c, 0x25, 0x6a, 0xcf, 0xdb, 0x34, 0x9a, 0x57, 0xaf, 0x50, 0xc5, 0x14,
      0x9a, 0x98, 0x30, 0xe6, 0x2c, 0x35, 0x55, 0x3f, 0x0e, 0x95, 0xcf, 0xb6, 0xec, 0xb5, 0x70,
      0xb2, 0xf0, 0xa9, 0x9b, 0x1c, 0xdb, 0xce, 0x60, 0x74, 0x7b, 0x7b, 0x13, 0xcf, 0x1d, 0xaf,
      0xc3, 0xd6, 0x18, 0x5f, 0x9c, 0x5b, 0xe4, 0xe8, 0x7e, 0x37, 0xed, 0xb3};
  return sid;
}

// Full rights, which the Tables container hands down to each new table.
constexpr uint32_t kAllRights = 0x000fffff;

}  // namespace

const SecurityId& EngineSid() {
  static const SecurityId sid{0xa7, 0x31};
  return sid;
}
const SecurityId& AdminSid() {
  static const SecurityId sid{0xa6, 0x33};
  return sid;
}

TableLayout ObjectsLayout() {
  using namespace objects;
  std::vector<ColumnSpec> c(kColumnCount);
  c[kId] = Column(u"Id", column_type::kLong);
  c[kParentId] = Column(u"ParentId", column_type::kLong);
  c[kName] = Column(u"Name", column_type::kText);
  c[kType] = Column(u"Type", column_type::kInt);
  c[kDateCreate] = Column(u"DateCreate", column_type::kDateTime);
  c[kDateUpdate] = Column(u"DateUpdate", column_type::kDateTime);
  c[kOwner] = SidColumn(u"Owner");
  c[kFlags] = Column(u"Flags", column_type::kLong);
  c[kDatabase] = Column(u"Database", column_type::kMemo);
  c[kConnect] = Column(u"Connect", column_type::kMemo);
  c[kForeignName] = Column(u"ForeignName", column_type::kText);
  c[kRmtInfoShort] = Column(u"RmtInfoShort", column_type::kBinary);
  c[kRmtInfoLong] = Column(u"RmtInfoLong", column_type::kOle);
  c[kLv] = Column(u"Lv", column_type::kOle);
  c[kLvProp] = Column(u"LvProp", column_type::kOle);
  c[kLvModule] = Column(u"LvModule", column_type::kOle);
  c[kLvExtra] = Column(u"LvExtra", column_type::kOle);
  return TableLayout(u"MSysObjects", std::move(c), true,
                     {Index(u"ParentIdName", {kParentId, kName}, kUniqueIndex),
                      Index(u"Id", {kId}, kUniqueIndex, true)});
}

TableLayout AcesLayout() {
  using namespace aces;
  std::vector<ColumnSpec> c(kColumnCount);
  c[kObjectId] = Column(u"ObjectId", column_type::kLong);
  c[kSid] = SidColumn(u"SID");
  c[kAcm] = Column(u"ACM", column_type::kLong);
  c[kInheritable] = Column(u"FInheritable", column_type::kBoolean);
  return TableLayout(u"MSysACEs", std::move(c), true,
                     {Index(u"ObjectId", {kObjectId}, kRequiredIndex)});
}

TableLayout QueriesLayout() {
  enum : uint16_t { kObjectId, kAttribute, kOrder, kName1, kName2, kExpression, kFlag, kLvExtra };
  std::vector<ColumnSpec> c = {
      Column(u"ObjectId", column_type::kLong), Column(u"Attribute", column_type::kByte),
      Column(u"Order", column_type::kBinary),  Column(u"Name1", column_type::kText),
      Column(u"Name2", column_type::kText),    Column(u"Expression", column_type::kMemo),
      Column(u"Flag", column_type::kInt),      Column(u"LvExtra", column_type::kLong)};
  return TableLayout(
      u"MSysQueries", std::move(c), true,
      {Index(u"ObjectIdAttribute", {kObjectId, kAttribute, kOrder}, kUniqueIndex, true)});
}

TableLayout RelationshipsLayout() {
  enum : uint16_t {
    kRelationship,
    kGrbit,
    kColumnCount,
    kColumnIndex,
    kObject,
    kColumn,
    kReferencedObject,
    kReferencedColumn
  };
  std::vector<ColumnSpec> c = {Column(u"szRelationship", column_type::kText),
                               Column(u"grbit", column_type::kLong),
                               Column(u"ccolumn", column_type::kLong),
                               Column(u"icolumn", column_type::kLong),
                               Column(u"szObject", column_type::kText),
                               Column(u"szColumn", column_type::kText),
                               Column(u"szReferencedObject", column_type::kText),
                               Column(u"szReferencedColumn", column_type::kText)};
  return TableLayout(u"MSysRelationships", std::move(c), true,
                     {Index(u"szRelationship", {kRelationship}, kIgnoreNullsIndex),
                      Index(u"szObject", {kObject}, kIgnoreNullsIndex),
                      Index(u"szReferencedObject", {kReferencedObject}, kIgnoreNullsIndex)});
}

void AppendCatalogEntry(TableStore& catalog, CatalogEntry& entry) {
  using namespace objects;
  std::vector<Cell> cells(kColumnCount);
  SetFixed32(cells[kId], static_cast<uint32_t>(entry.id));
  SetFixed32(cells[kParentId], static_cast<uint32_t>(entry.parentId));
  // The engine keeps its catalog names uncompressed.
  std::vector<uint8_t> name;
  AppendStoredText(entry.name, false, name);
  SetBytes(cells[kName], name);
  cells[kType].kind = Cell::Kind::kFixed;
  Put16(cells[kType].fixed, static_cast<uint16_t>(entry.type));
  cells[kDateCreate].kind = Cell::Kind::kFixed;
  PutDouble(cells[kDateCreate].fixed, entry.created);
  cells[kDateUpdate] = cells[kDateCreate];
  SetBytes(cells[kOwner], entry.owner);
  SetFixed32(cells[kFlags], entry.flags);
  SetBytes(cells[kLvProp], entry.properties);
  entry.where = catalog.AppendRow(cells.data());
}

void AppendAccessEntry(TableStore& table, AccessEntry& entry) {
  using namespace aces;
  std::vector<Cell> cells(kColumnCount);
  SetFixed32(cells[kObjectId], static_cast<uint32_t>(entry.objectId));
  SetBytes(cells[kSid], entry.sid);
  SetFixed32(cells[kAcm], entry.rights);
  cells[kInheritable].kind = Cell::Kind::kFixed;
  cells[kInheritable].fixed[0] = entry.inheritable ? 1 : 0;
  entry.where = table.AppendRow(cells.data());
}

std::vector<CatalogEntry> InitialCatalogEntries(double created) {
  auto entry = [created](int32_t id, int32_t parent, const char16_t* name, int16_t type,
                         const SecurityId& owner) {
    CatalogEntry e;
    e.id = id;
    e.parentId = parent;
    e.name = name;
    e.type = type;
    e.flags = kSystemObjectFlags;
    e.created = created;
    e.owner = owner;
    return e;
  };
  using namespace catalog_id;
  using catalog_type::kContainer;
  using catalog_type::kTable;
  CatalogEntry database =
      entry(kDatabaseObject, kDatabases, u"MSysDb", catalog_type::kDatabase, AdminSid());
  database.properties = BuildDatabaseProperties();
  return {
      entry(kTables, kRoot, u"Tables", kContainer, EngineSid()),
      entry(kDatabases, kRoot, u"Databases", kContainer, EngineSid()),
      entry(kRelationships, kRoot, u"Relationships", kContainer, EngineSid()),
      database,
      entry(system_page::kObjects, kTables, u"MSysObjects", kTable, EngineSid()),
      entry(system_page::kAces, kTables, u"MSysACEs", kTable, EngineSid()),
      entry(system_page::kQueries, kTables, u"MSysQueries", kTable, EngineSid()),
      entry(system_page::kRelationships, kTables, u"MSysRelationships", kTable, EngineSid()),
  };
}

std::vector<AccessEntry> InitialAccessEntries() {
  auto ace = [](int32_t id, const SecurityId& sid, uint32_t rights, bool inheritable) {
    AccessEntry e;
    e.objectId = id;
    e.sid = sid;
    e.rights = rights;
    e.inheritable = inheritable;
    return e;
  };
  using namespace catalog_id;
  const SecurityId& admin = AdminSid();
  const SecurityId& admins = AdminsSid();
  const SecurityId& users = UsersSid();
  const SecurityId& workgroup = WorkgroupSid();
  const auto objects = static_cast<int32_t>(system_page::kObjects);
  const auto aces = static_cast<int32_t>(system_page::kAces);
  const auto queries = static_cast<int32_t>(system_page::kQueries);
  const auto relationships = static_cast<int32_t>(system_page::kRelationships);
  // The masks Jet gives each of its objects.
  return {
      ace(kDatabases, admin, 0x00060000, false),
      ace(kRelationships, users, 0x000f00fe, true),
      ace(kRelationships, admin, 0x00060001, false),
      ace(kRelationships, workgroup, 0x000fffff, true),
      ace(kRelationships, admins, 0x000fffff, true),
      ace(kTables, users, 0x000f00fe, true),
      ace(kTables, admin, 0x000ffeff, true),
      ace(kTables, workgroup, 0x000ffeff, true),
      ace(kTables, admins, 0x000ffeff, true),
      ace(kDatabaseObject, admin, 0x0006000e, false),
      ace(kDatabaseObject, admins, 0x0000000e, false),
      ace(kDatabaseObject, workgroup, 0x0006000e, false),
      ace(aces, admin, 0x00060000, false),
      ace(aces, workgroup, 0x00060054, false),
      ace(objects, admin, 0x00060000, false),
      ace(objects, workgroup, 0x00060054, false),
      ace(objects, admins, 0x00000014, false),
      ace(queries, admin, 0x00060000, false),
      ace(queries, workgroup, 0x00060014, false),
      ace(queries, admins, 0x00000014, false),
      ace(relationships, admin, 0x000e0000, false),
      ace(relationships, workgroup, 0x00060014, false),
      ace(relationships, admins, 0x00000014, false),
  };
}

std::vector<AccessEntry> UserTableAccessEntries(int32_t tableId) {
  std::vector<AccessEntry> entries;
  for (const SecurityId* sid : {&UsersSid(), &AdminSid(), &WorkgroupSid(), &AdminsSid()}) {
    AccessEntry e;
    e.objectId = tableId;
    e.sid = *sid;
    e.rights = kAllRights;
    entries.push_back(std::move(e));
  }
  return entries;
}

std::vector<uint8_t> ParentIdNameKey(const CatalogEntry& entry) {
  std::vector<uint8_t> key;
  AppendLongKey(entry.parentId, key);
  AppendTextKey(entry.name, key);
  return key;
}

std::vector<uint8_t> IdKey(const CatalogEntry& entry) {
  std::vector<uint8_t> key;
  AppendLongKey(entry.id, key);
  return key;
}

std::vector<uint8_t> ObjectIdKey(const AccessEntry& entry) {
  std::vector<uint8_t> key;
  AppendLongKey(entry.objectId, key);
  return key;
}

}  // namespace tessaly::jet
