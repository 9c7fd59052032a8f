#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "engine/modCSV.h"
#include "engine_test_support.h"
#include "storage/date_text.h"

namespace tessaly::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

constexpr int16_t kFirstName = 1, kLastName = 3, kBusinessPostalCode = 11;
constexpr int16_t kHomePostalCode = 17, kAnniversary = 31, kNotes = 36;

// Rows read back through the recordset: UTF-8, dates in the general date form.
std::vector<std::vector<std::optional<std::string>>> Rows(modCSV& m) {
  std::vector<std::vector<std::optional<std::string>>> rows;
  if (m.mRst->RecordCount() == 0) return rows;
  for (m.mRst->MoveFirst(); !m.mRst->IsEOF(); m.mRst->MoveNext()) {
    auto& row = rows.emplace_back();
    for (int16_t p = 0; p < m.mRst->FieldCount(); ++p) {
      const dao::Value v = m.mRst->GetValue(p);
      if (const auto* text = std::get_if<std::u16string>(&v)) {
        row.emplace_back(Utf8(*text));
      } else if (const auto* date = std::get_if<dao::JetDate>(&v)) {
        row.emplace_back(dao::FormatGeneralDate(date->days));
      } else {
        row.emplace_back(std::nullopt);
      }
    }
  }
  return rows;
}

std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

class ConversionTest : public ScratchFolderTest {
 protected:
  ConversionTest() : m(reporter) {}

  bool Open(const std::string& body, const std::string& name = "in.csv") {
    WriteFile(Path(name), body);
    std::vector<std::u16string> names;
    return m.OpenCardFile(Path(name), names);
  }

  RecorderReporter reporter;
  modCSV m;
};

TEST_F(ConversionTest, CardsBecomeRowsAndBadCardsAreDropped) {
  std::string notesOpen = RecordLine({{2, "Zo\xeb"}, {36, "3/14/2001"}, {47, "first \x80"}});
  notesOpen.pop_back();
  ASSERT_TRUE(
      Open(Crlf({HeaderLine(), notesOpen, "", "  third", " \" ",
                 RecordLine({{2, std::string(56, 'n')}}),   // name too long
                 RecordLine({{26, std::string(16, '9')}}),  // postal code too long
                 RecordLine({{41, std::string(16, '9')}}),
                 RecordLine({{11, std::string(16, '9')}, {3, "home"}}),
                 RecordLine({{35, "not a date"}}), RecordLine({{3, "last"}, {47, "held"}})})));
  ASSERT_TRUE(m.ConvertCardFile());
  const auto rows = Rows(m);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][kFirstName], "Zo\u00eb");
  EXPECT_EQ(rows[0][kNotes], "first \u20ac\r\n\r\n  third");
  EXPECT_EQ(rows[0][kAnniversary], "3/14/2001");
  EXPECT_EQ(rows[1][kHomePostalCode], std::string(16, '9'));
  EXPECT_EQ(rows[1][kLastName], "home");
  EXPECT_EQ(rows[1][kBusinessPostalCode], std::nullopt);
  EXPECT_EQ(rows[2][kLastName], "last");  // held at the end of the file
  EXPECT_EQ(rows[2][kNotes], "held");
  EXPECT_EQ(m.mCardsWritten, 3);
  EXPECT_EQ(m.mCardsFailed, 4);
  ASSERT_EQ(reporter.messages.size(), 4u);
  const std::string tooLong = "Err " + std::to_string(dao::err::kFieldTooSmall) + " ";
  EXPECT_THAT(reporter.Texts(),
              ElementsAre(StartsWith(tooLong), StartsWith(tooLong), StartsWith(tooLong),
                          StartsWith("Err " + std::to_string(dao::err::kTypeConversion) + " ")));
  for (const auto& message : reporter.messages) EXPECT_EQ(message.icon, Icon::Critical);
}

TEST_F(ConversionTest, RunsWithoutCards) {
  EXPECT_FALSE(m.ConvertCardFile());  // no file open
  EXPECT_THAT(reporter.Texts(), ElementsAre("Err 52 Bad file name or number"));
  reporter.messages.clear();

  ASSERT_TRUE(Open(HeaderLine() + "\r\n"));
  ASSERT_TRUE(m.ConvertCardFile());
  EXPECT_THAT(Rows(m), IsEmpty());
  // Line feeds alone do not end lines: all of it is the header.
  ASSERT_TRUE(Open(HeaderLine() + "\n" + RecordLine({{3, "x"}}) + "\n", "lf.csv"));
  ASSERT_TRUE(m.ConvertCardFile());
  EXPECT_THAT(Rows(m), IsEmpty());

  // A second run on the same file finds it at its end and starts a new, empty database.
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "a"}}), RecordLine({{3, "b"}})})));
  ASSERT_TRUE(m.ConvertCardFile());
  EXPECT_EQ(Rows(m).size(), 2u);
  ASSERT_TRUE(m.ConvertCardFile());
  EXPECT_THAT(Rows(m), IsEmpty());
  EXPECT_THAT(reporter.messages, IsEmpty());
  const auto folder = dir_ / "tmp" / ("tessaly-" + std::to_string(geteuid()));
  EXPECT_EQ(m.mTempDbPath, (folder / "~trns.tmp").string());
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(ConversionTest, ABadLineStopsTheRunAndKeepsEarlierCards) {
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "kept"}}), RecordLine({{3, "held"}}),
                         "a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k\",\"l",
                         RecordLine({{3, "after"}})})));
  EXPECT_FALSE(m.ConvertCardFile());
  const auto rows = Rows(m);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][kLastName], "held");
  EXPECT_THAT(reporter.Texts(),
              ElementsAre(HasSubstr("Err 9 "), "Err -2147220502 Problem parsing line!"));
  EXPECT_TRUE(m.mDbOpen);

  // The next run starts with nothing held: the short card is not written again.
  reporter.messages.clear();
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "new"}})}), "next.csv"));
  ASSERT_TRUE(m.ConvertCardFile());
  ASSERT_EQ(Rows(m).size(), 1u);
  EXPECT_THAT(reporter.messages, IsEmpty());
}

TEST_F(ConversionTest, TemporaryFolderMustBeOurs) {
  const auto folder = dir_ / "tmp" / ("tessaly-" + std::to_string(geteuid()));
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "a"}})})));
  std::filesystem::create_directory(dir_ / "elsewhere");
  std::filesystem::create_directory_symlink(dir_ / "elsewhere", folder);
  EXPECT_FALSE(m.ConvertCardFile());
  EXPECT_THAT(reporter.Texts(), ElementsAre(HasSubstr("symbolic link")));
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "elsewhere"));

  if (geteuid() == 0) {
    std::filesystem::remove(folder);
    std::filesystem::create_directory(folder);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(m.ConvertCardFile());
    EXPECT_THAT(reporter.Texts().back(), HasSubstr("belongs to another user"));
  }
}

TEST_F(ConversionTest, AnotherProcessUsingTheTemporaryDatabaseIsRefused) {
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "a"}})})));
  ASSERT_TRUE(m.ConvertCardFile());
  RecorderReporter otherReporter;
  modCSV other(otherReporter);
  EXPECT_FALSE(other.ConvertCardFile());
  EXPECT_THAT(otherReporter.Texts(), ElementsAre(HasSubstr("in use by another Tessaly process")));
  EXPECT_EQ(Rows(m).size(), 1u);  // the first database is untouched
}

class SaveTest : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "saved"}})})));
    ASSERT_TRUE(m.ConvertCardFile());
  }
};

TEST_F(SaveTest, ADatabaseLeftOpenIsClosedAndCopied) {
  EXPECT_TRUE(m.mDbOpen);
  WriteFile(Path("out.mdb"), "old contents");
  ASSERT_TRUE(m.SaveCardDatabase(Path("out.mdb")));
  EXPECT_FALSE(m.mDbOpen);
  EXPECT_FALSE(m.mCardFileOpen);
  EXPECT_EQ(ReadFile(Path("out.mdb")), ReadFile(m.mTempDbPath));
  // Saving again, to a second name, gives the same file.
  ASSERT_TRUE(m.SaveCardDatabase(Path("again.mdb")));
  EXPECT_EQ(ReadFile(Path("again.mdb")), ReadFile(Path("out.mdb")));
  EXPECT_THAT(reporter.messages, IsEmpty());
}

TEST_F(SaveTest, AFailedSaveLeavesTheDestinationAsItWas) {
  WriteFile(Path("readonly.mdb"), "keep me");
  std::filesystem::permissions(Path("readonly.mdb"), std::filesystem::perms::owner_read);
  EXPECT_FALSE(m.SaveCardDatabase(Path("readonly.mdb")));
  EXPECT_EQ(ReadFile(Path("readonly.mdb")), "keep me");
  std::filesystem::create_directory(Path("folder.mdb"));
  EXPECT_FALSE(m.SaveCardDatabase(Path("folder.mdb")));

  // A copy that breaks off half-way (here at a file size limit, as on a full disk).
  WriteFile(Path("out.mdb"), "keep me");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = std::filesystem::file_size(m.mTempDbPath) / 2;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = m.SaveCardDatabase(Path("out.mdb"));
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadFile(Path("out.mdb")), "keep me");

  EXPECT_THAT(reporter.Texts(),
              ElementsAre(HasSubstr("Err 70 "), HasSubstr("Err 75 "), HasSubstr("Err 75 ")));
  // No half-written copy is left behind.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_THAT(names, ElementsAre("folder.mdb", "in.csv", "out.mdb", "readonly.mdb", "tmp"));
}

}  // namespace
}  // namespace tessaly::test
