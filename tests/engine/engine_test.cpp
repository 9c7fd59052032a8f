// The converter in-process: line reading, parsing, conversion runs and saving.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <random>
#include <set>

#include "engine/card_file_reader.h"
#include "engine/card_line.h"
#include "engine/modCSV.h"
#include "engine_test_support.h"
#include "platform/cp1252.h"
#include "platform/file_seam.h"
#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

using namespace ::testing;

// 11 separators: a record line with too few columns.
const std::string kTooShort = "a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k\",\"l";

class EngineTest : public ScratchFolderTest {
 protected:
  EngineTest() : m(reporter) {}

  bool Open(const std::string& body, const std::string& name = "in.csv") {
    return m.OpenCardFile(In(body, name), names);
  }
  bool Parse(const std::string& line) { return m.ParseCardLine(U16(line)); }
  std::vector<Row> Rows() {
    std::vector<Row> rows;
    if (m.mRst()->RecordCount() == 0) return rows;
    for (m.mRst()->MoveFirst(); !m.mRst()->IsEOF(); m.mRst()->MoveNext())
      rows.push_back(RecordsetRow(*m.mRst()));
    return rows;
  }
  std::vector<std::u16string> Lines(const std::string& bytes) {
    CardFileReader reader(In(bytes, "lines.csv"));
    std::vector<std::u16string> lines;
    for (std::u16string line; !reader.AtEnd(); lines.push_back(line)) reader.ReadLine(line);
    return lines;
  }

  RecordingReporter reporter;
  modCSV m;
  std::vector<std::u16string> names;  // from the last export opened
};

// The one-pass (vectorised) scan, of decoded text or of bytes, must agree with
// CountOccurrences (overlapping, up to 15) and with cutting from the left.
TEST_F(EngineTest, SeparatorScanAgreesWithPlainSearches) {
  EXPECT_EQ(m.CountOccurrences(u"\",\",\"", kSeparator), 2);
  EXPECT_EQ(m.CountOccurrences(U16(RecordLine({})), kSeparator), 15);
  std::mt19937 random(3);
  for (int round = 0; round < 3000; ++round) {
    std::u16string line(random() % 200, u'a');
    for (char16_t& c : line) c = u"\",a"[random() % 3];
    SeparatorScan scan;
    ScanSeparators(line, scan);
    ASSERT_EQ(scan.occurrences, m.CountOccurrences(line, kSeparator)) << round;
    std::vector<size_t> cuts;
    for (size_t at = 0; cuts.size() < 46 && (at = line.find(kSeparator, at)) != line.npos;
         at += 3) {
      cuts.push_back(at);
    }
    ASSERT_EQ(std::vector<size_t>(scan.cuts, scan.cuts + scan.cutCount), cuts) << round;
    // The same on the export's bytes, as the reading thread scans them.
    const std::string bytes(line.begin(), line.end());
    SeparatorScan byteScan;
    ScanSeparators(bytes, byteScan);
    ASSERT_EQ(byteScan.occurrences, scan.occurrences) << round;
    ASSERT_EQ(std::vector<size_t>(byteScan.cuts, byteScan.cuts + byteScan.cutCount), cuts) << round;
  }
}

TEST_F(EngineTest, LineStates) {
  ASSERT_TRUE(Open(Crlf({HeaderLine()})));
  ASSERT_TRUE(m.ConvertCardFile());
  // Before any card a stray closing quote is no error; other lines have nothing to continue.
  EXPECT_TRUE(Parse("\""));
  EXPECT_FALSE(Parse(""));
  EXPECT_FALSE(Parse("notes"));

  // One quote goes from column 1 and from column 47; blanks, doubled quotes,
  // commas and separators past the 46th stay.
  ASSERT_TRUE(Parse(RecordLine({{1, "\"abc"}, {2, " a \"\"b\"\", c "}, {47, "x\",\"y"}})));
  ASSERT_EQ(m.mCardRec().Flds.size(), 47u);
  EXPECT_EQ(m.mCardRec().Flds[0], u"\"abc");
  EXPECT_EQ(m.mCardRec().Flds[1], u" a \"\"b\"\", c ");
  EXPECT_EQ(m.mCardRec().Flds[46], u"x\",\"y");
  ASSERT_TRUE(Parse(" " + RecordLine({{1, "T"}})));
  EXPECT_EQ(m.mCardRec().Flds[0], u" \"T");

  // 10 separators continue column 47; 11 make a record line, which is too short.
  const std::string ten = kTooShort.substr(0, kTooShort.size() - 4);
  ASSERT_TRUE(Parse(ten));
  EXPECT_EQ(m.mCardRec().Flds[46], u"\r\n" + U16(ten));
  EXPECT_EQ(Rows().size(), 1u);
  EXPECT_FALSE(Parse(kTooShort));
  EXPECT_EQ(Rows().size(), 2u);  // the held card was written first
  ASSERT_EQ(reporter.reports.size(), 3u);
  for (const auto& report : reporter.reports) {
    EXPECT_THAT(report.text, StartsWith("Err 9 Subscript out of range"));
    EXPECT_EQ(report.icon, Icon::Critical);
  }
}

// One export with every line and field rule; each card's 41 values are checked.
TEST_F(EngineTest, CardsBecomeRowsAndBadCardsAreDropped) {
  std::string notesOpen = RecordLine({{2, "Zo\xeb"}, {36, "3/14/2001"}, {47, "first \x80"}});
  notesOpen.pop_back();
  // A tab before a closing quote continues the notes, blanks around it end them; a
  // second closing quote writes nothing.
  std::vector<std::string> lines = {HeaderLine(), notesOpen, "",  "\tgamma\" ",
                                    "\t\"",       "  \" ",   "\""};
  for (const auto& [main, ext] :
       {std::pair{"555-010", "12"}, {"555-010", ""}, {"", "12"}, {"", ""}}) {
    lines.push_back(RecordLine({{28, main}, {29, ext}, {15, main}, {16, ext}, {3, " "}}));
  }
  for (const int column : {26, 41, 11}) {
    lines.push_back(RecordLine({{column, std::string(16, '9')}, {3, "postal"}}));
  }
  lines.push_back(RecordLine({{2, std::string(56, 'n')}}));
  lines.push_back(RecordLine({{35, "not a date"}}));
  // A 10 MB line is read whole; the memo (at most 8 M characters) refuses that card only.
  lines.push_back(RecordLine({{3, "big"}, {47, std::string(size_t{10} << 20, 'n')}}));
  lines.push_back(RecordLine({{3, "last"}, {47, "held"}}));
  ASSERT_TRUE(Open(Crlf(lines)));
  ASSERT_TRUE(m.ConvertCardFile());

  // A single blank is a value; only empty texts stay Null.
  EXPECT_THAT(Rows(), ElementsAre(RowOf({{1, "Zo\u00eb"},
                                         {31, "2001-03-14 00:00:00"},
                                         {36, "first \u20ac\r\n\r\n\tgamma\" \r\n\t\""}}),
                                  RowOf({{3, " "}, {26, "555-010 x12"}, {27, "555-010 x12"}}),
                                  RowOf({{3, " "}, {26, "555-010"}, {27, "555-010"}}),
                                  RowOf({{3, " "}, {26, " x12"}, {27, " x12"}}), RowOf({{3, " "}}),
                                  RowOf({{3, "postal"}, {17, std::string(16, '9')}}),
                                  RowOf({{3, "last"}, {36, "held"}})));
  EXPECT_EQ(m.LastRun().cardsWritten, 7);
  EXPECT_EQ(m.LastRun().cardsFailed, 5);
  const std::string tooLong = "Err " + std::to_string(dao::err::kFieldTooSmall) + " ";
  EXPECT_THAT(reporter.Texts(),
              ElementsAre(StartsWith(tooLong), StartsWith(tooLong), StartsWith(tooLong),
                          StartsWith("Err " + std::to_string(dao::err::kTypeConversion) + " "),
                          StartsWith(tooLong + "The text for memo field 'Notes'")));
}

TEST_F(EngineTest, ExportLinesEndAtCarriageReturnsAndDecodeAsWindows1252) {
  EXPECT_THAT(Lines("a\r\nb\rc\nd\r\n\r\ne"), ElementsAre(u"a", u"b", u"c\nd", u"", u"e"));
  EXPECT_THAT(Lines(""), IsEmpty());
  // A CR LF split across two reads is still one terminator.
  const std::string big((size_t{1} << 20) - 1, 'x');
  EXPECT_THAT(Lines(big + "\r\ny"), ElementsAre(SizeIs(big.size()), u"y"));

  EXPECT_THAT(Lines("\x80 caf\xe9 \x81\x8d\x8f\x90\x9d \x9f"),
              ElementsAre(u"\u20ac caf\u00e9 \u0081\u008d\u008f\u0090\u009d \u0178"));
  std::set<char16_t> all;
  for (int b = 0; b < 256; ++b) all.insert(DecodeCp1252(static_cast<unsigned char>(b)));
  EXPECT_EQ(all.size(), 256u);  // no byte lost
  // Every byte, wherever it falls in the sixteen-byte steps, decodes as on its own.
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  for (size_t shift = 0; shift < 16; ++shift) {
    const std::string shifted = std::string(shift, 'a') + bytes + bytes;
    const std::u16string text = DecodeCp1252(std::string_view(shifted));
    ASSERT_EQ(text.size(), shifted.size());
    for (size_t i = 0; i < shifted.size(); ++i) {
      ASSERT_EQ(text[i], DecodeCp1252(static_cast<unsigned char>(shifted[i]))) << shift << " " << i;
    }
  }

  // Past the limit a line is refused as it is read, and reading goes no further.
  CardFileReader reader(
      In("first\r\n" + std::string(CardFileReader::kMaxLineBytes + 1, 'z') + "\r\nnext", "x"));
  std::u16string line;
  reader.ReadLine(line);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(reader.AtEnd());
    EXPECT_THAT([&] { reader.ReadLine(line); },
                Throws<Failure>(AllOf(Property(&Failure::Number, err::kLineTooLong),
                                      Property(&Failure::Description, HasSubstr("line 2")))));
    EXPECT_LT(line.capacity(), size_t{1} << 20);
  }
}

// Runs one after another in one process, on empty, spent and bad exports.
TEST_F(EngineTest, SuccessiveRuns) {
  EXPECT_FALSE(m.ConvertCardFile());  // no file open
  EXPECT_THAT(reporter.Texts(), ElementsAre("Err 52 Bad file name or number"));
  reporter.reports.clear();

  ASSERT_TRUE(Open(Crlf({HeaderLine()})));
  EXPECT_THAT(names, AllOf(SizeIs(47), Contains(u"Field47")));
  ASSERT_TRUE(m.ConvertCardFile());
  EXPECT_THAT(Rows(), IsEmpty());

  // A second run on the same file finds it at its end and starts a new, empty database.
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "a"}}), RecordLine({{3, "b"}})})));
  ASSERT_TRUE(m.ConvertCardFile());
  EXPECT_EQ(Rows().size(), 2u);
  ASSERT_TRUE(m.ConvertCardFile());
  EXPECT_THAT(Rows(), IsEmpty());
  EXPECT_THAT(reporter.Texts(), IsEmpty());

  // A bad line stops a run after the held card is written; the next run holds nothing of it.
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "kept"}}), RecordLine({{3, "held"}}),
                         kTooShort, RecordLine({{3, "after"}})})));
  EXPECT_FALSE(m.ConvertCardFile());
  EXPECT_EQ(Rows().size(), 2u);
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "new"}})}), "next.csv"));
  ASSERT_TRUE(m.ConvertCardFile());
  EXPECT_EQ(Rows().size(), 1u);
  EXPECT_EQ(reporter.reports.size(), 2u);  // only the bad line's
}

// Each run deletes the database of the run before it, beside its own work: once
// the converter is gone, only the last run's database is left.
TEST_F(EngineTest, EachRunDeletesTheLastRunsDatabase) {
  const std::string in = In(Crlf({HeaderLine(), RecordLine({{3, "a"}})}));
  {
    modCSV runs(reporter);
    for (int run = 0; run < 3; ++run) {
      ASSERT_TRUE(runs.OpenCardFile(in, names));
      ASSERT_TRUE(runs.ConvertCardFile());
    }
  }
  EXPECT_THAT(FolderEntries(TempFolder()), UnorderedElementsAre("~trns.lock", "~trns.tmp"));
  EXPECT_THAT(reporter.Texts(), IsEmpty());
}

TEST_F(EngineTest, TemporaryDatabaseIsPrivate) {
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "a"}})})));
  ASSERT_TRUE(m.ConvertCardFile());
  RecordingReporter otherReporter;
  modCSV other(otherReporter);
  EXPECT_FALSE(other.ConvertCardFile());
  EXPECT_THAT(otherReporter.Texts(), ElementsAre(HasSubstr("in use by another Tessaly process")));
  EXPECT_EQ(Rows().size(), 1u);  // the first database is untouched

  // Windows's temporary folder is the user's own; there is no shared one to guard.
  if (kWindows) GTEST_SKIP() << "the private folder's rights, links and owner are POSIX's";
  const std::filesystem::path folder = TempFolder();
  EXPECT_EQ(std::filesystem::symlink_status(folder).permissions(),
            std::filesystem::perms::owner_all);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directory(dir_ / "elsewhere");
  std::filesystem::create_directory_symlink(dir_ / "elsewhere", folder);
  EXPECT_FALSE(m.ConvertCardFile());
  EXPECT_THAT(reporter.Texts(), ElementsAre(HasSubstr("symbolic link")));
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "elsewhere"));
#ifndef _WIN32
  if (geteuid() == 0) {
    std::filesystem::remove(folder);
    std::filesystem::create_directory(folder);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(m.ConvertCardFile());
    EXPECT_THAT(reporter.Texts().back(), HasSubstr("belongs to another user"));
  }
#endif
}

// Saving writes a file beside the destination and renames it over, so a failed
// save leaves the destination as it was and nothing half-written behind. A folder
// as destination is refused the same way (convert_cli_test).
TEST_F(EngineTest, SaveReplacesTheDestinationWholeOrNotAtAll) {
  ASSERT_TRUE(Open(Crlf({HeaderLine(), RecordLine({{3, "saved"}})})));
  ASSERT_TRUE(m.ConvertCardFile());
  // The database left open is closed, then copied over the existing file.
  WriteFile(Path("out.mdb"), "old contents");
  ASSERT_TRUE(m.SaveCardDatabase(Path("out.mdb")));
  EXPECT_FALSE(m.mDbOpen());
  EXPECT_FALSE(m.mCardFileOpen());
  const std::string saved = ReadFile(m.mTempDbPath());
  EXPECT_EQ(ReadFile(Path("out.mdb")), saved);

  WriteFile(Path("readonly.mdb"), "keep me");
  std::filesystem::permissions(Path("readonly.mdb"), std::filesystem::perms::owner_read);
  EXPECT_FALSE(m.SaveCardDatabase(Path("readonly.mdb")));
  // A copy cut short, as on a full disk: by a file size limit where there is one.
  WriteFile(Path("out.mdb"), "keep me");
#ifdef _WIN32
  {
    seam::ScopedFault full(seam::FileOp::kCopyData, ENOSPC);
    EXPECT_FALSE(m.SaveCardDatabase(Path("out.mdb")));
  }
  const char* cutShort = "Err 61 Disk full";
#else
  rlimit old{}, small{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  small = {saved.size() / 2, old.rlim_max};
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_FALSE(m.SaveCardDatabase(Path("out.mdb")));
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  const char* cutShort = "Err 75 ";
#endif
  EXPECT_EQ(ReadFile(Path("readonly.mdb")), "keep me");
  EXPECT_EQ(ReadFile(Path("out.mdb")), "keep me");
  EXPECT_THAT(reporter.Texts(), ElementsAre(StartsWith("Err 70 "), StartsWith(cutShort)));
  EXPECT_THAT(FolderEntries(dir_),
              UnorderedElementsAre("in.csv", "out.mdb", "readonly.mdb", "tmp"));
}

}  // namespace
}  // namespace tessaly::test
