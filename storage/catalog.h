#pragma once

// The system catalog MSysObjects (definition at page 2): the containers, the
// database object, MSysObjects itself and one row per user table.

#include <cstdint>
#include <string>
#include <vector>

#include "storage/table_definition.h"
#include "storage/table_store.h"

namespace tessaly::jet {

inline constexpr uint32_t kCatalogDefinitionPage = 2;

namespace catalog_id {
inline constexpr int32_t kRoot = 0x0f000000;
inline constexpr int32_t kTables = 0x0f000001;
inline constexpr int32_t kDatabases = 0x0f000002;
inline constexpr int32_t kRelationships = 0x0f000003;
inline constexpr int32_t kDatabaseObject = 0x0f000006;
}  // namespace catalog_id

namespace catalog_type {
inline constexpr int16_t kTable = 1;
inline constexpr int16_t kDatabase = 2;
inline constexpr int16_t kContainer = 3;
}  // namespace catalog_type

// Readers skip tables with either bit as system tables.
inline constexpr uint32_t kSystemObjectFlags = 0x80000002u;

struct CatalogEntry {
  int32_t id = 0;
  int32_t parentId = 0;
  std::u16string name;
  int16_t type = 0;
  uint32_t flags = 0;
  double created = 0;
  std::vector<uint8_t> properties;  // LvProp; empty for none
};

TableLayout CatalogLayout();
void AppendCatalogEntry(TableStore& catalog, const CatalogEntry& entry);
// The rows every new database starts with.
std::vector<CatalogEntry> InitialCatalogEntries(double created);

}  // namespace tessaly::jet
