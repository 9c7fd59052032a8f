#pragma once

// What the main window shows and does, the same in every front end. Each front
// end's tests drive their own window through MainWindowDriver, as a user would,
// and check what it shows against these tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_seam.h"
#include "tests/support/export_lines.h"
#include "tests/support/recording_reporter.h"

namespace tessaly::test {

struct MenuItemSeen {
  std::string caption;   // "-" for a separator
  std::string shortcut;  // "Ctrl+O", or empty
  bool enabled = true;
  bool operator==(const MenuItemSeen&) const = default;
};

struct MenuSeen {
  std::string caption;
  std::vector<MenuItemSeen> items;
  bool operator==(const MenuSeen&) const = default;
};

struct ButtonSeen {
  std::string key;
  std::string toolTip;
  bool enabled = true;
  bool operator==(const ButtonSeen&) const = default;
};

inline void PrintTo(const MenuItemSeen& item, std::ostream* out) {
  *out << item.caption << (item.shortcut.empty() ? "" : " " + item.shortcut)
       << (item.enabled ? "" : " (disabled)");
}
inline void PrintTo(const MenuSeen& menu, std::ostream* out) {
  *out << menu.caption << " " << testing::PrintToString(menu.items);
}
inline void PrintTo(const ButtonSeen& button, std::ostream* out) {
  *out << button.key << " \"" << button.toolTip << "\"" << (button.enabled ? "" : " (disabled)");
}

inline const char* const kExpectedCaption = "Dask Orvane Tessaly";

// The menus at start.
inline const std::vector<MenuSeen> kExpectedMenus = {
    {"&File",
     {{"&Open", "Ctrl+O", true}, {"&Save as...", "Ctrl+S", false}, {"-", "", true}, {"E&xit", "Ctrl+Q", true}}},
    {"&Edit", {{"&Parse records", "Ctrl+P", false}, {"Notes to &Journal", "", true}}},
    {"&Help", {{"&Index...", "", true}, {"&About", "Ctrl+A", true}}},
};

// The toolbar at start: Parse and Save start disabled with their menu items.
inline const std::vector<ButtonSeen> kExpectedButtons = {
    {"Open", "Open Card export file", true},
    {"Parse", "Parse CSV file into MDB file", false},
    {"Save", "Save MDB file", false},
};

inline const std::vector<std::string> kExpectedPanels = {"CSVfile", "Progress", "MDBfile"};

// How a step gives its command.
enum class Via { kMenu, kButton, kShortcut };

enum class Act {
  kOpen,       // the Open dialog answered with `file`, or cancelled when it is empty
  kParse,      // and waits for the conversion's end
  kSaveAs,     // the Save dialog answered with `file`, or cancelled when it is empty
};

// One command and what the window shows after it.
struct Step {
  const char* doing;
  Act act;
  Via via;
  const char* file;  // in the test's folder
  bool parseEnabled;
  bool saveEnabled;
  const char* progress;
  const char* csvPanel;
  const char* mdbPanel;
  int fields;   // items in lvCSV
  int rows;     // items in lvMDB
  int reports;  // messages shown so far
};

// One card: export column (1..47) to its text.
using Card = std::map<int, std::string>;

inline const Card kAda = {{1, "Dr."}, {2, "Ada"},         {3, "Lovelace"},   {13, "555-0100"},
                          {14, "12"}, {35, "12/10/1815"}, {47, "first line"}};
inline const Card kAlan = {{2, "Alan"}, {3, "Turing"}, {18, "Bletchley"}};

// The exports the steps open: two cards; a line that continues no card; no card.
inline void WriteStepExports(const std::filesystem::path& folder) {
  auto write = [&](const char* name, const std::vector<std::string>& lines) {
    std::ofstream out(folder / name, std::ios::binary);
    out << Crlf(lines);
  };
  write("cards.csv", {HeaderLine(), RecordLine(kAda), RecordLine(kAlan)});
  write("broken.csv", {HeaderLine(), "x", RecordLine(kAda)});
  write("empty.csv", {HeaderLine()});
}

// From start to a failed conversion and a conversion of no card, every command by
// menu, button and shortcut. Open, once done, stays enabled throughout.
inline const Step kCommandSteps[] = {
    {"Ctrl+P before any Open", Act::kParse, Via::kShortcut, "", false, false, "", "", "", 0, 0, 0},
    {"Open cancelled", Act::kOpen, Via::kMenu, "", false, false, "", "", "", 0, 0, 0},
    {"Open by the button", Act::kOpen, Via::kButton, "cards.csv", true, false, "", "cards.csv", "", 47, 0, 0},
    {"Parse by Ctrl+P", Act::kParse, Via::kShortcut, "", false, true, "Translation complete.",
     "cards.csv", "2 cards", 47, 2, 0},
    {"Save as cancelled", Act::kSaveAs, Via::kButton, "", false, true, "", "cards.csv", "2 cards", 47, 2, 0},
    {"Save as by Ctrl+S", Act::kSaveAs, Via::kShortcut, "out.mdb", false, true, "MDB file saved.", "",
     "out.mdb", 47, 2, 0},
    {"Save as again", Act::kSaveAs, Via::kMenu, "again.mdb", false, true, "MDB file saved.", "",
     "again.mdb", 47, 2, 0},
    {"Open by Ctrl+O", Act::kOpen, Via::kShortcut, "broken.csv", true, true, "MDB file saved.",
     "broken.csv", "again.mdb", 47, 2, 0},
    {"A conversion that fails", Act::kParse, Via::kButton, "", false, false, "Translation incomplete.",
     "broken.csv", "0 cards", 47, 2, 2},
    {"Open an export of no card", Act::kOpen, Via::kMenu, "empty.csv", true, false,
     "Translation incomplete.", "empty.csv", "0 cards", 47, 2, 2},
    {"Parse by the menu", Act::kParse, Via::kMenu, "", false, true, "Translation complete.", "empty.csv",
     "0 cards", 47, 0, 2},
};

// How a window gains and keeps its size, in pixels: asked wider and taller by the
// first two, it grows by the last two, and both lists as much taller, lvMDB only
// wider; smaller than at load snaps back.
inline const int kResizeSteps[][4] = {{0, 40, 0, 40}, {70, 40, 70, 40}, {-50, -30, 0, 0}};

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};
inline void PrintTo(const Rect& r, std::ostream* out) {
  *out << r.width << "x" << r.height << "+" << r.left << "+" << r.top;
}

// A front end's main window, as its tests drive and read it.
class MainWindowDriver {
 public:
  virtual ~MainWindowDriver() = default;

  virtual std::string Caption() = 0;
  virtual std::vector<MenuSeen> Menus() = 0;
  virtual std::vector<ButtonSeen> Buttons() = 0;
  virtual std::vector<std::string> PanelKeys() = 0;
  virtual std::string PanelText(const std::string& key) = 0;
  virtual std::string PanelTip(const std::string& key) = 0;
  virtual std::vector<std::string> FieldNames() = 0;  // lvCSV's items
  virtual std::string CsvHeader() = 0;
  virtual std::vector<std::string> Headers() = 0;  // lvMDB's columns
  virtual int64_t Rows() = 0;
  virtual std::string Cell(int64_t row, int column) = 0;

  // The next Open or Save dialog's answer: a path, or nothing for Cancel.
  virtual void AnswerOpen(std::optional<std::string> path) = 0;
  virtual void AnswerSave(std::optional<std::string> path) = 0;
  // Chooses the menu item with this caption, clicks the button with this key, or
  // types Ctrl and this key; then lets the window handle what that caused.
  virtual void ChooseMenuItem(const std::string& caption) = 0;
  virtual void ClickButton(const std::string& key) = 0;
  virtual void TypeCtrl(char key) = 0;
  // Lets the window handle its messages until a conversion has ended, calling
  // `meanwhile` between them.
  virtual void WaitWhileConverting(const std::function<void()>& meanwhile = {}) = 0;
  // Asks the window to close, as its close box does; whether it still shows.
  virtual void AskToClose() = 0;
  virtual bool Shows() = 0;
  // The hourglass.
  virtual bool Busy() = 0;
  // lvCSV filled with these names, as File > Open fills it.
  virtual void ListFieldNames(const std::vector<std::u16string>& names) = 0;
  // Help > Index opens the guide with this; it says why it could not, or nothing.
  virtual void OpenGuideWith(std::function<std::string(const std::string& path)> open) = 0;

  // Asks the window for this outer size (pixels), then reads back where things are.
  virtual void ResizeWindow(int width, int height) = 0;
  virtual Rect WindowRect() = 0;
  virtual Rect CsvRect() = 0;
  virtual Rect MdbRect() = 0;
};

inline void ExpectLooksAsDesigned(MainWindowDriver& window) {
  EXPECT_EQ(window.Caption(), kExpectedCaption);
  EXPECT_EQ(window.Menus(), kExpectedMenus);
  EXPECT_EQ(window.Buttons(), kExpectedButtons);
  EXPECT_EQ(window.PanelKeys(), kExpectedPanels);
  for (const std::string& key : kExpectedPanels) EXPECT_EQ(window.PanelText(key), "") << key;
  EXPECT_EQ(window.CsvHeader(), "Orvane Fields");
  EXPECT_TRUE(window.FieldNames().empty());
  EXPECT_TRUE(window.Headers().empty());
  EXPECT_EQ(window.Rows(), 0);
}

// Whether the menu item with this caption is enabled, and its button agrees.
inline bool EnabledWithButton(MainWindowDriver& window, const std::string& caption,
                              const std::string& key) {
  bool item = false;
  for (const MenuSeen& menu : window.Menus()) {
    for (const MenuItemSeen& seen : menu.items) {
      if (seen.caption == caption) item = seen.enabled;
    }
  }
  for (const ButtonSeen& button : window.Buttons()) {
    if (button.key == key) {
      EXPECT_EQ(button.enabled, item) << key << " and " << caption;
    }
  }
  return item;
}

inline void RunCommandSteps(MainWindowDriver& window, const std::filesystem::path& folder,
                            const RecordingReporter& reporter) {
  WriteStepExports(folder);
  for (const Step& step : kCommandSteps) {
    SCOPED_TRACE(step.doing);
    const std::optional<std::string> file =
        *step.file ? std::optional((folder / step.file).string()) : std::nullopt;
    const char* caption = step.act == Act::kOpen    ? "&Open"
                          : step.act == Act::kParse ? "&Parse records"
                                                    : "&Save as...";
    const char* key = step.act == Act::kOpen ? "Open" : step.act == Act::kParse ? "Parse" : "Save";
    const char ctrl = step.act == Act::kOpen ? 'O' : step.act == Act::kParse ? 'P' : 'S';
    if (step.act == Act::kOpen) window.AnswerOpen(file);
    if (step.act == Act::kSaveAs) window.AnswerSave(file);
    switch (step.via) {
      case Via::kMenu:
        window.ChooseMenuItem(caption);
        break;
      case Via::kButton:
        window.ClickButton(key);
        break;
      case Via::kShortcut:
        window.TypeCtrl(ctrl);
        break;
    }
    window.WaitWhileConverting();
    EXPECT_TRUE(EnabledWithButton(window, "&Open", "Open"));
    EXPECT_EQ(EnabledWithButton(window, "&Parse records", "Parse"), step.parseEnabled);
    EXPECT_EQ(EnabledWithButton(window, "&Save as...", "Save"), step.saveEnabled);
    EXPECT_EQ(window.PanelText("Progress"), step.progress);
    EXPECT_EQ(window.PanelText("CSVfile"), step.csvPanel);
    EXPECT_EQ(window.PanelText("MDBfile"), step.mdbPanel);
    EXPECT_EQ(window.FieldNames().size(), static_cast<size_t>(step.fields));
    EXPECT_EQ(window.Rows(), step.rows);
    EXPECT_EQ(reporter.reports.size(), static_cast<size_t>(step.reports))
        << testing::PrintToString(reporter.Texts());
    if (step.act == Act::kOpen && file) {
      EXPECT_EQ(window.PanelTip("CSVfile"), *file);
      EXPECT_EQ(window.FieldNames().at(46), "Field47");
    }
    if (step.rows == 2) {
      // "Index" (always empty), then the table's fields in table order.
      EXPECT_EQ(window.Headers().size(), 42u);
      EXPECT_EQ(window.Headers().at(0), "Index");
      EXPECT_EQ(window.Headers().at(4), "LastName");
      EXPECT_EQ(window.Cell(0, 0), "");
      EXPECT_EQ(window.Cell(0, 4), "Lovelace");
      EXPECT_EQ(window.Cell(1, 2), "Alan");
    }
  }
  // Both saves hold what was converted.
  EXPECT_GT(std::filesystem::file_size(folder / "out.mdb"), 0u);
  EXPECT_EQ(std::filesystem::file_size(folder / "out.mdb"),
            std::filesystem::file_size(folder / "again.mdb"));
  ASSERT_EQ(reporter.reports.size(), 2u);
  EXPECT_EQ(reporter.reports[0].text.rfind("Err 9 ", 0), 0u) << reporter.reports[0].text;
  EXPECT_EQ(reporter.reports[1].text, "Err -2147220502 Problem parsing line!");
  EXPECT_EQ(window.Headers().size(), 42u);  // the columns of the first listing stay
}

inline void RunResizeSteps(MainWindowDriver& window) {
  const Rect load = window.WindowRect();
  const Rect csv = window.CsvRect();
  const Rect mdb = window.MdbRect();
  for (const auto& [wider, taller, width, height] : kResizeSteps) {
    SCOPED_TRACE(testing::Message() << "asked " << wider << " wider, " << taller << " taller");
    window.ResizeWindow(load.width + wider, load.height + taller);
    const Rect now = window.WindowRect();
    EXPECT_EQ(now.width, load.width + width);
    EXPECT_EQ(now.height, load.height + height);
    EXPECT_EQ(window.CsvRect(), (Rect{csv.left, csv.top, csv.width, csv.height + height}));
    EXPECT_EQ(window.MdbRect(), (Rect{mdb.left, mdb.top, mdb.width + width, mdb.height + height}));
  }
}

inline std::string WriteCards(const std::filesystem::path& file, const std::vector<Card>& cards) {
  std::vector<std::string> lines{HeaderLine()};
  for (const Card& card : cards) lines.push_back(RecordLine(card));
  std::ofstream(file, std::ios::binary) << Crlf(lines);
  return file.string();
}

// Save as runs under the hourglass, also when it fails; the listing outlives the
// database it came from; the panel's tip names the file and the counts.
inline void RunSaveAs(MainWindowDriver& window, const std::filesystem::path& folder,
                      RecordingReporter& reporter) {
  std::vector<bool> busyAtReports;
  reporter.whenShown = [&] { busyAtReports.push_back(window.Busy()); };
  window.AnswerOpen(WriteCards(folder / "cards.csv", {kAda, kAlan}));
  window.ChooseMenuItem("&Open");
  window.ChooseMenuItem("&Parse records");
  window.WaitWhileConverting();
  window.AnswerSave((folder / "no such folder" / "out.mdb").string());
  window.ChooseMenuItem("&Save as...");
  ASSERT_EQ(reporter.reports.size(), 1u) << testing::PrintToString(reporter.Texts());
  EXPECT_EQ(reporter.reports[0].icon, Icon::Critical);
  EXPECT_EQ(busyAtReports, std::vector<bool>{true});
  EXPECT_FALSE(window.Busy());
  window.AnswerSave((folder / "out.mdb").string());
  window.ChooseMenuItem("&Save as...");
  EXPECT_EQ(window.PanelTip("MDBfile"),
            (folder / "out.mdb").string() + "\nCards written: 2, cards failed: 0.");
  EXPECT_EQ(window.Cell(1, 2), "Alan");
  reporter.whenShown = nullptr;
}

// A short field list is listed as far as it goes, then reported; a guide that
// cannot be opened is reported as such, without an icon.
inline void RunFailureReports(MainWindowDriver& window, const RecordingReporter& reporter) {
  window.ListFieldNames({u"One", u"Two"});
  EXPECT_EQ(window.FieldNames(), (std::vector<std::string>{"One", "Two"}));
  std::string opened;
  window.OpenGuideWith([&](const std::string& path) {
    opened = path;
    return std::string("File not found");
  });
  window.ChooseMenuItem("&Index...");
  EXPECT_EQ(std::filesystem::path(opened).filename(), "Readme.txt") << opened;
  ASSERT_EQ(reporter.reports.size(), 2u) << testing::PrintToString(reporter.Texts());
  EXPECT_EQ(reporter.reports[0].text.rfind("Err 9 ", 0), 0u) << reporter.reports[0].text;
  EXPECT_EQ(reporter.reports[0].icon, Icon::Exclamation);
  EXPECT_EQ(reporter.reports[1].text, "File not found");
  EXPECT_EQ(reporter.reports[1].icon, Icon::None);
}

// A slow conversion shows how far it got, at most ten times a second, with the
// commands that touch the converter disabled; the window goes on handling its
// messages meanwhile.
inline void RunProgressWhileConverting(MainWindowDriver& window, const std::filesystem::path& folder) {
  // About 5 MB, read 1 MB at a time.
  window.AnswerOpen(WriteCards(folder / "large.csv", std::vector<Card>(20000, kAda)));
  window.ChooseMenuItem("&Open");
  seam::ScopedFault slow(
      seam::FileOp::kExportRead, [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); },
      0, true);
  std::vector<std::string> texts;
  bool disabledMeanwhile = true;
  const auto start = std::chrono::steady_clock::now();
  window.ChooseMenuItem("&Parse records");
  window.WaitWhileConverting([&] {
    const std::string progress = window.PanelText("Progress");
    if (texts.empty() || texts.back() != progress) texts.push_back(progress);
    if (progress.rfind("Converting", 0) != 0) return;
    for (const char* caption : {"&Open", "&Parse records", "&Save as...", "E&xit"}) {
      for (const MenuSeen& menu : window.Menus()) {
        for (const MenuItemSeen& item : menu.items) disabledMeanwhile &= item.caption != caption || !item.enabled;
      }
    }
  });
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(window.PanelText("Progress"), "Translation complete.");
  EXPECT_TRUE(disabledMeanwhile);
  EXPECT_TRUE(EnabledWithButton(window, "&Open", "Open") && EnabledWithButton(window, "&Save as...", "Save"));
  std::vector<int> percents;
  const std::string prefix = "Converting\u2026 ";
  for (const std::string& text : texts) {
    if (text.rfind("Converting", 0) != 0) continue;
    // "Converting… 37%"
    const std::string number = text.substr(std::min(prefix.size(), text.size()));
    ASSERT_TRUE(text.rfind(prefix, 0) == 0 && number.size() >= 2 && number.size() <= 4 &&
                number.back() == '%' &&
                number.find_first_not_of("0123456789") == number.size() - 1)
        << text;
    percents.push_back(std::stoi(number));
  }
  ASSERT_FALSE(percents.empty()) << testing::PrintToString(texts);
  EXPECT_LE(percents.size(), seconds * 10 + 1);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_LT(percents.front(), 100);  // shown while it ran, not only at its end
}

// Closing the window during a conversion closes it once the conversion ends.
inline void RunCloseDuringConversion(MainWindowDriver& window, const std::filesystem::path& folder) {
  window.AnswerOpen(WriteCards(folder / "cards.csv", {kAda, kAlan}));
  window.ChooseMenuItem("&Open");
  seam::ScopedFault slow(seam::FileOp::kExportRead,
                         [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
  window.ChooseMenuItem("&Parse records");
  window.AskToClose();
  EXPECT_TRUE(window.Shows());  // still converting
  window.WaitWhileConverting();
  EXPECT_FALSE(window.Shows());
}

}  // namespace tessaly::test
