#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/card_line.h"
#include "engine/modCSV.h"
#include "engine_test_support.h"

namespace tessaly::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr size_t kTitle = 0, kLastName = 3, kBusinessPhone = 26, kHomeFax = 27, kNotes = 36;

class ParserTest : public ::testing::Test {
 protected:
  ParserTest() : m(reporter) { m.mRst = rst; }

  bool Parse(const std::string& line) { return m.ParseCardLine(U16(line)); }
  std::optional<std::u16string> Value(size_t row, size_t position) const {
    return rst->rows.at(row).at(position);
  }

  RecorderReporter reporter;
  std::shared_ptr<MemoryRecordset> rst = std::make_shared<MemoryRecordset>();
  modCSV m;
};

// The one-pass scan the parser uses must agree with CountOccurrences (overlapping,
// up to 15) and with cutting from the left.
TEST_F(ParserTest, SeparatorScanAgreesWithPlainSearches) {
  EXPECT_EQ(m.CountOccurrences(u"\",\",\"", kSeparator), 2);
  EXPECT_EQ(m.CountOccurrences(U16(RecordLine({})), kSeparator), 15);
  std::mt19937 random(3);
  for (int round = 0; round < 3000; ++round) {
    std::u16string line(random() % 200, u'a');
    for (char16_t& c : line) c = u"\",a"[random() % 3];
    SeparatorScan scan;
    ScanSeparators(line, scan);
    ASSERT_EQ(scan.occurrences, m.CountOccurrences(line, kSeparator)) << Utf8(line);
    std::vector<size_t> cuts;
    for (size_t at = line.find(kSeparator); at != std::u16string::npos && cuts.size() < 46;
         at = line.find(kSeparator, at + 3)) {
      cuts.push_back(at);
    }
    ASSERT_EQ(std::vector<size_t>(scan.cuts, scan.cuts + scan.cutCount), cuts) << Utf8(line);
  }
}

TEST_F(ParserTest, RecordLinesSplitIntoFortySevenColumns) {
  // One quote goes from column 1 and from column 47; blanks, doubled quotes,
  // commas and separators past the 46th stay.
  ASSERT_TRUE(Parse(RecordLine({{1, "\"abc"}, {2, " a \"\"b\"\", c "}, {47, "x\",\"y"}})));
  ASSERT_EQ(m.mCardRec.Flds.size(), 47u);
  EXPECT_EQ(m.mCardRec.Flds[0], u"\"abc");
  EXPECT_EQ(m.mCardRec.Flds[1], u" a \"\"b\"\", c ");
  EXPECT_EQ(m.mCardRec.Flds[46], u"x\",\"y");
  ASSERT_TRUE(Parse(" " + RecordLine({{1, "T"}})));
  EXPECT_EQ(m.mCardRec.Flds[0], u" \"T");

  // 10 separators continue column 47; 11 make a record line, which is too short.
  const std::string ten = "a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k";
  ASSERT_TRUE(Parse(ten));
  EXPECT_EQ(m.mCardRec.Flds[46], u"\r\n" + U16(ten));
  EXPECT_EQ(rst->rows.size(), 1u);
  EXPECT_FALSE(Parse(ten + "\",\"l"));
  EXPECT_EQ(rst->rows.size(), 2u);  // the held card was written first
  EXPECT_EQ(m.mCardRec.Flds.size(), 12u);
  EXPECT_TRUE(m.mCardRec.Pending);
  ASSERT_THAT(reporter.Texts(), ElementsAre(HasSubstr("Err 9 Subscript out of range")));
  EXPECT_EQ(reporter.messages[0].icon, Icon::Critical);
}

TEST_F(ParserTest, MultiLineNotesAndClosingQuotes) {
  std::string first = RecordLine({{3, "Ann"}, {47, "alpha"}});
  first.pop_back();  // the notes go on
  ASSERT_TRUE(Parse(first));
  for (const char* line : {"beta", "", "\tgamma\" ", "\t\"", "   \"  ", "\""}) {
    ASSERT_TRUE(Parse(line)) << line;
  }
  // Blanks around a quote end the notes, a tab does not; a second closing quote
  // writes nothing more.
  ASSERT_EQ(rst->rows.size(), 1u);
  EXPECT_EQ(Value(0, kNotes), u"alpha\r\nbeta\r\n\r\n\tgamma\" \r\n\t\"");
  EXPECT_FALSE(m.mCardRec.Pending);

  // A card with empty notes is held until the next record line.
  ASSERT_TRUE(Parse(RecordLine({{1, "held"}})));
  ASSERT_TRUE(Parse(RecordLine({{1, "next"}})));
  ASSERT_EQ(rst->rows.size(), 2u);
  EXPECT_EQ(Value(1, kTitle), u"held");
  EXPECT_EQ(Value(1, kNotes), std::nullopt);
  EXPECT_THAT(reporter.messages, IsEmpty());
}

TEST_F(ParserTest, LinesBeforeAnyCard) {
  EXPECT_TRUE(Parse("\""));  // a stray closing quote: no error, nothing written
  EXPECT_FALSE(Parse(""));   // nothing to continue
  EXPECT_FALSE(Parse("notes"));
  EXPECT_THAT(rst->rows, IsEmpty());
  EXPECT_THAT(reporter.Texts(), ElementsAre(HasSubstr("Err 9 "), HasSubstr("Err 9 ")));
}

TEST_F(ParserTest, ExtensionJoinsBlanksAndNulls) {
  for (const auto& [main, ext] :
       {std::pair{"555-010", "12"}, {"555-010", ""}, {"", "12"}, {"", ""}}) {
    ASSERT_TRUE(Parse(RecordLine({{28, main}, {29, ext}, {16, ext}, {3, " "}})));
  }
  ASSERT_TRUE(Parse("\""));
  ASSERT_EQ(rst->rows.size(), 4u);
  EXPECT_EQ(Value(0, kBusinessPhone), u"555-010 x12");
  EXPECT_EQ(Value(1, kBusinessPhone), u"555-010");
  EXPECT_EQ(Value(2, kBusinessPhone), u" x12");
  EXPECT_EQ(Value(2, kHomeFax), u" x12");
  EXPECT_EQ(rst->rows[3], [] {
    Row row(41);
    row[kLastName] = u" ";  // a single blank is a value; only empty texts stay Null
    return row;
  }());
}

}  // namespace
}  // namespace tessaly::test
