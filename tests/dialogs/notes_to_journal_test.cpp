#include "ui/notes_to_journal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "engine/modCSV.h"
#include "outlook/folder_store.h"
#include "tests/support/recording_reporter.h"
#include "ui/file_dialogs.h"
#include "ui/frmExFolders.h"
#include "ui/frmTessaly.h"
#include "ui/message_box_reporter.h"

namespace tessaly {
namespace {

// A stand-in store's folder, named as its id; type 2 holds contacts.
QString Folder(const QString& id, int type, int count, const QString& folders = "") {
  return QString(R"({"entryId": "%1", "name": "%1", "defaultItemType": %2, "itemCount": %3,)"
                 R"( "folders": [%4]})")
      .arg(id, QString::number(type), QString::number(count), folders);
}
QByteArray Store(const QStringList& roots) {
  return (R"({"stores": [{"root": )" + roots.join(R"(}, {"root": )") + "}]}").toUtf8();
}
const QByteArray kStore = Store(
    {Folder("ROOT", 0, 0, Folder("00000000EMPTY", 2, 0) + "," + Folder("00000000FULL", 2, 312))});

class NotesToJournalTest : public testing::Test {
 protected:
  NotesToJournalTest() { ConnectNotesToJournal(window_, csv_, reporter_); }
  void TearDown() override { qunsetenv(outlook::kStoreVariable); }

  void UseStore(const QByteArray& json) {
    QFile file(dir_.filePath("store.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(json) >= 0);
    qputenv(outlook::kStoreVariable, file.fileName().toLocal8Bit());
  }

  // Edit > Notes to Journal; `whileOpen` acts on the dialog before it closes. False if none.
  bool Run(const std::function<void(frmExFolders&)>& whileOpen = [](frmExFolders&) {}) {
    bool shown = false;
    QObject call;  // the timer goes with this call, fired or not
    QTimer::singleShot(0, &call, [&] {
      if (auto* dialog = qobject_cast<frmExFolders*>(QApplication::activeModalWidget())) {
        shown = true;
        whileOpen(*dialog);
        dialog->close();
      }
    });
    window_.mnuNotesToJournal->trigger();
    return shown;
  }

  // Types `text` into the contact box and leaves it with Tab.
  static void Leave(frmExFolders& dialog, const QString& text) {
    dialog.activateWindow();  // again, after a message box
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.txtContactFolder->setFocus(Qt::MouseFocusReason);
    dialog.txtContactFolder->setText(text);
    QTest::keyClick(dialog.txtContactFolder, Qt::Key_Tab);
    EXPECT_EQ(dialog.focusWidget(), dialog.txtJournalFolder);
  }

  QTemporaryDir dir_;
  test::RecordingReporter reporter_;
  modCSV csv_{reporter_};
  QtFileDialogs dialogs_;  // never asked
  frmTessaly window_{csv_, reporter_, dialogs_};
};

TEST_F(NotesToJournalTest, DialogLoadedAnewUntilOutlookIsUnavailable) {
  UseStore(kStore);
  ASSERT_TRUE(Run([](frmExFolders& dialog) { Leave(dialog, "00000000FULL"); }));
  ASSERT_TRUE(Run([](frmExFolders& dialog) { EXPECT_EQ(dialog.Panel("Contact")->text(), ""); }));
  EXPECT_TRUE(reporter_.reports.empty());
  const auto app = csv_.mOlApp();
  const auto ns = csv_.mOlNs();
  ASSERT_TRUE(app && ns);

  for (const QByteArray& store :
       {QByteArray(), dir_.filePath("missing.json").toLocal8Bit(), dir_.path().toLocal8Bit()}) {
    qputenv(outlook::kStoreVariable, store);
    reporter_.reports.clear();
    EXPECT_FALSE(Run()) << store.toStdString();
    ASSERT_EQ(reporter_.reports.size(), 1u);
    EXPECT_EQ(reporter_.reports[0].icon, Icon::Exclamation);
    EXPECT_EQ(reporter_.reports[0].text.rfind("Err 429 Outlook is not available (", 0), 0u)
        << reporter_.reports[0].text;
    EXPECT_TRUE(csv_.mOlApp() == app && csv_.mOlNs() == ns);
    EXPECT_EQ(window_.lvCSV->topLevelItemCount(), 0);
  }
}

// With real message boxes, which open while the focus leaves the contact box.
TEST_F(NotesToJournalTest, ContactBoxShowsTheItemCount) {
  UseStore(kStore);
  MessageBoxReporter boxes(&window_);
  const auto ns = outlook::CreateOutlookApplication()->GetNamespace("MAPI");
  frmExFolders dialog(ns, boxes);  // keeps a reference to `ns`
  dialog.show();
  QStringList shown;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      if (box->icon() == QMessageBox::Critical) shown << box->text();
      box->accept();
    }
  });
  timer.start(10);
  // Nothing typed and an unknown id find no folder and keep the last count.
  const std::pair<const char*, const char*> lookups[] = {
      {"", ""}, {"00000000EMPTY", "0"}, {"  00000000FULL  ", "312"}, {"00000000NONE", "312"}};
  for (const auto& [text, count] : lookups) {
    Leave(dialog, text);
    EXPECT_EQ(dialog.Panel("Contact")->text(), QString(count)) << text;
  }
  ASSERT_EQ(shown.size(), 2);
  for (const QString& text : shown)
    EXPECT_TRUE(text.startsWith("Err -2147221233 ")) << text.toStdString();

  // Neither the journal box nor OK looks anything up or closes the dialog.
  dialog.txtJournalFolder->setText("ROOT");
  QTest::keyClick(dialog.txtJournalFolder, Qt::Key_Tab);
  dialog.OKButton->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(shown.size(), 2);
}

// A folder is listed once for holding items and once more for holding contacts.
TEST_F(NotesToJournalTest, ListContactFolders) {
  QStringList names;
  const auto add = [&](const std::string& name) { names << QString::fromStdString(name); };
  EXPECT_FALSE(ListContactFolders(nullptr, add, reporter_));  // never connected
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].icon, Icon::Exclamation);
  EXPECT_EQ(reporter_.reports[0].text.rfind("Err 91 ", 0), 0u);

  UseStore(Store({Folder("Cards", 2, 4), Folder("Mail", 0, 0), Folder("Inbox", 0, 9),
                  Folder("No cards", 2, 0)}));
  EXPECT_TRUE(ListContactFolders(outlook::CreateOutlookApplication(), add, reporter_));
  EXPECT_EQ(names, QStringList({"Cards", "Cards", "Inbox", "No cards"}));
  EXPECT_EQ(reporter_.reports.size(), 1u);
}

}  // namespace
}  // namespace tessaly
