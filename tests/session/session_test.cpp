// The session as a window drives it, with a fake window: every command, what it
// enables, what the panels say, and the conversion's thread. No display needed.

#include "session/session.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

#include "engine/modCSV.h"
#include "platform/file_seam.h"
#include "session/status_texts.h"
#include "storage/utf8.h"
#include "tests/engine/engine_test_support.h"

namespace tessaly::test {
namespace {

using Card = std::map<int, std::string>;
const Card kAda = {{1, "Dr."}, {2, "Ada"},         {3, "Lovelace"},   {13, "555-0100"},
                   {14, "12"}, {35, "12/10/1815"}, {47, "first line"}};
const Card kAlan = {{2, "Alan"}, {3, "Turing"}, {18, "Bletchley"}};

// A window that keeps what it is told and answers dialogs from a script. Tasks
// posted to it run when the test pumps them, on the test's thread.
class FakeView : public SessionView {
 public:
  void ShowFieldNames(const std::vector<std::u16string>& names) override { fields = names; }
  void ShowRecords(const RecordList&) override { ++listings; }
  void SetPanel(Panel panel, const std::string& text, const std::string& tip) override {
    panels[panel] = {text, tip};
    if (panel == Panel::kProgress) progressTexts.push_back(text);
  }
  void SetBusy(bool on) override { busy = on; }
  void EnableCommands(const CommandState& state) override { commands = state; }
  std::optional<std::string> AskOpenPath(const FileChoice& choice) override {
    lastChoice = choice;
    return std::exchange(open, std::nullopt);
  }
  std::optional<std::string> AskSavePath(const FileChoice& choice) override {
    lastChoice = choice;
    ++saveDialogs;
    return std::exchange(save, std::nullopt);
  }
  void RunOnUiThread(std::function<void()> task) override {
    const std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    posted_.notify_all();
  }
  void Quit() override { ++quits; }

  // Runs posted tasks until the session is idle, then what its end posted after it
  // (a list's read failure).
  void WaitWhileConverting(const Session& session) {
    while (RunPosted(session.Converting())) {
    }
  }

  std::string Text(Panel panel) const {
    const auto it = panels.find(panel);
    return it == panels.end() ? "" : it->second.first;
  }
  std::string Tip(Panel panel) const {
    const auto it = panels.find(panel);
    return it == panels.end() ? "" : it->second.second;
  }

  std::vector<std::u16string> fields;
  int listings = 0;
  std::map<Panel, std::pair<std::string, std::string>> panels;
  std::vector<std::string> progressTexts;
  bool busy = false;
  CommandState commands;
  std::optional<std::string> open, save;
  std::optional<FileChoice> lastChoice;
  int saveDialogs = 0;
  int quits = 0;

 private:
  // Runs the next posted task, waiting for one when `wait`; false when there was none.
  bool RunPosted(bool wait) {
    std::unique_lock lock(mutex_);
    if (wait) posted_.wait(lock, [&] { return !tasks_.empty(); });
    if (tasks_.empty()) return false;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    return true;
  }

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

class SessionTest : public ScratchFolderTest {
 protected:
  std::string WriteCards(const std::string& name, const std::vector<Card>& cards) {
    std::vector<std::string> lines{HeaderLine()};
    for (const Card& card : cards) lines.push_back(RecordLine(card));
    return In(Crlf(lines), name);
  }
  void Parse() {
    session.Parse();
    view.WaitWhileConverting(session);
  }
  void Parse(const std::string& path) {
    session.Open(path);
    Parse();
  }
  std::pair<bool, bool> Enabled() const { return {view.commands.parse, view.commands.saveAs}; }
  std::string Cell(int64_t row, size_t column) const {
    return jet::Utf16ToUtf8(session.Records().Cell(row, column));
  }
  std::string Reports() const { return testing::PrintToString(reporter.Texts()); }

  RecordingReporter reporter;
  FakeView view;
  modCSV csv{reporter};
  Session session{csv, reporter, view};
};

// Each command enables the next; failed or cancelled ones change nothing, and each
// export is converted once.
TEST_F(SessionTest, OpenParseSaveProgression) {
  EXPECT_EQ(view.commands, (CommandState{true, false, false, true}));
  const std::string good = WriteCards("cards.csv", {kAda, kAlan});
  session.Open();  // cancelled
  EXPECT_EQ(view.lastChoice->title, "Open Orvane Card export file...");
  EXPECT_TRUE(view.fields.empty());

  // A refused export after a good one leaves nothing to parse but keeps the list.
  for (const std::string& refused : {Path("missing.csv"), In("", "empty.csv")}) {
    session.Open(good);
    EXPECT_EQ(Enabled(), std::pair(true, false));
    EXPECT_EQ(view.Text(Panel::kCsvFile), "cards.csv");
    EXPECT_EQ(view.Tip(Panel::kCsvFile), good);
    session.Open(refused);
    EXPECT_EQ(Enabled(), std::pair(false, false)) << refused;
    EXPECT_FALSE(csv.mCardFileOpen());
    EXPECT_EQ(view.Text(Panel::kCsvFile), "");
    EXPECT_EQ(view.fields.size(), 47u);
  }
  ASSERT_EQ(reporter.reports.size(), 2u) << Reports();
  for (const auto& report : reporter.reports) EXPECT_EQ(report.icon, Icon::Critical);
  reporter.reports.clear();

  view.open = good;
  session.Open();
  Parse();
  EXPECT_EQ(view.Text(Panel::kProgress), "Translation complete.");
  EXPECT_EQ(view.Text(Panel::kMdbFile), "2 cards");
  EXPECT_EQ(view.Tip(Panel::kMdbFile), "Cards written: 2, cards failed: 0.");
  EXPECT_EQ(Enabled(), std::pair(false, true));
  session.SaveAs();  // cancelled: nothing saved, nothing closed
  EXPECT_EQ(view.lastChoice->fileName, "OrvaneCard.mdb");
  EXPECT_EQ(view.Text(Panel::kProgress), "");
  EXPECT_TRUE(csv.mCardFileOpen());

  view.save = Path("out.mdb");
  session.SaveAs();
  EXPECT_EQ(view.Text(Panel::kProgress), "MDB file saved.");
  EXPECT_EQ(view.Text(Panel::kMdbFile), "out.mdb");
  EXPECT_EQ(view.Tip(Panel::kMdbFile), Path("out.mdb") + "\nCards written: 2, cards failed: 0.");
  EXPECT_FALSE(view.busy);
  EXPECT_FALSE(csv.mCardFileOpen());
  EXPECT_EQ(view.Text(Panel::kCsvFile), "");
  EXPECT_EQ(Cell(1, 2), "Alan");  // the listing survives the closed database
  EXPECT_TRUE(reporter.reports.empty()) << Reports();
  session.Open(Path("missing.csv"));  // the database and its list are untouched
  EXPECT_EQ(Enabled(), std::pair(false, true));
  session.SaveAs(Path("again.mdb"));
  EXPECT_FALSE(ReadFile(Path("out.mdb")).empty());
  EXPECT_EQ(ReadFile(Path("out.mdb")), ReadFile(Path("again.mdb")));
  EXPECT_EQ(Enabled(), std::pair(false, true));
}

// A failed conversion keeps the list but has replaced the database behind it; the
// line that did not parse is named in both of its messages.
TEST_F(SessionTest, ListingAcrossConversions) {
  Card notes = kAlan;
  notes[47] = "alpha\r\nbeta\r\n";  // the quoted field goes on over three lines
  Parse(WriteCards("notes.csv", {kAda, {}, notes}));
  const std::vector<std::u16string>& headers = session.Records().Headers();
  ASSERT_EQ(headers.size(), 42u);
  for (auto [col, name] : {std::pair{0, u"Index"}, {1, u"Title"}, {37, u"Notes"}, {41, u"User1"}})
    EXPECT_EQ(headers[col], name);
  ASSERT_EQ(session.Records().Rows(), 3);
  const std::map<size_t, const char*> ada = {
      {0, ""}, {1, "Dr."}, {4, "Lovelace"}, {29, "555-0100 x12"}, {34, "12/10/1815"},
      {37, "first line"}};
  for (const auto& [column, text] : ada) EXPECT_EQ(Cell(0, column), text) << column;
  for (size_t column = 0; column < 42; ++column) EXPECT_EQ(Cell(1, column), "") << column;
  EXPECT_EQ(Cell(2, 37), "alpha\u21b5beta");  // lines joined with a mark
  EXPECT_EQ(Cell(3, 1), "");                  // past the end

  Parse(WriteCards("two.csv", {kAlan}));  // its own rows under the same columns
  EXPECT_EQ(session.Records().Headers().size(), 42u);
  ASSERT_EQ(session.Records().Rows(), 1);
  EXPECT_EQ(Cell(0, 4), "Turing");
  EXPECT_TRUE(reporter.reports.empty()) << Reports();

  // Eleven separators make a record line too short to hold a card.
  const std::string bad =
      In(Crlf({HeaderLine("Other "), RecordLine(kAlan),
               R"("a","b","c","d","e","f","g","h","i","j","k","l")", RecordLine(kAda)}),
         "bad.csv");
  session.Open(bad);
  EXPECT_EQ(view.fields[0], u"Other 1");
  EXPECT_EQ(Enabled(), std::pair(true, true));
  Parse();
  EXPECT_EQ(view.Text(Panel::kProgress), "Translation incomplete.");
  ASSERT_EQ(reporter.reports.size(), 2u) << Reports();
  EXPECT_EQ(reporter.reports[0].text.rfind("Err 9 Subscript out of range", 0), 0u) << Reports();
  EXPECT_EQ(reporter.reports[1].text, "Err -2147220502 Problem parsing line!");
  for (const auto& report : reporter.reports) {
    EXPECT_EQ(report.icon, Icon::Critical);
    ASSERT_TRUE(report.at.has_value());
    EXPECT_EQ(status::LineOf(*report.at), "Line 3 of bad.csv");
  }
  ASSERT_EQ(session.Records().Rows(), 1);  // still the last good conversion
  EXPECT_EQ(Cell(0, 4), "Turing");
  EXPECT_EQ(view.Text(Panel::kMdbFile), "1 card");  // what the failed run wrote
  EXPECT_EQ(Enabled(), std::pair(false, false));

  Parse(WriteCards("none.csv", {}));
  EXPECT_EQ(view.Text(Panel::kProgress), "Translation complete.");
  EXPECT_EQ(session.Records().Rows(), 0);
  EXPECT_EQ(view.Text(Panel::kMdbFile), "0 cards");
  EXPECT_EQ(reporter.reports.size(), 2u) << Reports();
}

// Rows are read as they are asked for, through a cache of a few hundred, and come
// from the spool once the database has closed.
TEST_F(SessionTest, LongListingIsReadAsRowsAreShown) {
  std::vector<Card> cards;
  for (int i = 0; i < 1000; ++i) cards.push_back({{2, "Card " + std::to_string(i)}});
  Parse(WriteCards("many.csv", cards));
  ASSERT_EQ(session.Records().Rows(), 1000);
  // Rows that share a cache slot come back right in either order.
  for (int row : {0, 999, 256, 0, 512, 743, 999}) EXPECT_EQ(Cell(row, 2), "Card " + std::to_string(row));

  session.SaveAs(Path("many.mdb"));  // closes the database; every row stays listed
  EXPECT_EQ(view.Text(Panel::kProgress), "MDB file saved.");
  ASSERT_EQ(session.Records().Rows(), 1000);
  for (int row : {300, 999, 44, 0, 256}) EXPECT_EQ(Cell(row, 2), "Card " + std::to_string(row));
  EXPECT_TRUE(reporter.reports.empty()) << Reports();
}

// The spool's write fails: the user is told once, the rows written whole stay, and
// the save itself goes on.
TEST_F(SessionTest, ListingKeptAsFarAsTheSpoolCouldHoldIt) {
  std::vector<Card> cards;
  for (int i = 0; i < 300; ++i) cards.push_back({{2, "Card " + std::to_string(i)}});
  Parse(WriteCards("many.csv", cards));
  for (int row : {0, 299}) Cell(row, 2);
  {
    seam::ScopedFault fault(seam::FileOp::kSpoolWrite, ENOSPC);
    session.SaveAs(Path("out.mdb"));
  }
  view.WaitWhileConverting(session);
  EXPECT_EQ(view.Text(Panel::kProgress), "MDB file saved.");
  ASSERT_EQ(reporter.reports.size(), 1u) << Reports();
  EXPECT_EQ(reporter.reports[0].text.rfind("Err 61 The list of records could not be kept", 0), 0u)
      << Reports();
  EXPECT_EQ(reporter.reports[0].icon, Icon::Exclamation);
  EXPECT_EQ(session.Records().Rows(), 300);
  EXPECT_EQ(Cell(299, 2), "Card 299");  // still in the cache
  EXPECT_EQ(Cell(100, 2), "");          // not kept
}

// A save whose close failed never copies the incomplete database, however often
// retried. Failed saves are reported under the hourglass and never claimed as saved.
TEST_F(SessionTest, FailedSaves) {
  Parse(WriteCards("cards.csv", {kAda, kAlan}));
  std::vector<bool> busyAtReport;
  reporter.whenShown = [&] { busyAtReport.push_back(view.busy); };
  const std::string old = In("keep me", "out.mdb");
  {
    seam::ScopedFault fault(seam::FileOp::kDatabaseClose, EIO);
    session.SaveAs(old);
  }
  ASSERT_EQ(reporter.reports.size(), 1u) << Reports();
  EXPECT_NE(reporter.reports[0].text.find("Closing database"), std::string::npos) << Reports();
  EXPECT_EQ(view.Text(Panel::kProgress), "");
  EXPECT_EQ(Enabled(), std::pair(false, false));
  session.SaveAs(old);  // not offered, and refused with a clear message
  ASSERT_EQ(reporter.reports.size(), 2u);
  EXPECT_NE(reporter.reports[1].text.find("cannot be saved"), std::string::npos) << Reports();
  EXPECT_EQ(ReadFile(old), "keep me");
  EXPECT_EQ(FolderEntries(dir_).size(), 3u) << "no copy left";  // tmp, cards.csv, out.mdb

  Parse(WriteCards("again.csv", {kAlan}));  // a new conversion can be saved again
  session.SaveAs(Path("no such folder/out.mdb"));
  ASSERT_EQ(reporter.reports.size(), 3u) << Reports();
  EXPECT_EQ(busyAtReport, std::vector(3, true));
  EXPECT_FALSE(view.busy);
  EXPECT_EQ(view.Text(Panel::kProgress), "");
  session.SaveAs(old);
  EXPECT_EQ(view.Text(Panel::kProgress), "MDB file saved.");
}

// Exit and closing the window close the card database; during a conversion they
// wait for its end.
TEST_F(SessionTest, CloseClosesTheCardDatabaseAtOnceOrAfterTheConversion) {
  Parse(WriteCards("cards.csv", {kAda}));
  ASSERT_TRUE(csv.mDbOpen() && csv.mCardFileOpen());
  session.Close();
  EXPECT_FALSE(csv.mDbOpen() || csv.mCardFileOpen());
  EXPECT_EQ(view.quits, 1);

  session.Open(WriteCards("slow.csv", {kAda, kAlan}));
  seam::ScopedFault slow(seam::FileOp::kExportRead,
                         [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
  session.Parse();
  EXPECT_EQ(view.commands, (CommandState{false, false, false, false}));
  session.Close();
  session.Open(Path("cards.csv"));  // ignored while converting
  session.SaveAs(Path("x.mdb"));
  EXPECT_EQ(view.quits, 1);
  view.WaitWhileConverting(session);
  EXPECT_EQ(view.Text(Panel::kProgress), "Translation complete.");
  EXPECT_EQ(view.quits, 2);
  EXPECT_FALSE(csv.mDbOpen());
  EXPECT_FALSE(std::filesystem::exists(Path("x.mdb")));
}

// Refused cards: counted in the panel and its tip per field; asked for no more
// messages, the run goes on and still counts them.
TEST_F(SessionTest, RefusedCardsCountedUntilNoMoreAreWanted) {
  const std::string tooLong(56, 'x');
  const std::string path = WriteCards(
      "refused.csv", {{{2, "Ada"}, {3, "Lovelace"}, {18, tooLong}}, kAlan, {{18, tooLong}}});
  for (bool noMore : {false, true}) {
    reporter.reports.clear();
    reporter.noMoreCardMessages = noMore;
    Parse(path);
    EXPECT_EQ(view.Text(Panel::kProgress), "Translation complete.");
    EXPECT_EQ(view.Text(Panel::kMdbFile), "1 card, 2 refused");
    EXPECT_EQ(view.Tip(Panel::kMdbFile), "Cards written: 1, cards failed: 2 (Company 2).");
    ASSERT_EQ(reporter.reports.size(), noMore ? 1u : 2u) << Reports();
    const auto& first = reporter.reports[0];
    EXPECT_EQ(first.text.rfind("Err 3163 The text for field 'Company' is 56 characters", 0), 0u);
    ASSERT_TRUE(first.card.has_value());
    EXPECT_EQ(first.card->name, "Ada Lovelace");
    EXPECT_EQ(first.card->line, 2);
    if (!noMore) {
      EXPECT_EQ(reporter.reports[1].card->ordinal, 3);
    }
  }
}

// A slow conversion shows how far it got, at most ten times a second, after half a
// second; its messages reach the window's thread while the run waits for them.
TEST_F(SessionTest, ProgressAndMessagesFromTheConversionsThread) {
  std::vector<Card> cards(20000, kAda);
  cards[19000][18] = std::string(56, 'x');
  session.Open(WriteCards("large.csv", cards));  // about 5 MB, read 1 MB at a time
  seam::ScopedFault slow(
      seam::FileOp::kExportRead,
      [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }, 0, true);
  const std::thread::id ui = std::this_thread::get_id();
  std::vector<std::thread::id> reportThreads;
  reporter.whenShown = [&] { reportThreads.push_back(std::this_thread::get_id()); };
  const auto start = std::chrono::steady_clock::now();
  Parse();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(view.Text(Panel::kProgress), "Translation complete.");
  EXPECT_EQ(reportThreads, std::vector{ui});
  std::vector<int> percents;
  for (const std::string& text : view.progressTexts) {
    std::smatch match;
    if (std::regex_match(text, match, std::regex("^Converting\u2026 (\\d+)%$")))
      percents.push_back(std::stoi(match[1]));
  }
  ASSERT_FALSE(percents.empty()) << testing::PrintToString(view.progressTexts);
  EXPECT_LE(percents.size(), seconds * 10 + 1);
  EXPECT_LT(percents.front(), 100);  // shown while it ran, not only at its end
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(view.progressTexts.back(), "Translation complete.");
}

#ifndef _WIN32
// File > Open waits for nothing: what is not a file on disk is refused at once.
TEST_F(SessionTest, OpenRefusesWhatIsNoRegularFileAtOnce) {
  ASSERT_EQ(::mkfifo(Path("pipe.csv").c_str(), 0600), 0);
  for (const std::string& path : {Path("pipe.csv"), std::string("/proc/self/status")}) {
    const auto start = std::chrono::steady_clock::now();
    session.Open(path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << path;
    EXPECT_EQ(Enabled(), std::pair(false, false)) << path;
    EXPECT_FALSE(csv.mCardFileOpen());
  }
  ASSERT_EQ(reporter.reports.size(), 2u) << Reports();
  EXPECT_NE(reporter.reports[0].text.find("not a regular file"), std::string::npos) << Reports();
}
#endif

}  // namespace
}  // namespace tessaly::test
