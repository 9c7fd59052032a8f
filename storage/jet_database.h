#pragma once

// The Database of the DAO-shaped API over one Jet 4 file.

#include <memory>
#include <string>
#include <vector>

#include "storage/dao.h"
#include "storage/page_file.h"
#include "storage/table_store.h"

namespace tessaly::jet {

// A table as appended: its fields as they were then, and its storage.
struct UserTable {
  std::string name;
  std::vector<dao::Field> fields;
  std::unique_ptr<TableStore> store;
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

  // For recordsets.
  void CheckOpen() const;
  PageFile& File() { return *file_; }
  // Puts the table's pages being filled into the file so they can be read.
  void MakeReadable(TableStore& store);

 private:
  void WriteMapsAndDefinitions();
  UserTable* FindTable(const std::string& name);

  std::unique_ptr<PageFile> file_;
  std::unique_ptr<TableStore> catalog_;
  std::vector<std::unique_ptr<UserTable>> tables_;
  double created_;
  bool open_ = false;
};

}  // namespace tessaly::jet
