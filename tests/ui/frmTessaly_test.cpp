#include "ui/frmTessaly.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/modCSV.h"
#include "platform/twips.h"
#include "tests/support/recording_reporter.h"
#include "ui/file_dialogs.h"

namespace tessaly {
namespace {

// Answers the dialogs in place of the user; nothing queued means Cancel.
class ScriptedDialogs : public FileDialogs {
 public:
  std::optional<QString> ShowOpen(const FileDialogOptions& options) override {
    return Next(opens, options, openAnswers);
  }
  std::optional<QString> ShowSave(const FileDialogOptions& options) override {
    return Next(saves, options, saveAnswers);
  }
  std::deque<QString> openAnswers, saveAnswers;
  std::vector<FileDialogOptions> opens, saves;

 private:
  static std::optional<QString> Next(std::vector<FileDialogOptions>& shown,
                                     const FileDialogOptions& options,
                                     std::deque<QString>& answers) {
    shown.push_back(options);
    if (answers.empty()) return std::nullopt;
    const QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// One card: export column number (1..47) to its text.
using Card = std::map<int, std::string>;

std::string RecordLine(const Card& card) {
  std::string line = "\"";
  for (int column = 1; column <= 47; ++column) {
    if (column > 1) line += "\",\"";
    if (auto it = card.find(column); it != card.end()) line += it->second;
  }
  return line + "\"";
}

std::string HeaderLine(const std::string& prefix = "Field ") {
  Card names;
  for (int column = 1; column <= 47; ++column) names[column] = prefix + std::to_string(column);
  return RecordLine(names);
}

const Card kAda = {{1, "Dr."}, {2, "Ada"},         {3, "Lovelace"},   {13, "555-0100"},
                   {14, "12"}, {35, "12/10/1815"}, {47, "first line"}};
const Card kAlan = {{2, "Alan"}, {3, "Turing"}, {18, "Bletchley"}};

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    reporter.whenShown = [this] { cursors.push_back(window.cursor().shape()); };
    window.show();
    QCoreApplication::processEvents();
  }

  QString WriteExport(const QString& name, const std::vector<std::string>& lines) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    for (const std::string& line : lines) file.write((line + "\r\n").c_str());
    return file.fileName();
  }
  QString WriteCards(const QString& name, const std::vector<Card>& cards) {
    std::vector<std::string> lines{HeaderLine()};
    for (const Card& card : cards) lines.push_back(RecordLine(card));
    return WriteExport(name, lines);
  }
  void Open(const QString& path) {
    dialogs.openAnswers.push_back(path);
    window.mnuFileOpen->trigger();
  }
  void Parse(const QString& path) {
    Open(path);
    window.mnuEditParse->trigger();
  }
  void SaveAs(const QString& path) {
    dialogs.saveAnswers.push_back(path);
    window.mnuFileSaveAs->trigger();
  }
  // Which of Parse and Save are enabled, menu and button alike.
  std::pair<bool, bool> Enabled() const {
    EXPECT_EQ(window.mnuEditParse->isEnabled(), window.Button("Parse")->isEnabled());
    EXPECT_EQ(window.mnuFileSaveAs->isEnabled(), window.Button("Save")->isEnabled());
    return {window.mnuEditParse->isEnabled(), window.mnuFileSaveAs->isEnabled()};
  }

  QString Progress() const { return window.Panel(QStringLiteral("Progress"))->text(); }
  int Rows() const { return window.lvMDB->model()->rowCount(); }
  int Columns() const { return window.lvMDB->model()->columnCount(); }
  QString Cell(int row, int col) const {
    return window.lvMDB->model()->index(row, col).data().toString();
  }
  QString Header(int col) const {
    return window.lvMDB->model()->headerData(col, Qt::Horizontal).toString();
  }
  std::string Reports() const { return testing::PrintToString(reporter.Texts()); }
  int TwipsX(double twips) const { return TwipsToPixels(twips, window.logicalDpiX()); }
  // Title, filters, chosen filter and proposed name, as one text.
  static QString Described(const FileDialogOptions& o) {
    return QStringList{o.title, o.filters.join(';'), QString::number(o.filterIndex), o.fileName}
        .join('|');
  }

  QTemporaryDir dir;
  test::RecordingReporter reporter;
  std::vector<Qt::CursorShape> cursors;  // the window's cursor at each report
  modCSV csv{reporter};
  ScriptedDialogs dialogs;
  frmTessaly window{csv, dialogs};
};

TEST_F(WindowTest, CommandsAsDesigned) {
  EXPECT_EQ(window.windowTitle(), "Dask Orvane Tessaly");
  const std::pair<QAction*, const char*> menus[] = {
      {window.mnuFileOpen, "&Open Ctrl+O"},
      {window.mnuFileSaveAs, "&Save as... Ctrl+S"},
      {window.mnuExit, "E&xit Ctrl+Q"},
      {window.mnuEditParse, "&Parse records Ctrl+P"},
      {window.mnuHelpAbout, "&About Ctrl+A"},
      {window.mnuHelpIndex, "&Index... "},
      {window.mnuNotesToJournal, "Notes to &Journal "}};
  for (const auto& [action, expected] : menus) {
    EXPECT_EQ(action->text() + " " + action->shortcut().toString(), expected);
  }
  QStringList buttons;
  for (const QAction* button : window.Toolbar1->actions()) {
    EXPECT_FALSE(button->icon().isNull());
    buttons << button->data().toString() + ": " + button->toolTip();
  }
  EXPECT_EQ(buttons, QStringList({"Open: Open Card export file",
                                  "Parse: Parse CSV file into MDB file", "Save: Save MDB file"}));
  EXPECT_EQ(window.Panel("progress"), nullptr);
}

// Open, Parse and Save as enable what follows them; failed or cancelled steps
// change nothing.
TEST_F(WindowTest, OpenParseSaveProgression) {
  EXPECT_EQ(Enabled(), std::pair(false, false));
  Open(dir.filePath("missing.csv"));
  ASSERT_EQ(reporter.reports.size(), 1u);
  EXPECT_EQ(reporter.reports[0].icon, Icon::Critical);
  EXPECT_EQ(Enabled(), std::pair(false, false));
  EXPECT_EQ(window.lvCSV->topLevelItemCount(), 0);
  reporter.reports.clear();

  Open(WriteCards("cards.csv", {kAda, kAlan}));
  ASSERT_EQ(dialogs.opens.size(), 2u);
  EXPECT_EQ(Described(dialogs.opens[1]),
            "Open Orvane Card export file...|CSV (*.csv);All (*.*)|0|");
  ASSERT_EQ(window.lvCSV->topLevelItemCount(), 47);
  EXPECT_EQ(window.lvCSV->topLevelItem(46)->text(0), "Field 47");
  EXPECT_EQ(Enabled(), std::pair(true, false));

  window.mnuFileOpen->trigger();  // cancelled: the export stays open
  EXPECT_EQ(dialogs.opens.size(), 3u);
  EXPECT_EQ(window.lvCSV->topLevelItemCount(), 47);
  EXPECT_EQ(Enabled(), std::pair(true, false));

  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_EQ(Enabled(), std::pair(true, true));
  ASSERT_EQ(Rows(), 2);

  window.mnuFileSaveAs->trigger();  // cancelled: nothing saved, nothing closed
  EXPECT_EQ(dialogs.saves.size(), 1u);
  EXPECT_EQ(Progress(), "");
  EXPECT_TRUE(csv.mCardFileOpen);

  const QString saved = dir.filePath("out.mdb");
  SaveAs(saved);
  ASSERT_EQ(dialogs.saves.size(), 2u);
  EXPECT_EQ(Described(dialogs.saves[1]),
            "Save MDB Card data file...|MDB (*.mdb);All (*.*)|0|OrvaneCard.mdb");
  EXPECT_EQ(Progress(), "MDB file saved.");
  EXPECT_GT(QFileInfo(saved).size(), 0);
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Enabled(), std::pair(true, true));
  EXPECT_EQ(Cell(1, 2), "Alan");  // the listing survives the closed database
  EXPECT_TRUE(reporter.reports.empty()) << Reports();
}

TEST_F(WindowTest, ListingAcrossConversions) {
  Card notes = kAlan;
  notes[47] = "alpha";
  const std::string open = RecordLine(notes).substr(0, RecordLine(notes).size() - 1);
  Parse(WriteExport("notes.csv",
                    {HeaderLine(), RecordLine(kAda), RecordLine({}), open, "beta", "\""}));
  // First fill: "Index" then the 41 fields of the table, in its order.
  ASSERT_EQ(Columns(), 42);
  const std::pair<int, const char*> headers[] = {
      {0, "Index"}, {1, "Title"}, {2, "FirstName"}, {37, "Notes"}, {41, "User1"}};
  for (const auto& [column, name] : headers) EXPECT_EQ(Header(column), name);
  EXPECT_EQ(window.lvMDB->columnWidth(0), TwipsX(600));
  EXPECT_EQ(window.lvMDB->columnWidth(41), TwipsX(1000));
  ASSERT_EQ(Rows(), 3);
  const std::map<int, const char*> ada = {
      {0, ""},           {1, "Dr."}, {4, "Lovelace"}, {29, "555-0100 x12"}, {34, "12/10/1815"},
      {37, "first line"}};
  for (const auto& [column, text] : ada) EXPECT_EQ(Cell(0, column), text) << column;
  EXPECT_EQ(Cell(2, 2), "Alan");
  EXPECT_EQ(Cell(2, 37), QString::fromUtf8("alpha\u21b5beta"));  // lines joined with a mark
  for (int column = 0; column < 42; ++column) EXPECT_EQ(Cell(1, column), "") << column;

  // Second fill: its own rows under the same columns.
  Parse(WriteCards("two.csv", {kAlan}));
  EXPECT_EQ(Columns(), 42);
  EXPECT_EQ(Header(1), "Title");
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Cell(0, 4), "Turing");

  // A second Parse without Open, and an export with no cards, list no rows.
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(Enabled(), std::pair(true, true));
  Parse(WriteCards("none.csv", {}));
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(Columns(), 42);
  EXPECT_TRUE(reporter.reports.empty()) << Reports();
}

TEST_F(WindowTest, LongListingIsReadAsRowsAreShown) {
  std::vector<Card> cards;
  for (int i = 0; i < 1000; ++i) cards.push_back({{2, "Card " + std::to_string(i)}});
  Parse(WriteCards("many.csv", cards));
  ASSERT_EQ(Rows(), 1000);
  // Rows that share a cache slot come back right in either order.
  for (int row : {0, 999, 256, 0, 512, 743, 999})
    EXPECT_EQ(Cell(row, 2), QString("Card %1").arg(row));
  window.lvMDB->scrollToBottom();
  QCoreApplication::processEvents();

  // Saving closes the database; the list goes on showing every row.
  SaveAs(dir.filePath("many.mdb"));
  EXPECT_EQ(Progress(), "MDB file saved.");
  ASSERT_EQ(Rows(), 1000);
  for (int row : {300, 999, 44, 0}) EXPECT_EQ(Cell(row, 2), QString("Card %1").arg(row));
  EXPECT_TRUE(reporter.reports.empty()) << Reports();
}

TEST_F(WindowTest, ToolbarDispatchesOnExactKeys) {
  for (const char* key : {"open", "OPEN", "parse", "save", "Save ", "", "Toolbar1"}) {
    window.Toolbar1_ButtonClick(key);
  }
  EXPECT_TRUE(dialogs.opens.empty());
  EXPECT_TRUE(dialogs.saves.empty());
  EXPECT_EQ(Progress(), "");

  dialogs.openAnswers.push_back(WriteCards("cards.csv", {kAda}));
  window.Button("Open")->trigger();  // as a click on the button
  EXPECT_EQ(window.lvCSV->topLevelItemCount(), 47);
  window.Toolbar1_ButtonClick("Parse");
  EXPECT_EQ(Progress(), "Translation complete.");
  window.Toolbar1_ButtonClick("Save");
  EXPECT_EQ(dialogs.saves.size(), 1u);
}

TEST_F(WindowTest, FailedConversionKeepsListAndSave) {
  Parse(WriteCards("good.csv", {kAda, kAlan}));
  ASSERT_EQ(Rows(), 2);
  // Eleven separators make a record line too short to hold a card.
  Open(WriteExport("bad.csv",
                   {HeaderLine("Other "), RecordLine(kAlan),
                    R"("a","b","c","d","e","f","g","h","i","j","k","l")", RecordLine(kAda)}));
  EXPECT_EQ(window.lvCSV->topLevelItem(0)->text(0), "Other 1");
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation incomplete.");
  ASSERT_FALSE(reporter.reports.empty());
  EXPECT_EQ(reporter.reports.back().text, "Err -2147220502 Problem parsing line!");
  EXPECT_EQ(reporter.reports.back().icon, Icon::Critical);
  EXPECT_EQ(Enabled(), std::pair(true, true));
  ASSERT_EQ(Rows(), 2);  // still the last good conversion
  EXPECT_EQ(Cell(1, 2), "Alan");
}

TEST_F(WindowTest, ParseAfterSaveAsFailsAndSaveAgainWritesSameData) {
  Parse(WriteCards("cards.csv", {kAda}));
  SaveAs(dir.filePath("a.mdb"));
  SaveAs(dir.filePath("b.mdb"));
  EXPECT_EQ(Progress(), "MDB file saved.");
  QFile a(dir.filePath("a.mdb"));
  QFile b(dir.filePath("b.mdb"));
  ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  EXPECT_EQ(a.readAll(), b.readAll());
  ASSERT_TRUE(reporter.reports.empty()) << Reports();

  // Saving closed the export, so there is nothing left to convert.
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation incomplete.");
  EXPECT_FALSE(reporter.reports.empty());
  EXPECT_EQ(Enabled(), std::pair(true, true));
}

TEST_F(WindowTest, FailuresAreReportedWithTheirIcons) {
  Parse(WriteCards("cards.csv", {kAda}));
  SaveAs(dir.filePath("no such folder/out.mdb"));
  ASSERT_EQ(reporter.reports.size(), 1u);
  EXPECT_EQ(reporter.reports[0].icon, Icon::Critical);
  EXPECT_EQ(cursors, std::vector{Qt::WaitCursor});  // reported under the hourglass
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Progress(), "");

  window.FillCSVlv({u"One", u"Two"});  // listed, then reported as short
  EXPECT_EQ(window.lvCSV->topLevelItemCount(), 2);
  ASSERT_EQ(reporter.reports.size(), 2u);
  EXPECT_EQ(reporter.reports[1].text.rfind("Err 9 ", 0), 0u) << reporter.reports[1].text;
  EXPECT_EQ(reporter.reports[1].icon, Icon::Exclamation);
}

// Extra height goes to both lists, extra width to lvMDB; smaller snaps back.
TEST_F(WindowTest, LayoutRule) {
  const QSize load = window.size();
  EXPECT_EQ(window.minimumSize(), load);
  const QRect csv0 = window.lvCSV->geometry();
  const QRect mdb0 = window.lvMDB->geometry();
  EXPECT_EQ(mdb0.x(), TwipsX(2040));  // overlapping lvCSV as designed
  EXPECT_EQ(csv0.right() + 1, TwipsX(2055));
  EXPECT_EQ(mdb0.right() + 1, window.centralWidget()->width());

  struct Case {
    int wider, taller;  // asked for
    int width, height;  // what the lists gain
  };
  for (const Case& c : {Case{0, 40, 0, 40}, Case{70, 40, 70, 40}, Case{-50, -30, 0, 0}}) {
    window.resize(load.width() + c.wider, load.height() + c.taller);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.size(), load + QSize(c.width, c.height)) << c.wider << "x" << c.taller;
    EXPECT_EQ(window.lvCSV->geometry(), csv0.adjusted(0, 0, 0, c.height));
    EXPECT_EQ(window.lvMDB->geometry(), mdb0.adjusted(0, 0, c.width, c.height));
  }
}

TEST_F(WindowTest, ExitAndCloseCloseTheCardDatabase) {
  Parse(WriteCards("cards.csv", {kAda}));
  ASSERT_TRUE(csv.mDbOpen && csv.mCardFileOpen);
  window.mnuExit->trigger();
  EXPECT_FALSE(csv.mDbOpen);
  EXPECT_FALSE(csv.mCardFileOpen);

  window.mnuEditParse->trigger();  // reopens the database (export closed: incomplete)
  ASSERT_TRUE(csv.mDbOpen);
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(csv.mDbOpen);
}

// About and Notes to Journal through their hooks are run in the dialog tests.
TEST_F(WindowTest, HelpIndexOpensTheReadme) {
  QStringList opened;
  window.openDocument = [&](const QString& path) {
    opened << path;
    return opened.size() == 1 ? QString() : QString("File not found");
  };
  window.mnuHelpIndex->trigger();
  window.mnuHelpIndex->trigger();
  ASSERT_EQ(opened.size(), 2);
  EXPECT_TRUE(opened[0].endsWith("Readme.txt"));
  ASSERT_EQ(reporter.reports.size(), 1u);  // only the viewer that failed
  EXPECT_EQ(reporter.reports[0].text, "File not found");
  EXPECT_EQ(reporter.reports[0].icon, Icon::None);
}

}  // namespace
}  // namespace tessaly
