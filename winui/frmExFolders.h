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

  // Creates the dialog, hidden, centred over `owner`; false when the system refuses.
  bool Create(HWND owner);
  // Shows it with `owner` disabled and handles the thread's messages until it is
  // closed (Create first). A quit message ends it early and stays posted.
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
  static LRESULT CALLBACK ContactProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR data);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCreate();
  void OnActivate(bool active);
  void OnValidateContact();
  void OnClose();
  void OnNcDestroy();
  void EnableOwner();

  const std::shared_ptr<outlook::NameSpace>& mOlNs_;
  Reporter& reporter_;
  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
  HFONT font_ = nullptr;
  HWND focus_ = nullptr;        // the control to give the focus back to on activation
  bool ownerDisabled_ = false;  // by RunModal, which enables it again
  bool validating_ = false;
  bool validateAgain_ = false;  // the contact box was left again while a check reported
};

// Edit > Notes to Journal: connects to Outlook and shows the folder dialog over
// `owner` until it is closed.
void NotesToJournal(modCSV& csv, Reporter& reporter, HWND owner);

}  // namespace winui
}  // namespace tessaly
