#pragma once

// The database engine as the card database uses it, in the shape of DAO:
// DBEngine -> Workspace -> Database -> TableDef / Field -> Recordset.
// Every operation may throw tessaly::Failure (number and description).
// The file behind a Database is a genuine Jet 4 (Access 2000) .mdb file.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/failure.h"
#include "platform/file.h"
#include "storage/dao_errors.h"

namespace tessaly::dao {

// Field types, as DAO numbers them.
inline constexpr int16_t dbDate = 8;
inline constexpr int16_t dbText = 10;
inline constexpr int16_t dbMemo = 12;

inline constexpr int dbUseJet = 2;
inline constexpr int dbUpdateRegular = 1;
inline constexpr const char* dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";

// A Jet date: days since 1899-12-30, the fraction being the time of day.
struct JetDate {
  double days = 0;
  bool operator==(const JetDate&) const = default;
};

// A stored value as read back: Null, text (UTF-16) or a date.
using Value = std::variant<std::monostate, std::u16string, JetDate>;

inline bool IsNull(const Value& v) {
  return std::holds_alternative<std::monostate>(v);
}

class Database;
class Recordset;

// A field of a table definition (TableDef.CreateField).
class Field {
 public:
  Field(std::string name, int16_t type, int16_t size);

  const std::string& Name() const { return name_; }
  int16_t Type() const { return type_; }
  // Text: maximum length in characters. Date and memo keep their own width.
  int16_t Size() const { return size_; }
  bool AllowZeroLength() const { return allowZeroLength_; }
  void SetAllowZeroLength(bool allow) { allowZeroLength_ = allow; }

 private:
  std::string name_;
  int16_t type_;
  int16_t size_;
  bool allowZeroLength_ = false;
};

// An unattached table definition until Database::TableDefsAppend.
class TableDef {
 public:
  explicit TableDef(std::string name);

  const std::string& Name() const { return name_; }
  std::shared_ptr<Field> CreateField(const std::string& name, int16_t type, int16_t size);
  // Position of a field = order of appending.
  void FieldsAppend(std::shared_ptr<Field> field);
  const std::vector<std::shared_ptr<Field>>& Fields() const { return fields_; }

 private:
  std::string name_;
  std::vector<std::shared_ptr<Field>> fields_;
};

// A table-type recordset: adds rows and reads them back, in storage order, from
// the file's pages.
class Recordset {
 public:
  virtual ~Recordset() = default;

  // Starts a new pending row with every field Null; drops an unsaved pending row.
  virtual void AddNew() = 0;
  // Fields(position).Value = text; converted to a date for date fields. Fails when
  // too long, zero-length where not allowed, or not convertible.
  virtual void SetValue(int16_t position, std::u16string_view text) = 0;
  // Saves the pending row.
  virtual void Update(int type = dbUpdateRegular) = 0;

  virtual int16_t FieldCount() const = 0;
  virtual std::string FieldName(int16_t position) const = 0;

  virtual void MoveFirst() = 0;
  virtual bool IsEOF() const = 0;
  virtual void MoveNext() = 0;
  // The current index name: empty, there being no index.
  virtual std::string Index() const = 0;
  // Fields(position).Value of the current row; Null where unset.
  virtual Value GetValue(int16_t position) const = 0;

  // Rows saved so far, and a move to the row at a zero-based position (for views
  // that fetch rows as they are shown).
  virtual int64_t RecordCount() const = 0;
  virtual void SetAbsolutePosition(int64_t position) = 0;
};

class Database {
 public:
  virtual ~Database() = default;

  virtual std::shared_ptr<TableDef> CreateTableDef(const std::string& name) = 0;
  // Only this makes the table exist in the file.
  virtual void TableDefsAppend(std::shared_ptr<TableDef> tableDef) = 0;
  virtual std::shared_ptr<Recordset> OpenRecordset(const std::string& name) = 0;
  // Leaves a complete, unlocked file; pending rows are dropped. Closing twice is
  // harmless; a close that failed fails again, since the file is not complete.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // A write, flush or close of the file failed, and a call has thrown for it: the
  // file is incomplete for good.
  virtual bool IsDamaged() const = 0;
  // Pages go to the file behind the caller's back: this waits until every row
  // added so far is in it, and throws what failed on the way.
  virtual void WaitForWrites() = 0;
  // The file as it was created.
  virtual FileIdentity Identity() const = 0;
  // Told of each later byte range once the system has it, on whichever thread wrote
  // it; writes under way are waited for first.
  virtual void WatchWrites(std::function<void(uint64_t offset, uint64_t size)> written) = 0;
};

class Workspace {
 public:
  // Creates a new database file; fails when anything exists at the path
  // (a symbolic link included).
  std::shared_ptr<Database> CreateDatabase(const std::string& path, const std::string& locale,
                                           int options = 0);
};

class DBEngine {
 public:
  std::shared_ptr<Workspace> CreateWorkspace(const std::string& name, const std::string& user,
                                             const std::string& password, int type);
};

}  // namespace tessaly::dao
