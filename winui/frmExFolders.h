#pragma once

#include <memory>
#include <string>

#include "platform/reporter.h"
#include "platform/win32.h"

namespace tessaly {

class modCSV;

namespace outlook {
class NameSpace;
}

namespace winui {

// The folder dialog of Edit > Notes to Journal: the user names an Outlook contact
// folder and a journal folder by their entry identifiers, and sees how many items
// the contact folder holds. It closes only through its window's close control.
class frmExFolders {
 public:
  // `mOlNs` is the module's namespace reference, read at each check.
  frmExFolders(const std::shared_ptr<outlook::NameSpace>& mOlNs, Reporter& reporter);
  ~frmExFolders();
  frmExFolders(const frmExFolders&) = delete;
  frmExFolders& operator=(const frmExFolders&) = delete;

  // Creates the dialog over `owner`, disabled while the dialog is open.
  bool Create(HWND owner);
  // Shows it and handles its messages until it is closed (Create first).
  void RunModal();
  HWND Window() const { return hwnd_; }

  // Runs when the focus leaves txtContactFolder for another control of the dialog.
  void txtContactFolder_Validate(bool& Cancel);
  // The status bar panel's text ("Stat", "Contact", "Journal").
  std::wstring PanelText(const std::string& key) const;

  HWND OKButton = nullptr;
  HWND CancelButton = nullptr;
  HWND txtContactFolder = nullptr;
  HWND txtJournalFolder = nullptr;
  HWND Label1 = nullptr;
  HWND Label2 = nullptr;
  HWND StatusBar1 = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  const std::shared_ptr<outlook::NameSpace>& mOlNs_;
  Reporter& reporter_;
  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
  HFONT font_ = nullptr;
};

// Edit > Notes to Journal: connects to Outlook and shows the folder dialog over
// `owner` until it is closed.
void NotesToJournal(modCSV& csv, Reporter& reporter, HWND owner);

}  // namespace winui
}  // namespace tessaly
