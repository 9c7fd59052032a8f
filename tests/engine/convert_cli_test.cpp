// tessaly-convert as a user runs it, its output read back by the independent readers.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "tests/support/mdb_readers.h"

extern char** environ;

namespace tessaly::test {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Export column of each table position; 0 where a telephone is joined to its extension.
constexpr int kColumnOf[41] = {1, 2, 4,  3,  18, 5,  19, 22, 23, 24, 25, 26, 27, 7,
                               8, 9, 10, 11, 12, 37, 38, 39, 40, 41, 42, 0,  0,  0,
                               0, 0, 0,  36, 20, 35, 33, 6,  47, 34, 21, 32, 17};
const std::map<int, std::pair<int, int>> kJoined = {{25, {30, 31}}, {26, {28, 29}}, {27, {15, 16}},
                                                    {28, {13, 14}}, {29, {45, 46}}, {30, {43, 44}}};
const char* const kNames[41] = {"Title",           "FirstName",      "MiddleName",
                                "LastName",        "Company",        "Department",
                                "JobTitle",        "BusinessStreet", "BusinessStreet2",
                                "BusinessCity",    "BusinessState",  "BusinessPostalCode",
                                "BusinessCountry", "HomeStreet",     "HomeStreet2",
                                "HomeCity",        "HomeState",      "HomePostalCode",
                                "HomeCountry",     "OtherStreet",    "OtherStreet2",
                                "OtherCity",       "OtherState",     "OtherPostalCode",
                                "OtherCountry",    "BusinessFax",    "BusinessPhone",
                                "HomeFax",         "HomePhone",      "OtherFax",
                                "OtherPhone",      "Anniversary",    "AssistantsName",
                                "Birthday",        "Categories",     "GovernmentIDNumber",
                                "Notes",           "Profession",     "ReferredBy",
                                "Spouse",          "User1"};
constexpr size_t kNotes = 36;

class ConvertCliTest : public ScratchFolderTest {
 protected:
  Result Run(std::vector<std::string> args, bool asNobody = false) {
    std::vector<std::string> command;
    if (asNobody) command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    command.push_back(TESSALY_CONVERT_PATH);
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : command) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, Path("stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, Path("stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    Result result;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadFile(Path("stdout"));
    result.err = ReadFile(Path("stderr"));
    return result;
  }

  std::string In(const std::string& body, const std::string& name = "in.csv") {
    WriteFile(Path(name), body);
    return Path(name);
  }
};

// Four cards: every column set, the extension joins, multi-line notes with
// Windows-1252 text, and a last card held at the end of the file.
TEST_F(ConvertCliTest, ConvertedCardsReadBackByIndependentReaders) {
  std::vector<std::map<int, std::string>> cards(4);
  for (int n = 1; n <= 47; ++n) cards[0][n] = "c" + std::to_string(n);
  cards[0][2] = "Zo\xeb";
  cards[0][18] = "Soci\xe9t\xe9 G\xe9n\xe9rale \x80";
  cards[0][35] = "5/17/1980";
  cards[0][36] = "Jun 3, 2001 2:30 PM";
  cards[1] = {{28, "555-010"}, {29, "12"}, {13, "555-020"}, {15, ""}, {16, "7"}, {3, " "}};
  cards[2] = {{3, "Notes"}, {47, "first \x80"}};
  cards[3] = {{3, "Last"}, {47, "held"}};
  std::string body = HeaderLine() + "\r\n";
  for (size_t i = 0; i < cards.size(); ++i) {
    std::string line = RecordLine(cards[i]);
    if (i == 2) line.pop_back();
    body += line + "\r\n";
    if (i == 2) body += "second \xfc\r\n\r\n  \"\r\n";
  }
  const Result r = Run({In(body), Path("out.mdb")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Translation complete.\nMDB file saved.\nCards written: 4, cards failed: 0.\n");
  EXPECT_EQ(r.err, "");

  std::vector<ReaderRow> expected(4, ReaderRow(41));
  for (int p = 0; p < 41; ++p) {
    if (kColumnOf[p] != 0) {
      expected[0][p] = "c" + std::to_string(kColumnOf[p]);
    } else {
      const auto [main, ext] = kJoined.at(p);
      expected[0][p] = "c" + std::to_string(main) + " xc" + std::to_string(ext);
    }
  }
  expected[0][1] = "Zo\u00eb";
  expected[0][4] = "Soci\u00e9t\u00e9 G\u00e9n\u00e9rale \u20ac";
  expected[0][33] = "1980-05-17 00:00:00";
  expected[0][31] = "2001-06-03 14:30:00";
  expected[1][26] = "555-010 x12";
  expected[1][28] = "555-020";
  expected[1][27] = " x7";
  expected[1][3] = " ";
  expected[2][3] = "Notes";
  expected[2][kNotes] = "first \u20ac\r\nsecond \u00fc\r\n";
  expected[3][3] = "Last";
  expected[3][kNotes] = "held";

  const std::string mdb = Path("out.mdb");
  for (const bool mdbtools : {true, false}) {
    SCOPED_TRACE(mdbtools ? "mdbtools" : "mdb-reader");
    EXPECT_THAT(mdbtools ? MdbToolsUserTables(mdb) : MdbReaderUserTables(mdb),
                ElementsAreArray({"tblCardData"}));
    const ReaderTable table =
        mdbtools ? MdbToolsRead(mdb, "tblCardData") : MdbReaderRead(mdb, "tblCardData");
    ASSERT_EQ(table.columns.size(), 41u);
    for (size_t p = 0; p < 41; ++p) EXPECT_EQ(table.columns[p].name, kNames[p]);
    ASSERT_EQ(table.rows.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      for (size_t p = 0; p < 41; ++p) {
        EXPECT_EQ(table.rows[i][p], expected[i][p]) << "card " << i << ", " << kNames[p];
      }
    }
  }
}

TEST_F(ConvertCliTest, BadExportsGetAClearMessageAndNoOutput) {
  std::filesystem::create_directory(Path("folder.csv"));
  std::mt19937 random(11);
  std::string binary(size_t{2} << 20, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Path("missing.csv"), "Err 53 File not found: "},
      {In("", "empty.csv"), "Err 62 Input past end of file"},
      {In("\"A\",\"B\"\r\n\"a\",\"b\"\r\n", "short.csv"), "Err 9 Subscript out of range"},
      {In(binary, "binary.bin"), "Err 9 Subscript out of range"},
      {Path("folder.csv"), "Err 75 "}};
  for (const auto& [input, message] : cases) {
    const Result r = Run({input, Path("out.mdb")});
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_THAT(r.err, StartsWith(message)) << input;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out, "") << input;
    EXPECT_FALSE(std::filesystem::exists(Path("out.mdb"))) << input;
  }
}

// The line is read whole; whether a memo of 10 million characters fits is the
// database's limit, and a card it refuses is reported, not lost silently.
TEST_F(ConvertCliTest, TenMegabyteLine) {
  const std::string notes(size_t{10} << 20, 'n');
  const Result r =
      Run({In(HeaderLine() + "\r\n" + RecordLine({{3, "before"}}) + "\r\n" +
              RecordLine({{3, "big"}, {47, notes}}) + "\r\n" + RecordLine({{3, "after"}}) + "\r\n"),
           Path("out.mdb")});
  ASSERT_EQ(r.status, 0) << r.err;
  const ReaderTable table = MdbReaderRead(Path("out.mdb"), "tblCardData");
  if (table.rows.size() == 3) {
    EXPECT_EQ(table.rows[1][kNotes], notes);
    EXPECT_EQ(r.err, "");
  } else {
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.rows[1][3], "after");
    EXPECT_THAT(r.err, StartsWith("Err 3163 "));
    EXPECT_THAT(r.out, HasSubstr("Cards written: 2, cards failed: 1."));
  }
}

TEST_F(ConvertCliTest, IncompleteTranslationTouchesNoOutput) {
  WriteFile(Path("out.mdb"), "the user's file");
  const std::string body =
      HeaderLine() + "\r\n" + RecordLine({{3, "one"}}) + "\r\n" + RecordLine({{3, "two"}}) +
      "\r\n\"a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k\",\"l\"\r\n" +
      RecordLine({{3, "three"}}) + "\r\n";
  const Result r = Run({In(body), Path("out.mdb")});
  EXPECT_EQ(r.status, 1);
  const std::string temp =
      (dir_ / "tmp" / ("tessaly-" + std::to_string(geteuid())) / "~trns.tmp").string();
  EXPECT_EQ(r.out,
            "Translation incomplete.\nCards written: 2, cards failed: 0. Stopped at line 4. "
            "The cards written are kept in " +
                temp + ".\n");
  EXPECT_THAT(r.err, HasSubstr("Err -2147220502 Problem parsing line!\n"));
  EXPECT_EQ(ReadFile(Path("out.mdb")), "the user's file");
  EXPECT_EQ(MdbToolsRead(temp, "tblCardData").rows.size(), 2u);
}

TEST_F(ConvertCliTest, UnusableOutputPaths) {
  const std::string in = In(HeaderLine() + "\r\n" + RecordLine({{3, "one"}}) + "\r\n");
  WriteFile(Path("file"), "");
  for (const std::string out : {Path("missing/out.mdb"), Path("file/out.mdb")}) {
    const Result r = Run({in, out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Translation complete.\nCards written: 1, cards failed: 0.\n");
    EXPECT_THAT(r.err, StartsWith("Err 76 Path not found: " + out));
  }

  // A folder the user may not write to. Root may write anywhere, so as root the
  // converter runs as "nobody".
  const bool asNobody = geteuid() == 0;
  if (asNobody) {
    std::filesystem::permissions(dir_ / "tmp", std::filesystem::perms::all);
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all |
                                           std::filesystem::perms::others_exec |
                                           std::filesystem::perms::others_read);
  }
  std::filesystem::create_directory(Path("locked"));
  WriteFile(Path("locked/out.mdb"), "keep me");
  std::filesystem::permissions(Path("locked"), std::filesystem::perms::owner_read |
                                                   std::filesystem::perms::owner_exec |
                                                   std::filesystem::perms::others_exec);
  const Result r = Run({in, Path("locked/out.mdb")}, asNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, StartsWith("Err 70 Permission denied")) << r.out;
  EXPECT_EQ(ReadFile(Path("locked/out.mdb")), "keep me");
}

TEST_F(ConvertCliTest, CommandLine) {
  EXPECT_EQ(Run({"--version"}).out, "tessaly-convert 1.2.0\n");
  EXPECT_EQ(Run({"only-one"}).status, 2);
  // Saving over the export would destroy it.
  const std::string in = In(HeaderLine() + "\r\n");
  EXPECT_EQ(Run({in, in}).status, 2);
  EXPECT_EQ(ReadFile(in), HeaderLine() + "\r\n");
}

}  // namespace
}  // namespace tessaly::test
