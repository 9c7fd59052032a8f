#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "session/main_window_design.h"
#include "session/session_view.h"

class QAction;
class QLabel;
class QMenu;
class QTableView;
class QToolBar;
class QTreeWidget;

namespace tessaly {

class CardTableModel;
class FileDialogs;
class Reporter;
class Session;
class frmAbt;
class modCSV;

// The main window: menus, toolbar, status bar and the two lists over the session,
// which runs every command; the window draws what it is told.
class frmTessaly : public QMainWindow, public SessionView {
  Q_OBJECT

 public:
  frmTessaly(modCSV& csv, Reporter& reporter, FileDialogs& dialogs, QWidget* parent = nullptr);
  ~frmTessaly() override;

  void FillCSVlv(const std::vector<std::u16string>& mRecFlds);
  void FillTableListView();

  // The status bar panel or toolbar button with this key, or nullptr. A button is
  // the very action of its menu item.
  QLabel* Panel(const QString& key) const;
  QAction* Button(const QString& key) const;

  Session& session() { return *session_; }

  // SessionView.
  void ShowFieldNames(const std::vector<std::u16string>& names) override;
  void ShowRecords(const RecordList& records) override;
  void SetPanel(tessaly::Panel panel, const std::string& text, const std::string& toolTip) override;
  void SetBusy(bool busy) override;
  void EnableCommands(const CommandState& state) override;
  std::optional<std::string> AskOpenPath(const FileChoice& choice) override;
  std::optional<std::string> AskSavePath(const FileChoice& choice) override;
  void RunOnUiThread(std::function<void()> task) override;
  void Quit() override;

  // Edit > Notes to Journal runs this; the program sets it.
  std::function<void()> onNotesToJournal;
  // Opens a text file with the desktop's viewer; returns why it could not, or an
  // empty text when the viewer started.
  std::function<QString(const QString& path)> openDocument;

  QMenu* mnuFile = nullptr;
  QAction* mnuFileOpen = nullptr;
  QAction* mnuFileSaveAs = nullptr;
  QAction* mnuBar1 = nullptr;
  QAction* mnuExit = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuEditParse = nullptr;
  QAction* mnuNotesToJournal = nullptr;
  QMenu* mnuHelp = nullptr;
  QAction* mnuHelpIndex = nullptr;
  QAction* mnuHelpAbout = nullptr;
  QToolBar* Toolbar1 = nullptr;
  QTreeWidget* lvCSV = nullptr;
  QTableView* lvMDB = nullptr;

 public slots:
  void mnuFileOpen_Click();
  void mnuEditParse_Click();
  void mnuFileSaveAs_Click();
  void mnuExit_Click();
  void mnuNotesToJournal_Click();
  void mnuHelpIndex_Click();
  void mnuHelpAbout_Click();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateMenus();
  void CreateToolbar();
  void CreateStatusBar();
  void CreateLists();
  void Form_Load();
  void Form_Resize();

  FileDialogs& dialogs_;
  Reporter& reporter_;
  QPointer<frmAbt> about_;
  CardTableModel* model_ = nullptr;
  std::vector<QLabel*> panels_;
  std::unique_ptr<Session> session_;

  // Sizes at load, in pixels.
  int mCsvHeight = 0;
  int mMdbWidth = 0;
  int mMdbHeight = 0;
  int mMinWidth = 0;
  int mMinHeight = 0;
};

// The user guide Help > Index opens, as the session finds it from here.
QString ReadmePath();
// Starts the desktop's viewer (Notepad on Windows) on a file without waiting.
QString OpenWithDesktopViewer(const QString& path);

}  // namespace tessaly
