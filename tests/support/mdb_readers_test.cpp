#include "tests/support/mdb_readers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "storage/dao.h"
#include "storage/utf8.h"

namespace tessaly {
namespace {

using detail::ParseMdbJsonLine;
using detail::ParseMdbSchema;

// Unique per test: ctest runs the tests of this file in parallel.
std::string TempPath(const char* suffix) {
  return ::testing::TempDir() + "mdb-readers-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
}

const std::vector<ReaderColumn> kColumns = {
    {"First Name", "text", 50}, {"Notes", "memo", 0}, {"Birthday", "datetime", 0}};

TEST(MdbToolsParsing, SchemaGivesNamesTypesAndCharacterSizes) {
  const std::string output =
      "-- ----------------------------------------------------------\n"
      "CREATE TABLE [tblOther]\n (\n\t[X]\t\t\tText (10)\n);\n"
      "CREATE TABLE [tblCardData]\n"
      " (\n"
      "\t[First Name]\t\t\tText (50), \n"
      "\t[Notes]\t\t\tMemo/Hyperlink (255), \n"
      "\t[Birthday]\t\t\tDateTime\n"
      ");\n"
      "-- CREATE INDEXES ...\n";
  EXPECT_EQ(ParseMdbSchema(output, "tblCardData"), kColumns);
  EXPECT_THROW(ParseMdbSchema(output, "tblMissing"), std::runtime_error);
  EXPECT_THROW(ParseMdbSchema("CREATE TABLE [t]\n (\n\t[A]\t\t\tText (5), \n", "t"),
               std::runtime_error);
  EXPECT_THROW(ParseMdbSchema("CREATE TABLE [t]\n (\n\tgarbage\n);\n", "t"), std::runtime_error);
}

TEST(MdbToolsParsing, JsonLineUnescapesAndTreatsMissingAsNull) {
  const auto row = ParseMdbJsonLine(
      R"({"First Name":"a \"q\" \\ b\u000d\u000a\u0009é€","Birthday":"2024-01-05 13:30:00"})",
      kColumns);
  ASSERT_EQ(row.size(), 3u);
  EXPECT_EQ(row[0], "a \"q\" \\ b\r\n\té€");
  EXPECT_EQ(row[1], std::nullopt);
  EXPECT_EQ(row[2], "2024-01-05 13:30:00");

  EXPECT_THROW(ParseMdbJsonLine(R"({"Unknown":"x"})", kColumns), std::exception);
  EXPECT_THROW(ParseMdbJsonLine(R"({"Notes":"x")", kColumns), std::exception);
  EXPECT_THROW(ParseMdbJsonLine(R"(["x"])", kColumns), std::exception);
}

class ReaderFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = TempPath(".junk");
    std::ofstream(path_) << std::string(8192, 'x');
  }
  void TearDown() override { std::remove(path_.c_str()); }
  std::string path_;
};

// A file the readers reject must surface as an exception carrying their message.
TEST_F(ReaderFailures, MdbToolsThrowsWithItsMessage) {
  ASSERT_TRUE(MdbToolsAvailable()) << "mdbtools is not installed";
  try {
    MdbToolsUserTables(path_);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("mdb-tables"), std::string::npos) << e.what();
  }
  EXPECT_THROW(MdbToolsRead(path_, "tblCardData"), std::runtime_error);
  EXPECT_THROW(MdbToolsRead(path_ + ".absent", "tblCardData"), std::runtime_error);
}

TEST_F(ReaderFailures, MdbReaderThrowsWithItsMessage) {
  ASSERT_TRUE(MdbReaderAvailable()) << "mdb-reader is not installed in " << NodeModulesDir();
  try {
    MdbReaderUserTables(path_);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("read_mdb.mjs:"), std::string::npos) << e.what();
  }
  EXPECT_THROW(MdbReaderRead(path_, "tblCardData"), std::runtime_error);
  EXPECT_THROW(MdbReaderRead(path_ + ".absent", "tblCardData"), std::runtime_error);
}

// The readers' plumbing on a real file: escaping, Nulls, sizes, dates, long memos.
class ReadersOnOurFile : public ::testing::Test {
 protected:
  // (first, notes, when, other); "\x01" marks Null.
  using Row = std::array<std::string, 4>;
  static constexpr const char* kNull = "\x01";

  void SetUp() override {
    ASSERT_TRUE(MdbToolsAvailable());
    ASSERT_TRUE(MdbReaderAvailable()) << "mdb-reader is not installed in " << NodeModulesDir();
    path_ = TempPath(".mdb");
    std::remove(path_.c_str());
    rows_ = {
        Row{"Zoë \"Q\", O'Brien \\ ;", "one\r\ntwo\tthree\n", "1/5/2024 1:30:36 PM", "€ Ā\u2000 ☃"},
        Row{"", "", kNull, kNull},
        Row{kNull, kNull, "12/30/1899 6:00", "x"},
        Row{"long", std::string(300'000, 'a') + "é", "12/29/1899", "y"},
    };
    dao::DBEngine engine;
    auto db = engine.CreateWorkspace("", "admin", "", dao::dbUseJet)
                  ->CreateDatabase(path_, dao::dbLangGeneral);
    auto def = db->CreateTableDef("tblCardData");
    const std::pair<const char*, int16_t> fields[] = {{"First Name", dao::dbText},
                                                      {"Notes", dao::dbMemo},
                                                      {"When", dao::dbDate},
                                                      {"Other", dao::dbText}};
    for (const auto& [name, type] : fields) {
      auto field = def->CreateField(name, type, type == dao::dbText ? int16_t{40} : int16_t{0});
      field->SetAllowZeroLength(type != dao::dbDate);
      def->FieldsAppend(field);
    }
    db->TableDefsAppend(def);
    auto rs = db->OpenRecordset("tblCardData");
    for (const auto& row : rows_) {
      rs->AddNew();
      for (int16_t i = 0; i < 4; ++i) {
        if (row[i] != kNull) rs->SetValue(i, jet::Utf8ToUtf16(row[i]));
      }
      rs->Update();
    }
    db->Close();
  }
  void TearDown() override { std::remove(path_.c_str()); }

  std::string path_;
  std::vector<Row> rows_;
};

TEST_F(ReadersOnOurFile, BothReadersSeeTablesAndColumns) {
  const std::vector<ReaderColumn> columns = {{"First Name", "text", 40},
                                             {"Notes", "memo", 0},
                                             {"When", "datetime", 0},
                                             {"Other", "text", 40}};
  EXPECT_EQ(MdbToolsUserTables(path_), std::vector<std::string>{"tblCardData"});
  EXPECT_EQ(MdbReaderUserTables(path_), std::vector<std::string>{"tblCardData"});
  EXPECT_EQ(MdbToolsRead(path_, "tblCardData").columns, columns);
  EXPECT_EQ(MdbReaderRead(path_, "tblCardData").columns, columns);
}

TEST_F(ReadersOnOurFile, MdbReaderReturnsEveryValueExactly) {
  const ReaderTable table = MdbReaderRead(path_, "tblCardData");
  ASSERT_EQ(table.rows.size(), rows_.size());
  EXPECT_FALSE(table.emptyReadsAsNull);
  EXPECT_TRUE(table.possiblyTruncated.empty());
  const char* dates[] = {"2024-01-05 13:30:36", nullptr, "1899-12-30 06:00:00",
                         "1899-12-29 00:00:00"};
  for (size_t r = 0; r < rows_.size(); ++r) {
    for (size_t c : {0, 1, 3}) {
      EXPECT_EQ(table.rows[r][c],
                rows_[r][c] == kNull ? std::nullopt : std::optional<std::string>(rows_[r][c]))
          << r << "," << c;
    }
    EXPECT_EQ(table.rows[r][2], dates[r] ? std::optional<std::string>(dates[r]) : std::nullopt);
  }
}

TEST_F(ReadersOnOurFile, MdbToolsShowsItsKnownLimits) {
  const ReaderTable table = MdbToolsRead(path_, "tblCardData");
  ASSERT_EQ(table.rows.size(), rows_.size());
  EXPECT_TRUE(table.emptyReadsAsNull);
  EXPECT_EQ(table.rows[0][0], rows_[0][0]);
  EXPECT_EQ(table.rows[0][1], rows_[0][1]);
  EXPECT_EQ(table.rows[0][2], "2024-01-05 13:30:36");
  EXPECT_EQ(table.rows[0][3], rows_[0][3]);
  EXPECT_EQ(table.rows[1], (ReaderRow{std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_EQ(table.rows[2][2], "1899-12-30 06:00:00");
  EXPECT_EQ(table.rows[3][2], kMdbToolsUnshownDate);

  EXPECT_EQ(table.possiblyTruncated, (std::vector<std::pair<size_t, size_t>>{{3, 1}}));
  const std::string& cut = *table.rows[3][1];
  EXPECT_LT(cut.size(), rows_[3][1].size());
  EXPECT_EQ(cut, rows_[3][1].substr(0, cut.size()));
}

}  // namespace
}  // namespace tessaly
