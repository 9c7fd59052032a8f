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
#include <QMenu>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
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
#include "tests/support/main_window_behaviour.h"
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

using test::Card;
using test::kAda;
using test::kAlan;

// Parse records, waiting for the conversion as the user would.
void ParseIn(frmTessaly& window) {
  window.mnuEditParse->trigger();
  while (window.session().Converting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
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
    return QString::fromStdString(test::WriteCards(dir.filePath(name).toStdString(), cards));
  }
  void Open(const QString& path) { dialogs.open = path, window.mnuFileOpen->trigger(); }
  // Parse records, waiting for the conversion as the user would.
  void Parse() { ParseIn(window); }
  QString Progress() const { return window.Panel(QStringLiteral("Progress"))->text(); }

  QTemporaryDir dir;
  test::RecordingReporter reporter;
  modCSV csv{reporter};
  ScriptedDialogs dialogs;
  frmTessaly window{csv, reporter, dialogs};
};

// The Qt window as a user drives and reads it.
class QtWindowDriver : public test::MainWindowDriver {
 public:
  QtWindowDriver(frmTessaly& window, ScriptedDialogs& dialogs) : window_(window), dialogs_(dialogs) {}

  std::string Caption() override { return window_.windowTitle().toStdString(); }
  std::vector<test::MenuSeen> Menus() override {
    std::vector<test::MenuSeen> menus;
    for (QMenu* menu : {window_.mnuFile, window_.mnuEdit, window_.mnuHelp}) {
      test::MenuSeen seen{menu->title().toStdString(), {}};
      for (QAction* item : menu->actions()) {
        seen.items.push_back({item->isSeparator() ? "-" : item->text().toStdString(),
                              item->shortcut().toString().toStdString(), item->isEnabled()});
      }
      menus.push_back(seen);
    }
    return menus;
  }
  std::vector<test::ButtonSeen> Buttons() override {
    std::vector<test::ButtonSeen> buttons;
    for (QAction* button : window_.Toolbar1->actions()) {
      buttons.push_back({button->data().toString().toStdString(), button->toolTip().toStdString(),
                         button->isEnabled()});
    }
    return buttons;
  }
  std::vector<std::string> PanelKeys() override {
    std::vector<std::string> keys;
    for (QLabel* panel : window_.statusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
      keys.push_back(panel->objectName().toStdString());
    }
    return keys;
  }
  std::string PanelText(const std::string& key) override {
    return window_.Panel(QString::fromStdString(key))->text().toStdString();
  }
  std::string PanelTip(const std::string& key) override {
    return window_.Panel(QString::fromStdString(key))->toolTip().toStdString();
  }
  std::vector<std::string> FieldNames() override {
    std::vector<std::string> names;
    for (int i = 0; i < window_.lvCSV->topLevelItemCount(); ++i) {
      names.push_back(window_.lvCSV->topLevelItem(i)->text(0).toStdString());
    }
    return names;
  }
  std::string CsvHeader() override { return window_.lvCSV->headerItem()->text(0).toStdString(); }
  std::vector<std::string> Headers() override {
    std::vector<std::string> headers;
    for (int c = 0; c < window_.lvMDB->model()->columnCount(); ++c) {
      headers.push_back(window_.lvMDB->model()->headerData(c, Qt::Horizontal).toString().toStdString());
    }
    return headers;
  }
  int64_t Rows() override { return window_.lvMDB->model()->rowCount(); }
  std::string Cell(int64_t row, int column) override {
    return window_.lvMDB->model()->index(static_cast<int>(row), column).data().toString().toStdString();
  }

  void AnswerOpen(std::optional<std::string> path) override {
    dialogs_.open = path ? std::optional(QString::fromStdString(*path)) : std::nullopt;
  }
  void AnswerSave(std::optional<std::string> path) override {
    dialogs_.save = path ? std::optional(QString::fromStdString(*path)) : std::nullopt;
  }
  void ChooseMenuItem(const std::string& caption) override {
    for (QAction* item : window_.findChildren<QAction*>()) {
      if (item->text().toStdString() == caption && !item->isSeparator()) {
        item->trigger();
        return;
      }
    }
    ADD_FAILURE() << "no menu item " << caption;
  }
  void ClickButton(const std::string& key) override {
    QAction* button = window_.Button(QString::fromStdString(key));
    ASSERT_NE(button, nullptr) << key;
    QWidget* widget = window_.Toolbar1->widgetForAction(button);
    ASSERT_NE(widget, nullptr) << key;
    QTest::mouseClick(widget, Qt::LeftButton);
  }
  void TypeCtrl(char key) override {
    window_.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
    QTest::keyClick(&window_, static_cast<Qt::Key>(key), Qt::ControlModifier);
  }
  void WaitWhileConverting(const std::function<void()>& meanwhile) override {
    QTimer sample;
    if (meanwhile) {
      QObject::connect(&sample, &QTimer::timeout, meanwhile);
      sample.start(10);
    }
    while (window_.session().Converting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
  }
  void AskToClose() override { window_.close(); }
  bool Shows() override { return window_.isVisible(); }
  bool Busy() override { return window_.cursor().shape() == Qt::WaitCursor; }
  void ListFieldNames(const std::vector<std::u16string>& names) override { window_.FillCSVlv(names); }
  void OpenGuideWith(std::function<std::string(const std::string& path)> open) override {
    window_.openDocument = [open](const QString& path) {
      return QString::fromStdString(open(path.toStdString()));
    };
  }

  void ResizeWindow(int width, int height) override {
    window_.resize(width, height);
    QCoreApplication::processEvents();
  }
  test::Rect WindowRect() override { return Of(QRect(window_.pos(), window_.size())); }
  test::Rect CsvRect() override { return Of(window_.lvCSV->geometry()); }
  test::Rect MdbRect() override { return Of(window_.lvMDB->geometry()); }

 private:
  static test::Rect Of(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

  frmTessaly& window_;
  ScriptedDialogs& dialogs_;
};

TEST_F(WindowTest, LooksAsDesigned) {
  QtWindowDriver driver(window, dialogs);
  test::ExpectLooksAsDesigned(driver);
}

TEST_F(WindowTest, CommandsByMenuButtonAndShortcut) {
  QtWindowDriver driver(window, dialogs);
  test::RunCommandSteps(driver, std::filesystem::path(dir.path().toStdString()), reporter);
}

TEST_F(WindowTest, LayoutRule) {
  QtWindowDriver driver(window, dialogs);
  test::RunResizeSteps(driver);
}

TEST_F(WindowTest, SaveAsUnderTheHourglass) {
  QtWindowDriver driver(window, dialogs);
  test::RunSaveAs(driver, std::filesystem::path(dir.path().toStdString()), reporter);
}

TEST_F(WindowTest, FailuresAreReportedWithTheirIcons) {
  QtWindowDriver driver(window, dialogs);
  test::RunFailureReports(driver, reporter);
}

TEST_F(WindowTest, ProgressWhileConverting) {
  QtWindowDriver driver(window, dialogs);
  test::RunProgressWhileConverting(driver, std::filesystem::path(dir.path().toStdString()));
}

TEST_F(WindowTest, CloseDuringConversionWaitsForItsEnd) {
  QtWindowDriver driver(window, dialogs);
  test::RunCloseDuringConversion(driver, std::filesystem::path(dir.path().toStdString()));
  EXPECT_FALSE(csv.mDbOpen());
}

// A name too long for its panel gives up its middle; the tip keeps it whole.
TEST_F(WindowTest, LongNamesInPanels) {
  const std::string name = "contacts-" + std::string(80, 'x') + ".csv";
  window.SetPanel(Panel::kCsvFile, name, "/home/" + name);
  QLabel* panel = window.Panel("CSVfile");
  EXPECT_TRUE(panel->text().startsWith("contacts-") && panel->text().endsWith(".csv"));
  EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width());
  EXPECT_EQ(panel->toolTip().toStdString(), "/home/" + name);
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
