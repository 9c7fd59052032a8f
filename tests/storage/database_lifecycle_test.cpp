// Creating, closing and filling a database file to its size limit.

#include <fstream>
#include <string>

#include "storage/jet_format.h"
#include "storage/page_file.h"
#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

using DatabaseLifecycle = CardDb;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(DatabaseLifecycle, CreateNeverReplacesOrFollowsWhatIsAtThePath) {
  std::ofstream(File("existing.mdb")) << "keep me";
  std::vector<std::tuple<std::string, const char*, int32_t>> cases = {
      {File("existing.mdb"), dao::dbLangGeneral, dao::err::kDatabaseExists},
      {File("no/such/folder.mdb"), "", dao::err::kCannotOpenFile},
      {File("x.mdb"), ";LANGID=0x0407", dao::err::kInvalidArgument}};
  // Making links needs a privilege on Windows that users rarely have.
  if (!kWindows) {
    std::filesystem::create_symlink(File("existing.mdb"), File("link.mdb"));
    std::filesystem::create_symlink(File("nowhere.mdb"), File("dangling.mdb"));
    cases.push_back({File("link.mdb"), dao::dbLangGeneral, dao::err::kDatabaseExists});
    cases.push_back({File("dangling.mdb"), dao::dbLangGeneral, dao::err::kDatabaseExists});
  }
  dao::Workspace ws;
  for (const auto& [path, locale, failure] : cases) {
    EXPECT_EQ(FailureNumber([&] { ws.CreateDatabase(path, locale); }), failure) << path;
  }
  EXPECT_EQ(Contents(File("existing.mdb")), "keep me");
  EXPECT_FALSE(std::filesystem::exists(File("nowhere.mdb")));
  EXPECT_FALSE(std::filesystem::exists(File("x.mdb")));
}

TEST_F(DatabaseLifecycle, CloseOrReleaseLeavesACompleteFileAndEndsTheObjects) {
  Create("closed.mdb");
  CardRow row = EmptyRow();
  row[0] = u"saved";
  Add(row);
  rs_->AddNew();
  rs_->SetValue(0, u"pending");  // dropped by Close
  db_->Close();
  db_->Close();  // harmless
  EXPECT_FALSE(db_->IsOpen());
  EXPECT_EQ(std::filesystem::file_size(path_) % jet::kPageSize, 0u);
  EXPECT_FALSE(std::filesystem::exists(File("closed.ldb")));
  for (const auto& action : std::vector<std::function<void()>>{
           [&] { rs_->Update(); }, [&] { rs_->MoveFirst(); }, [&] { rs_->GetValue(0); },
           [&] { db_->OpenRecordset("tblCardData"); }, [&] { db_->CreateTableDef("T"); }}) {
    EXPECT_EQ(FailureNumber(action), dao::err::kObjectClosed);
  }
  // A copy of the closed file is the same database.
  std::filesystem::copy_file(path_, File("copy.mdb"));
  ExpectReadersShow(File("copy.mdb"), {Shown(row)});

  // Releasing an open database closes its file too.
  Create("released.mdb");
  Add(row);
  rs_.reset();
  db_.reset();
  ExpectReadersShow(path_, {Shown(row)});
}

TEST_F(DatabaseLifecycle, FullDatabaseFailsCleanlyAndKeepsEveryEarlierRow) {
  constexpr uint32_t kPages = 120;
  jet::ScopedPageLimitForTesting limit(kPages);
  Create();
  // A memo needing more pages than are left fails without taking any.
  CardRow row = EmptyRow();
  row[kNotes] = std::u16string(1'000'000, u'h');
  EXPECT_EQ(FailureNumber([&] { Add(row); }), dao::err::kDatabaseFull);

  std::vector<ReaderRow> saved;
  int32_t failure = 0;
  while (failure == 0 && saved.size() < 100'000) {
    row[1] = U16("Row " + std::to_string(saved.size()));
    row[kNotes] = std::u16string(saved.size() % 7 == 0 ? 3000 : 20, u'ü');
    failure = FailureNumber([&] { Add(row); });
    if (failure == 0) saved.push_back(Shown(row));
  }
  EXPECT_EQ(failure, dao::err::kDatabaseFull);
  EXPECT_GT(saved.size(), 100u);
  // Still full after the failure, and still consistent.
  row[kNotes] = std::u16string(3000, u'x');
  EXPECT_EQ(FailureNumber([&] { Add(row); }), dao::err::kDatabaseFull);
  db_->Close();
  EXPECT_LE(std::filesystem::file_size(path_), uint64_t{kPages} * jet::kPageSize);
  ExpectReadersShow(path_, saved);
}

}  // namespace
}  // namespace tessaly::test
