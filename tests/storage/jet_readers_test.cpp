// Databases written through the API, read back by mdbtools, mdb-reader and our
// own recordset.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/jet_format.h"
#include "storage/usage_map.h"
#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

struct DateCase {
  std::u16string text;
  std::string shown;  // as the readers print it
  double value;
};

const DateCase kMillenniumEve{u"12/31/1999 23:59:59", "1999-12-31 23:59:59",
                              36525 + 86399.0 / 86400};
const DateCase kLeapDay{u"Feb 29, 2000", "2000-02-29 00:00:00", 36585};
const DateCase kTimeOnly{u"10:30 PM", "1899-12-30 22:30:00", 0.9375};
const DateCase kPlain{u" 1/2/2003 ", "2003-01-02 00:00:00", 37623};

struct WrittenRow {
  CardRow row;
  std::optional<DateCase> anniversary;
  std::optional<DateCase> birthday;
};

ReaderRow Expected(const WrittenRow& w) {
  return ExpectedReaderRow(
      w.row, {w.anniversary ? w.anniversary->shown : "", w.birthday ? w.birthday->shown : ""});
}

WrittenRow Written(CardRow row, std::optional<DateCase> anniversary = std::nullopt,
                   std::optional<DateCase> birthday = std::nullopt) {
  if (anniversary) row[kAnniversary] = anniversary->text;
  if (birthday) row[kBirthday] = birthday->text;
  return {std::move(row), std::move(anniversary), std::move(birthday)};
}

// Our recordset shows the same rows, in the same order.
void ExpectRecordsetShows(dao::Recordset& rs, const std::vector<WrittenRow>& rows) {
  ASSERT_EQ(rs.RecordCount(), static_cast<int64_t>(rows.size()));
  ASSERT_EQ(rs.FieldCount(), 41);
  for (int16_t i = 0; i < 41; ++i) EXPECT_EQ(rs.FieldName(i), kCardFields[i].name);
  if (rows.empty()) return;
  rs.MoveFirst();
  for (size_t r = 0; r < rows.size(); ++r) {
    ASSERT_FALSE(rs.IsEOF()) << "row " << r;
    EXPECT_EQ(rs.Index(), "");
    for (int16_t i = 0; i < 41; ++i) {
      const dao::Value value = rs.GetValue(i);
      const auto& written = rows[r].row[static_cast<size_t>(i)];
      if (!written) {
        EXPECT_TRUE(dao::IsNull(value)) << "row " << r << " field " << kCardFields[i].name;
      } else if (kCardFields[i].type == dao::dbDate) {
        const DateCase& d = i == kAnniversary ? *rows[r].anniversary : *rows[r].birthday;
        ASSERT_TRUE(std::holds_alternative<dao::JetDate>(value));
        EXPECT_NEAR(std::get<dao::JetDate>(value).days, d.value, 1e-9);
      } else {
        ASSERT_TRUE(std::holds_alternative<std::u16string>(value))
            << "row " << r << " field " << kCardFields[i].name;
        EXPECT_TRUE(std::get<std::u16string>(value) == *written)
            << "row " << r << " field " << kCardFields[i].name;
      }
    }
    rs.MoveNext();
  }
  EXPECT_TRUE(rs.IsEOF());
}

void WriteAndCheck(const std::vector<WrittenRow>& rows) {
  TempDir dir;
  const std::string path = dir.File("cards.mdb");
  CardDatabase card = CreateCardDatabase(path);
  for (const WrittenRow& w : rows) AddCardRow(*card.rs, w.row);
  ExpectRecordsetShows(*card.rs, rows);
  card.db->Close();
  std::vector<ReaderRow> expected;
  for (const WrittenRow& w : rows) expected.push_back(Expected(w));
  ExpectReadersShow(path, expected);
}

std::u16string Repeat(std::u16string_view unit, size_t length) {
  std::u16string out;
  out.reserve(length);
  while (out.size() < length) out.append(unit.substr(0, length - out.size()));
  return out;
}

TEST(JetReaders, EmptyTableListsOnlyTheCardTableAndItsColumns) {
  WriteAndCheck({});
}

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(JetReaders, HeaderAsMdbReaderSeesIt) {
  TempDir dir;
  const std::string path = dir.File("header.mdb");
  const std::time_t before = std::time(nullptr);
  CreateCardDatabase(path).db->Close();
  // mdb-reader unmasks the header block to find the creation date and password.
  const std::string script =
      "import {createRequire} from 'node:module'; import {pathToFileURL} from 'node:url';"
      "import {readFileSync} from 'node:fs';"
      "const [dir, file] = process.argv.slice(1);"
      "const entry = createRequire(dir + '/x.js').resolve('mdb-reader');"
      "const {default: R} = await import(pathToFileURL(entry).href);"
      "const r = new R(readFileSync(file));"
      "console.log(Math.round(r.getCreationDate().getTime() / 1000), r.getPassword());";
  const std::string out = RunCommand("node --input-type=module -e \"" + script + "\" '" +
                                     NodeModulesDir() + "' '" + path + "'");
  // Jet dates are local wall-clock time, which mdb-reader reads as UTC.
  std::tm local{};
  localtime_r(&before, &local);
  const long expected = static_cast<long>(before) + local.tm_gmtoff;
  long created = 0;
  char password[16] = {};
  ASSERT_EQ(std::sscanf(out.c_str(), "%ld %15s", &created, password), 2) << out;
  EXPECT_NEAR(static_cast<double>(created), static_cast<double>(expected), 5.0);
  EXPECT_STREQ(password, "null");
}

TEST(JetReaders, CatalogRowsAndZeroLengthPropertiesAsMdbToolsSeesThem) {
  TempDir dir;
  const std::string path = dir.File("catalog.mdb");
  CreateCardDatabase(path).db->Close();
  const std::string catalog = RunCommand("mdb-json '" + path + "' MSysObjects");
  for (const char* container : {"Tables", "Databases", "Relationships"}) {
    EXPECT_EQ(Count(catalog,
                    std::string(R"("ParentId":251658240,"Name":")") + container + R"(","Type":3)"),
              1u)
        << catalog;
  }
  // Both tables are parented by "Tables" (0x0F000001); only MSysObjects is a system table.
  EXPECT_EQ(Count(catalog, R"("Id":2,"ParentId":251658241,"Name":"MSysObjects","Type":1)"), 1u);
  EXPECT_EQ(Count(catalog, R"("Flags":-2147483646)"), 1u);
  EXPECT_EQ(Count(catalog, R"("ParentId":251658241,"Name":"tblCardData","Type":1)"), 1u);

  // AllowZeroLength on the 38 text fields and Notes, not on the two dates.
  const std::string properties = RunCommand("mdb-prop '" + path + "' tblCardData");
  EXPECT_EQ(Count(properties, "AllowZeroLength: yes"), 39u) << properties;
  EXPECT_EQ(Count(properties, "name: Notes\n\tAllowZeroLength: yes\n"), 1u);
  EXPECT_EQ(Count(properties, "name: Anniversary"), 0u);
  EXPECT_EQ(Count(properties, "name: Birthday"), 0u);
}

TEST(JetReaders, NullsBlanksAccentsEuroLineBreaksAndDates) {
  std::vector<WrittenRow> rows;
  rows.push_back(Written(EmptyCardRow()));  // every field Null

  CardRow accents = EmptyCardRow();
  accents[0] = u"Mme";
  accents[1] = U16("Zoë Ñandú");
  accents[3] = U16("Müller-Lüdenscheidt");
  accents[4] = U16("Café € 5 — Ltd");
  accents[9] = U16("São Paulo");
  accents[26] = u"555-010 x12";
  accents[34] = U16("Friends; Œuvres");
  accents[kNotes] = U16("First line\r\nSecond line: 10 €\r\n\r\nLast, ü");
  rows.push_back(Written(accents, kMillenniumEve, kLeapDay));

  CardRow blanks = EmptyCardRow();
  for (size_t i = 0; i < blanks.size(); ++i) {
    if (kCardFields[i].type != dao::dbDate) blanks[i] = u"";
  }
  blanks[2] = u" ";
  blanks[kNotes] = u"";
  rows.push_back(Written(blanks, kTimeOnly));

  // Every text field at its full size is 4,132 bytes as plain UCS-2: only the
  // compressed form fits a row.
  CardRow full = EmptyCardRow();
  for (size_t i = 0; i < full.size(); ++i) {
    if (kCardFields[i].type == dao::dbText) {
      full[i] = Repeat(u"Abc de-f 0123 ", static_cast<size_t>(kCardFields[i].size));
    }
  }
  full[kNotes] = Repeat(u"Note text, ", 300);
  rows.push_back(Written(full, kPlain, kPlain));

  // Texts that do not compress, or only in part.
  CardRow wide = EmptyCardRow();
  wide[0] = U16("Αθήνα Ελλάδα");
  wide[1] = U16("東京都");
  wide[3] = U16("a€b€c€d€");
  wide[4] = U16("x\u0100y\u0100z");  // a character whose low byte is zero
  wide[kNotes] = U16("Ωmega ω");
  rows.push_back(Written(wide));

  // Notes around the sizes where storage changes: inline compressed, a single
  // long-value page, a chain of pages.
  for (size_t length : {1024u, 1025u, 2040u, 2041u, 5000u}) {
    CardRow notes = EmptyCardRow();
    notes[kNotes] = Repeat(U16("Zeile ä\r\n"), length);
    rows.push_back(Written(notes));
  }
  WriteAndCheck(rows);
}

TEST(JetReaders, NotesOfOneHundredThousandAndOneMillionCharacters) {
  std::vector<WrittenRow> rows;
  for (size_t length : {100'000u, 1'000'000u}) {
    CardRow row = EmptyCardRow();
    row[1] = u"Long";
    row[kNotes] = Repeat(U16("Line of notes — ÆØÅ €\r\n"), length);
    rows.push_back(Written(row));
  }
  CardRow after = EmptyCardRow();
  after[1] = u"After";
  rows.push_back(Written(after));
  WriteAndCheck(rows);
}

CardRow GeneratedRow(size_t n) {
  CardRow row = EmptyCardRow();
  row[1] = U16("First " + std::to_string(n));
  row[3] = U16("Läst" + std::to_string(n * 7919 % 100'003));
  if (n % 3 == 0) row[4] = u"Company";
  if (n % 10 == 0) row[kNotes] = U16("Note " + std::to_string(n) + "\r\nsecond line");
  return row;
}

TEST(JetReaders, OneHundredThousandRowsNeedTheReferenceUsageMap) {
  constexpr size_t kRows = 100'000;
  TempDir dir;
  const std::string path = dir.File("many.mdb");
  {
    CardDatabase card = CreateCardDatabase(path);
    for (size_t n = 0; n < kRows; ++n) AddCardRow(*card.rs, GeneratedRow(n));
    // Our own reader, spot checks from the file's pages.
    ASSERT_EQ(card.rs->RecordCount(), static_cast<int64_t>(kRows));
    for (size_t n : {0u, 1u, 4'999u, 77'777u, 99'999u}) {
      card.rs->SetAbsolutePosition(static_cast<int64_t>(n));
      EXPECT_TRUE(std::get<std::u16string>(card.rs->GetValue(3)) == *GeneratedRow(n)[3]);
    }
    card.db->Close();
  }
  // Data pages span more than an inline map can cover.
  ASSERT_GT(std::filesystem::file_size(path), uint64_t{jet::kInlineMapPages} * jet::kPageSize);

  ASSERT_TRUE(MdbToolsAvailable());
  ASSERT_TRUE(MdbReaderAvailable());
  EXPECT_EQ(MdbToolsUserTables(path), std::vector<std::string>{"tblCardData"});
  EXPECT_EQ(MdbReaderUserTables(path), std::vector<std::string>{"tblCardData"});
  for (bool useMdbTools : {true, false}) {
    SCOPED_TRACE(useMdbTools ? "mdbtools" : "mdb-reader");
    size_t seen = 0;
    ReaderTable table;
    auto visit = [&](ReaderRow& row) {
      const ReaderRow expected = ExpectedReaderRow(GeneratedRow(seen), {});
      if (row != expected) ExpectReaderRow(table, seen, row, expected);
      ++seen;
    };
    table = useMdbTools ? MdbToolsScan(path, "tblCardData", visit)
                        : MdbReaderScan(path, "tblCardData", visit);
    EXPECT_EQ(seen, kRows);
  }
}

}  // namespace
}  // namespace tessaly::test
