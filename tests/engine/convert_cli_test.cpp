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

#ifndef _WIN32
#include <fcntl.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "engine_test_support.h"
#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

using namespace std::chrono_literals;
using std::filesystem::perms;
using ::testing::StartsWith;

// What stderr starts every message with that is not about a line of the export.
constexpr const char* kProgram = "tessaly-convert: ";

struct Result {
  int status = -1;
  std::string out, err;
};

// The converter's standard input: the file, or a pipe from it.
struct Input {
  std::string file;
  bool piped = false;
};

class ConvertCliTest : public ScratchFolderTest {
 protected:
  // As root, "nobody" stands for a user without write access.
  Result Run(const std::vector<std::string>& args, bool asNobody = false, const Input& input = {}) {
#ifdef _WIN32
    (void)asNobody;
    std::string command = "\"" TESSALY_CONVERT_PATH "\"";
    for (const auto& arg : args) command += " \"" + arg + "\"";
    if (input.piped) {
      command = "type \"" + input.file + "\" | " + command;
    } else if (!input.file.empty()) {
      command += " <\"" + input.file + "\"";
    }
    // cmd takes off the outermost quotes of the whole line.
    const int status = std::system(
        ("\"" + command + " >\"" + Path("stdout") + "\" 2>\"" + Path("stderr") + "\"\"").c_str());
    return {status, ConsoleLines(ReadFile(Path("stdout"))), ConsoleLines(ReadFile(Path("stderr")))};
#else
    std::string command = asNobody ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    command += TESSALY_CONVERT_PATH;
    for (const auto& arg : args) command += " '" + arg + "'";
    if (input.piped) {
      command = "cat '" + input.file + "' | " + command;
    } else if (!input.file.empty()) {
      command += " <'" + input.file + "'";
    }
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
    EXPECT_THAT(r.err, StartsWith(kProgram + message)) << input;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out, "") << input;
    EXPECT_FALSE(std::filesystem::exists(Path("out.mdb"))) << input;
  }
}

// Both messages of a line that does not parse name it as compilers do, the standard
// input as <stdin>.
TEST_F(ConvertCliTest, IncompleteTranslationTouchesNoOutput) {
  WriteFile(Path("out.mdb"), "the user's file");
  const std::string in =
      In(Crlf({HeaderLine(), RecordLine({{3, "one"}}), RecordLine({{3, "two"}}),
               "\"a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k\",\"l\"",
               RecordLine({{3, "three"}})}));
  const std::string temp = TempFolder() + (kWindows ? "\\" : "/") + "~trns.tmp";
  for (const std::string& name : {in, std::string("<stdin>")}) {
    const Result r =
        name == in ? Run({in, Path("out.mdb")}) : Run({"-", Path("out.mdb")}, false, {in});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "Translation incomplete.\nCards written: 2, cards failed: 0. Stopped at line 4. "
              "The cards written are kept in " +
                  temp + ".\n");
    EXPECT_EQ(r.err, name +
                         ":4: Err 9 Subscript out of range (12 columns where 47 are expected)\n" +
                         name + ":4: Err -2147220502 Problem parsing line!\n");
    EXPECT_EQ(ReadFile(Path("out.mdb")), "the user's file");
    EXPECT_EQ(CardRowCount(temp), 2u);
  }
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
// a device node or a FIFO would delete it. A link to a regular file is followed. Any
// other destination is refused before the export is read: nothing converted, nothing
// written.
TEST_F(ConvertCliTest, UnusableDestinationsAreLeftAsTheyAre) {
  const std::string in = In(Crlf({HeaderLine(), RecordLine({{3, "one"}})}));
  WriteFile(Path("file"), "");
  std::filesystem::create_directory(Path("folder.mdb"));
  const auto notReplaced = [](const std::string& what, const std::string& path) {
    return "Err 75 Path/File access error (" + what + ", only a file is replaced): " + path;
  };
  std::vector<std::pair<std::string, std::string>> refused = {
      {Path("missing/out.mdb"), "Err 76 Path not found: " + Path("missing/out.mdb")},
      {Path("file/out.mdb"), "Err 76 Path not found: " + Path("file/out.mdb")},
      {Path("folder.mdb"), "Err 75 Path/File access error (is a folder): " + Path("folder.mdb")}};
#ifdef _WIN32
  refused.push_back({"NUL", notReplaced("a device", "NUL")});
#else
  ASSERT_EQ(::mkfifo(Path("fifo.mdb").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = Path("socket.mdb");
  ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  refused.insert(refused.end(), {{Path("fifo.mdb"), notReplaced("a FIFO", Path("fifo.mdb"))},
                                 {socketPath, notReplaced("a socket", socketPath)}});
  // The null device's numbers, in a folder of the test's own; making one needs root.
  if (::mknod(Path("null.mdb").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    std::filesystem::create_symlink(Path("null.mdb"), Path("to-null.mdb"));
    refused.insert(refused.end(),
                   {{Path("null.mdb"), notReplaced("a device", Path("null.mdb"))},
                    {Path("to-null.mdb"), notReplaced("a device", Path("to-null.mdb"))}});
  }
#endif
  for (const auto& [out, message] : refused) {
    const auto before = std::filesystem::symlink_status(out).type();
    const Result r = Run({in, out});
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_EQ(r.out, "") << out;
    EXPECT_EQ(r.err, kProgram + message + "\n") << out;
    EXPECT_EQ(std::filesystem::symlink_status(out).type(), before) << out;
  }
  EXPECT_TRUE(FolderEntries(dir_ / "tmp").empty());  // no temporary database begun
#ifdef _WIN32
  GTEST_SKIP() << "FIFOs, sockets, device nodes, links and folders of other users are POSIX's";
#else
  ::close(sock);

  WriteFile(Path("real.mdb"), "old");
  std::filesystem::create_symlink(Path("real.mdb"), Path("link.mdb"));
  ASSERT_EQ(Run({in, Path("link.mdb")}).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.mdb")));
  EXPECT_EQ(CardRowCount(Path("real.mdb")), 1u);

  // A folder the user may not write to, and a file they may not; root may write
  // anywhere, so runs as "nobody".
  const bool asNobody = geteuid() == 0;
  if (asNobody) {
    permissions(dir_ / "tmp", perms::all);
    permissions(dir_, perms::owner_all | perms::others_exec | perms::others_read);
  }
  std::filesystem::create_directory(Path("locked"));
  WriteFile(Path("locked/out.mdb"), "keep me");
  WriteFile(Path("read-only.mdb"), "keep me too");
  permissions(Path("locked"), perms::owner_read | perms::owner_exec | perms::others_exec);
  permissions(Path("read-only.mdb"), perms::owner_read | perms::others_read);
  for (const std::string& out : {Path("locked/out.mdb"), Path("read-only.mdb")}) {
    const Result r = Run({in, out}, asNobody);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kProgram + ("Err 70 Permission denied: " + out) + "\n");
  }
  EXPECT_EQ(ReadFile(Path("locked/out.mdb")), "keep me");
  EXPECT_EQ(ReadFile(Path("read-only.mdb")), "keep me too");
#endif
}

// The destination is checked before the export is opened: a large export is refused
// as fast as a small one, and one that would keep an open waiting is never opened.
TEST_F(ConvertCliTest, RefusedDestinationStopsBeforeTheExportIsRead) {
  {
    // 100 MB of cards, seconds of converting.
    std::ofstream big(Path("big.csv"), std::ios::binary);
    big << HeaderLine() << "\r\n";
    const std::string line =
        RecordLine({{2, "Ada"}, {3, "Lovelace"}, {47, std::string(300, 'n')}}) + "\r\n";
    for (size_t size = 0; size < (size_t{100} << 20); size += line.size()) big << line;
  }
  const std::string out = Path("missing/out.mdb");
  const auto timed = [&](const std::string& in) {
    const auto start = std::chrono::steady_clock::now();
    const Result r = Run({in, out});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, 1) << in;
    EXPECT_EQ(r.out, "") << in;
    EXPECT_EQ(r.err, kProgram + ("Err 76 Path not found: " + out) + "\n") << in;
    return took;
  };
  // Starting a process (and a shell) under sanitizers or Wine can by itself take
  // longer than the bound: a tiny export's run measures that, and the bound is
  // counted on top of it. The fastest of a few runs each, as tests running
  // alongside slow any one of them.
  const std::string tiny = In(Crlf({HeaderLine()}), "tiny.csv");
  auto startUp = std::chrono::steady_clock::duration::max();
  auto took = startUp;
  for (int run = 0; run < 3; ++run) {
    startUp = std::min(startUp, timed(tiny));
    took = std::min(took, timed(Path("big.csv")));
  }
  EXPECT_LT(took, startUp + 100ms);
#ifndef _WIN32
  const std::string fifo = Path("fifo.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Should the converter open it after all, a writer comes to end its wait.
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(10ms);
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  });
  EXPECT_LT(timed(fifo), startUp + 100ms);
  done = true;
  watchdog.join();
#endif
  EXPECT_TRUE(FolderEntries(dir_ / "tmp").empty());
}

// An export whose lines end in LF alone reads as a single line: no card, and a
// warning that says why.
TEST_F(ConvertCliTest, LfLineEndsAreWarnedAbout) {
  const Result r =
      Run({In(Joined({HeaderLine(), RecordLine({{3, "one"}}), RecordLine({{3, "two"}})}, "\n")),
           Path("out.mdb")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Translation complete.\nMDB file saved.\nCards written: 0, cards failed: 0.\n");
  EXPECT_EQ(r.err, std::string(kProgram) +
                       "warning: the export holds no card; its lines end in LF alone, where "
                       "Orvane writes CR LF.\n");
}

// "-" reads the export from the standard input, redirected from a file or piped;
// messages name it <stdin>.
TEST_F(ConvertCliTest, ExportFromStandardInput) {
  const std::string in =
      In(Crlf({HeaderLine(), RecordLine({{2, "Ada"}, {3, "Lovelace"}, {35, "soon"}}),
               RecordLine({{3, "ok"}})}));
  for (const bool piped : {false, true}) {
    const std::string out = Path(piped ? "piped.mdb" : "redirected.mdb");
    const Result r = Run({"-", out}, false, {in, piped});
    EXPECT_EQ(r.status, 0) << piped;
    EXPECT_EQ(r.out,
              "Translation complete.\nMDB file saved.\nCards written: 1, cards failed: 1 "
              "(Birthday 1).\n");
    EXPECT_EQ(r.err,
              "<stdin>:2: Err 3421 'soon' is not a date that field 'Birthday' accepts. (card 1: "
              "Ada Lovelace)\n");
    EXPECT_EQ(CardRowCount(out), 1u);
  }
}

TEST_F(ConvertCliTest, CommandLine) {
  EXPECT_EQ(Run({"--version"}).out, "tessaly-convert 1.2.0\n");
  EXPECT_EQ(Run({"only-one"}).status, 2);
  // Saving over the export would destroy it.
  const std::string in = In(Crlf({HeaderLine()}));
  EXPECT_EQ(Run({in, in}).status, 2);
  EXPECT_EQ(Run({"-", in}, false, {in}).status, 2);  // the standard input being that file
  EXPECT_EQ(ReadFile(in), Crlf({HeaderLine()}));
}

}  // namespace
}  // namespace tessaly::test
