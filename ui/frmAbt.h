#pragma once

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "platform/os_version.h"
#include "platform/registry.h"
#include "platform/reporter.h"
#include "session/sysinfo.h"

class QLabel;
class QPushButton;

namespace tessaly {

// Starts a command line as the registry holds it without waiting: on Windows a
// program in quotes followed by its arguments, else one path, blanks and all. A
// name without a folder is looked up in PATH. Throws Failure when nothing starts.
void StartCommandLine(const std::string& commandLine);

// What the About box asks of the system; tests put stand-ins here.
struct AboutServices {
  std::function<OsVersion()> queryOsVersion = QueryOsVersion;
  std::shared_ptr<Registry> registry;  // the system's when empty
  CommandStarter start = StartCommandLine;
};

// The About box: title, version, platform and build, the maker's lines, and a
// button that starts the system-information program. Modeless and without owner;
// it deletes itself when closed.
class frmAbt : public QDialog {
  Q_OBJECT

 public:
  frmAbt(const QWidget& mainWindow, Reporter& reporter, AboutServices services = {});

  void GetWinVersion();
  void StartSysInfo();

  QPushButton* cmdOK = nullptr;
  QPushButton* cmdSysInfo = nullptr;
  QLabel* lblDisclaimer = nullptr;
  QLabel* lblTitle = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblWinVer = nullptr;
  QLabel* lblBuild = nullptr;

  QString WinVer;
  OsVersion mOsVer;

 public slots:
  void cmdOK_Click();
  void cmdSysInfo_Click();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Form_Load(const QWidget& mainWindow);
  void FitToTexts();

  Reporter& reporter_;
  AboutServices services_;
};

// Where a box of outer size `box` stands when centred over a window whose outer
// frame is `main`, wherever that is (also partly off screen).
QPoint CentredTopLeft(const QRect& main, const QSize& box);

// Help > About: loads the box centred over `mainWindow` unless it is loaded, and
// shows it.
void ShowAbout(QPointer<frmAbt>& box, const QWidget& mainWindow, Reporter& reporter,
               AboutServices services = {});

}  // namespace tessaly
