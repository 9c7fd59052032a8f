#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/card_file_reader.h"
#include "engine/modCSV.h"
#include "engine_test_support.h"
#include "platform/cp1252.h"

namespace tessaly::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class CardFileTest : public ScratchFolderTest {
 protected:
  std::vector<std::u16string> Lines(const std::string& bytes) {
    WriteFile(Path("in.csv"), bytes);
    CardFileReader reader(Path("in.csv"));
    std::vector<std::u16string> lines;
    std::u16string line;
    while (!reader.AtEnd()) {
      reader.ReadLine(line);
      lines.push_back(line);
    }
    return lines;
  }
};

TEST_F(CardFileTest, LinesEndAtCarriageReturns) {
  EXPECT_THAT(Lines("a\r\nb\rc\nd\r\n\r\ne"), ElementsAre(u"a", u"b", u"c\nd", u"", u"e"));
  EXPECT_THAT(Lines("a\r\n"), ElementsAre(u"a"));
  EXPECT_THAT(Lines("\r"), ElementsAre(u""));
  EXPECT_THAT(Lines(""), ElementsAre());
  EXPECT_THAT(Lines("one\ntwo\n"), ElementsAre(u"one\ntwo\n"));
  // A CR LF split across two reads is still one terminator.
  const std::string big((size_t{1} << 20) - 1, 'x');
  const auto lines = Lines(big + "\r\ny");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), big.size());
  EXPECT_EQ(lines[1], u"y");
}

TEST_F(CardFileTest, DecodesWindows1252KeepingEveryByte) {
  EXPECT_THAT(Lines("\x80 caf\xe9 \x81\x8d\x8f\x90\x9d \x9f"),
              ElementsAre(u"\u20ac caf\u00e9 \u0081\u008d\u008f\u0090\u009d \u0178"));
  std::u16string all;
  for (int b = 0; b < 256; ++b) all += DecodeCp1252(static_cast<unsigned char>(b));
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::unique(all.begin(), all.end()), all.end());
}

TEST_F(CardFileTest, HugeLinesAreReadOrRefused) {
  const std::string tenMb(size_t{10} << 20, 'n');
  auto lines = Lines("a\r" + tenMb + "\rb");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].size(), tenMb.size());
  EXPECT_EQ(lines[2], u"b");

  // Past the limit the line is refused and skipped; the next line still comes.
  WriteFile(Path("huge.csv"), std::string(CardFileReader::kMaxLineBytes + 1, 'z') + "\r\nnext");
  CardFileReader reader(Path("huge.csv"));
  std::u16string line;
  try {
    reader.ReadLine(line);
    FAIL() << "an over-long line was read";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Number(), err::kLineTooLong);
    EXPECT_THAT(failure.Description(), HasSubstr("line 1"));
  }
  EXPECT_LT(line.capacity(), size_t{1} << 20);
  reader.ReadLine(line);
  EXPECT_EQ(line, u"next");
  EXPECT_TRUE(reader.AtEnd());
}

class OpenCardFileTest : public ScratchFolderTest {
 protected:
  OpenCardFileTest() : m(reporter) {}
  RecorderReporter reporter;
  modCSV m;
  std::vector<std::u16string> names{u"before"};
};

TEST_F(OpenCardFileTest, HeaderGivesFortySevenNames) {
  WriteFile(Path("in.csv"), RecordLine({{1, "\"A"}, {2, "B"}, {47, "Field47\",\"x"}}) + "\r\n");
  ASSERT_TRUE(m.OpenCardFile(Path("in.csv"), names));
  ASSERT_EQ(names.size(), 47u);
  EXPECT_EQ(names[0], u"\"A");
  EXPECT_EQ(names[1], u"B");
  EXPECT_EQ(names[46], u"Field47\",\"x");  // the rest of the line, less one quote
  EXPECT_TRUE(m.mCardFileOpen);
  EXPECT_TRUE(reporter.messages.empty());
}

// What stands after each failure: the file open or not, the names kept or replaced.
TEST_F(OpenCardFileTest, FailuresLeaveTheirState) {
  EXPECT_FALSE(m.OpenCardFile(Path("missing.csv"), names));
  EXPECT_FALSE(m.mCardFileOpen);
  EXPECT_EQ(m.mCardFile, nullptr);

  WriteFile(Path("empty.csv"), "");
  EXPECT_FALSE(m.OpenCardFile(Path("empty.csv"), names));
  EXPECT_TRUE(m.mCardFileOpen);
  EXPECT_THAT(names, ElementsAre(u"before"));

  WriteFile(Path("short.csv"), "\"A\",\"B\",\"C\"\r\n");
  EXPECT_FALSE(m.OpenCardFile(Path("short.csv"), names));
  EXPECT_THAT(names, ElementsAre(u"A", u"B", u"C\""));

  WriteFile(Path("blank.csv"), "\r\n" + HeaderLine());
  EXPECT_FALSE(m.OpenCardFile(Path("blank.csv"), names));
  EXPECT_TRUE(names.empty());

  EXPECT_THAT(reporter.Texts(),
              ElementsAre(HasSubstr("Err 53 "), HasSubstr("Err 62 Input past end of file"),
                          HasSubstr("Err 9 "), HasSubstr("Err 9 ")));
  EXPECT_EQ(reporter.messages[0].icon, Icon::Critical);
}

}  // namespace
}  // namespace tessaly::test
