#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "session/main_window_design.h"
#include "session/session_view.h"

namespace tessaly {

class Reporter;
class Session;
class modCSV;

namespace winui {

class FileDialogs;
class frmAbt;

// The main window with the common controls: menus, toolbar, status bar and the two
// lists over the session, which runs every command; the window draws what it is
// told. One window procedure hands each message to a small handler.
class frmTessaly : public SessionView {
 public:
  frmTessaly(modCSV& csv, Reporter& reporter, FileDialogs& dialogs);
  ~frmTessaly() override;
  frmTessaly(const frmTessaly&) = delete;
  frmTessaly& operator=(const frmTessaly&) = delete;

  // Creates the window, hidden; false when the system refuses.
  bool Create();
  HWND Window() const { return hwnd_; }
  // The menu items' shortcuts, for the message loop.
  HACCEL Accelerators() const { return accelerators_; }
  // Whether a message of the loop was for the window's keys or a box it owns.
  bool PreTranslate(MSG& msg);

  Session& session() { return *session_; }

  void FillCSVlv(const std::vector<std::u16string>& mRecFlds);
  void FillTableListView();

  // What a menu item's or toolbar button's command identifier is.
  static int CommandId(design::Command command);
  // The status bar panel's index, or -1 for no such key.
  static int PanelIndex(const std::string& key);
  bool Busy() const { return busy_; }
  frmAbt* AboutBox() const { return about_.get(); }

  // The menu items' handlers; a toolbar button runs its item's.
  void mnuFileOpen_Click();
  void mnuEditParse_Click();
  void mnuFileSaveAs_Click();
  void mnuExit_Click();
  void mnuNotesToJournal_Click();
  void mnuHelpIndex_Click();
  void mnuHelpAbout_Click();

  // SessionView.
  void ShowFieldNames(const std::vector<std::u16string>& names) override;
  void ShowRecords(const RecordList& records) override;
  void SetPanel(Panel panel, const std::string& text, const std::string& toolTip) override;
  void SetBusy(bool busy) override;
  void EnableCommands(const CommandState& state) override;
  std::optional<std::string> AskOpenPath(const FileChoice& choice) override;
  std::optional<std::string> AskSavePath(const FileChoice& choice) override;
  void RunOnUiThread(std::function<void()> task) override;
  void Quit() override;

  // Edit > Notes to Journal runs this; the program sets it.
  std::function<void()> onNotesToJournal;
  // Opens the user guide; returns why it could not, or an empty text.
  std::function<std::string(const std::string& path)> openDocument;
  // Whether closing the window ends the thread's message loop (not in tests).
  bool quitWithWindow = true;

  HWND Toolbar1 = nullptr;
  HWND lvMDB = nullptr;
  HWND lvCSV = nullptr;
  HWND StatusBar1 = nullptr;
  HMENU menu = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCreate();
  void OnSize();
  void OnGetMinMaxInfo(MINMAXINFO& info) const;
  void OnCommand(int id);
  LRESULT OnNotify(const NMHDR& header);
  bool OnSetCursor(LPARAM lParam);
  void OnClose();
  void OnRunTasks();

  void CreateMenus();
  void CreateToolbar();
  void CreateLists();
  void CreateStatusBar();
  void Form_Load();
  bool Enabled(design::Command command) const;

  modCSV& csv_;
  Reporter& reporter_;
  FileDialogs& dialogs_;
  HWND hwnd_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HFONT font_ = nullptr;
  std::unique_ptr<Session> session_;
  std::unique_ptr<frmAbt> about_;
  CommandState commands_;
  bool busy_ = false;
  // The panels' whole texts; a panel too narrow shows them shortened.
  std::vector<std::wstring> panelTexts_;
  std::vector<std::wstring> panelTips_;

  std::mutex tasksMutex_;
  std::deque<std::function<void()>> tasks_;
  // The window while it lives, for the threads that hand it tasks.
  std::atomic<HWND> tasksWindow_ = nullptr;

  // Sizes at load, in pixels.
  int mCsvHeight = 0;
  int mMdbWidth = 0;
  int mMdbHeight = 0;
  int mMinWidth = 0;
  int mMinHeight = 0;
};

// The text a list view shows at (item, column), as a user reads it.
std::wstring ListText(HWND list, int item, int column);
// A column header's text and width.
std::wstring HeaderText(HWND list, int column);
int ColumnCount(HWND list);
// The status bar panel's text.
std::wstring PanelText(HWND statusBar, int index);

}  // namespace winui
}  // namespace tessaly
