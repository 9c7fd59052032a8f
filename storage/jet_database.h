#pragma once

// The Database of the DAO-shaped API over one Jet 4 file.

#include <memory>
#include <string>
#include <vector>

#include "storage/catalog.h"
#include "storage/dao.h"
#include "storage/data_page.h"
#include "storage/page_file.h"
#include "storage/table_store.h"

namespace tessaly::jet {

// A table as appended: its fields as they were then, and its storage.
struct UserTable {
  std::string name;
  std::vector<dao::Field> fields;
  std::unique_ptr<TableStore> store;
  uint32_t mapsPage = 0;  // holds the table's usage maps
};

class JetDatabase final : public dao::Database, public std::enable_shared_from_this<JetDatabase> {
 public:
  // Creates the file; fails when anything exists at path.
  explicit JetDatabase(const std::string& path);
  ~JetDatabase() override;

  std::shared_ptr<dao::TableDef> CreateTableDef(const std::string& name) override;
  void TableDefsAppend(std::shared_ptr<dao::TableDef> tableDef) override;
  std::shared_ptr<dao::Recordset> OpenRecordset(const std::string& name) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  bool IsDamaged() const override;
  void WaitForWrites() override;
  FileIdentity Identity() const override;
  void WatchWrites(std::function<void(uint64_t, uint64_t)> written) override;

  // For recordsets.
  void CheckOpen() const {
    if (!open_) ThrowClosed();
  }
  PageFile& File() { return *file_; }
  // Puts the table's pages being filled into the file so they can be read.
  void MakeReadable(TableStore& store);

 private:
  [[noreturn]] static void ThrowClosed();
  // Usage maps, definitions, index leaves and the global map, as they stand.
  void WriteMapsAndDefinitions();
  // The state of a table's definition with its maps added as rows of maps.
  TableDefinitionState AddMapRows(TableStore& store, uint32_t mapsPage, DataPageBuilder& maps);
  // Returns each leaf's count of unique keys.
  std::vector<uint32_t> WriteIndexLeaves();
  void WriteGlobalMap();
  UserTable* FindTable(const std::string& name);
  bool IsSystemTableName(const std::string& name) const;

  std::unique_ptr<PageFile> file_;
  // The engine's tables, in the order of their definition pages.
  std::unique_ptr<TableStore> objects_;
  std::unique_ptr<TableStore> aces_;
  std::unique_ptr<TableStore> queries_;
  std::unique_ptr<TableStore> relationships_;
  std::vector<CatalogEntry> catalogEntries_;
  std::vector<AccessEntry> accessEntries_;
  std::vector<std::unique_ptr<UserTable>> tables_;
  double created_;
  bool open_ = false;
  // A close failed; the file handle is gone with it.
  bool closeFailed_ = false;
};

}  // namespace tessaly::jet
