#include "storage/jet_database.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "storage/catalog.h"
#include "storage/data_page.h"
#include "storage/jet_header.h"
#include "storage/jet_recordset.h"
#include "storage/properties.h"
#include "storage/usage_map.h"
#include "storage/utf8.h"

namespace tessaly::jet {

namespace {

constexpr uint32_t kMapsPage = 1;
constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxColumns = 255;
// Every table keeps its two usage maps on the maps page.
constexpr size_t kMaxUserTables = 24;

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

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
    file_->Allocate(2);  // the header and the maps page
    catalog_ = std::make_unique<TableStore>(*file_, CatalogLayout(), file_->Allocate());
    const Page header = BuildHeaderPage(created_);
    file_->Write(0, header.data());
    for (const CatalogEntry& entry : InitialCatalogEntries(created_)) {
      AppendCatalogEntry(*catalog_, entry);
    }
    catalog_->WriteOpenPages();
    WriteMapsAndDefinitions();
    file_->Flush();
  } catch (...) {
    // The file is ours (created exclusively): leave nothing half-made behind.
    catalog_.reset();
    file_.reset();
    ::unlink(path.c_str());
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

void JetDatabase::CheckOpen() const {
  if (!open_) throw Failure(dao::err::kObjectClosed, "The database is closed.");
}

std::shared_ptr<dao::TableDef> JetDatabase::CreateTableDef(const std::string& name) {
  CheckOpen();
  return std::make_shared<dao::TableDef>(name);
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
  if (FindTable(name) != nullptr || SameName(name, "MSysObjects")) {
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
  entry.properties = BuildTableProperties(layout);
  // Definition pages, a catalog page, a long-value page for the properties, and
  // the bitmap pages kept back for the table's usage map.
  file_->CheckRoom(TableDefinitionPageCount(layout) + 2 + kReferenceMapSlots);

  auto table = std::make_unique<UserTable>();
  table->name = name;
  table->fields = std::move(snapshot);
  table->store = std::make_unique<TableStore>(*file_, std::move(layout));
  entry.id = static_cast<int32_t>(table->store->DefinitionPage());
  AppendCatalogEntry(*catalog_, entry);
  tables_.push_back(std::move(table));
  // Room for the bitmap pages this table's usage map may come to need.
  file_->SetReserve(file_->Reserve() + kReferenceMapSlots);
  catalog_->WriteOpenPages();
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

void JetDatabase::MakeReadable(TableStore& store) {
  store.WriteOpenPages();
  file_->Flush();
}

void JetDatabase::WriteMapsAndDefinitions() {
  DataPageBuilder maps;
  maps.Start(0);
  std::vector<TableStore*> stores{catalog_.get()};
  for (auto& table : tables_) stores.push_back(table->store.get());
  const std::vector<uint8_t> noFreePages = BuildInlineMap({});
  for (TableStore* store : stores) {
    const std::vector<uint8_t> used = store->BuildUsedPagesMap();
    uint32_t usedRow = 0;
    uint32_t freeRow = 0;
    if (!maps.Fits(static_cast<uint32_t>(used.size() + noFreePages.size() + 2))) {
      throw Failure(dao::err::kDatabaseFull, "The database has no room for more table maps.");
    }
    std::copy(used.begin(), used.end(), maps.AddRow(static_cast<uint32_t>(used.size()), &usedRow));
    std::copy(noFreePages.begin(), noFreePages.end(),
              maps.AddRow(static_cast<uint32_t>(noFreePages.size()), &freeRow));
    store->WriteDefinition(PageRow(kMapsPage, usedRow), PageRow(kMapsPage, freeRow));
  }
  file_->Write(kMapsPage, maps.Image().data());
}

void JetDatabase::Close() {
  if (!open_) return;
  open_ = false;
  try {
    for (auto& table : tables_) table->store->WriteOpenPages();
    catalog_->WriteOpenPages();
    WriteMapsAndDefinitions();
    file_->Close();
  } catch (...) {
    file_.reset();
    throw;
  }
}

}  // namespace tessaly::jet
