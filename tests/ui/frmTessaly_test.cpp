#include "ui/frmTessaly.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/modCSV.h"
#include "platform/file_seam.h"
#include "tests/support/export_lines.h"
#include "tests/support/recording_reporter.h"
#include "ui/file_dialogs.h"
#include "ui/frmAbt.h"
#include "ui/message_box_reporter.h"

namespace tessaly {
namespace {

using test::HeaderLine;
using test::RecordLine;

// Answers the next dialog once, then Cancel.
struct ScriptedDialogs : FileDialogs {
  std::optional<QString> ShowOpen(const FileDialogOptions&) override {
    return std::exchange(open, std::nullopt);
  }
  std::optional<QString> ShowSave(const FileDialogOptions&) override {
    ++saves;
    return std::exchange(save, std::nullopt);
  }
  std::optional<QString> open, save;
  int saves = 0;
};

// One card: export column (1..47) to its text.
using Card = std::map<int, std::string>;

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
  void Open(const QString& path) { dialogs.open = path, window.mnuFileOpen->trigger(); }
  void Parse(const QString& path) { Open(path), window.mnuEditParse->trigger(); }
  void SaveAs(const QString& path) { dialogs.save = path, window.mnuFileSaveAs->trigger(); }
  // Which of Parse and Save are enabled, menu and button alike.
  std::pair<bool, bool> Enabled() const {
    EXPECT_EQ(window.mnuEditParse->isEnabled(), window.Button("Parse")->isEnabled());
    EXPECT_EQ(window.mnuFileSaveAs->isEnabled(), window.Button("Save")->isEnabled());
    return {window.mnuEditParse->isEnabled(), window.mnuFileSaveAs->isEnabled()};
  }

  QString Progress() const { return window.Panel(QStringLiteral("Progress"))->text(); }
  int Listed() const { return window.lvCSV->topLevelItemCount(); }
  int Rows() const { return window.lvMDB->model()->rowCount(); }
  int Columns() const { return window.lvMDB->model()->columnCount(); }
  QString Cell(int row, int col) const {
    return window.lvMDB->model()->index(row, col).data().toString();
  }
  std::string Reports() const { return testing::PrintToString(reporter.Texts()); }
  QByteArray Bytes(const QString& name) const {
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir dir;
  test::RecordingReporter reporter;
  std::vector<Qt::CursorShape> cursors;  // the window's cursor at each report
  modCSV csv{reporter};
  ScriptedDialogs dialogs;
  frmTessaly window{csv, dialogs};
};

// Menu item and toolbar button are one action. Failed or cancelled steps change
// nothing; each export is converted once.
TEST_F(WindowTest, OpenParseSaveProgression) {
  for (const auto& [key, item] : {std::pair{"Open", window.mnuFileOpen},
                                  {"Parse", window.mnuEditParse},
                                  {"Save", window.mnuFileSaveAs}})
    EXPECT_EQ(window.Button(key), item) << key;
  EXPECT_EQ(Enabled(), std::pair(false, false));
  const QString good = WriteCards("cards.csv", {kAda, kAlan});
  dialogs.open = good;
  for (const char* key : {"open", "OPEN", "parse", "save", "Save ", "", "Toolbar1"})
    window.Toolbar1_ButtonClick(key);
  EXPECT_EQ(Listed(), 0);
  EXPECT_EQ(dialogs.saves, 0);
  EXPECT_EQ(Progress(), "");

  Open(dir.filePath("missing.csv"));
  EXPECT_EQ(Listed(), 0);
  // A refused export after a good one leaves nothing to parse but keeps the list.
  for (const QString& refused : {dir.filePath("missing.csv"), WriteExport("empty.csv", {})}) {
    Open(good);
    EXPECT_EQ(Enabled(), std::pair(true, false));
    Open(refused);
    EXPECT_EQ(Enabled(), std::pair(false, false)) << refused.toStdString();
    EXPECT_FALSE(csv.mCardFileOpen);
    EXPECT_EQ(Listed(), 47);
  }
  ASSERT_EQ(reporter.reports.size(), 3u) << Reports();
  for (const auto& report : reporter.reports) EXPECT_EQ(report.icon, Icon::Critical);
  reporter.reports.clear();

  dialogs.open = good;
  window.Button("Open")->trigger();     // as a click on the button
  window.Toolbar1_ButtonClick("Open");  // cancelled
  EXPECT_EQ(Listed(), 47);
  EXPECT_EQ(Enabled(), std::pair(true, false));
  window.Toolbar1_ButtonClick("Parse");
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_EQ(Enabled(), std::pair(false, true));
  window.Toolbar1_ButtonClick("Save");  // cancelled: nothing saved, nothing closed
  EXPECT_EQ(dialogs.saves, 1);
  EXPECT_EQ(Progress(), "");
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(csv.mCardFileOpen);

  SaveAs(dir.filePath("out.mdb"));
  EXPECT_EQ(Progress(), "MDB file saved.");
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  EXPECT_FALSE(csv.mCardFileOpen);
  EXPECT_EQ(Cell(1, 2), "Alan");  // the listing survives the closed database
  EXPECT_TRUE(reporter.reports.empty()) << Reports();
  Open(dir.filePath("missing.csv"));  // the database and its list are untouched
  EXPECT_EQ(Enabled(), std::pair(false, true));
  SaveAs(dir.filePath("again.mdb"));
  EXPECT_FALSE(Bytes("out.mdb").isEmpty());
  EXPECT_EQ(Bytes("out.mdb"), Bytes("again.mdb"));
  EXPECT_EQ(Enabled(), std::pair(false, true));
}

// A failed conversion keeps the list but has replaced the database behind it.
TEST_F(WindowTest, ListingAcrossConversions) {
  Card notes = kAlan;
  notes[47] = "alpha\r\nbeta\r\n";  // the quoted field goes on over three lines
  Parse(WriteCards("notes.csv", {kAda, {}, notes}));
  // "Index" then the 41 fields of the table, in its order.
  ASSERT_EQ(Columns(), 42);
  for (auto [col, name] : {std::pair{0, "Index"}, {1, "Title"}, {37, "Notes"}, {41, "User1"}})
    EXPECT_EQ(window.lvMDB->model()->headerData(col, Qt::Horizontal).toString(), name);
  ASSERT_EQ(Rows(), 3);
  const std::map<int, const char*> ada = {
      {0, ""},           {1, "Dr."}, {4, "Lovelace"}, {29, "555-0100 x12"}, {34, "12/10/1815"},
      {37, "first line"}};
  for (const auto& [column, text] : ada) EXPECT_EQ(Cell(0, column), text) << column;
  for (int column = 0; column < 42; ++column) EXPECT_EQ(Cell(1, column), "") << column;
  EXPECT_EQ(Cell(2, 37), QString::fromUtf8("alpha\u21b5beta"));  // lines joined with a mark

  Parse(WriteCards("two.csv", {kAlan}));  // its own rows under the same columns
  EXPECT_EQ(Columns(), 42);
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Cell(0, 4), "Turing");
  EXPECT_TRUE(reporter.reports.empty()) << Reports();

  // Eleven separators make a record line too short to hold a card.
  Open(WriteExport("bad.csv",
                   {HeaderLine("Other "), RecordLine(kAlan),
                    R"("a","b","c","d","e","f","g","h","i","j","k","l")", RecordLine(kAda)}));
  EXPECT_EQ(window.lvCSV->topLevelItem(0)->text(0), "Other 1");
  EXPECT_EQ(Enabled(), std::pair(true, true));
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation incomplete.");
  ASSERT_FALSE(reporter.reports.empty());
  EXPECT_EQ(reporter.reports.back().text, "Err -2147220502 Problem parsing line!");
  EXPECT_EQ(reporter.reports.back().icon, Icon::Critical);
  ASSERT_EQ(Rows(), 1);  // still the last good conversion
  EXPECT_EQ(Cell(0, 4), "Turing");
  EXPECT_EQ(Enabled(), std::pair(false, false));
  SaveAs(dir.filePath("out.mdb"));
  EXPECT_EQ(dialogs.saves, 0);

  Parse(WriteCards("none.csv", {}));
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(reporter.reports.size(), 2u) << Reports();
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

  SaveAs(dir.filePath("many.mdb"));  // closes the database; every row stays listed
  EXPECT_EQ(Progress(), "MDB file saved.");
  ASSERT_EQ(Rows(), 1000);
  for (int row : {300, 999, 44, 0}) EXPECT_EQ(Cell(row, 2), QString("Card %1").arg(row));
  EXPECT_TRUE(reporter.reports.empty()) << Reports();
}

// A save whose close failed never copies the incomplete database, however often retried.
// Failed saves are reported under the hourglass and never claimed as saved.
TEST_F(WindowTest, FailedSaves) {
  Parse(WriteCards("cards.csv", {kAda, kAlan}));
  const QString old = WriteExport("out.mdb", {"keep me"});
  {
    seam::ScopedFault fault(seam::FileOp::kDatabaseClose, EIO);
    SaveAs(old);
  }
  ASSERT_EQ(reporter.reports.size(), 1u) << Reports();
  EXPECT_NE(reporter.reports[0].text.find("Closing database"), std::string::npos) << Reports();
  EXPECT_EQ(Progress(), "");
  EXPECT_EQ(Enabled(), std::pair(false, false));
  // Even run directly, a retry is refused with a clear message.
  dialogs.save = old;
  window.mnuFileSaveAs_Click();
  ASSERT_EQ(reporter.reports.size(), 2u);
  EXPECT_NE(reporter.reports[1].text.find("cannot be saved"), std::string::npos) << Reports();
  EXPECT_EQ(Progress(), "");
  EXPECT_EQ(Bytes("out.mdb"), "keep me\r\n");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 2);  // no copy left

  Parse(WriteCards("again.csv", {kAlan}));  // a new conversion can be saved again
  SaveAs(dir.filePath("no such folder/out.mdb"));
  ASSERT_EQ(reporter.reports.size(), 3u) << Reports();
  EXPECT_EQ(reporter.reports[2].icon, Icon::Critical);
  EXPECT_EQ(cursors, std::vector(3, Qt::WaitCursor));
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Progress(), "");
  SaveAs(old);
  EXPECT_EQ(Progress(), "MDB file saved.");
}

TEST_F(WindowTest, FailuresAreReportedWithTheirIcons) {
  window.FillCSVlv({u"One", u"Two"});  // listed, then reported as short
  EXPECT_EQ(Listed(), 2);

  QString opened;
  window.openDocument = [&](const QString& path) {
    opened = path;
    return QString("File not found");
  };
  window.mnuHelpIndex->trigger();
  EXPECT_TRUE(opened.endsWith("Readme.txt")) << opened.toStdString();

  ASSERT_EQ(reporter.reports.size(), 2u) << Reports();
  EXPECT_EQ(reporter.reports[0].text.rfind("Err 9 ", 0), 0u) << Reports();
  EXPECT_EQ(reporter.reports[0].icon, Icon::Exclamation);
  EXPECT_EQ(reporter.reports[1].text, "File not found");
  EXPECT_EQ(reporter.reports[1].icon, Icon::None);
}

// Extra height goes to both lists, extra width to lvMDB; smaller snaps back.
TEST_F(WindowTest, LayoutRule) {
  const QSize load = window.size();
  const QRect csv0 = window.lvCSV->geometry(), mdb0 = window.lvMDB->geometry();
  // Asked for wider and taller; what the lists gain in width and height.
  for (auto [wider, taller, width, height] :
       {std::array{0, 40, 0, 40}, std::array{70, 40, 70, 40}, std::array{-50, -30, 0, 0}}) {
    window.resize(load.width() + wider, load.height() + taller);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.size(), load + QSize(width, height)) << wider << "x" << taller;
    EXPECT_EQ(window.lvCSV->geometry(), csv0.adjusted(0, 0, 0, height));
    EXPECT_EQ(window.lvMDB->geometry(), mdb0.adjusted(0, 0, width, height));
  }
}

TEST_F(WindowTest, ExitAndCloseCloseTheCardDatabase) {
  Parse(WriteCards("cards.csv", {kAda}));
  ASSERT_TRUE(csv.mDbOpen && csv.mCardFileOpen);
  window.mnuExit->trigger();
  EXPECT_FALSE(csv.mDbOpen || csv.mCardFileOpen);
  window.mnuEditParse_Click();  // not offered, but the handler reopens the database
  ASSERT_TRUE(csv.mDbOpen);
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(csv.mDbOpen);
}

// Refused cards: the message names the card (with the recorder the card comes
// apart); asked for no more, the run goes on and still counts them.
TEST_F(WindowTest, RefusedCardsNamedUntilNoMoreAreWanted) {
  const std::string tooLong(56, 'x');
  const QString path = WriteCards(
      "refused.csv", {{{2, "Ada"}, {3, "Lovelace"}, {18, tooLong}}, kAlan, {{18, tooLong}}});
  for (bool noMore : {false, true}) {
    reporter.reports.clear();
    reporter.noMoreCardMessages = noMore;
    Parse(path);
    EXPECT_EQ(Progress(), "Translation complete.");
    EXPECT_EQ(csv.mCardsFailed, 2);
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

// The real box, answered as a user would: the first line as ever, the card below
// it, and the check box that ends the card messages of this conversion.
TEST_F(WindowTest, CardMessageBoxOnTheOffscreenPlatform) {
  MessageBoxReporter boxes;
  modCSV converter(boxes);
  frmTessaly own(converter, dialogs);
  boxes.SetParent(&own);
  QStringList seen;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen << box->text() + (box->checkBox() ? " [" + box->checkBox()->text() + "]" : "");
    if (box->checkBox()) box->checkBox()->setChecked(true);
    box->button(QMessageBox::Ok)->click();
  });
  answer.start(5);
  const std::string tooLong(56, 'x');
  dialogs.open =
      WriteCards("refused.csv", {kAlan, {{3, "Lovelace"}, {18, tooLong}}, {{18, tooLong}}});
  own.mnuFileOpen->trigger();
  own.mnuEditParse->trigger();
  EXPECT_EQ(own.Panel("Progress")->text(), "Translation complete.");
  EXPECT_EQ(converter.mCardsFailed, 2);
  EXPECT_EQ(seen, QStringList{"Err 3163 The text for field 'Company' is 56 characters long; the "
                              "field holds at most 55.\nCard 2, line 3: Lovelace [Show no more "
                              "card errors for this conversion]"});
}

// A slow conversion shows how far it got, at most ten times a second, with the
// commands disabled; the window keeps handling events meanwhile.
TEST_F(WindowTest, ProgressWhileConverting) {
  std::vector<Card> cards(12000, kAda);
  const QString path = WriteCards("large.csv", cards);  // about 3 MB, read 1 MB at a time
  Open(path);
  seam::ScopedFault slow(
      seam::FileOp::kExportRead,
      [] { std::this_thread::sleep_for(std::chrono::milliseconds(250)); }, 0, true);
  QStringList texts;
  bool disabledMeanwhile = true;
  QTimer sample;
  QObject::connect(&sample, &QTimer::timeout, [&] {
    if (texts.isEmpty() || texts.back() != Progress()) texts << Progress();
    for (QAction* command :
         {window.mnuFileOpen, window.mnuEditParse, window.mnuFileSaveAs, window.mnuExit}) {
      if (Progress().startsWith("Converting") && command->isEnabled()) disabledMeanwhile = false;
    }
  });
  sample.start(10);
  const auto start = std::chrono::steady_clock::now();
  window.mnuEditParse->trigger();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  sample.stop();
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_TRUE(disabledMeanwhile);
  EXPECT_TRUE(window.mnuFileOpen->isEnabled() && window.mnuFileSaveAs->isEnabled());
  const QStringList shown = texts.filter("Converting");
  ASSERT_FALSE(shown.isEmpty()) << texts.join(" | ").toStdString();
  EXPECT_LE(shown.size(), seconds * 10 + 1);
  int last = -1;
  for (const QString& text : shown) {
    const auto match =
        QRegularExpression(QString::fromUtf8("^Converting\u2026 (\\d+)%$")).match(text);
    ASSERT_TRUE(match.hasMatch()) << text.toStdString();
    EXPECT_GE(match.captured(1).toInt(), last);
    last = match.captured(1).toInt();
  }
}

// Closing the window during a conversion closes it once the conversion ends.
TEST_F(WindowTest, CloseDuringConversionWaitsForItsEnd) {
  Open(WriteCards("cards.csv", {kAda, kAlan}));
  seam::ScopedFault slow(seam::FileOp::kExportRead,
                         [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
  QTimer::singleShot(50, [&] { window.close(); });
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_FALSE(csv.mDbOpen);
  EXPECT_FALSE(window.isVisible());
}

// Help > About loads one box, also during a conversion, and the box still reports
// to the user once the conversion's relay is gone.
TEST_F(WindowTest, AboutBoxDuringAConversion) {
  Open(WriteCards("cards.csv", {kAda, kAlan}));
  seam::ScopedFault slow(seam::FileOp::kExportRead,
                         [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
  QTimer::singleShot(50, [&] {
    window.mnuHelpAbout->trigger();
    window.mnuHelpAbout->trigger();
  });
  window.mnuEditParse->trigger();
  EXPECT_EQ(Progress(), "Translation complete.");
  QList<frmAbt*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<frmAbt*>(widget)) boxes << box;
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0]->isVisible());

  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", "");  // no system-information program to be found
  boxes[0]->cmdSysInfo->click();
  qputenv("PATH", path);
  EXPECT_EQ(reporter.Texts(), std::vector<std::string>{kSysInfoUnavailable});
  delete boxes[0];
}

}  // namespace
}  // namespace tessaly
