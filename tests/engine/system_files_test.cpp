// What the systems do differently with files, met through the converter: binary
// reads and writes, replacing a file, names outside ASCII, the lock's messages.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "engine/modCSV.h"
#include "engine_test_support.h"
#include "platform/file_seam.h"
#include "storage/jet_format.h"
#include "tests/storage/card_database.h"
#include "tests/support/jet_file_check.h"

namespace tessaly::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using namespace std::string_literals;

// A path from UTF-8 (std::filesystem would read a narrow string in the ANSI code
// page on Windows) and back.
std::filesystem::path FromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class SystemFilesTest : public ScratchFolderTest {
 protected:
  SystemFilesTest() : m(reporter) {}

  // Opens, converts and saves; true when all three succeeded.
  bool ConvertAndSave(const std::string& exportPath, const std::string& out) {
    std::vector<std::u16string> names;
    return m.OpenCardFile(exportPath, names) && m.ConvertCardFile() && m.SaveCardDatabase(out);
  }
  std::vector<uint8_t> Bytes(const std::string& utf8) {
    std::ifstream in(FromUtf8(utf8), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  RecordingReporter reporter;
  modCSV m;
};

// Bytes a text mode would change (CR LF, LF, the end-of-file mark 0x1A) come
// through the export reader and the database file unchanged.
TEST_F(SystemFilesTest, FilesAreReadAndWrittenAsBytes) {
  std::string notes = RecordLine({{3, "Ctrl-Z \x1a here"}, {47, "one\ntwo"}});
  notes.pop_back();
  const std::string in =
      In(Crlf({HeaderLine(), notes, "three \x1a", "  \"", RecordLine({{3, "after"}})}));
  ASSERT_TRUE(ConvertAndSave(in, Path("out.mdb"))) << ::testing::PrintToString(reporter.Texts());
  const std::vector<uint8_t> file = Bytes(Path("out.mdb"));
  ASSERT_EQ(file.size() % jet::kPageSize, 0u);
  const JetFileFacts facts = CheckJetBytes(file, {.keepRows = true});
  EXPECT_EQ(facts.problems, std::vector<std::string>{});
  EXPECT_EQ(file.size(), size_t{facts.pageCount} * jet::kPageSize);
  // The header page: its magic and format version, and its closing table where it
  // belongs, so no byte was added before it.
  const std::string magic = "\x00\x01\x00\x00Standard Jet DB\x00"s;
  EXPECT_EQ(std::string(file.begin(), file.begin() + 20), magic);
  EXPECT_EQ(file[jet::header::kVersionOffset], jet::header::kVersionJet4);
  EXPECT_EQ(file[jet::header::kTrailerOffset], 1);
  EXPECT_EQ(file[jet::header::kTrailerOffset + 1], 1);
  EXPECT_EQ(file[jet::kPageSize - 1], 1);
  ASSERT_NE(facts.Table("tblCardData"), nullptr);
  EXPECT_THAT(facts.Table("tblCardData")->Column("LastName"),
              ElementsAre("Ctrl-Z \x1a here", "after"));
  EXPECT_THAT(facts.Table("tblCardData")->Column("Notes"),
              ElementsAre("one\ntwo\r\nthree \x1a", std::nullopt));
}

// A destination is replaced whole. Windows does not let a file another program
// holds open be replaced: that is told as such and the file is left alone.
TEST_F(SystemFilesTest, SavingOverAnExistingFileAndOneHeldOpen) {
  const std::string in = In(Crlf({HeaderLine(), RecordLine({{3, "new"}})}));
  WriteFile(Path("out.mdb"), "old contents");
  ASSERT_TRUE(ConvertAndSave(in, Path("out.mdb")));
  EXPECT_EQ(CardRowCount(Path("out.mdb")), 1u);

  WriteFile(Path("held.mdb"), "held contents");
  {
    std::ifstream holder(Path("held.mdb"), std::ios::binary);
    ASSERT_TRUE(holder.is_open());
    const bool saved = m.SaveCardDatabase(Path("held.mdb"));
    if (kWindows) {
      EXPECT_FALSE(saved);
      EXPECT_THAT(
          reporter.Texts(),
          ElementsAre("Err 70 Permission denied (in use by another program): " + Path("held.mdb")));
      EXPECT_EQ(ReadFile(Path("held.mdb")), "held contents");
    } else {
      EXPECT_TRUE(saved);  // the holder keeps reading the old file
    }
  }
  ASSERT_TRUE(m.SaveCardDatabase(Path("held.mdb")));
  EXPECT_EQ(CardRowCount(Path("held.mdb")), 1u);
  EXPECT_THAT(FolderEntries(dir_),
              ::testing::UnorderedElementsAre("in.csv", "out.mdb", "held.mdb", "tmp"));
}

// A user profile such as C:\Users\José, and a character outside every ANSI code
// page of Western Europe.
TEST_F(SystemFilesTest, NamesOutsideAscii) {
  const std::filesystem::path folder = dir_ / FromUtf8("Jos\u00e9 \u0416");
  const std::filesystem::path temp = folder / FromUtf8("tmp \u00e9\u0416");
  std::filesystem::create_directories(temp);
  SetEnv(kWindows ? "TMP" : "TMPDIR", Utf8Of(temp));
  const std::string in = Utf8Of(folder / FromUtf8("cards \u0416.csv"));
  {
    std::ofstream(FromUtf8(in), std::ios::binary)
        << Crlf({HeaderLine(), RecordLine({{3, "Jos\xe9"}})});
  }
  const std::string out = Utf8Of(folder / FromUtf8("out \u00e9\u0416.mdb"));
  ASSERT_TRUE(ConvertAndSave(in, out)) << ::testing::PrintToString(reporter.Texts());
  const JetFileFacts facts = CheckJetBytes(Bytes(out), {.keepRows = true});
  ASSERT_NE(facts.Table("tblCardData"), nullptr);
  EXPECT_THAT(facts.Table("tblCardData")->Column("LastName"), ElementsAre("Jos\u00e9"));
  EXPECT_THAT(m.mTempDbPath(), StartsWith(Utf8Of(temp)));
  EXPECT_TRUE(std::filesystem::exists(FromUtf8(m.mTempDbPath())));
}

// Only a lock another process holds is "in use"; a missing folder or a lock file
// that cannot be made says what it is.
TEST_F(SystemFilesTest, TheLockSaysWhatStoppedIt) {
  const std::string in = In(Crlf({HeaderLine(), RecordLine({{3, "x"}})}));
  std::vector<std::u16string> names;
  ASSERT_TRUE(m.OpenCardFile(in, names));
  {
    seam::ScopedFault denied(seam::FileOp::kLockOpen, EACCES);
    EXPECT_FALSE(m.ConvertCardFile());
  }
  SetEnv(kWindows ? "TMP" : "TMPDIR", Path("missing"));
  EXPECT_FALSE(m.ConvertCardFile());
  SetEnv(kWindows ? "TMP" : "TMPDIR", Path("tmp"));
  ASSERT_TRUE(m.ConvertCardFile());
  RecordingReporter otherReporter;
  modCSV other(otherReporter);
  ASSERT_TRUE(other.OpenCardFile(in, names));
  EXPECT_FALSE(other.ConvertCardFile());
  EXPECT_THAT(reporter.Texts(), ElementsAre(StartsWith("Err 70 Permission denied: "),
                                            StartsWith("Err 76 Path not found: ")));
  EXPECT_THAT(reporter.Texts()[0], HasSubstr("~trns.lock"));
  EXPECT_THAT(reporter.Texts()[1], HasSubstr("missing"));
  EXPECT_THAT(otherReporter.Texts(),
              ElementsAre(StartsWith("Err 70 The temporary database is in use by another "
                                     "Tessaly process: ")));
}

}  // namespace
}  // namespace tessaly::test
