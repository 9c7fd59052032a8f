#pragma once

// The engine's own tables, as Jet creates them with every database: the catalog
// MSysObjects, the rights MSysACEs, and the empty MSysQueries and
// MSysRelationships; their rows, owners and rights.

#include <cstdint>
#include <string>
#include <vector>

#include "storage/table_definition.h"
#include "storage/table_store.h"

namespace tessaly::jet {

// Where Jet puts the pages of a new database.
namespace system_page {
inline constexpr uint32_t kObjects = 2;  // table definitions, one page each
inline constexpr uint32_t kAces = 3;
inline constexpr uint32_t kQueries = 4;
inline constexpr uint32_t kRelationships = 5;
inline constexpr uint32_t kMaps = 6;  // the usage maps of the four tables
inline constexpr uint32_t kFirstIndexLeaf = 7;
inline constexpr uint32_t kIndexLeaves = 7;
inline constexpr uint32_t kObjectsData = 14;
inline constexpr uint32_t kAcesData = 15;
inline constexpr uint32_t kCount = 16;
}  // namespace system_page

namespace catalog_id {
inline constexpr int32_t kRoot = 0x0f000000;
inline constexpr int32_t kTables = 0x0f000001;
inline constexpr int32_t kDatabases = 0x0f000002;
inline constexpr int32_t kRelationships = 0x0f000003;
inline constexpr int32_t kDatabaseObject = 0x10000000;
}  // namespace catalog_id

namespace catalog_type {
inline constexpr int16_t kTable = 1;
inline constexpr int16_t kDatabase = 2;
inline constexpr int16_t kContainer = 3;
}  // namespace catalog_type

// Objects the engine made for itself; readers skip tables with it as system tables.
inline constexpr uint32_t kSystemObjectFlags = 0x80000000u;

using SecurityId = std::vector<uint8_t>;
// The security ids of the default workgroup, as Jet stores them.
const SecurityId& EngineSid();  // owns the containers and the engine's tables
const SecurityId& AdminSid();   // owns the database object and user tables

struct CatalogEntry {
  int32_t id = 0;
  int32_t parentId = 0;
  std::u16string name;
  int16_t type = 0;
  uint32_t flags = 0;
  double created = 0;
  SecurityId owner;
  std::vector<uint8_t> properties;  // LvProp; empty for none
  uint32_t where = 0;               // row pointer, once stored
};

struct AccessEntry {
  int32_t objectId = 0;
  SecurityId sid;
  uint32_t rights = 0;
  bool inheritable = false;
  uint32_t where = 0;
};

TableLayout ObjectsLayout();
TableLayout AcesLayout();
TableLayout QueriesLayout();
TableLayout RelationshipsLayout();

// Stores the row; sets entry.where.
void AppendCatalogEntry(TableStore& objects, CatalogEntry& entry);
void AppendAccessEntry(TableStore& aces, AccessEntry& entry);

// The rows every new database starts with.
std::vector<CatalogEntry> InitialCatalogEntries(double created);
std::vector<AccessEntry> InitialAccessEntries();
// The rights on a new user table: those the Tables container hands down.
std::vector<AccessEntry> UserTableAccessEntries(int32_t tableId);

// Index keys of the rows, in each table's index order.
std::vector<uint8_t> ParentIdNameKey(const CatalogEntry& entry);
std::vector<uint8_t> IdKey(const CatalogEntry& entry);
std::vector<uint8_t> ObjectIdKey(const AccessEntry& entry);

}  // namespace tessaly::jet
