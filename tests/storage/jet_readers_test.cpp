// Databases written through the API, read back by mdbtools, mdb-reader and our
// own recordset.

#include <ctime>
#include <string>
#include <vector>

#include "storage/jet_format.h"
#include "storage/usage_map.h"
#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

// A card as written and as the readers must show it.
struct Card {
  CardRow row = EmptyRow();
  ReaderRow shown = ReaderRow(kFieldCount);
  Card& Put(int16_t position, const std::string& utf8, const char* shownAs = nullptr) {
    row[static_cast<size_t>(position)] = U16(utf8);
    shown[static_cast<size_t>(position)] = shownAs ? shownAs : utf8;
    return *this;
  }
};

std::string Repeat(std::u16string_view unit, size_t length) {
  std::u16string out;
  while (out.size() < length) out.append(unit.substr(0, length - out.size()));
  return U8(out);
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at) ++count;
  return count;
}

const ReaderTable kExact;  // comparison without any reader's limits

class JetReaders : public CardDb {
 protected:
  // Writes the cards, then expects our recordset and both readers to show them.
  void WriteAndCheck(const std::vector<Card>& cards) {
    if (!db_) Create();
    std::vector<ReaderRow> shown;
    for (const Card& card : cards) Add(card.row), shown.push_back(card.shown);
    ASSERT_EQ(rs_->RecordCount(), static_cast<int64_t>(cards.size()));
    if (!cards.empty()) rs_->MoveFirst();
    for (size_t r = 0; r < cards.size(); ++r, rs_->MoveNext()) {
      ExpectReaderRow(kExact, r, RecordsetRow(*rs_), shown[r]);
    }
    EXPECT_TRUE(rs_->IsEOF());
    db_->Close();
    ExpectReadersShow(path_, shown);
  }
};

TEST_F(JetReaders, NullsBlanksAccentsEuroLineBreaksDatesAndLongNotes) {
  std::vector<Card> cards(1);  // every field Null
  cards.emplace_back()
      .Put(0, "Mme")
      .Put(1, "Zoë Ñandú \U0001F600")
      .Put(3, "Müller-Lüdenscheidt")
      .Put(4, "Café € 5 — Ltd")
      .Put(9, "São Paulo")
      .Put(26, "555-010 x12")
      .Put(34, "Friends; Œuvres")
      .Put(kNotes, "First line\r\nSecond line: 10 €\r\n\r\nLast, ü")
      .Put(kAnniversary, "12/31/1999 23:59:59", "1999-12-31 23:59:59")
      .Put(kBirthday, "Feb 29, 2000", "2000-02-29 00:00:00");

  Card& blanks = cards.emplace_back().Put(kAnniversary, "10:30 PM", "1899-12-30 22:30:00");
  for (int16_t i = 0; i < kFieldCount; ++i) {
    if (!IsDateColumn(static_cast<size_t>(i))) blanks.Put(i, i == 2 ? " " : "");
  }

  // Every text field at its full size is 4,132 bytes as plain UCS-2: only the
  // compressed form fits a row.
  Card& full = cards.emplace_back()
                   .Put(kNotes, Repeat(u"Note text, ", 300))
                   .Put(kAnniversary, " 1/2/2003 ", "2003-01-02 00:00:00")
                   .Put(kBirthday, " 1/2/2003 ", "2003-01-02 00:00:00");
  for (int16_t i = 0; i < kFieldCount; ++i) {
    if (IsTextColumn(static_cast<size_t>(i))) {
      full.Put(i, Repeat(u"Abc de-f 0123 ",
                         static_cast<size_t>(kExpectedColumns[static_cast<size_t>(i)].size)));
    }
  }
  // Texts that do not compress, or only in part; \u0100 has a zero low byte.
  cards.emplace_back()
      .Put(0, "Αθήνα Ελλάδα")
      .Put(1, "東京都")
      .Put(3, "a€b€c€d€")
      .Put(4, "x\u0100y\u0100z")
      .Put(kNotes, "Ωmega ω");
  // Notes around the sizes where storage changes: inline compressed, a single
  // long-value page, a chain of pages; then past mdbtools' cut.
  for (size_t length : {1024u, 1025u, 2040u, 2041u, 5000u, 100'000u, 1'000'000u}) {
    cards.emplace_back().Put(1, "Long").Put(kNotes, Repeat(u"Line of notes — ÆØÅ €\r\n", length));
  }
  cards.emplace_back().Put(1, "After");
  WriteAndCheck(cards);
}

CardRow GeneratedRow(size_t n) {
  CardRow row = EmptyRow();
  row[1] = U16("First " + std::to_string(n));
  row[3] = U16("Läst" + std::to_string(n * 7919 % 100'003));
  if (n % 3 == 0) row[4] = u"Company";
  if (n % 10 == 0) row[kNotes] = U16("Note " + std::to_string(n) + "\r\nsecond line");
  if (n % 1000 == 1) row[kNotes] = std::u16string(3000 + n % 7, u'é');  // a long-value page
  return row;
}

TEST_F(JetReaders, OneHundredThousandRowsNeedTheReferenceUsageMap) {
  constexpr size_t kRows = 100'000;
  Create();
  auto expectRowAt = [&](size_t n) {
    rs_->SetAbsolutePosition(static_cast<int64_t>(n));
    ExpectReaderRow(kExact, n, RecordsetRow(*rs_), Shown(GeneratedRow(n)));
  };
  for (size_t n = 0; n < kRows; ++n) {
    Add(GeneratedRow(n));
    if (n % 9'973 == 0) expectRowAt(n);  // reading while writing goes on, as views do
  }
  ASSERT_EQ(rs_->RecordCount(), static_cast<int64_t>(kRows));
  for (size_t n : {0u, 1u, 4'999u, 77'777u, 99'999u}) expectRowAt(n);
  rs_->MoveNext();
  EXPECT_TRUE(rs_->IsEOF());
  db_->Close();
  // Data pages span more than an inline map covers, and the file passes the first
  // window of the global map.
  const JetFileFacts facts = CheckJetFile(path_);
  EXPECT_EQ(facts.problems, std::vector<std::string>{});
  const JetTableFacts* cards = facts.Table("tblCardData");
  ASSERT_TRUE(cards != nullptr && !cards->dataPages.empty());
  EXPECT_EQ(cards->rowCount, kRows);
  EXPECT_GE(cards->dataPages.back() - cards->dataPages.front(), jet::usage_map::kInlinePages);
  EXPECT_GT(facts.pageCount, 2 * jet::usage_map::kInlinePages);
  EXPECT_GE(cards->longValuePages.size(), 100u);  // 100 notes of 3,000 characters

  ExpectOnlyCardTable(path_);
  for (const Reader reader : kReadersHere) {
    size_t seen = 0;
    // No blanks nor values near mdbtools' cut: both readers must match exactly.
    Scan(reader, path_, "tblCardData", [&](ReaderRow& row) {
      ExpectReaderRow(kExact, seen, row, Shown(GeneratedRow(seen)));
      ++seen;
    });
    EXPECT_EQ(seen, kRows) << NameOf(reader);
  }
}

// Beyond the rows, Access relies on the catalog's containers, the AllowZeroLength
// properties, and a header block that unmasks to no password.
TEST_F(JetReaders, EmptyTableCatalogPropertiesAndHeader) {
  if (!kReadersRunHere)
    GTEST_SKIP() << "mdbtools and mdb-reader are Linux programs: they read the Windows converter's "
                    "files on Linux";
  const std::time_t before = std::time(nullptr);
  Create();
  EXPECT_EQ(FailureNumber([&] { rs_->MoveFirst(); }), dao::err::kNoCurrentRecord);
  EXPECT_EQ(FailureNumber([&] { rs_->MoveNext(); }), dao::err::kNoCurrentRecord);
  EXPECT_EQ(FailureNumber([&] { rs_->GetValue(0); }), dao::err::kNoCurrentRecord);
  EXPECT_EQ(FailureNumber([&] { rs_->SetAbsolutePosition(0); }), dao::err::kInvalidArgument);
  WriteAndCheck({});
  const std::string catalog = RunTool({"mdb-json", path_, "MSysObjects"});
  // Three containers and the database object; every table is parented by
  // "Tables" (0x0F000001); all but tblCardData carry the system flag.
  for (const char* entry :
       {R"("ParentId":251658240,"Name":"Tables","Type":3)",
        R"("ParentId":251658240,"Name":"Databases","Type":3)",
        R"("ParentId":251658240,"Name":"Relationships","Type":3)",
        R"("Id":268435456,"ParentId":251658242,"Name":"MSysDb","Type":2)",
        R"("Id":2,"ParentId":251658241,"Name":"MSysObjects","Type":1)",
        R"("Id":3,"ParentId":251658241,"Name":"MSysACEs","Type":1)",
        R"("Id":4,"ParentId":251658241,"Name":"MSysQueries","Type":1)",
        R"("Id":5,"ParentId":251658241,"Name":"MSysRelationships","Type":1)",
        R"("ParentId":251658241,"Name":"tblCardData","Type":1)", R"("Flags":0)"}) {
    EXPECT_EQ(Count(catalog, entry), 1u) << entry << "\n" << catalog;
  }
  EXPECT_EQ(Count(catalog, R"("Flags":-2147483648)"), 8u) << catalog;

  // On the 38 text fields and Notes, not on the two dates.
  const std::string properties = RunTool({"mdb-prop", path_, "tblCardData"});
  EXPECT_EQ(Count(properties, "AllowZeroLength: yes"), 39u) << properties;
  EXPECT_EQ(Count(properties, "name: Notes\n\tAllowZeroLength: yes\n"), 1u);

  // The creation date (local wall-clock time, which mdb-reader reads as UTC) and
  // the password, unmasked from the header block.
  const std::string header = RunTool(
      {"node", "--input-type=module", "-e",
       "const [dir, file] = process.argv.slice(1), m = await import('node:module');"
       "const {default: R} = await import(m.createRequire(dir + '/x.js').resolve('mdb-reader'));"
       "const r = new R((await import('node:fs')).readFileSync(file));"
       "console.log(Math.round(r.getCreationDate().getTime() / 1000), r.getPassword());",
       NodeModulesDir(), path_});
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &before);
  const long offset = static_cast<long>(_mkgmtime(&local) - before);
#else
  localtime_r(&before, &local);
  const long offset = local.tm_gmtoff;
#endif
  long created = 0;
  char password[16] = {};
  ASSERT_EQ(std::sscanf(header.c_str(), "%ld %15s", &created, password), 2) << header;
  EXPECT_NEAR(static_cast<double>(created), static_cast<double>(before + offset), 5.0);
  EXPECT_STREQ(password, "null");
}

}  // namespace
}  // namespace tessaly::test
