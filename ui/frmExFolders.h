#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "platform/reporter.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace tessaly {

namespace outlook {
class NameSpace;
}

// The folder dialog of Edit > Notes to Journal: the user names an Outlook contact
// folder and a journal folder by their entry identifiers, and sees how many items
// the contact folder holds. It closes only through its window's close control.
class frmExFolders : public QDialog {
  Q_OBJECT

 public:
  // `mOlNs` is the module's namespace reference, read at each check.
  frmExFolders(const std::shared_ptr<outlook::NameSpace>& mOlNs, Reporter& reporter);

  // The status bar panel with this key ("Stat", "Contact", "Journal"), or nullptr.
  QLabel* Panel(const QString& key) const;

  // Runs when the focus leaves txtContactFolder for another control of the dialog.
  void txtContactFolder_Validate(bool& Cancel);

  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QLineEdit* txtContactFolder = nullptr;
  QLineEdit* txtJournalFolder = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QStatusBar* StatusBar1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const std::shared_ptr<outlook::NameSpace>& mOlNs_;
  Reporter& reporter_;
};

}  // namespace tessaly
