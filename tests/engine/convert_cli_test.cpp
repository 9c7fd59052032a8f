// tessaly-convert as a user runs it, its output read back by the independent readers.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <random>

#include "engine_test_support.h"
#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

using std::filesystem::perms;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct Result {
  int status = -1;
  std::string out, err;
};

class ConvertCliTest : public ScratchFolderTest {
 protected:
  // As root, "nobody" stands for a user without write access.
  Result Run(const std::vector<std::string>& args, bool asNobody = false) {
#ifdef _WIN32
    (void)asNobody;
    std::string command = "\"" TESSALY_CONVERT_PATH "\"";
    for (const auto& arg : args) command += " \"" + arg + "\"";
    // cmd takes off the outermost quotes of the whole line.
    const int status = std::system(
        ("\"" + command + " >\"" + Path("stdout") + "\" 2>\"" + Path("stderr") + "\"\"").c_str());
    return {status, ConsoleLines(ReadFile(Path("stdout"))), ConsoleLines(ReadFile(Path("stderr")))};
#else
    std::string command = asNobody ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    command += TESSALY_CONVERT_PATH;
    for (const auto& arg : args) command += " '" + arg + "'";
    const int status =
        std::system((command + " >" + Path("stdout") + " 2>" + Path("stderr")).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(Path("stdout")),
            ReadFile(Path("stderr"))};
#endif
  }
};

// A card with every column set and Windows-1252 text; notes over several lines.
TEST_F(ConvertCliTest, ConvertedCardsReadBackByIndependentReaders) {
  const std::map<int, std::string> full = FullCard();
  const std::string notes = OpenRecordLine({{2, "Anna"}, {3, "Wei\xdf"}, {47, "first \x80"}});
  const Result r =
      Run({In(Crlf({HeaderLine(), RecordLine(full), notes, "second \xfc", "", "  \""})),
           Path("out.mdb")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Translation complete.\nMDB file saved.\nCards written: 2, cards failed: 0.\n");
  EXPECT_EQ(r.err, "");

  Row card(41);
  for (size_t p = 0; p < 41; ++p) {
    const ExpectedColumn& column = kExpectedColumns[p];
    card[p] = "c" + std::to_string(column.column) +
              (column.extension != 0 ? " xc" + std::to_string(column.extension) : "");
  }
  card[1] = "Zo\u00eb";
  card[4] = "Soci\u00e9t\u00e9 G\u00e9n\u00e9rale \u20ac";
  card[33] = "1980-05-17 00:00:00";
  card[31] = "2001-06-03 14:30:00";
  ExpectReadersShow(Path("out.mdb"),
                    {card, RowOf({{1, "Anna"},
                                  {3, "Wei\u00df"},
                                  {36, "first \u20ac\r\nsecond \u00fc\r\n"}})});
  if (kReadersRunHere) {
    EXPECT_EQ(OdbcQuery(Path("out.mdb"), "SELECT FirstName FROM tblCardData WHERE LastName = '" +
                                             std::string(kNonAsciiLastName) + "'"),
              std::vector<std::vector<std::string>>{{"Anna"}});
  }
}

// Endless or huge input without line ends fails at the line limit, not at its end.
TEST_F(ConvertCliTest, BadExportsGetAClearMessageAndNoOutputInBoundedTime) {
  std::filesystem::create_directory(Path("folder.csv"));
  std::string binary(size_t{2} << 20, '\0');
  std::generate(binary.begin(), binary.end(), std::mt19937(11));
  std::filesystem::resize_file(In("", "sparse.csv"), std::uintmax_t{1} << 30);
  const std::string kTooLong = "Err 63 Line too long: line 1 ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Path("missing.csv"), "Err 53 File not found: "},
      {In("", "empty.csv"), "Err 62 Input past end of file"},
      {In("\"A\",\"B\"\r\n\"a\",\"b\"\r\n", "short.csv"), "Err 9 Subscript out of range"},
      {In(Crlf({"", HeaderLine()}), "blank.csv"), "Err 9 Subscript out of range"},
      {In(binary, "binary.bin"), "Err 9 Subscript out of range"},
      {Path("folder.csv"), "Err 75 "},
      {kWindows ? "NUL" : "/dev/zero", kWindows ? "Err 62 Input past end of file" : kTooLong},
      {Path("sparse.csv"), kTooLong}};
  for (const auto& [input, message] : cases) {
    const auto start = std::chrono::steady_clock::now();
    const Result r = Run({input, Path("out.mdb")});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << input;
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_THAT(r.err, StartsWith(message)) << input;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out, "") << input;
    EXPECT_FALSE(std::filesystem::exists(Path("out.mdb"))) << input;
  }
}

TEST_F(ConvertCliTest, IncompleteTranslationTouchesNoOutput) {
  WriteFile(Path("out.mdb"), "the user's file");
  const Result r =
      Run({In(Crlf({HeaderLine(), RecordLine({{3, "one"}}), RecordLine({{3, "two"}}),
                    "\"a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k\",\"l\"",
                    RecordLine({{3, "three"}})})),
           Path("out.mdb")});
  EXPECT_EQ(r.status, 1);
  const std::string temp = TempFolder() + (kWindows ? "\\" : "/") + "~trns.tmp";
  EXPECT_EQ(r.out,
            "Translation incomplete.\nCards written: 2, cards failed: 0. Stopped at line 4. "
            "The cards written are kept in " +
                temp + ".\n");
  EXPECT_THAT(r.err, HasSubstr("Err -2147220502 Problem parsing line!\n"));
  EXPECT_EQ(ReadFile(Path("out.mdb")), "the user's file");
  EXPECT_EQ(CardRowCount(temp), 2u);
}

// Each refused card as compilers write a problem, at its record line; the summary
// counts them per field, most first, then by name.
TEST_F(ConvertCliTest, RefusedCardsNamedAndCountedPerField) {
  const std::string date = "Err 3421 'soon' is not a date that field 'Birthday' accepts.";
  const std::string in =
      In(Crlf({HeaderLine(), RecordLine({{2, "Ada"}, {3, "Lovelace"}, {35, "soon"}}),
               RecordLine({{18, "Acme"}, {26, std::string(16, '1')}, {47, "a"}}), "b", "\"",
               RecordLine({{3, "Turing"}, {35, "soon"}}), RecordLine({{28, std::string(32, '5')}}),
               RecordLine({{2, "ok"}})}));
  const Result r = Run({in, Path("out.mdb")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, in + ":2: " + date + " (card 1: Ada Lovelace)\n" + in +
                       ":3: Err 3163 The text for field 'BusinessPostalCode' is 16 characters "
                       "long; the field holds at most 15. (card 2: Acme)\n" +
                       in + ":6: " + date + " (card 3: Turing)\n" + in +
                       ":7: Err 3163 The text for field 'BusinessPhone' is 32 characters long; "
                       "the field holds at most 31. (card 4)\n");
  EXPECT_EQ(
      r.out,
      "Translation complete.\nMDB file saved.\nCards written: 1, cards failed: 4 (Birthday 2, "
      "BusinessPhone 1, BusinessPostalCode 1).\n");
}

// Only a regular file in a folder the user may write to is replaced: renaming over
// a device node or a FIFO would delete it. A link to a regular file is followed.
TEST_F(ConvertCliTest, UnusableDestinationsAreLeftAsTheyAre) {
  const std::string in = In(Crlf({HeaderLine(), RecordLine({{3, "one"}})}));
  WriteFile(Path("file"), "");
  std::filesystem::create_directory(Path("folder.mdb"));
  const std::string kAccess = "Err 75 Path/File access error (";
  std::vector<std::pair<std::string, std::string>> refused = {
      {Path("missing/out.mdb"), "Err 76 Path not found: " + Path("missing/out.mdb")},
      {Path("file/out.mdb"), "Err 76 Path not found: " + Path("file/out.mdb")},
      {Path("folder.mdb"), kAccess}};
#ifdef _WIN32
  refused.push_back({"NUL", kAccess});
#else
  ASSERT_EQ(::mkfifo(Path("fifo.mdb").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = Path("socket.mdb");
  ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  refused.insert(refused.end(), {{Path("fifo.mdb"), kAccess}, {socketPath, kAccess}});
  // The null device's numbers, in a folder of the test's own; making one needs root.
  if (::mknod(Path("null.mdb").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    std::filesystem::create_symlink(Path("null.mdb"), Path("to-null.mdb"));
    refused.insert(refused.end(), {{Path("null.mdb"), kAccess}, {Path("to-null.mdb"), kAccess}});
  }
#endif
  for (const auto& [out, message] : refused) {
    const auto before = std::filesystem::symlink_status(out).type();
    const Result r = Run({in, out});
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_EQ(r.out, "Translation complete.\nCards written: 1, cards failed: 0.\n") << out;
    EXPECT_THAT(r.err, StartsWith(message)) << out;
    EXPECT_EQ(std::filesystem::symlink_status(out).type(), before) << out;
  }
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs, sockets, device nodes, links and folders of other users are POSIX's";
#else
  ::close(sock);

  WriteFile(Path("real.mdb"), "old");
  std::filesystem::create_symlink(Path("real.mdb"), Path("link.mdb"));
  ASSERT_EQ(Run({in, Path("link.mdb")}).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.mdb")));
  EXPECT_EQ(CardRowCount(Path("real.mdb")), 1u);

  // A folder the user may not write to; root may write anywhere, so runs as "nobody".
  const bool asNobody = geteuid() == 0;
  if (asNobody) {
    permissions(dir_ / "tmp", perms::all);
    permissions(dir_, perms::owner_all | perms::others_exec | perms::others_read);
  }
  std::filesystem::create_directory(Path("locked"));
  WriteFile(Path("locked/out.mdb"), "keep me");
  permissions(Path("locked"), perms::owner_read | perms::owner_exec | perms::others_exec);
  const Result r = Run({in, Path("locked/out.mdb")}, asNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, StartsWith("Err 70 Permission denied")) << r.out;
  EXPECT_EQ(ReadFile(Path("locked/out.mdb")), "keep me");
#endif
}

TEST_F(ConvertCliTest, CommandLine) {
  EXPECT_EQ(Run({"--version"}).out, "tessaly-convert 1.2.0\n");
  EXPECT_EQ(Run({"only-one"}).status, 2);
  // Saving over the export would destroy it.
  const std::string in = In(Crlf({HeaderLine()}));
  EXPECT_EQ(Run({in, in}).status, 2);
  EXPECT_EQ(ReadFile(in), Crlf({HeaderLine()}));
}

}  // namespace
}  // namespace tessaly::test
