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
#include "recording_reporter.h"
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

class NoFileDialogs : public FileDialogs {
 public:
  std::optional<QString> ShowOpen(const FileDialogOptions&) override { return {}; }
  std::optional<QString> ShowSave(const FileDialogOptions&) override { return {}; }
};

class NotesToJournalTest : public testing::Test {
 protected:
  NotesToJournalTest() { ConnectNotesAndAbout(window_, csv_, reporter_); }
  void TearDown() override { qunsetenv(outlook::kStoreVariable); }

  void UseStore(const char* json) {
    QFile file(dir_.filePath("store.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(json);
    qputenv(outlook::kStoreVariable, file.fileName().toLocal8Bit());
  }

  // Runs Edit > Notes to Journal of a main window; `whileOpen` acts on the folder
  // dialog, which is then closed through its close control. False when no dialog
  // was shown.
  bool Run(const std::function<void(frmExFolders&)>& whileOpen = {}) {
    bool shown = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<frmExFolders*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      shown = true;
      dialog->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
      if (whileOpen) whileOpen(*dialog);
      dialog->close();
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
  RecordingReporter reporter_;
  modCSV csv_{reporter_};
  NoFileDialogs dialogs_;
  frmTessaly window_{csv_, dialogs_};
};

TEST_F(NotesToJournalTest, OutlookUnavailableKeepsTheConnectionAndShowsNoDialog) {
  UseStore(kStore);
  ASSERT_TRUE(Run());
  const auto app = csv_.mOlApp;
  const auto ns = csv_.mOlNs;
  ASSERT_TRUE(app && ns);
  const int listed = window_.lvCSV->topLevelItemCount();

  for (const QByteArray& store :
       {QByteArray(), dir_.filePath("missing.json").toLocal8Bit(), dir_.path().toLocal8Bit()}) {
    qputenv(outlook::kStoreVariable, store);
    reporter_.reports.clear();
    EXPECT_FALSE(Run());
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

TEST_F(NotesToJournalTest, ContactBoxShowsTheItemCount) {
  UseStore(kStore);
  ASSERT_TRUE(Run([&](frmExFolders& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Exchange folders");
    EXPECT_EQ(dialog.Panel("Stat")->text(), "Enter Outlook unique folder names.");
    QLabel* contact = dialog.Panel("Contact");
    EXPECT_EQ(contact->text(), "");

    // Tab order from the first control; leaving the empty box finds nothing.
    EXPECT_EQ(QApplication::focusWidget(), dialog.OKButton);
    for (QWidget* next : {static_cast<QWidget*>(dialog.CancelButton),
                          static_cast<QWidget*>(dialog.txtContactFolder),
                          static_cast<QWidget*>(dialog.txtJournalFolder)}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      EXPECT_EQ(QApplication::focusWidget(), next);
    }
    ASSERT_EQ(reporter_.reports.size(), 1u);
    EXPECT_EQ(reporter_.reports[0].icon, Icon::Critical);
    EXPECT_EQ(reporter_.reports[0].text.rfind("Err -2147221233 ", 0), 0u);

    Leave(dialog, "  00000000FULL  ");
    EXPECT_EQ(contact->text(), "312");
    Leave(dialog, "00000000EMPTY");
    EXPECT_EQ(contact->text(), "0");
    Leave(dialog, "00000000FULL");
    Leave(dialog, "Contacts");  // a display name is no identifier
    EXPECT_EQ(contact->text(), "312");
    EXPECT_EQ(reporter_.reports.size(), 2u);
    EXPECT_EQ(reporter_.reports.back().icon, Icon::Critical);

    // The journal box, OK, Cancel, Enter and Esc do nothing.
    dialog.txtJournalFolder->setText("ROOT");
    QTest::keyClick(dialog.txtJournalFolder, Qt::Key_Tab);
    dialog.OKButton->click();
    dialog.CancelButton->click();
    QTest::keyClick(dialog.OKButton, Qt::Key_Return);
    QTest::keyClick(dialog.txtJournalFolder, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(contact->text(), "312");
    EXPECT_EQ(reporter_.reports.size(), 2u);
  }));

  // Each run loads the dialog anew.
  ASSERT_TRUE(Run([](frmExFolders& dialog) {
    EXPECT_EQ(dialog.txtContactFolder->text(), "");
    EXPECT_EQ(dialog.Panel("Contact")->text(), "");
  }));
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

// The message box opens while the focus is on its way out of the contact box.
TEST_F(NotesToJournalTest, FailingCheckWithARealMessageBox) {
  UseStore(kStore);
  MessageBoxReporter boxes(&window_);
  std::shared_ptr<outlook::NameSpace> ns =
      outlook::CreateOutlookApplication()->GetNamespace("MAPI");
  frmExFolders dialog(ns, boxes);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QString shown;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      EXPECT_EQ(box->icon(), QMessageBox::Critical);
      box->accept();
    }
  });
  timer.start(10);
  Leave(dialog, "00000000FULL");
  Leave(dialog, "nothing");
  EXPECT_TRUE(shown.startsWith("Err -2147221233 ")) << shown.toStdString();
  EXPECT_EQ(dialog.Panel("Contact")->text(), "312");
  EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
  EXPECT_EQ(QApplication::focusWidget(), dialog.txtJournalFolder);
}

TEST_F(NotesToJournalTest, ListContactFoldersAfterTheExistingItems) {
  QTreeWidget list;
  new QTreeWidgetItem(&list, QStringList{"Company"});
  auto names = [&] {
    QStringList out;
    for (int i = 0; i < list.topLevelItemCount(); ++i) out << list.topLevelItem(i)->text(0);
    return out;
  };

  EXPECT_FALSE(ListContactFolders(csv_.mOlApp, &list, reporter_));
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].icon, Icon::Exclamation);
  EXPECT_EQ(reporter_.reports[0].text.rfind("Err 91 ", 0), 0u);

  UseStore(R"({"stores": [
    {"root": {"entryId": "A", "name": "Mail A", "defaultItemType": 0, "itemCount": 0}},
    {"root": {"entryId": "B", "name": "Mail B", "defaultItemType": 0, "itemCount": 0}}]})");
  csv_.mOlApp = outlook::CreateOutlookApplication();
  EXPECT_TRUE(ListContactFolders(csv_.mOlApp, &list, reporter_));
  EXPECT_EQ(names(), QStringList{"Company"});

  UseStore(R"({"stores": [
    {"root": {"entryId": "A", "name": "Cards", "defaultItemType": 2, "itemCount": 4}},
    {"root": {"entryId": "B", "name": "Inbox", "defaultItemType": 0, "itemCount": 9}},
    {"root": {"entryId": "C", "name": "No cards", "defaultItemType": 2, "itemCount": 0}}]})");
  csv_.mOlApp = outlook::CreateOutlookApplication();
  EXPECT_TRUE(ListContactFolders(csv_.mOlApp, &list, reporter_));
  EXPECT_EQ(names(), (QStringList{"Company", "Cards", "Cards", "Inbox", "No cards"}));
  EXPECT_EQ(reporter_.reports.size(), 1u);

  // The main window's own listing appends to its lvCSV.
  const int before = window_.lvCSV->topLevelItemCount();
  EXPECT_TRUE(window_.ListContactFolders());
  EXPECT_EQ(window_.lvCSV->topLevelItemCount(), before + 4);
}

}  // namespace
}  // namespace tessaly
