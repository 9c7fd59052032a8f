#include "ui/frmExFolders.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

#include "session/notes_to_journal.h"
#include "ui/twips_geometry.h"

namespace tessaly {

frmExFolders::frmExFolders(const std::shared_ptr<outlook::NameSpace>& mOlNs, Reporter& reporter)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      mOlNs_(mOlNs),
      reporter_(reporter) {
  setObjectName("frmExFolders");
  setWindowTitle("Exchange folders");
  const TwipsScale twips(*this);
  setFixedSize(twips.Size(5235, 1815));

  // Created in tab order.
  OKButton = new QPushButton("OK", this);
  twips.Place(OKButton, "OKButton", 3900, 120, 1215, 375);
  CancelButton = new QPushButton("Cancel", this);
  twips.Place(CancelButton, "CancelButton", 3900, 600, 1215, 375);
  txtContactFolder = new QLineEdit(this);
  twips.Place(txtContactFolder, "txtContactFolder", 120, 300, 3615, 315);
  txtJournalFolder = new QLineEdit(this);
  twips.Place(txtJournalFolder, "txtJournalFolder", 120, 1020, 3615, 315);
  Label1 = new QLabel("Contact Folder", this);
  twips.Place(Label1, "Label1", 180, 60, 1335, 315);
  Label2 = new QLabel("Journal Folder", this);
  twips.Place(Label2, "Label2", 180, 780, 1395, 255);
  StatusBar1 = new QStatusBar(this);
  twips.Place(StatusBar1, "StatusBar1", 0, 1500, 5235, 315);
  StatusBar1->setSizeGripEnabled(false);

  struct PanelDesign {
    const char* key;
    const char* text;
    double width;
  };
  for (const PanelDesign& design :
       {PanelDesign{"Stat", "Enter Outlook unique folder names.", 3585},
        PanelDesign{"Contact", "", 800}, PanelDesign{"Journal", "", 800}}) {
    auto* panel = new QLabel(design.text, StatusBar1);
    panel->setObjectName(design.key);
    panel->setFixedWidth(twips.X(design.width));
    StatusBar1->addWidget(panel);
  }

  setTabOrder(OKButton, CancelButton);
  setTabOrder(CancelButton, txtContactFolder);
  setTabOrder(txtContactFolder, txtJournalFolder);
  OKButton->setDefault(true);
  OKButton->setFocus();
  txtContactFolder->installEventFilter(this);
}

QLabel* frmExFolders::Panel(const QString& key) const {
  return StatusBar1->findChild<QLabel*>(key, Qt::FindDirectChildrenOnly);
}

bool frmExFolders::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtContactFolder && event->type() == QEvent::FocusOut) {
    // Only a move to another control of this dialog validates; switching windows
    // or opening a menu does not.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    const QWidget* next = QApplication::focusWidget();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
        next != nullptr && next != txtContactFolder && next->window() == this) {
      bool cancel = false;
      txtContactFolder_Validate(cancel);
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmExFolders::keyPressEvent(QKeyEvent* event) {
  // Esc would reject the dialog; it closes only through its close control.
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void frmExFolders::txtContactFolder_Validate(bool& /*Cancel*/) {
  const std::optional<int32_t> count =
      ContactFolderCount(mOlNs_, txtContactFolder->text().toStdString(), reporter_);
  if (count) {
    if (QLabel* panel = Panel("Contact")) panel->setText(QString::number(*count));
  } else if (isVisible() && !isActiveWindow()) {
    // A message box may hand the activation back to its own parent instead.
    activateWindow();
  }
}

}  // namespace tessaly
