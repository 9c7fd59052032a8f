#include "storage/jet_database.h"

#include <algorithm>
#include <cassert>
#include <cctype>

#include "platform/file.h"
#include "platform/names.h"
#include "storage/catalog.h"
#include "storage/data_page.h"
#include "storage/index_leaf.h"
#include "storage/jet_header.h"
#include "storage/jet_recordset.h"
#include "storage/properties.h"
#include "storage/usage_map.h"
#include "storage/utf8.h"

namespace tessaly::jet {

namespace {

constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxColumns = 255;
// Each table adds rows to the catalog's indexes, which keep one leaf page each.
constexpr size_t kMaxUserTables = 24;
// Pages a new table may take besides its definition: its maps page, catalog and
// rights pages, a long-value page for its properties, and the bitmap pages the
// catalog's maps may come to need.
constexpr uint32_t kNewTablePages = 4 + 2 * usage_map::kReferenceSlots;

// Jet's rules for object names.
void CheckName(const std::string& name, const char* what) {
  const std::u16string wide = Utf8ToUtf16(name);
  bool valid = !wide.empty() && wide.size() <= kMaxNameLength && wide.front() != u' ';
  for (char16_t c : wide) {
    if (c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']') valid = false;
  }
  if (!valid) {
    throw Failure(dao::err::kInvalidArgument,
                  std::string("'") + name + "' is not a valid " + what +
                      " name: use 1 to 64 characters, no leading blank, and none of . ! ` [ ].");
  }
}

ColumnSpec ColumnFor(const dao::Field& field) {
  ColumnSpec c;
  c.name = Utf8ToUtf16(field.Name());
  c.allowZeroLength = field.AllowZeroLength();
  switch (field.Type()) {
    case dao::dbText:
      if (field.Size() < 1 || field.Size() > 255) {
        throw Failure(dao::err::kInvalidArgument, "Text field '" + field.Name() + "' has size " +
                                                      std::to_string(field.Size()) +
                                                      "; a text field holds 1 to 255 characters.");
      }
      c.type = column_type::kText;
      c.maxChars = static_cast<uint16_t>(field.Size());
      break;
    case dao::dbDate:
      c.type = column_type::kDateTime;
      break;
    case dao::dbMemo:
      c.type = column_type::kMemo;
      break;
    default:
      throw Failure(dao::err::kInvalidArgument,
                    "Field '" + field.Name() + "' has type " + std::to_string(field.Type()) +
                        "; this engine stores text (10), date (8) and memo (12) fields.");
  }
  return c;
}

}  // namespace

JetDatabase::JetDatabase(const std::string& path)
    : file_(std::make_unique<PageFile>(path)), created_(JetDateNow()) {
  try {
    // The header, the global map, the engine's definitions, their maps page and
    // index leaves; the catalog's and rights' first data pages follow.
    file_->Allocate(system_page::kObjectsData);
    objects_ = std::make_unique<TableStore>(*file_, ObjectsLayout(), system_page::kObjects);
    aces_ = std::make_unique<TableStore>(*file_, AcesLayout(), system_page::kAces);
    queries_ = std::make_unique<TableStore>(*file_, QueriesLayout(), system_page::kQueries);
    relationships_ =
        std::make_unique<TableStore>(*file_, RelationshipsLayout(), system_page::kRelationships);
    const Page header = BuildHeaderPage(created_);
    file_->Write(fixed_page::kHeader, header.data());
    catalogEntries_ = InitialCatalogEntries(created_);
    for (CatalogEntry& entry : catalogEntries_) AppendCatalogEntry(*objects_, entry);
    accessEntries_ = InitialAccessEntries();
    for (AccessEntry& entry : accessEntries_) AppendAccessEntry(*aces_, entry);
    assert(file_->PageCount() == system_page::kCount);
    objects_->WriteOpenPages();
    aces_->WriteOpenPages();
    WriteMapsAndDefinitions();
    file_->Flush();
  } catch (...) {
    // The file is ours (created exclusively): leave nothing half-made behind.
    objects_.reset();
    aces_.reset();
    queries_.reset();
    relationships_.reset();
    file_.reset();
    RemoveFile(path);
    throw;
  }
  open_ = true;
}

JetDatabase::~JetDatabase() {
  try {
    Close();
  } catch (const Failure&) {
    // Nothing can report it here; the file handle is released regardless.
  }
}

void JetDatabase::ThrowClosed() {
  throw Failure(dao::err::kObjectClosed, "The database is closed.");
}

std::shared_ptr<dao::TableDef> JetDatabase::CreateTableDef(const std::string& name) {
  CheckOpen();
  return std::make_shared<dao::TableDef>(name);
}

bool JetDatabase::IsSystemTableName(const std::string& name) const {
  for (const TableStore* store :
       {objects_.get(), aces_.get(), queries_.get(), relationships_.get()}) {
    if (SameName(name, Utf16ToUtf8(store->Layout().name))) return true;
  }
  return false;
}

UserTable* JetDatabase::FindTable(const std::string& name) {
  for (auto& table : tables_) {
    if (SameName(table->name, name)) return table.get();
  }
  return nullptr;
}

void JetDatabase::TableDefsAppend(std::shared_ptr<dao::TableDef> tableDef) {
  CheckOpen();
  if (!tableDef) throw Failure(dao::err::kInvalidArgument, "No table definition was given.");
  const std::string& name = tableDef->Name();
  CheckName(name, "table");
  if (!HasTextKey(Utf8ToUtf16(name))) {
    throw Failure(dao::err::kInvalidArgument,
                  "'" + name +
                      "' is not a table name this database can index: use letters A to Z, "
                      "digits and blanks.");
  }
  if (FindTable(name) != nullptr || IsSystemTableName(name)) {
    throw Failure(dao::err::kDuplicateName, "Table '" + name + "' already exists.");
  }
  if (tables_.size() >= kMaxUserTables) {
    throw Failure(dao::err::kDatabaseFull, "The database cannot hold more than " +
                                               std::to_string(kMaxUserTables) + " tables.");
  }
  const auto& fields = tableDef->Fields();
  if (fields.empty()) {
    throw Failure(dao::err::kInvalidArgument, "Table '" + name + "' has no fields.");
  }
  if (fields.size() > kMaxColumns) {
    throw Failure(dao::err::kInvalidArgument, "Table '" + name + "' has more than 255 fields.");
  }
  std::vector<ColumnSpec> columns;
  std::vector<dao::Field> snapshot;
  for (const auto& field : fields) {
    if (!field)
      throw Failure(dao::err::kInvalidArgument, "Table '" + name + "' has an empty field.");
    CheckName(field->Name(), "field");
    for (const auto& other : snapshot) {
      if (SameName(other.Name(), field->Name())) {
        throw Failure(dao::err::kDuplicateName,
                      "Field '" + field->Name() + "' appears twice in table '" + name + "'.");
      }
    }
    columns.push_back(ColumnFor(*field));
    snapshot.push_back(*field);
  }
  TableLayout layout(Utf8ToUtf16(name), std::move(columns), false);
  CatalogEntry entry;
  entry.parentId = catalog_id::kTables;
  entry.name = layout.name;
  entry.type = catalog_type::kTable;
  entry.created = created_;
  entry.owner = AdminSid();
  entry.properties = BuildTableProperties(layout);
  // Everything the table takes is checked first, so a full file refuses it whole.
  file_->CheckRoom(TableDefinitionPageCount(layout) + kNewTablePages);

  auto table = std::make_unique<UserTable>();
  table->name = name;
  table->fields = std::move(snapshot);
  table->store = std::make_unique<TableStore>(*file_, std::move(layout));
  table->mapsPage = file_->Allocate();
  entry.id = static_cast<int32_t>(table->store->DefinitionPage());
  AppendCatalogEntry(*objects_, entry);
  catalogEntries_.push_back(std::move(entry));
  for (AccessEntry& ace : UserTableAccessEntries(catalogEntries_.back().id)) {
    AppendAccessEntry(*aces_, ace);
    accessEntries_.push_back(std::move(ace));
  }
  tables_.push_back(std::move(table));
  objects_->WriteOpenPages();
  aces_->WriteOpenPages();
  WriteMapsAndDefinitions();
  file_->Flush();
}

std::shared_ptr<dao::Recordset> JetDatabase::OpenRecordset(const std::string& name) {
  CheckOpen();
  UserTable* table = FindTable(name);
  if (table == nullptr) {
    throw Failure(dao::err::kItemNotFound, "Table '" + name + "' does not exist in this database.");
  }
  return std::make_shared<JetRecordset>(shared_from_this(), *table);
}

void JetDatabase::WaitForWrites() {
  CheckOpen();
  for (const auto& table : tables_) table->store->WriteOpenPages();
  file_->Flush();
}

void JetDatabase::MakeReadable(TableStore& store) {
  store.WriteOpenPages();
  file_->Flush();
}

namespace {

// Adds a map as a row of the maps page; returns the row pointer to it.
uint32_t AddMapRow(DataPageBuilder& maps, uint32_t mapsPage, const std::vector<uint8_t>& map) {
  uint32_t row = 0;
  if (!maps.Fits(static_cast<uint32_t>(map.size()))) {
    throw Failure(dao::err::kDatabaseFull, "The database has no room for more usage maps.");
  }
  std::copy(map.begin(), map.end(), maps.AddRow(static_cast<uint32_t>(map.size()), &row));
  return PageRow(mapsPage, row);
}

// The root leaf of each index of the engine's tables, in definition-page order.
uint32_t IndexLeafPage(uint32_t ordinal) {
  assert(ordinal < system_page::kIndexLeaves);
  return system_page::kFirstIndexLeaf + ordinal;
}

}  // namespace

TableDefinitionState JetDatabase::AddMapRows(TableStore& store, uint32_t mapsPage,
                                             DataPageBuilder& maps) {
  const TableLayout& layout = store.Layout();
  TableDefinitionState state;
  state.usedPagesMap = AddMapRow(maps, mapsPage, store.BuildUsedPagesMap());
  state.freePagesMap = AddMapRow(maps, mapsPage, store.BuildFreePagesMap());
  // Rows by column number, though the definition lists the columns by name.
  state.columnMaps.resize(layout.longColumns.size());
  std::vector<size_t> byNumber(layout.longColumns.size());
  for (size_t k = 0; k < byNumber.size(); ++k) byNumber[k] = k;
  std::sort(byNumber.begin(), byNumber.end(),
            [&](size_t a, size_t b) { return layout.longColumns[a] < layout.longColumns[b]; });
  for (size_t k : byNumber) {
    LongValueWriter& values = store.LongValues(k);
    state.columnMaps[k].used = AddMapRow(maps, mapsPage, values.BuildUsedPagesMap());
    state.columnMaps[k].free = AddMapRow(maps, mapsPage, values.BuildFreePagesMap());
  }
  return state;
}

std::vector<uint32_t> JetDatabase::WriteIndexLeaves() {
  std::vector<IndexEntry> parentIdName;
  std::vector<IndexEntry> id;
  for (const CatalogEntry& entry : catalogEntries_) {
    parentIdName.push_back({ParentIdNameKey(entry), entry.where});
    id.push_back({IdKey(entry), entry.where});
  }
  std::vector<IndexEntry> objectId;
  for (const AccessEntry& entry : accessEntries_) {
    objectId.push_back({ObjectIdKey(entry), entry.where});
  }
  std::vector<IndexEntry> none;
  // Per index of the engine's tables, in the order of the leaves.
  const std::pair<uint32_t, std::vector<IndexEntry>*> leaves[] = {
      {system_page::kObjects, &parentIdName}, {system_page::kObjects, &id},
      {system_page::kAces, &objectId},        {system_page::kQueries, &none},
      {system_page::kRelationships, &none},   {system_page::kRelationships, &none},
      {system_page::kRelationships, &none}};
  static_assert(std::size(leaves) == system_page::kIndexLeaves);
  std::vector<uint32_t> uniqueKeys;
  for (uint32_t i = 0; i < std::size(leaves); ++i) {
    std::vector<IndexEntry>& entries = *leaves[i].second;
    SortIndexEntries(entries);
    if (!FitsIndexLeaf(entries)) {
      throw Failure(dao::err::kDatabaseFull, "The catalog of the database is full.");
    }
    file_->Write(IndexLeafPage(i), BuildIndexLeaf(leaves[i].first, entries).data());
    uniqueKeys.push_back(CountUniqueKeys(entries));
  }
  return uniqueKeys;
}

void JetDatabase::WriteMapsAndDefinitions() {
  // The engine's tables share one maps page; each index keeps a map of its leaf.
  const std::vector<uint32_t> uniqueKeys = WriteIndexLeaves();
  DataPageBuilder maps;
  maps.Start(0);
  uint32_t leaf = 0;
  for (TableStore* store : {objects_.get(), aces_.get(), queries_.get(), relationships_.get()}) {
    TableDefinitionState state = AddMapRows(*store, system_page::kMaps, maps);
    state.indexes.resize(store->Layout().indexes.size());
    for (auto& index : state.indexes) {
      index.uniqueKeys = uniqueKeys[leaf];
      index.rootPage = IndexLeafPage(leaf++);
      index.map = AddMapRow(maps, system_page::kMaps, BuildInlineMap({index.rootPage}));
    }
    store->WriteDefinition(std::move(state));
  }
  file_->Write(system_page::kMaps, maps.Image().data());
  for (auto& table : tables_) {
    DataPageBuilder own;
    own.Start(0);
    table->store->WriteDefinition(AddMapRows(*table->store, table->mapsPage, own));
    file_->Write(table->mapsPage, own.Image().data());
  }
  WriteGlobalMap();
}

void JetDatabase::WriteGlobalMap() {
  // Written last: the maps above may have taken bitmap pages.
  DataPageBuilder page;
  page.Start(fixed_page::kGlobalMapOwner);
  const std::vector<uint8_t> global = BuildGlobalMap(file_->PageCount());
  const std::vector<uint8_t> spare(usage_map::kRowSize, 0);
  AddMapRow(page, fixed_page::kGlobalMap, global);
  AddMapRow(page, fixed_page::kGlobalMap, spare);
  file_->Write(fixed_page::kGlobalMap, page.Image().data());
}

bool JetDatabase::IsDamaged() const {
  return closeFailed_ || (file_ && file_->IsDamaged());
}

FileIdentity JetDatabase::Identity() const {
  return file_ ? file_->Identity() : FileIdentity{};
}

void JetDatabase::WatchWrites(std::function<void(uint64_t, uint64_t)> written) {
  if (file_) file_->WatchWrites(std::move(written));
}

// All or nothing: a database counts as closed only once its file is complete, and
// a failed close fails again however often it is retried.
void JetDatabase::Close() {
  if (closeFailed_) {
    throw Failure(dao::err::kDiskIo, "The database file is incomplete: closing it failed.");
  }
  if (!open_) return;
  try {
    for (auto& table : tables_) table->store->WriteOpenPages();
    objects_->WriteOpenPages();
    aces_->WriteOpenPages();
    WriteMapsAndDefinitions();
    file_->Close();
  } catch (...) {
    open_ = false;
    closeFailed_ = true;
    file_.reset();
    throw;
  }
  open_ = false;
}

}  // namespace tessaly::jet
