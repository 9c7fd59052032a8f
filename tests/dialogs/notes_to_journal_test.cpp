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
#include "ui/frmAbt.h"
#include "ui/frmExFolders.h"
#include "ui/frmTessaly.h"
#include "ui/message_box_reporter.h"

namespace tessaly {
namespace {

constexpr const char* kStore = R"({"stores": [
  {"root": {"entryId": "ROOT", "name": "Mailbox", "defaultItemType": 0, "itemCount": 0,
    "folders": [
      {"entryId": "00000000EMPTY", "name": "Empty", "defaultItemType": 2, "itemCount": 0},
      {"entryId": "00000000FULL", "name": "Contacts", "defaultItemType": 2, "itemCount": 312}]}}
]})";

class NotesToJournalTest : public testing::Test {
 protected:
  NotesToJournalTest() { ConnectNotesAndAbout(window_, csv_, reporter_); }
  void TearDown() override { qunsetenv(outlook::kStoreVariable); }

  void UseStore(const char* json) {
    QFile file(dir_.filePath("store.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(json) >= 0);
    qputenv(outlook::kStoreVariable, file.fileName().toLocal8Bit());
  }

  // Runs Edit > Notes to Journal; `whileOpen` acts on the folder dialog, which is
  // then closed. False when no dialog was shown.
  bool Run(const std::function<void(frmExFolders&)>& whileOpen = [](frmExFolders&) {}) {
    bool shown = false;
    QTimer timer;  // goes with this call, fired or not
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (auto* dialog = qobject_cast<frmExFolders*>(QApplication::activeModalWidget())) {
        shown = true;
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        whileOpen(*dialog);
        dialog->close();
      }
    });
    timer.start(0);
    window_.mnuNotesToJournal->trigger();
    return shown;
  }

  // Types `text` into the contact box and leaves it with Tab.
  static void Leave(frmExFolders& dialog, const QString& text) {
    dialog.txtContactFolder->setFocus(Qt::MouseFocusReason);
    dialog.txtContactFolder->setText(text);
    QTest::keyClick(dialog.txtContactFolder, Qt::Key_Tab);
    EXPECT_EQ(dialog.focusWidget(), dialog.txtJournalFolder);
  }

  QTemporaryDir dir_;
  test::RecordingReporter reporter_;
  modCSV csv_{reporter_};
  QtFileDialogs dialogs_;  // never asked
  frmTessaly window_{csv_, dialogs_};
};

TEST_F(NotesToJournalTest, DialogLoadedAnewUntilOutlookIsUnavailable) {
  UseStore(kStore);
  ASSERT_TRUE(Run([](frmExFolders& dialog) { Leave(dialog, "00000000FULL"); }));
  ASSERT_TRUE(Run([](frmExFolders& dialog) { EXPECT_EQ(dialog.Panel("Contact")->text(), ""); }));
  EXPECT_TRUE(reporter_.reports.empty());
  const auto app = csv_.mOlApp;
  const auto ns = csv_.mOlNs;
  ASSERT_TRUE(app && ns);
  const int listed = window_.lvCSV->topLevelItemCount();

  for (const QByteArray& store :
       {QByteArray(), dir_.filePath("missing.json").toLocal8Bit(), dir_.path().toLocal8Bit()}) {
    qputenv(outlook::kStoreVariable, store);
    reporter_.reports.clear();
    EXPECT_FALSE(Run()) << store.toStdString();
    ASSERT_EQ(reporter_.reports.size(), 1u);
    EXPECT_EQ(reporter_.reports[0].icon, Icon::Exclamation);
    EXPECT_EQ(reporter_.reports[0].text.rfind("Err 429 Outlook is not available (", 0), 0u)
        << reporter_.reports[0].text;
    EXPECT_EQ(csv_.mOlApp, app);
    EXPECT_EQ(csv_.mOlNs, ns);
    EXPECT_EQ(window_.lvCSV->topLevelItemCount(), listed);
    EXPECT_FALSE(window_.mnuEditParse->isEnabled());
  }
}

// With real message boxes, which open while the focus leaves the contact box.
TEST_F(NotesToJournalTest, ContactBoxShowsTheItemCount) {
  UseStore(kStore);
  MessageBoxReporter boxes(&window_);
  const auto ns = outlook::CreateOutlookApplication()->GetNamespace("MAPI");
  frmExFolders dialog(ns, boxes);  // keeps a reference to `ns`
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QStringList shown;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown << box->text();
      EXPECT_EQ(box->icon(), QMessageBox::Critical);
      box->accept();
    }
  });
  timer.start(10);
  QLabel* contact = dialog.Panel("Contact");
  EXPECT_EQ(contact->text(), "");
  // Tab order from the first control; leaving the empty box finds nothing.
  for (QWidget* next : std::initializer_list<QWidget*>{dialog.OKButton, dialog.CancelButton,
                                                       dialog.txtContactFolder}) {
    EXPECT_EQ(QApplication::focusWidget(), next);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(shown.size(), 1);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

  const std::pair<const char*, const char*> lookups[] = {
      {"  00000000FULL  ", "312"},
      {"00000000EMPTY", "0"},
      {"00000000FULL", "312"},
      {"Contacts", "312"}};  // a display name is no identifier: the last count stays
  for (const auto& [text, count] : lookups) {
    Leave(dialog, text);
    EXPECT_EQ(contact->text(), QString(count)) << text;
  }
  ASSERT_EQ(shown.size(), 2);
  for (const QString& text : shown)
    EXPECT_TRUE(text.startsWith("Err -2147221233 ")) << text.toStdString();
  EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
  EXPECT_EQ(QApplication::focusWidget(), dialog.txtJournalFolder);

  // The journal box, OK, Cancel, Enter and Esc do nothing.
  dialog.txtJournalFolder->setText("ROOT");
  QTest::keyClick(dialog.txtJournalFolder, Qt::Key_Tab);
  dialog.OKButton->click();
  dialog.CancelButton->click();
  QTest::keyClick(dialog.OKButton, Qt::Key_Return);
  QTest::keyClick(dialog.txtJournalFolder, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(shown.size(), 2);
}

TEST_F(NotesToJournalTest, ListContactFolders) {
  QStringList names;
  const auto add = [&](const std::string& name) { names << QString::fromStdString(name); };
  EXPECT_FALSE(ListContactFolders(nullptr, add, reporter_));  // never connected
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].icon, Icon::Exclamation);
  EXPECT_EQ(reporter_.reports[0].text.rfind("Err 91 ", 0), 0u);

  const std::pair<const char*, QStringList> cases[] = {
      {R"({"stores": [
        {"root": {"entryId": "A", "name": "Mail A", "defaultItemType": 0, "itemCount": 0}},
        {"root": {"entryId": "B", "name": "Mail B", "defaultItemType": 0, "itemCount": 0}}]})",
       {}},
      {R"({"stores": [
        {"root": {"entryId": "A", "name": "Cards", "defaultItemType": 2, "itemCount": 4}},
        {"root": {"entryId": "B", "name": "Inbox", "defaultItemType": 0, "itemCount": 9}},
        {"root": {"entryId": "C", "name": "No cards", "defaultItemType": 2, "itemCount": 0}}]})",
       {"Cards", "Cards", "Inbox", "No cards"}},
  };
  for (const auto& [store, expected] : cases) {
    UseStore(store);
    names.clear();
    EXPECT_TRUE(ListContactFolders(outlook::CreateOutlookApplication(), add, reporter_));
    EXPECT_EQ(names, expected);
  }
  EXPECT_EQ(reporter_.reports.size(), 1u);

  // The window's own listing goes after what lvCSV already holds.
  new QTreeWidgetItem(window_.lvCSV, QStringList{"Company"});
  csv_.mOlApp = outlook::CreateOutlookApplication();
  EXPECT_TRUE(window_.ListContactFolders());
  ASSERT_EQ(window_.lvCSV->topLevelItemCount(), 5);
  EXPECT_EQ(window_.lvCSV->topLevelItem(0)->text(0), "Company");
  EXPECT_EQ(window_.lvCSV->topLevelItem(4)->text(0), "No cards");
}

TEST_F(NotesToJournalTest, HelpAboutLoadsOneBox) {
  window_.mnuHelpAbout->trigger();
  window_.mnuHelpAbout->trigger();
  QList<frmAbt*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<frmAbt*>(widget)) boxes << box;
  }
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0]->isVisible());
  delete boxes[0];
}

}  // namespace
}  // namespace tessaly
