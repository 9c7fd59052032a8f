#include "ui/frmTessaly.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
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
#include "ui/file_dialogs.h"

namespace tessaly {
namespace {

struct Report {
  std::string text;
  Icon icon;
  Qt::CursorShape windowCursor;
};

class RecorderReporter : public Reporter {
 public:
  void Show(const std::string& text, Icon icon) override {
    reports.push_back({text, icon, window ? window->cursor().shape() : Qt::ArrowCursor});
  }
  std::vector<Report> reports;
  QWidget* window = nullptr;
};

// Answers the dialogs in place of the user; nothing queued means Cancel.
class ScriptedDialogs : public FileDialogs {
 public:
  std::optional<QString> ShowOpen(const FileDialogOptions& options) override {
    opens.push_back(options);
    return Next(openAnswers);
  }
  std::optional<QString> ShowSave(const FileDialogOptions& options) override {
    saves.push_back(options);
    return Next(saveAnswers);
  }
  std::deque<QString> openAnswers;
  std::deque<QString> saveAnswers;
  std::vector<FileDialogOptions> opens;
  std::vector<FileDialogOptions> saves;

 private:
  static std::optional<QString> Next(std::deque<QString>& answers) {
    if (answers.empty()) return std::nullopt;
    QString answer = answers.front();
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

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    reporter.window = &window;
    window.show();
    QCoreApplication::processEvents();
  }

  QString WriteExport(const QString& name, const std::vector<std::string>& lines) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    for (const std::string& line : lines) file.write((line + "\r\n").c_str());
    return path;
  }

  QString WriteCards(const QString& name, const std::vector<Card>& cards,
                     const std::string& headerPrefix = "Field ") {
    std::vector<std::string> lines{HeaderLine(headerPrefix)};
    for (const Card& card : cards) lines.push_back(RecordLine(card));
    return WriteExport(name, lines);
  }

  void Open(const QString& path) {
    dialogs.openAnswers.push_back(path);
    window.mnuFileOpen->trigger();
  }

  QString Progress() const { return window.Panel(QStringLiteral("Progress"))->text(); }
  int Rows() const { return window.lvMDB->model()->rowCount(); }
  QString Cell(int row, int column) const {
    const QAbstractItemModel* model = window.lvMDB->model();
    return model->data(model->index(row, column)).toString();
  }
  QString Header(int column) const {
    return window.lvMDB->model()->headerData(column, Qt::Horizontal).toString();
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Report& report : reporter.reports) texts.push_back(report.text);
    return texts;
  }
  int TwipsX(double twips) const { return TwipsToPixels(twips, window.logicalDpiX()); }
  int TwipsY(double twips) const { return TwipsToPixels(twips, window.logicalDpiY()); }

  QTemporaryDir dir;
  RecorderReporter reporter;
  modCSV csv{reporter};
  ScriptedDialogs dialogs;
  frmTessaly window{csv, dialogs};
};

const Card kAda = {{1, "Dr."}, {2, "Ada"},         {3, "Lovelace"},   {13, "555-0100"},
                   {14, "12"}, {35, "12/10/1815"}, {47, "first line"}};
const Card kAlan = {{2, "Alan"}, {3, "Turing"}, {18, "Bletchley"}};

TEST_F(WindowTest, MenusToolbarAndPanelsAsDesigned) {
  EXPECT_EQ(window.windowTitle(), "Dask Orvane Tessaly");
  struct Item {
    QAction* action;
    const char* caption;
    QKeySequence shortcut;
    bool enabled;
  };
  const Item items[] = {
      {window.mnuFileOpen, "&Open", QKeySequence(Qt::CTRL | Qt::Key_O), true},
      {window.mnuFileSaveAs, "&Save as...", QKeySequence(Qt::CTRL | Qt::Key_S), false},
      {window.mnuExit, "E&xit", QKeySequence(Qt::CTRL | Qt::Key_Q), true},
      {window.mnuEditParse, "&Parse records", QKeySequence(Qt::CTRL | Qt::Key_P), false},
      {window.mnuNotesToJournal, "Notes to &Journal", QKeySequence(), true},
      {window.mnuHelpIndex, "&Index...", QKeySequence(), true},
      {window.mnuHelpAbout, "&About", QKeySequence(Qt::CTRL | Qt::Key_A), true},
  };
  for (const Item& item : items) {
    EXPECT_EQ(item.action->text(), item.caption);
    EXPECT_EQ(item.action->shortcut(), item.shortcut) << item.caption;
    EXPECT_EQ(item.action->isEnabled(), item.enabled) << item.caption;
  }
  EXPECT_EQ(window.mnuFile->title(), "&File");
  EXPECT_EQ(window.mnuEdit->title(), "&Edit");
  EXPECT_EQ(window.mnuHelp->title(), "&Help");
  const QList<QAction*> file = window.mnuFile->actions();
  ASSERT_EQ(file.size(), 4);
  EXPECT_TRUE(file[2]->isSeparator());
  EXPECT_EQ(file[3], window.mnuExit);

  const QList<QAction*> buttons = window.Toolbar1->actions();
  ASSERT_EQ(buttons.size(), 3);
  const char* keys[] = {"Open", "Parse", "Save"};
  const char* tips[] = {"Open Card export file", "Parse CSV file into MDB file", "Save MDB file"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(buttons[i]->data().toString(), keys[i]);
    EXPECT_EQ(buttons[i]->toolTip(), tips[i]);
    EXPECT_FALSE(buttons[i]->icon().isNull()) << keys[i];
    EXPECT_EQ(buttons[i]->isEnabled(), i == 0) << keys[i];
  }

  const std::pair<const char*, double> panels[] = {
      {"CSVfile", 2000}, {"Progress", 3200}, {"MDBfile", 2000}};
  for (const auto& [key, width] : panels) {
    QLabel* panel = window.Panel(key);
    ASSERT_NE(panel, nullptr) << key;
    EXPECT_EQ(panel->width(), TwipsX(width)) << key;
    EXPECT_EQ(panel->minimumWidth(), panel->maximumWidth()) << key;
    EXPECT_TRUE(panel->text().isEmpty()) << key;
  }
  EXPECT_EQ(window.Panel("progress"), nullptr);

  ASSERT_EQ(window.lvCSV->columnCount(), 1);
  EXPECT_EQ(window.lvCSV->headerItem()->text(0), "Orvane Fields");
  EXPECT_EQ(window.lvCSV->columnWidth(0), TwipsX(1755));
  EXPECT_EQ(window.lvMDB->model()->columnCount(), 0);
}

TEST_F(WindowTest, OpenParseSaveProgression) {
  Open(WriteCards("cards.csv", {kAda, kAlan}));
  ASSERT_EQ(dialogs.opens.size(), 1u);
  EXPECT_EQ(dialogs.opens[0].title, "Open Orvane Card export file...");
  EXPECT_EQ(dialogs.opens[0].filters, QStringList({"CSV (*.csv)", "All (*.*)"}));
  EXPECT_EQ(dialogs.opens[0].filterIndex, 0);
  EXPECT_TRUE(dialogs.opens[0].fileName.isEmpty());

  ASSERT_EQ(window.lvCSV->topLevelItemCount(), 47);
  EXPECT_EQ(window.lvCSV->topLevelItem(0)->text(0), "Field 1");
  EXPECT_EQ(window.lvCSV->topLevelItem(46)->text(0), "Field 47");
  EXPECT_TRUE(window.mnuEditParse->isEnabled());
  EXPECT_TRUE(window.Button("Parse")->isEnabled());
  EXPECT_FALSE(window.mnuFileSaveAs->isEnabled());
  EXPECT_FALSE(window.Button("Save")->isEnabled());

  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_TRUE(window.mnuFileSaveAs->isEnabled());
  EXPECT_TRUE(window.Button("Save")->isEnabled());
  ASSERT_EQ(Rows(), 2);

  const QString saved = dir.filePath("out.mdb");
  dialogs.saveAnswers.push_back(saved);
  window.mnuFileSaveAs->trigger();
  ASSERT_EQ(dialogs.saves.size(), 1u);
  EXPECT_EQ(dialogs.saves[0].title, "Save MDB Card data file...");
  EXPECT_EQ(dialogs.saves[0].filters, QStringList({"MDB (*.mdb)", "All (*.*)"}));
  EXPECT_EQ(dialogs.saves[0].filterIndex, 0);
  EXPECT_EQ(dialogs.saves[0].fileName, "OrvaneCard.mdb");
  EXPECT_EQ(Progress(), "MDB file saved.");
  EXPECT_GT(QFileInfo(saved).size(), 0);
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  // Nothing enabled is disabled again; the listing survives the closed database.
  EXPECT_TRUE(window.mnuEditParse->isEnabled());
  EXPECT_TRUE(window.mnuFileSaveAs->isEnabled());
  EXPECT_EQ(Cell(1, 2), "Alan");
  EXPECT_TRUE(reporter.reports.empty()) << Texts().front();
}

TEST_F(WindowTest, RecordListShowsEveryFieldInTableOrder) {
  Card allNull;
  Card notes = kAlan;
  notes[47] = "alpha";
  Open(WriteExport("notes.csv",
                   {HeaderLine(), RecordLine(kAda), RecordLine(allNull),
                    RecordLine(notes).substr(0, RecordLine(notes).size() - 1), "beta", "\""}));
  window.mnuEditParse->trigger();
  ASSERT_TRUE(reporter.reports.empty()) << Texts().front();

  // First fill: "Index" then the 41 fields, with their widths.
  ASSERT_EQ(window.lvMDB->model()->columnCount(), 42);
  EXPECT_EQ(Header(0), "Index");
  EXPECT_EQ(Header(1), "Title");
  EXPECT_EQ(Header(2), "FirstName");
  EXPECT_EQ(Header(37), "Notes");
  EXPECT_EQ(Header(41), "User1");
  EXPECT_EQ(window.lvMDB->columnWidth(0), TwipsX(600));
  EXPECT_EQ(window.lvMDB->columnWidth(41), TwipsX(1000));

  ASSERT_EQ(Rows(), 3);
  EXPECT_EQ(Cell(0, 0), "");
  EXPECT_EQ(Cell(0, 1), "Dr.");
  EXPECT_EQ(Cell(0, 2), "Ada");
  EXPECT_EQ(Cell(0, 4), "Lovelace");
  EXPECT_EQ(Cell(0, 29), "555-0100 x12");  // HomePhone with its extension
  EXPECT_EQ(Cell(0, 34), "12/10/1815");    // Birthday in the general date form
  EXPECT_EQ(Cell(0, 37), "first line");
  for (int column = 0; column < 42; ++column) EXPECT_EQ(Cell(1, column), "") << column;
  EXPECT_EQ(Cell(2, 2), "Alan");
  EXPECT_EQ(Cell(2, 37), QString::fromUtf8("alpha\u21b5beta"));

  // A second conversion lists its own rows under the same columns.
  Open(WriteCards("two.csv", {kAlan}));
  window.mnuEditParse->trigger();
  EXPECT_EQ(window.lvMDB->model()->columnCount(), 42);
  EXPECT_EQ(Header(1), "Title");
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Cell(0, 4), "Turing");
}

TEST_F(WindowTest, LongListingIsReadAsRowsAreShown) {
  std::vector<Card> cards;
  for (int i = 0; i < 1000; ++i) cards.push_back({{2, "Card " + std::to_string(i)}});
  Open(WriteCards("many.csv", cards));
  window.mnuEditParse->trigger();
  ASSERT_EQ(Rows(), 1000);
  // Rows that share a cache slot come back right in either order.
  for (int row : {0, 999, 256, 0, 512, 743, 999}) {
    EXPECT_EQ(Cell(row, 2), QString("Card %1").arg(row));
  }
  window.lvMDB->scrollToBottom();
  QCoreApplication::processEvents();

  // Saving closes the database; the list goes on showing every row.
  dialogs.saveAnswers.push_back(dir.filePath("many.mdb"));
  window.mnuFileSaveAs->trigger();
  EXPECT_EQ(Progress(), "MDB file saved.");
  ASSERT_EQ(Rows(), 1000);
  for (int row : {300, 999, 44, 0}) EXPECT_EQ(Cell(row, 2), QString("Card %1").arg(row));
  EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(WindowTest, CancelledDialogsEndSilently) {
  const QString first = WriteCards("first.csv", {kAda});
  Open(first);
  window.mnuFileOpen->trigger();  // cancelled
  EXPECT_EQ(dialogs.opens.size(), 2u);
  EXPECT_EQ(window.lvCSV->topLevelItemCount(), 47);
  EXPECT_TRUE(window.mnuEditParse->isEnabled());
  // The first export is still open where it was.
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation complete.");
  ASSERT_EQ(Rows(), 1);

  window.mnuFileSaveAs->trigger();  // cancelled
  EXPECT_EQ(dialogs.saves.size(), 1u);
  EXPECT_EQ(Progress(), "");
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(csv.mCardFileOpen);  // nothing was saved, so nothing was closed
  EXPECT_TRUE(reporter.reports.empty());
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
  EXPECT_EQ(dialogs.opens.size(), 1u);
  EXPECT_EQ(window.lvCSV->topLevelItemCount(), 47);
  window.Toolbar1_ButtonClick("Parse");
  EXPECT_EQ(Progress(), "Translation complete.");
  window.Toolbar1_ButtonClick("Save");
  EXPECT_EQ(dialogs.saves.size(), 1u);
}

TEST_F(WindowTest, FailedConversionKeepsListAndSave) {
  Open(WriteCards("good.csv", {kAda, kAlan}));
  window.mnuEditParse->trigger();
  ASSERT_EQ(Rows(), 2);

  // Eleven separators make a record line too short to hold a card.
  Open(WriteExport("bad.csv", {HeaderLine("Other "), RecordLine(kAlan),
                               "\"a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\",\"h\",\"i\",\"j\",\"k\","
                               "\"l\"",
                               RecordLine(kAda)}));
  EXPECT_EQ(window.lvCSV->topLevelItem(0)->text(0), "Other 1");
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation incomplete.");
  ASSERT_FALSE(reporter.reports.empty());
  EXPECT_EQ(reporter.reports.back().text, "Err -2147220502 Problem parsing line!");
  EXPECT_EQ(reporter.reports.back().icon, Icon::Critical);
  EXPECT_TRUE(window.mnuFileSaveAs->isEnabled());
  // The list still shows the last good conversion.
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(0, 2), "Ada");
  EXPECT_EQ(Cell(1, 2), "Alan");
}

TEST_F(WindowTest, SecondParseWithoutOpenListsNoRowsAndNoError) {
  Open(WriteCards("cards.csv", {kAda, kAlan}));
  window.mnuEditParse->trigger();
  ASSERT_EQ(Rows(), 2);
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(window.lvMDB->model()->columnCount(), 42);
  EXPECT_TRUE(window.mnuFileSaveAs->isEnabled());
  EXPECT_TRUE(reporter.reports.empty()) << Texts().front();
}

TEST_F(WindowTest, ParseAfterSaveAsFailsAndSaveAgainWritesSameData) {
  Open(WriteCards("cards.csv", {kAda}));
  window.mnuEditParse->trigger();
  dialogs.saveAnswers = {dir.filePath("a.mdb"), dir.filePath("b.mdb")};
  window.mnuFileSaveAs->trigger();
  window.mnuFileSaveAs->trigger();
  EXPECT_EQ(Progress(), "MDB file saved.");
  QFile a(dir.filePath("a.mdb"));
  QFile b(dir.filePath("b.mdb"));
  ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  EXPECT_EQ(a.readAll(), b.readAll());
  ASSERT_TRUE(reporter.reports.empty());

  // Saving closed the export, so there is nothing left to convert.
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation incomplete.");
  EXPECT_FALSE(reporter.reports.empty());
  EXPECT_TRUE(window.mnuFileSaveAs->isEnabled());
}

TEST_F(WindowTest, FailedSaveShowsHourglassThenRestoresIt) {
  Open(WriteCards("cards.csv", {kAda}));
  window.mnuEditParse->trigger();
  dialogs.saveAnswers.push_back(dir.filePath("no such folder/out.mdb"));
  window.mnuFileSaveAs->trigger();
  ASSERT_EQ(reporter.reports.size(), 1u);
  EXPECT_EQ(reporter.reports[0].icon, Icon::Critical);
  EXPECT_EQ(reporter.reports[0].windowCursor, Qt::WaitCursor);
  EXPECT_EQ(Progress(), "");
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(WindowTest, FailedOpenLeavesCommandsAsTheyWere) {
  Open(dir.filePath("missing.csv"));
  ASSERT_EQ(reporter.reports.size(), 1u);
  EXPECT_EQ(reporter.reports[0].icon, Icon::Critical);
  EXPECT_FALSE(window.mnuEditParse->isEnabled());
  EXPECT_FALSE(window.Button("Parse")->isEnabled());
  EXPECT_EQ(window.lvCSV->topLevelItemCount(), 0);
}

TEST_F(WindowTest, ShortFieldListIsListedThenReported) {
  window.FillCSVlv({u"One", u"Two"});
  EXPECT_EQ(window.lvCSV->topLevelItemCount(), 2);
  ASSERT_EQ(reporter.reports.size(), 1u);
  EXPECT_EQ(reporter.reports[0].text.rfind("Err 9 ", 0), 0u) << reporter.reports[0].text;
  EXPECT_EQ(reporter.reports[0].icon, Icon::Exclamation);
}

TEST_F(WindowTest, LayoutGivesExtraHeightToBothListsAndExtraWidthToRecords) {
  const QSize load = window.size();
  EXPECT_EQ(window.minimumSize(), load);
  const QRect csv0 = window.lvCSV->geometry();
  const QRect mdb0 = window.lvMDB->geometry();
  EXPECT_EQ(csv0.width(), TwipsX(2055));
  EXPECT_EQ(mdb0.height(), TwipsY(3975));
  EXPECT_EQ(mdb0.x(), TwipsX(2040));  // overlapping lvCSV as designed
  EXPECT_EQ(mdb0.right() + 1, window.centralWidget()->width());

  window.resize(load.width(), load.height() + 40);
  QCoreApplication::processEvents();
  ASSERT_EQ(window.size(), QSize(load.width(), load.height() + 40));
  EXPECT_EQ(window.lvCSV->geometry(), csv0.adjusted(0, 0, 0, 40));
  EXPECT_EQ(window.lvMDB->geometry(), mdb0.adjusted(0, 0, 0, 40));

  window.resize(load.width() + 70, load.height() + 40);
  QCoreApplication::processEvents();
  EXPECT_EQ(window.lvCSV->geometry(), csv0.adjusted(0, 0, 0, 40));
  EXPECT_EQ(window.lvMDB->geometry(), mdb0.adjusted(0, 0, 70, 40));

  // Smaller than at load snaps back; the lists return to their load sizes.
  window.resize(load.width() - 50, load.height() - 30);
  QCoreApplication::processEvents();
  EXPECT_EQ(window.size(), load);
  EXPECT_EQ(window.lvCSV->geometry(), csv0);
  EXPECT_EQ(window.lvMDB->geometry(), mdb0);
}

TEST_F(WindowTest, ExitAndCloseCloseTheCardDatabase) {
  Open(WriteCards("cards.csv", {kAda}));
  window.mnuEditParse->trigger();
  ASSERT_TRUE(csv.mDbOpen && csv.mCardFileOpen);
  window.mnuExit->trigger();
  EXPECT_FALSE(csv.mDbOpen);
  EXPECT_FALSE(csv.mCardFileOpen);

  window.mnuEditParse->trigger();  // reopens the database (export closed: incomplete)
  ASSERT_TRUE(csv.mDbOpen);
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(csv.mDbOpen);
}

TEST_F(WindowTest, HelpCommandsUseTheirHooks) {
  QString opened;
  window.openDocument = [&](const QString& path) {
    opened = path;
    return QString();
  };
  window.mnuHelpIndex->trigger();
  EXPECT_TRUE(opened.endsWith("Readme.txt"));
  EXPECT_TRUE(reporter.reports.empty());

  window.openDocument = [](const QString&) { return QString("File not found"); };
  window.mnuHelpIndex->trigger();
  ASSERT_EQ(reporter.reports.size(), 1u);
  EXPECT_EQ(reporter.reports[0].text, "File not found");
  EXPECT_EQ(reporter.reports[0].icon, Icon::None);

  int about = 0;
  int notes = 0;
  window.onAbout = [&] { ++about; };
  window.onNotesToJournal = [&] { ++notes; };
  window.mnuHelpAbout->trigger();
  window.mnuNotesToJournal->trigger();
  EXPECT_EQ(about, 1);
  EXPECT_EQ(notes, 1);
}

}  // namespace
}  // namespace tessaly
