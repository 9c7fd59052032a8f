#include "tests/storage/card_database.h"

#include <stdlib.h>

namespace tessaly::test {

int32_t FailureNumber(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& f) {
    EXPECT_FALSE(f.Description().empty()) << f.Number();
    return f.Number();
  }
  return 0;
}

CardDb::CardDb() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tessaly-storage-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
}

CardDb::~CardDb() {
  rs_.reset();
  db_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void CardDb::Create(const std::string& name) {
  path_ = File(name);
  db_ = dao::DBEngine()
            .CreateWorkspace("", "admin", "", dao::dbUseJet)
            ->CreateDatabase(path_, dao::dbLangGeneral);
  auto table = db_->CreateTableDef("tblCardData");
  for (size_t p = 0; p < kCardFieldNames.size(); ++p) {
    auto field = table->CreateField(kCardFieldNames[p], kCardFieldTypes[p], kCardFieldSizes[p]);
    field->SetAllowZeroLength(kCardFieldTypes[p] != dao::dbDate);
    table->FieldsAppend(field);
  }
  db_->TableDefsAppend(table);
  rs_ = db_->OpenRecordset("tblCardData");
}

void CardDb::Add(const CardRow& row) {
  rs_->AddNew();
  for (size_t i = 0; i < row.size(); ++i) {
    if (row[i]) rs_->SetValue(static_cast<int16_t>(i), *row[i]);
  }
  rs_->Update();
}

ReaderRow Shown(const CardRow& row) {
  ReaderRow out(row.size());
  for (size_t i = 0; i < row.size(); ++i) {
    if (row[i]) out[i] = U8(*row[i]);
  }
  return out;
}

void ExpectReaderRow(const ReaderTable& table, size_t index, const ReaderRow& actual,
                     const ReaderRow& expected) {
  ASSERT_EQ(actual.size(), expected.size()) << "row " << index;
  for (size_t c = 0; c < expected.size(); ++c) {
    std::optional<std::string> want = expected[c];
    if (table.emptyReadsAsNull && want && want->empty()) want.reset();
    for (size_t at = 0; table.onlyBmp && want && at < want->size(); ++at) {
      // A four-byte UTF-8 sequence.
      if (static_cast<unsigned char>((*want)[at]) >= 0xf0) want->replace(at, 4, "??");
    }
    const std::optional<std::string>& got = actual[c];
    if (want && got && got->size() >= table.cutLength && got->size() < want->size()) {
      want->resize(got->size());  // cut by the reader: a prefix must match
    }
    if (got != want) {
      ADD_FAILURE() << "row " << index << " field " << kCardFieldNames[c] << ": read "
                    << (got ? "'" + got->substr(0, 80) + "'" : "Null") << ", wrote "
                    << (want ? "'" + want->substr(0, 80) + "'" : "Null");
    }
  }
}

void ExpectOnlyCardTable(const std::string& path) {
  ASSERT_TRUE(MdbToolsAvailable()) << "mdbtools is not installed";
  ASSERT_TRUE(MdbReaderAvailable()) << "mdb-reader is not installed in " << NodeModulesDir();
  EXPECT_EQ(MdbToolsUserTables(path), std::vector<std::string>{"tblCardData"});
  EXPECT_EQ(MdbReaderUserTables(path), std::vector<std::string>{"tblCardData"});
}

void ExpectReadersShow(const std::string& path, const std::vector<ReaderRow>& rows) {
  ExpectOnlyCardTable(path);
  std::vector<ReaderColumn> columns;
  for (size_t p = 0; p < kCardFieldNames.size(); ++p) {
    const int16_t type = kCardFieldTypes[p];
    columns.push_back({kCardFieldNames[p],
                       type == dao::dbText   ? "text"
                       : type == dao::dbDate ? "datetime"
                                             : "memo",
                       type == dao::dbText ? kCardFieldSizes[p] : 0});
  }
  for (const ReaderTable& table :
       {MdbToolsRead(path, "tblCardData"), MdbReaderRead(path, "tblCardData")}) {
    SCOPED_TRACE(table.emptyReadsAsNull ? "mdbtools" : "mdb-reader");
    EXPECT_EQ(table.columns, columns);
    ASSERT_EQ(table.rows.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) ExpectReaderRow(table, r, table.rows[r], rows[r]);
  }
}

}  // namespace tessaly::test
