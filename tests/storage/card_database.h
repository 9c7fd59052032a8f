#pragma once

// A temporary folder with the card table created through the API from the
// engine's schema, and what the independent readers return compared with the rows
// a test wrote.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/card_table.h"
#include "storage/dao.h"
#include "storage/date_text.h"
#include "storage/utf8.h"
#include "tests/support/card_columns.h"
#include "tests/support/jet_file_check.h"
#include "tests/support/mdb_readers.h"
#include "tests/support/test_platform.h"

namespace tessaly::test {

inline constexpr int16_t kAnniversary = 31, kBirthday = 33, kNotes = 36, kFieldCount = 41;

// Per field the text set, or nothing for a field left Null.
using CardRow = std::vector<std::optional<std::u16string>>;
inline CardRow EmptyRow() {
  return CardRow(kFieldCount);
}
inline std::u16string U16(const std::string& utf8) {
  return jet::Utf8ToUtf16(utf8);
}
inline std::string U8(const std::u16string& utf16) {
  return jet::Utf16ToUtf8(utf16);
}

class CardDb : public ::testing::Test {
 protected:
  CardDb() {
    static int made = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("tessaly-storage-" + std::to_string(ProcessId()) + "-" + std::to_string(++made));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
  }
  ~CardDb() override {
    rs_.reset();
    db_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }
  // A new database at File(name) holding tblCardData, with rs_ open on it.
  void Create(const std::string& name = "cards.mdb") {
    path_ = File(name);
    db_ = dao::DBEngine()
              .CreateWorkspace("", "admin", "", dao::dbUseJet)
              ->CreateDatabase(path_, dao::dbLangGeneral);
    auto table = db_->CreateTableDef("tblCardData");
    for (const CardField& card : kCardFields) {
      auto field = table->CreateField(card.name, card.type, card.size);
      field->SetAllowZeroLength(card.type != dao::dbDate);
      table->FieldsAppend(field);
    }
    db_->TableDefsAppend(table);
    rs_ = db_->OpenRecordset("tblCardData");
  }
  void Add(const CardRow& row) {
    rs_->AddNew();
    for (size_t i = 0; i < row.size(); ++i) {
      if (row[i]) rs_->SetValue(static_cast<int16_t>(i), *row[i]);
    }
    rs_->Update();
  }

  std::filesystem::path dir_;
  std::string path_;
  std::shared_ptr<dao::Database> db_;
  std::shared_ptr<dao::Recordset> rs_;
};

// The failure's number (its description must not be empty), 0 when none.
inline int32_t FailureNumber(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& f) {
    EXPECT_FALSE(f.Description().empty()) << f.Number();
    return f.Number();
  }
  return 0;
}

// Texts as UTF-8, Null as nullopt; dates are left for the caller.
inline ReaderRow Shown(const CardRow& row) {
  ReaderRow out(row.size());
  for (size_t i = 0; i < row.size(); ++i) {
    if (row[i]) out[i] = U8(*row[i]);
  }
  return out;
}

// Our recordset's current row the way the readers print it.
inline ReaderRow RecordsetRow(dao::Recordset& rs) {
  ReaderRow row(static_cast<size_t>(rs.FieldCount()));
  for (size_t i = 0; i < row.size(); ++i) {
    const dao::Value value = rs.GetValue(static_cast<int16_t>(i));
    if (const auto* text = std::get_if<std::u16string>(&value)) row[i] = U8(*text);
    if (const auto* date = std::get_if<dao::JetDate>(&value)) {
      const dao::DateParts d = dao::SplitJetDate(date->days);
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                    d.hour, d.minute, d.second);
      row[i] = buffer;
    }
  }
  return row;
}

// One reader's row against the expected one, allowing for the reader's limits.
inline void ExpectReaderRow(const ReaderTable& table, size_t index, const ReaderRow& actual,
                            const ReaderRow& expected) {
  ASSERT_EQ(actual.size(), expected.size()) << "row " << index;
  for (size_t c = 0; c < expected.size(); ++c) {
    std::optional<std::string> want = expected[c];
    if (table.emptyReadsAsNull && want && want->empty()) want.reset();
    for (size_t at = 0; table.onlyBmp && want && at < want->size(); ++at) {
      if (static_cast<unsigned char>((*want)[at]) >= 0xf0) want->replace(at, 4, "??");
    }
    const std::optional<std::string>& got = actual[c];
    if (want && got && got->size() >= table.cutLength && got->size() < want->size()) {
      want->resize(got->size());  // cut by the reader: a prefix must match
    }
    auto show = [](const auto& v) { return v ? "'" + v->substr(0, 80) + "'" : "Null"; };
    if (got != want) {
      ADD_FAILURE() << "row " << index << " field " << kExpectedColumns[c].name << ": read "
                    << show(got) << ", wrote " << show(want);
    }
  }
}

// AllowZeroLength Yes on every text and memo field, not set on the two dates; no other
// property.
inline void ExpectCardTableProperties(const JetFileFacts& facts) {
  const JetTableFacts* table = facts.Table("tblCardData");
  ASSERT_NE(table, nullptr);
  JetProperties want;
  for (size_t p = 0; p < kExpectedColumns.size(); ++p) {
    if (!IsDateColumn(p)) want[kExpectedColumns[p].name]["AllowZeroLength"] = "true";
  }
  ASSERT_EQ(want.size(), 39u);
  EXPECT_EQ(table->properties, want);
}

// Where the readers do not run, the file checker stands in: a sound file whose
// card table holds these values (dates, which it shows as stored bits, aside).
inline void ExpectCheckerShows(const std::string& path, const std::vector<ReaderRow>& rows) {
  const JetFileFacts facts = CheckJetFile(path, {.keepRows = true});
  EXPECT_EQ(facts.problems, std::vector<std::string>{});
  const JetTableFacts* table = facts.Table("tblCardData");
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->rows.size(), rows.size());
  for (size_t p = 0; p < kExpectedColumns.size(); ++p) {
    if (IsDateColumn(p)) continue;
    const std::vector<JetValue> column = table->Column(kExpectedColumns[p].name);
    for (size_t r = 0; r < rows.size(); ++r) {
      EXPECT_EQ(column[r], rows[r][p]) << "row " << r << " field " << kExpectedColumns[p].name;
    }
  }
}

inline constexpr char kNonAsciiLastName[] = "Wei\u00df";

// Through ODBC: as many card rows as the file checker reads, and the same cards
// selected by a last name outside ASCII. The checker also finds the card table's
// properties.
inline void ExpectOdbcAgrees(const std::string& path) {
  if (!kReadersRunHere) return;
  ASSERT_TRUE(OdbcAvailable()) << "unixODBC's isql or its MDBTools driver is not installed";
  const JetFileFacts facts = CheckJetFile(path, {.keepRows = true});
  EXPECT_EQ(facts.problems, std::vector<std::string>{});
  ExpectCardTableProperties(facts);
  const JetTableFacts* table = facts.Table("tblCardData");
  ASSERT_NE(table, nullptr);
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(OdbcQuery(path, "SELECT COUNT(*) FROM tblCardData"),
            Rows{{std::to_string(table->rows.size())}});
  Rows selected;
  const auto first = table->Column("FirstName"), last = table->Column("LastName");
  for (size_t r = 0; r < last.size(); ++r) {
    if (last[r] == kNonAsciiLastName) selected.push_back({first[r].value_or("")});
  }
  EXPECT_EQ(OdbcQuery(path, "SELECT FirstName FROM tblCardData WHERE LastName = '" +
                                std::string(kNonAsciiLastName) + "'"),
            selected);
}

// Rows of tblCardData: as mdbtools reads them, or the file checker where it does not
// run; ODBC must agree.
inline size_t CardRowCount(const std::string& path) {
  if (kReadersRunHere) {
    ExpectOdbcAgrees(path);
    return Read(Reader::kMdbTools, path, "tblCardData").rows.size();
  }
  const JetFileFacts facts = CheckJetFile(path);  // checks the count against the rows
  EXPECT_EQ(facts.problems, std::vector<std::string>{});
  const JetTableFacts* table = facts.Table("tblCardData");
  return table != nullptr ? table->rowCount : 0;
}

// Both readers list exactly tblCardData as user table.
inline void ExpectOnlyCardTable(const std::string& path) {
  if (!kReadersRunHere) {
    const JetFileFacts facts = CheckJetFile(path);
    EXPECT_EQ(facts.problems, std::vector<std::string>{});
    EXPECT_NE(facts.Table("tblCardData"), nullptr);
    return;
  }
  ASSERT_TRUE(MdbToolsAvailable() && MdbReaderAvailable())
      << "mdbtools or mdb-reader (in " << NodeModulesDir() << ") is not installed";
  for (const Reader reader : kReadersHere) {
    EXPECT_EQ(Tables(reader, path), std::vector<std::string>{"tblCardData"}) << NameOf(reader);
  }
}

// ... and its 41 columns as the schema has them and these rows in order.
inline void ExpectReadersShow(const std::string& path, const std::vector<ReaderRow>& rows) {
  if (!kReadersRunHere) return ExpectCheckerShows(path, rows);
  ExpectOnlyCardTable(path);
  std::vector<ReaderColumn> columns;
  for (const ExpectedColumn& column : kExpectedColumns) {
    columns.push_back({column.name, column.type, column.size});
  }
  for (const Reader reader : kReadersHere) {
    SCOPED_TRACE(NameOf(reader));
    const ReaderTable table = Read(reader, path, "tblCardData");
    EXPECT_EQ(table.columns, columns);
    ASSERT_EQ(table.rows.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) ExpectReaderRow(table, r, table.rows[r], rows[r]);
  }
  ExpectOdbcAgrees(path);
}

}  // namespace tessaly::test
