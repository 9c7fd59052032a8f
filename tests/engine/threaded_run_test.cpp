// The conversion on two threads against the same run on one: the same file, the
// same messages in the same order, each refused card named at its first line.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/modCSV.h"
#include "engine_test_support.h"
#include "storage/jet_header.h"

namespace tessaly::test {
namespace {

// 11 separators: a record line with too few columns.
const std::string kTooShort = "a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k\",\"l";

struct Outcome {
  bool converted = false;
  std::string file;                   // the saved database, or "" when not saved
  std::vector<std::string> messages;  // with the card each names
  int64_t written = 0, failed = 0, lastLine = 0;
  std::array<int64_t, kRowRefusal + 1> byField{};
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << o.converted << " " << o.written << "/" << o.failed << " line " << o.lastLine << " "
      << ::testing::PrintToString(o.messages);
}

class ThreadedRunTest : public ScratchFolderTest {
 protected:
  Outcome Convert(const std::string& bytes, bool oneThread) {
    RecordingReporter reporter;
    modCSV m(reporter);
    std::vector<std::u16string> names;
    Outcome o;
    if (!m.OpenCardFile(In(bytes), names)) return o;
    RunOptions options;
    options.oneThread = oneThread;
    o.converted = m.ConvertCardFile(options);
    const std::string saved = Path(oneThread ? "one.mdb" : "two.mdb");
    if (o.converted && m.SaveCardDatabase(saved)) o.file = ReadFile(saved);
    for (const auto& r : reporter.reports) {
      o.messages.push_back(r.text);
      if (r.card) {
        o.messages.back() += " @" + r.card->file + ":" + std::to_string(r.card->line) + " #" +
                             std::to_string(r.card->ordinal) + " " + r.card->name;
      }
    }
    o.written = m.LastRun().cardsWritten;
    o.failed = m.LastRun().cardsFailed;
    o.lastLine = m.LastRun().lastLine;
    o.byField = m.LastRun().fieldFailures;
    return o;
  }
  const jet::ScopedJetDate date_{45000.5};
};

TEST_F(ThreadedRunTest, SameFileAndMessagesAsOnOneThread) {
  std::vector<std::string> failing = ManyCards(3000);
  failing.insert(failing.begin() + 4000, kTooShort);
  std::vector<std::string> doubled = ManyCards(30);
  doubled.insert(doubled.end(), {"\"", "continued after it was written", "\"", "\""});
  const struct {
    const char* name;
    std::string bytes;
    bool converts;
  } exports[] = {
      {"CR LF, refused cards, several MB of notes", Joined(ManyCards(3000), "\r\n"), true},
      {"CR only, no end on the last line", Joined(ManyCards(2000), "\r") + RecordLine({}), true},
      {"failing halfway", Joined(failing, "\r\n"), false},
      {"closing quotes again after a card was written", Joined(doubled, "\r\n"), true},
      {"only the header", HeaderLine(), true},
  };
  for (const auto& e : exports) {
    const Outcome one = Convert(e.bytes, true);
    const Outcome two = Convert(e.bytes, false);
    EXPECT_EQ(one.converted, e.converts) << e.name;
    EXPECT_EQ(two, one) << e.name;
  }
}

// Each refused card is reported where its record line starts, with its ordinal and
// name, in card order, whatever the line ends and however many lines the notes take.
TEST_F(ThreadedRunTest, RefusedCardsNamedAtTheirFirstLine) {
  std::string ada = RecordLine({{2, "Ada"}, {3, "Lovelace"}, {18, std::string(56, 'x')}});
  ada.pop_back();  // the notes go on over the next line
  const std::vector<std::string> lines = {
      HeaderLine(),
      ada,  // 2 to 4: Ada
      "two",
      "\"",
      RecordLine({{2, "Alan"}, {3, "Turing"}}),                // 5: written
      RecordLine({{18, "Bletchley"}, {35, "not a date"}}),     // 6: named by its company
      RecordLine({{2, "Grace"}, {28, std::string(40, '5')}}),  // 7: first name alone
      RecordLine({{36, "never"}}),                             // 8: no name at all
  };
  for (const char* end : {"\r\n", "\r"}) {
    const Outcome o = Convert(Joined(lines, end), false);
    const std::string in = Path("in.csv");
    EXPECT_THAT(
        o.messages,
        ::testing::ElementsAre(
            "Err 3163 The text for field 'Company' is 56 characters long; the field "
            "holds at most 55. @" +
                in + ":2 #1 Ada Lovelace",
            "Err 3421 'not a date' is not a date that field 'Birthday' accepts. @" + in +
                ":6 #3 Bletchley",
            "Err 3163 The text for field 'BusinessPhone' is 40 characters long; the field "
            "holds at most 31. @" +
                in + ":7 #4 Grace",
            "Err 3421 'never' is not a date that field 'Anniversary' accepts. @" + in + ":8 #5 "))
        << (end[1] ? "CR LF" : "CR");
    EXPECT_EQ(o.written, 1);
    EXPECT_EQ(o.failed, 4);
  }
}

// Asked for no more card messages, the run goes on and still counts every refusal;
// the next conversion shows them again.
TEST_F(ThreadedRunTest, NoMoreCardMessagesForTheRestOfTheRun) {
  RecordingReporter reporter;
  reporter.noMoreCardMessages = true;
  modCSV m(reporter);
  std::vector<std::u16string> names;
  const std::string bytes = Joined(ManyCards(100), "\r\n") + kTooShort + "\r\n";
  for (int run = 0; run < 2; ++run) {
    reporter.reports.clear();
    ASSERT_TRUE(m.OpenCardFile(In(bytes), names));
    EXPECT_FALSE(m.ConvertCardFile());
    EXPECT_EQ(m.LastRun().cardsFailed, 14);
    EXPECT_EQ(m.LastRun().fieldFailures[4] + m.LastRun().fieldFailures[33], 14);  // Company, Birthday
    ASSERT_EQ(reporter.reports.size(), 3u) << run;
    EXPECT_TRUE(reporter.reports[0].card.has_value());
    EXPECT_EQ(reporter.reports[0].card->ordinal, 7);
    EXPECT_EQ(reporter.reports[2].text, "Err -2147220502 Problem parsing line!");
  }
}

}  // namespace
}  // namespace tessaly::test
