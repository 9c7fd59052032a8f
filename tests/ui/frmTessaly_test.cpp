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
#include "session/session.h"
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

// Parse records, waiting for the conversion as the user would.
void ParseIn(frmTessaly& window) {
  window.mnuEditParse->trigger();
  while (window.session().Converting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

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
  // Parse records, waiting for the conversion as the user would.
  void Parse() { ParseIn(window); }
  void Parse(const QString& path) { Open(path), Parse(); }
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
  frmTessaly window{csv, reporter, dialogs};
};

// The adapter: menu item and toolbar button are one action and agree at every
// step; the session's panels and tips show in the status bar; Save as runs under
// the hourglass.
TEST_F(WindowTest, CommandsPanelsAndSaveAs) {
  for (const auto& [key, item] : {std::pair{"Open", window.mnuFileOpen},
                                  {"Parse", window.mnuEditParse},
                                  {"Save", window.mnuFileSaveAs}})
    EXPECT_EQ(window.Button(key), item) << key;
  EXPECT_EQ(Enabled(), std::pair(false, false));
  const QString good = WriteCards("cards.csv", {kAda, kAlan});
  dialogs.open = good;
  window.Button("Open")->trigger();  // as a click on the button
  EXPECT_EQ(Listed(), 47);
  EXPECT_EQ(Enabled(), std::pair(true, false));
  EXPECT_EQ(window.Panel("CSVfile")->text(), "cards.csv");
  EXPECT_EQ(window.Panel("CSVfile")->toolTip(), good);
  Parse();
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_EQ(window.Panel("MDBfile")->text(), "2 cards");
  EXPECT_EQ(Enabled(), std::pair(false, true));
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Columns(), 42);
  EXPECT_EQ(window.lvMDB->model()->headerData(4, Qt::Horizontal).toString(), "LastName");
  EXPECT_EQ(Cell(1, 2), "Alan");

  window.Button("Save")->trigger();  // cancelled
  EXPECT_EQ(dialogs.saves, 1);
  EXPECT_EQ(Progress(), "");
  SaveAs(dir.filePath("no such folder/out.mdb"));
  ASSERT_EQ(reporter.reports.size(), 1u) << Reports();
  EXPECT_EQ(cursors, std::vector{Qt::WaitCursor});
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  SaveAs(dir.filePath("out.mdb"));
  EXPECT_EQ(Progress(), "MDB file saved.");
  EXPECT_EQ(window.Panel("MDBfile")->text(), "out.mdb");
  EXPECT_EQ(window.Panel("MDBfile")->toolTip(),
            dir.filePath("out.mdb") + "\nCards written: 2, cards failed: 0.");
  EXPECT_EQ(window.Panel("CSVfile")->text(), "");
  EXPECT_EQ(Cell(1, 2), "Alan");  // the listing survives the closed database
  EXPECT_FALSE(Bytes("out.mdb").isEmpty());
  EXPECT_EQ(Enabled(), std::pair(false, true));

  // A name too long for its panel gives up its middle; the tip keeps it whole.
  const std::string name = "contacts-" + std::string(80, 'x') + ".csv";
  window.SetPanel(Panel::kCsvFile, name, "/home/" + name);
  QLabel* panel = window.Panel("CSVfile");
  EXPECT_TRUE(panel->text().startsWith("contacts-") && panel->text().endsWith(".csv"));
  EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width());
  EXPECT_EQ(panel->toolTip().toStdString(), "/home/" + name);
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

// The real boxes, answered as a user would: the first line as ever, the card or
// the line below it, and the check box that ends the card messages of this
// conversion.
TEST_F(WindowTest, MessageBoxesOnTheOffscreenPlatform) {
  MessageBoxReporter boxes;
  modCSV converter(boxes);
  frmTessaly own(converter, boxes, dialogs);
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
  ParseIn(own);
  EXPECT_EQ(own.Panel("Progress")->text(), "Translation complete.");
  EXPECT_EQ(converter.LastRun().cardsFailed, 2);
  EXPECT_EQ(seen, QStringList{"Err 3163 The text for field 'Company' is 56 characters long; the "
                              "field holds at most 55.\nCard 2, line 3: Lovelace [Show no more "
                              "card errors for this conversion]"});

  seen.clear();
  dialogs.open = WriteExport("contacts.csv", {HeaderLine(), "x", RecordLine(kAda)});
  own.mnuFileOpen->trigger();
  ParseIn(own);
  EXPECT_EQ(own.Panel("Progress")->text(), "Translation incomplete.");
  EXPECT_EQ(seen, (QStringList{"Err 9 Subscript out of range (a continuation line with no card "
                               "before it)\nLine 2 of contacts.csv",
                               "Err -2147220502 Problem parsing line!\nLine 2 of contacts.csv"}));
}

// A slow conversion shows how far it got, at most ten times a second, with the
// commands disabled; the window keeps handling events meanwhile.
TEST_F(WindowTest, ProgressWhileConverting) {
  std::vector<Card> cards(20000, kAda);
  const QString path = WriteCards("large.csv", cards);  // about 5 MB, read 1 MB at a time
  Open(path);
  seam::ScopedFault slow(
      seam::FileOp::kExportRead,
      [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }, 0, true);
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
  Parse();
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
  int first = -1;
  for (const QString& text : shown) {
    const auto match =
        QRegularExpression(QString::fromUtf8("^Converting\u2026 (\\d+)%$")).match(text);
    ASSERT_TRUE(match.hasMatch()) << text.toStdString();
    EXPECT_GE(match.captured(1).toInt(), last);
    last = match.captured(1).toInt();
    if (first < 0) first = last;
  }
  EXPECT_LT(first, 100);  // shown while it ran, not only at its end
}

// Closing the window during a conversion closes it once the conversion ends.
TEST_F(WindowTest, CloseDuringConversionWaitsForItsEnd) {
  Open(WriteCards("cards.csv", {kAda, kAlan}));
  seam::ScopedFault slow(seam::FileOp::kExportRead,
                         [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
  QTimer::singleShot(50, [&] { window.close(); });
  Parse();
  EXPECT_EQ(Progress(), "Translation complete.");
  EXPECT_FALSE(csv.mDbOpen());
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
  Parse();
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
