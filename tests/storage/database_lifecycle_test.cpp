// Creating, closing and filling a database file to its size limit.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "storage/jet_format.h"
#include "storage/page_file.h"
#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

int32_t FailureNumber(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& f) {
    EXPECT_FALSE(f.Description().empty());
    return f.Number();
  }
  return 0;
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(DatabaseLifecycle, CreateNeverReplacesOrFollowsWhatIsAtThePath) {
  TempDir dir;
  dao::Workspace ws;
  const std::string file = dir.File("existing.mdb");
  std::ofstream(file) << "keep me";
  EXPECT_EQ(FailureNumber([&] { ws.CreateDatabase(file, dao::dbLangGeneral); }),
            dao::err::kDatabaseExists);
  EXPECT_EQ(Contents(file), "keep me");

  const std::string link = dir.File("link.mdb");
  ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
  EXPECT_EQ(FailureNumber([&] { ws.CreateDatabase(link, dao::dbLangGeneral); }),
            dao::err::kDatabaseExists);
  EXPECT_EQ(Contents(file), "keep me");

  const std::string dangling = dir.File("dangling.mdb");
  ASSERT_EQ(symlink(dir.File("nowhere.mdb").c_str(), dangling.c_str()), 0);
  EXPECT_EQ(FailureNumber([&] { ws.CreateDatabase(dangling, dao::dbLangGeneral); }),
            dao::err::kDatabaseExists);
  EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere.mdb")));

  EXPECT_EQ(FailureNumber([&] { ws.CreateDatabase(dir.File("no/such/folder.mdb"), ""); }),
            dao::err::kCannotOpenFile);
  EXPECT_EQ(FailureNumber([&] { ws.CreateDatabase(dir.File("x.mdb"), ";LANGID=0x0407"); }),
            dao::err::kInvalidArgument);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.mdb")));
}

TEST(DatabaseLifecycle, CloseLeavesACompleteFileAndEndsTheObjects) {
  TempDir dir;
  const std::string path = dir.File("closed.mdb");
  CardDatabase card = CreateCardDatabase(path);
  CardRow row = EmptyCardRow();
  row[0] = u"saved";
  AddCardRow(*card.rs, row);
  card.rs->AddNew();
  card.rs->SetValue(0, u"pending");  // dropped by Close

  card.db->Close();
  card.db->Close();  // harmless
  EXPECT_FALSE(card.db->IsOpen());
  EXPECT_EQ(std::filesystem::file_size(path) % jet::kPageSize, 0u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("closed.ldb")));
  for (const auto& action : std::vector<std::function<void()>>{
           [&] { card.rs->Update(); }, [&] { card.rs->MoveFirst(); }, [&] { card.rs->GetValue(0); },
           [&] { card.db->OpenRecordset("tblCardData"); }, [&] { card.db->CreateTableDef("T"); }}) {
    EXPECT_EQ(FailureNumber(action), dao::err::kObjectClosed);
  }

  // A copy of the closed file is the same database.
  const std::string copy = dir.File("copy.mdb");
  std::filesystem::copy_file(path, copy);
  ExpectReadersShow(copy, {ExpectedReaderRow(row, {})});
}

TEST(DatabaseLifecycle, ReleasingAnOpenDatabaseClosesItsFile) {
  TempDir dir;
  const std::string path = dir.File("released.mdb");
  {
    CardDatabase card = CreateCardDatabase(path);
    CardRow row = EmptyCardRow();
    row[1] = u"written";
    AddCardRow(*card.rs, row);
  }
  const ReaderTable read = MdbReaderRead(path, "tblCardData");
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows[0][1], "written");
}

TEST(DatabaseLifecycle, FullDatabaseFailsCleanlyAndKeepsEveryEarlierRow) {
  constexpr uint32_t kPages = 120;
  jet::ScopedPageLimitForTesting limit(kPages);
  TempDir dir;
  const std::string path = dir.File("full.mdb");
  CardDatabase card = CreateCardDatabase(path);

  // A memo needing more pages than are left fails without taking any.
  CardRow huge = EmptyCardRow();
  huge[kNotes] = std::u16string(1'000'000, u'h');
  EXPECT_EQ(FailureNumber([&] { AddCardRow(*card.rs, huge); }), dao::err::kDatabaseFull);

  size_t saved = 0;
  int32_t failure = 0;
  while (failure == 0 && saved < 100'000) {
    CardRow row = EmptyCardRow();
    row[1] = U16("Row " + std::to_string(saved));
    row[kNotes] = std::u16string(saved % 7 == 0 ? 3000 : 20, u'ü');
    failure = FailureNumber([&] { AddCardRow(*card.rs, row); });
    if (failure == 0) ++saved;
  }
  EXPECT_EQ(failure, dao::err::kDatabaseFull);
  EXPECT_GT(saved, 100u);
  // Still full after the failure, and still consistent.
  CardRow small = EmptyCardRow();
  small[kNotes] = std::u16string(3000, u'x');
  EXPECT_EQ(FailureNumber([&] { AddCardRow(*card.rs, small); }), dao::err::kDatabaseFull);
  card.db->Close();

  EXPECT_LE(std::filesystem::file_size(path), uint64_t{kPages} * jet::kPageSize);
  for (const ReaderTable& read :
       {MdbToolsRead(path, "tblCardData"), MdbReaderRead(path, "tblCardData")}) {
    ASSERT_EQ(read.rows.size(), saved);
    EXPECT_EQ(read.rows.back()[1], "Row " + std::to_string(saved - 1));
    EXPECT_EQ(read.rows[7][kNotes], U8(std::u16string(3000, u'ü')));
  }
}

}  // namespace
}  // namespace tessaly::test
