// Written files walked page by page by an independent checker, and the system
// catalog as other readers see it.

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/storage/card_database.h"
#include "tests/support/access_reference.h"
#include "tests/support/jet_file_check.h"

namespace tessaly::test {
namespace {

constexpr int16_t kCompany = 4;
constexpr uint32_t kInlineMapPages = 512;

std::string Listed(const std::vector<std::string>& problems) {
  std::string out;
  for (const auto& p : problems) out += "\n  " + p;
  return out.empty() ? " none" : out;
}

std::string Repeat(const std::string& unit, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += unit;
  return out;
}

std::string Hex(const uint8_t* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) (out += digits[p[i] >> 4]) += digits[p[i] & 15];
  return out;
}

size_t Le32At(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | size_t{b[at + 1]} << 8 | size_t{b[at + 2]} << 16 | size_t{b[at + 3]} << 24;
}

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Rows with short and long texts, notes inline, on one long-value page, and chained.
CardRow VariedRow(size_t n) {
  CardRow row = EmptyRow();
  row[1] = U16("Name " + std::to_string(n));
  row[3] = U16(n % 2 ? "Müller" : "Smith");
  if (n % 3 == 0) row[kCompany] = U16("Société Générale € " + std::to_string(n));
  if (n % 5 == 0) row[kNotes] = U16("Short note " + std::to_string(n));
  if (n % 7 == 1) row[kNotes] = U16(Repeat("Lines of notes, ", 190));  // one long-value page
  if (n % 50 == 2) row[kNotes] = U16(Repeat("Notes — ÆØÅ € ", 700));   // a chain
  return row;
}

class JetFile : public CardDb {
 protected:
  // Closes the database and walks the file; every problem fails the test.
  JetFileFacts CloseAndCheck(const JetCheckOptions& options = {}) {
    db_->Close();
    JetFileFacts facts = CheckJetFile(path_, options);
    EXPECT_TRUE(facts.problems.empty()) << path_ << " has problems:" << Listed(facts.problems);
    return facts;
  }

  const JetTableFacts& Table(const JetFileFacts& facts, const std::string& name) {
    const JetTableFacts* table = facts.Table(name);
    if (!table) throw std::runtime_error("the checker found no table " + name);
    return *table;
  }
};

TEST_F(JetFile, EveryPageClaimedOnceAndIndexesMatchTheRows) {
  for (size_t rows : {0u, 1u, 200u}) {
    SCOPED_TRACE(std::to_string(rows) + " rows");
    Create("rows" + std::to_string(rows) + ".mdb");
    for (size_t n = 0; n < rows; ++n) Add(VariedRow(n));
    const JetFileFacts facts = CloseAndCheck();
    const JetTableFacts& cards = Table(facts, "tblCardData");
    EXPECT_EQ(cards.rowCount, rows);
    EXPECT_EQ(cards.dataPages.empty(), rows == 0);
    // The catalog's indexes exist, so the per-row index checks really ran.
    const JetTableFacts& catalog = Table(facts, "MSysObjects");
    ASSERT_EQ(catalog.indexes.size(), 2u);
    for (const JetIndexFacts& index : catalog.indexes) EXPECT_EQ(index.entries, catalog.rowCount);
    EXPECT_EQ(Table(facts, "MSysACEs").indexes.size(), 1u);
    if (rows == 200) {
      EXPECT_GT(cards.longValuePages.size(), 4u);
    }
  }
}

TEST_F(JetFile, MillionCharacterNoteIsChainedOverPagesOfItsColumnMap) {
  Create();
  CardRow row = EmptyRow();
  const std::string note = Repeat("Notes line! — ÆØÅ € “x”\r\n", 40'000);  // 1,000,000 chars
  ASSERT_EQ(U16(note).size(), 1'000'000u);
  row[kNotes] = U16(note);
  row[1] = u"After the note";
  Add(row);
  const JetFileFacts facts = CloseAndCheck({.keepRows = true});
  const JetTableFacts& cards = Table(facts, "tblCardData");
  // At least one byte per character, under 4 KB a page.
  EXPECT_GE(cards.longValuePages.size(), 1'000'000u / 4096);
  EXPECT_EQ(cards.Column("Notes"), std::vector<JetValue>{note});
  EXPECT_EQ(cards.Column("FirstName"), std::vector<JetValue>{"After the note"});
}

// The catalog gains rows after thousands of data pages: its own pages end up far
// apart, and the tables fill pages in turn.
TEST_F(JetFile, TablesAddedAfterManyRowsKeepTheirOwnPages) {
  Create();
  CardRow row = EmptyRow();
  for (size_t n = 0; n < 12'000; ++n) {
    row[1] = U16("Row " + std::to_string(n));
    row[3] = U16("Surname " + std::string(45, 'x'));
    Add(row);
  }
  // Table properties small enough to stay in the catalog rows fill its first page.
  std::vector<std::shared_ptr<dao::Recordset>> more;
  for (int t = 0; t < 23; ++t) {
    auto table = db_->CreateTableDef("tblMore" + std::to_string(t));
    for (size_t p = 0; p < 15; ++p) {
      auto field = table->CreateField(kCardFields[p].name, p == 14 ? dao::dbMemo : dao::dbText, 40);
      field->SetAllowZeroLength(true);
      table->FieldsAppend(field);
    }
    db_->TableDefsAppend(table);
    more.push_back(db_->OpenRecordset("tblMore" + std::to_string(t)));
  }
  for (size_t n = 0; n < 23 * 20; ++n) {
    Add(VariedRow(n));
    auto& rs = *more[n % more.size()];
    rs.AddNew();
    rs.SetValue(1, U16("More " + std::to_string(n)));
    if (n % 7 == 1) rs.SetValue(14, U16(Repeat("Other notes ", 300)));
    rs.Update();
  }
  more.clear();
  const JetFileFacts facts = CloseAndCheck();
  EXPECT_EQ(Table(facts, "tblCardData").rowCount, 12'000u + 23 * 20);
  for (int t = 0; t < 23; ++t) EXPECT_EQ(Table(facts, "tblMore" + std::to_string(t)).rowCount, 20u);
  const JetTableFacts& catalog = Table(facts, "MSysObjects");
  ASSERT_GE(catalog.dataPages.size(), 2u);
  EXPECT_GE(catalog.dataPages.back() - catalog.dataPages.front(), kInlineMapPages);
  EXPECT_EQ(catalog.indexes.at(0).entries, catalog.rowCount);
}

TEST_F(JetFile, SystemCatalogAsJetCreatesIt) {
  Create();
  Add(VariedRow(3));
  const JetFileFacts facts = CloseAndCheck();
  ExpectOnlyCardTable(path_);

  // The indexes Jet keeps on its own tables, by name and column numbers.
  const std::map<std::string, std::map<std::string, std::vector<uint16_t>>> indexes = {
      {"MSysObjects", {{"Id", {0}}, {"ParentIdName", {1, 2}}}},
      {"MSysACEs", {{"ObjectId", {0}}}},
      {"MSysQueries", {{"ObjectIdAttribute", {0, 1, 2}}}},
      {"MSysRelationships",
       {{"szRelationship", {0}}, {"szObject", {4}}, {"szReferencedObject", {6}}}},
      {"tblCardData", {}}};
  for (const auto& [table, expected] : indexes) {
    std::map<std::string, std::vector<uint16_t>> found;
    for (const auto& index : Table(facts, table).indexes) found[index.name] = index.columns;
    EXPECT_EQ(found, expected) << table;
  }

  if (!kReadersRunHere)
    GTEST_SKIP()
        << "the rest reads the catalog with mdbtools and mdb-reader, which are Linux programs";
  ASSERT_TRUE(MdbToolsAvailable() && MdbReaderAvailable());
  const std::set<std::string> tables{"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships",
                                     "tblCardData"};
  for (Reader reader : kReaders) {
    const auto listed = Tables(reader, path_, true);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), tables);
  }
  EXPECT_NE(RunTool({"mdb-prop", path_, "MSysDb"}).find("AccessVersion: 08.50"), std::string::npos)
      << RunTool({"mdb-prop", path_, "MSysDb"});

  // Every object has an owner and rights; the user table gets the Tables
  // container's users with full rights.
  const ReaderTable objects = Read(Reader::kMdbReader, path_, "MSysObjects");
  const ReaderTable aces = Read(Reader::kMdbReader, path_, "MSysACEs");
  auto column = [](const ReaderTable& t, const std::string& name) {
    for (size_t i = 0; i < t.columns.size(); ++i) {
      if (t.columns[i].name == name) return i;
    }
    throw std::runtime_error("no column " + name);
  };
  const size_t id = column(objects, "Id"), name = column(objects, "Name"),
               owner = column(objects, "Owner"), object = column(aces, "ObjectId"),
               acm = column(aces, "ACM"), inheritable = column(aces, "FInheritable");
  std::map<std::string, std::vector<ReaderRow>> rights;
  for (const ReaderRow& ace : aces.rows) rights[ace[object].value_or("")].push_back(ace);
  ASSERT_EQ(objects.rows.size(), 9u);
  for (const ReaderRow& o : objects.rows) {
    const std::string what = o[name].value_or("?");
    EXPECT_TRUE(o[owner].has_value() && !o[owner]->empty()) << what << " has no Owner";
    EXPECT_FALSE(rights[o[id].value_or("")].empty()) << what << " has no MSysACEs row";
    if (what != "tblCardData") continue;
    ASSERT_EQ(rights[*o[id]].size(), 4u);
    for (const ReaderRow& ace : rights[*o[id]]) {
      EXPECT_EQ(ace[acm], std::to_string(0x000FFFFF));
      EXPECT_EQ(ace[inheritable], "false");
    }
  }
}

// Texts mixing one-byte and two-byte characters, some with a zero byte, read the
// same by every reader, our strict decoder included.
TEST_F(JetFile, MixedScriptTextsReadBackExactlyEverywhere) {
  const std::vector<std::string> texts = {
      "Réunion prévue — “café” …",
      "Société Générale € Œuvres Ærø Šárka Ž",
      "ab\u0100cd \u2000 x\u4E00y 12",
      "—a—b——c d",
      "\u0100",
  };
  Create();
  std::vector<ReaderRow> shown;
  for (const std::string& text : texts) {
    CardRow row = EmptyRow();
    row[kCompany] = U16(text);
    row[kNotes] = U16(text);
    Add(row);
    shown.push_back(Shown(row));
  }
  // Notes off the row: on one page, and chained over several.
  for (const auto& [text, count] :
       {std::pair{texts[0] + texts[2], 40}, {texts[1] + texts[2], 200}}) {
    CardRow row = EmptyRow();
    row[kNotes] = U16(Repeat(text, static_cast<size_t>(count)));
    Add(row);
    shown.push_back(Shown(row));
  }

  rs_->MoveFirst();
  for (size_t r = 0; r < shown.size(); ++r, rs_->MoveNext()) {
    for (int16_t field : {kCompany, kNotes}) {
      const dao::Value value = rs_->GetValue(field);
      const auto* text = std::get_if<std::u16string>(&value);
      EXPECT_EQ(text ? std::optional(U8(*text)) : std::nullopt, shown[r][field]) << r;
    }
  }
  const JetFileFacts facts = CloseAndCheck({.keepRows = true});
  const JetTableFacts& cards = Table(facts, "tblCardData");
  for (int16_t field : {kCompany, kNotes}) {
    std::vector<JetValue> want;
    for (const auto& row : shown) want.push_back(row[field]);
    EXPECT_EQ(cards.Column(kExpectedColumns[field].name), want) << kExpectedColumns[field].name;
  }
  ExpectReadersShow(path_, shown);
}

// Property blocks decoded the strict way: Access's own first, then ours, whose
// database block is Access's byte for byte.
TEST_F(JetFile, PropertiesFoundTheWayJetReadsThem) {
  const std::vector<uint8_t> access =
      access::FromDump(access::kDatabaseProperties, access::kDatabasePropertiesSize);
  const JetProperties accessProperties{{"", {{"AccessVersion", "08.50"}, {"Build", "6620"}}}};
  std::string problem;
  const auto decoded = DecodeJetProperties(access, &problem);
  ASSERT_TRUE(decoded) << problem;
  EXPECT_EQ(*decoded, accessProperties);
  // Any length field one off, and the map-name length that also counted the values,
  // as files before were written: refused.
  for (const auto& [offset, width] : access::kDatabasePropertyLengths) {
    for (const int delta : {1, -1}) {
      std::vector<uint8_t> bad = access;
      uint32_t value = 0;
      for (size_t i = 0; i < width; ++i) value |= uint32_t{bad[offset + i]} << (8 * i);
      if (value == 0 && delta < 0) continue;
      value += static_cast<uint32_t>(delta);
      for (size_t i = 0; i < width; ++i) bad[offset + i] = static_cast<uint8_t>(value >> (8 * i));
      EXPECT_FALSE(DecodeJetProperties(bad, &problem)) << "offset " << offset << " by " << delta;
    }
  }
  std::vector<uint8_t> countingValues = access;
  countingValues[0x38] = 0x24;
  EXPECT_FALSE(DecodeJetProperties(countingValues, &problem));
  EXPECT_NE(problem.find("map-name length"), std::string::npos) << problem;

  Create();
  Add(VariedRow(1));
  const JetFileFacts facts = CloseAndCheck({.keepRows = true});
  EXPECT_EQ(facts.databaseProperties, accessProperties);
  const JetTableFacts& catalog = Table(facts, "MSysObjects");
  const auto names = catalog.Column("Name"), blocks = catalog.Column("LvProp");
  const auto msysDb = std::find(names.begin(), names.end(), JetValue("MSysDb"));
  ASSERT_NE(msysDb, names.end());
  EXPECT_EQ(blocks[static_cast<size_t>(msysDb - names.begin())],
            Hex(access.data(), access.size()));
  ExpectCardTableProperties(facts);
}

// The checker fails on faults planted in a copy of a written file.
TEST_F(JetFile, CheckerFindsFaultsPlantedInACopy) {
  Create();
  Add(VariedRow(1));
  db_->Close();
  const std::vector<uint8_t> good = Bytes(path_);
  const JetFileFacts base = CheckJetBytes(good);
  const JetTableFacts& cards = Table(base, "tblCardData");
  const JetTableFacts& catalog = Table(base, "MSysObjects");
  auto at = [](uint32_t page, uint32_t offset) { return size_t{page} * 4096 + offset; };
  auto le16 = [&](size_t i) { return static_cast<uint32_t>(good[i] | good[i + 1] << 8); };
  // A problem mentioning `what` that the good file does not have.
  auto expectCaught = [&](const std::vector<uint8_t>& bad, const std::string& what,
                          const char* fault) {
    const std::set<std::string> known(base.problems.begin(), base.problems.end());
    const auto found = CheckJetBytes(bad).problems;
    EXPECT_TRUE(std::any_of(
        found.begin(), found.end(),
        [&](const std::string& p) { return p.find(what) != std::string::npos && !known.count(p); }))
        << fault << ": no new problem with '" << what << "' in" << Listed(found);
  };

  std::vector<uint8_t> bad = good;
  const uint32_t globalRow = le16(at(1, 14)) & 0x1fff;
  bad[at(1, globalRow + 5)] ^= 0x08;  // page 3 marked free
  expectCaught(bad, "global usage map marks", "global map bit");

  bad = good;  // the user table's owned map replaced by the catalog's
  std::copy_n(good.begin() + static_cast<std::ptrdiff_t>(at(2, 55)), 4,
              bad.begin() + static_cast<std::ptrdiff_t>(at(cards.definitionPage, 55)));
  expectCaught(bad, "claimed twice", "shared data pages");
  expectCaught(bad, "claimed by nothing", "orphaned data page");

  bad = good;
  ++bad[at(cards.definitionPage, 16)];
  expectCaught(bad, "the definition counts", "row count");

  // Free space 2 bytes too high: a program adding rows would write over the last.
  for (const uint32_t page : {cards.dataPages.at(0), cards.longValuePages.at(0), 1u}) {
    bad = good;
    bad[at(page, 2)] = static_cast<uint8_t>(bad[at(page, 2)] + 2);
    expectCaught(bad, "page " + std::to_string(page) + " (", "free space +2");
  }
  bad = good;
  ++bad[at(cards.dataPages.at(0), 4)];
  expectCaught(bad, "names owner", "data page owner");

  // Each property block with the map-name length of earlier files, 36 where it
  // measures the name part alone.
  for (const std::string owner : {"MSysDb", "tblCardData"}) {
    const uint8_t chunkType = owner == "MSysDb" ? 0x00 : 0x01;
    const uint8_t mr2[] = {'M', 'R', '2', 0};
    bad = good;
    // The block whose first values chunk, after the names, is of the owner's type.
    size_t chunk = 0;
    for (auto block = bad.begin(); chunk == 0; ++block) {
      block = std::search(block, bad.end(), std::begin(mr2), std::end(mr2));
      ASSERT_NE(block, bad.end()) << owner;
      const size_t names = static_cast<size_t>(block - bad.begin()) + 4;
      const size_t values = names + Le32At(bad, names);
      if (bad[values + 4] == chunkType) chunk = values;
    }
    ASSERT_EQ(Le32At(bad, chunk + 6), 6 + 2 * (owner == "MSysDb" ? 0 : std::string("Title").size()));
    bad[chunk + 6] = 0x24;
    expectCaught(bad, "properties of " + owner, "map-name length");
  }

  ASSERT_FALSE(catalog.indexes.empty());
  bad = good;
  bad[at(catalog.indexes[0].rootPage, 0x1E0 + 6)] ^= 0x01;
  expectCaught(bad, "index " + catalog.indexes[0].name + " of MSysObjects", "index key");
}

}  // namespace
}  // namespace tessaly::test
