#include "tests/storage/card_database.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "storage/utf8.h"

namespace tessaly::test {

using dao::dbDate;
using dao::dbMemo;
using dao::dbText;

const std::array<CardField, 41> kCardFields = {{
    {"Title", dbText, 55},           {"FirstName", dbText, 55},
    {"MiddleName", dbText, 55},      {"LastName", dbText, 55},
    {"Company", dbText, 55},         {"Department", dbText, 55},
    {"JobTitle", dbText, 55},        {"BusinessStreet", dbText, 55},
    {"BusinessStreet2", dbText, 55}, {"BusinessCity", dbText, 55},
    {"BusinessState", dbText, 55},   {"BusinessPostalCode", dbText, 15},
    {"BusinessCountry", dbText, 55}, {"HomeStreet", dbText, 55},
    {"HomeStreet2", dbText, 55},     {"HomeCity", dbText, 55},
    {"HomeState", dbText, 55},       {"HomePostalCode", dbText, 55},
    {"HomeCountry", dbText, 55},     {"OtherStreet", dbText, 55},
    {"OtherStreet2", dbText, 55},    {"OtherCity", dbText, 55},
    {"OtherState", dbText, 55},      {"OtherPostalCode", dbText, 15},
    {"OtherCountry", dbText, 55},    {"BusinessFax", dbText, 31},
    {"BusinessPhone", dbText, 31},   {"HomeFax", dbText, 31},
    {"HomePhone", dbText, 31},       {"OtherFax", dbText, 31},
    {"OtherPhone", dbText, 31},      {"Anniversary", dbDate, 31},
    {"AssistantsName", dbText, 55},  {"Birthday", dbDate, 31},
    {"Categories", dbText, 255},     {"GovernmentIDNumber", dbText, 55},
    {"Notes", dbMemo, 255},          {"Profession", dbText, 55},
    {"ReferredBy", dbText, 55},      {"Spouse", dbText, 55},
    {"User1", dbText, 55},
}};

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tessaly-storage-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

CardDatabase CreateCardDatabase(const std::string& path) {
  dao::DBEngine engine;
  auto workspace = engine.CreateWorkspace("", "admin", "", dao::dbUseJet);
  CardDatabase card;
  card.db = workspace->CreateDatabase(path, dao::dbLangGeneral);
  auto table = card.db->CreateTableDef("tblCardData");
  for (const CardField& f : kCardFields) {
    auto field = table->CreateField(f.name, f.type, f.size);
    if (field->Type() != dbDate) field->SetAllowZeroLength(true);
    table->FieldsAppend(field);
  }
  card.db->TableDefsAppend(table);
  card.rs = card.db->OpenRecordset("tblCardData");
  return card;
}

CardRow EmptyCardRow() {
  return CardRow(kCardFields.size());
}

void AddCardRow(dao::Recordset& rs, const CardRow& row) {
  rs.AddNew();
  for (size_t i = 0; i < row.size(); ++i) {
    if (row[i]) rs.SetValue(static_cast<int16_t>(i), *row[i]);
  }
  rs.Update();
}

std::u16string U16(const std::string& utf8) {
  return jet::Utf8ToUtf16(utf8);
}
std::string U8(const std::u16string& utf16) {
  return jet::Utf16ToUtf8(utf16);
}

ReaderRow ExpectedReaderRow(const CardRow& row, const std::vector<std::string>& dates) {
  ReaderRow out(row.size());
  for (size_t i = 0; i < row.size(); ++i) {
    if (!row[i]) continue;
    if (kCardFields[i].type == dbDate) {
      out[i] = dates.at(i == kAnniversary ? 0 : 1);
    } else {
      out[i] = U8(*row[i]);
    }
  }
  return out;
}

void ExpectReaderRow(const ReaderTable& table, size_t rowIndex, const ReaderRow& actual,
                     const ReaderRow& expected) {
  ASSERT_EQ(actual.size(), expected.size()) << "row " << rowIndex;
  for (size_t c = 0; c < expected.size(); ++c) {
    std::optional<std::string> want = expected[c];
    if (table.emptyReadsAsNull && want && want->empty()) want.reset();
    const std::optional<std::string>& got = actual[c];
    if (want && got && table.MayBeTruncated(rowIndex, c) && got->size() < want->size()) {
      EXPECT_EQ(*got, want->substr(0, got->size()))
          << "row " << rowIndex << " field " << kCardFields[c].name << " (cut by the reader)";
      continue;
    }
    if (got != want) {
      ADD_FAILURE() << "row " << rowIndex << " field " << kCardFields[c].name << ": read "
                    << (got ? "'" + got->substr(0, 80) + "'" : "Null") << ", wrote "
                    << (want ? "'" + want->substr(0, 80) + "'" : "Null");
    }
  }
}

namespace {

std::vector<ReaderColumn> ExpectedColumns() {
  std::vector<ReaderColumn> columns;
  for (const CardField& f : kCardFields) {
    if (f.type == dbText) columns.push_back({f.name, "text", f.size});
    if (f.type == dbDate) columns.push_back({f.name, "datetime", 0});
    if (f.type == dbMemo) columns.push_back({f.name, "memo", 0});
  }
  return columns;
}

void ExpectTable(const char* reader, const ReaderTable& table, const std::vector<ReaderRow>& rows) {
  SCOPED_TRACE(reader);
  EXPECT_EQ(table.columns, ExpectedColumns());
  ASSERT_EQ(table.rows.size(), rows.size());
  for (size_t r = 0; r < rows.size(); ++r) ExpectReaderRow(table, r, table.rows[r], rows[r]);
}

}  // namespace

void ExpectReadersShow(const std::string& path, const std::vector<ReaderRow>& rows) {
  ASSERT_TRUE(MdbToolsAvailable()) << "mdbtools is not installed";
  ASSERT_TRUE(MdbReaderAvailable()) << "mdb-reader is not installed in " << NodeModulesDir();
  const std::vector<std::string> tables{"tblCardData"};
  EXPECT_EQ(MdbToolsUserTables(path), tables);
  EXPECT_EQ(MdbReaderUserTables(path), tables);
  ExpectTable("mdbtools", MdbToolsRead(path, "tblCardData"), rows);
  ExpectTable("mdb-reader", MdbReaderRead(path, "tblCardData"), rows);
}

}  // namespace tessaly::test
