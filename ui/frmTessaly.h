#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>
#include <vector>

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
class frmAbt;
class modCSV;

// The main window: Open, Parse records, Save as and Exit over the converter, the
// export's field names in lvCSV and the converted records in lvMDB.
class frmTessaly : public QMainWindow {
  Q_OBJECT

 public:
  frmTessaly(modCSV& csv, FileDialogs& dialogs, QWidget* parent = nullptr);
  ~frmTessaly() override;

  void FillCSVlv(const std::vector<std::u16string>& mRecFlds);
  void FillTableListView();
  // Appends Outlook's top-level folders to lvCSV; no command calls it.
  bool ListContactFolders();

  // The status bar panel or toolbar button with this key, or nullptr. A button is
  // the very action of its menu item.
  QLabel* Panel(const QString& key) const;
  QAction* Button(const QString& key) const;

  // Enables each command as the state allows; every command ends with it.
  void UpdateActions();

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
  void Toolbar1_ButtonClick(const QString& key);

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
  void ReportListFailure(int number, const QString& description);
  // ConvertCardFile on a thread of its own while this one keeps the window alive and
  // shows the progress.
  bool ConvertAside();

  modCSV& csv_;
  FileDialogs& dialogs_;
  // The user's, for the About box: it may outlive a conversion's relay.
  Reporter& reporter_;
  QPointer<frmAbt> about_;
  CardTableModel* model_ = nullptr;
  std::vector<QLabel*> panels_;

  // An opened export waits for its conversion.
  bool exportUnconverted_ = false;
  // lvMDB lists what the temporary database holds.
  bool listShowsDatabase_ = false;
  // A conversion runs: the converter is its thread's until it ends.
  bool converting_ = false;
  // The window was asked to close during a conversion; it closes at its end.
  bool closeRequested_ = false;

  // Sizes at load, in pixels.
  int mCsvHeight = 0;
  int mMdbWidth = 0;
  int mMdbHeight = 0;
  int mMinWidth = 0;
  int mMinHeight = 0;
};

// Readme.txt in the current folder, else the one beside the program.
QString ReadmePath();
// Starts the desktop's viewer (Notepad on Windows) on a file without waiting.
QString OpenWithDesktopViewer(const QString& path);

}  // namespace tessaly
