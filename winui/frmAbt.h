#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "platform/os_version.h"
#include "platform/registry.h"
#include "platform/reporter.h"
#include "platform/win32.h"
#include "session/sysinfo.h"

namespace tessaly::winui {

// What the About box asks of the system; tests put stand-ins here.
struct AboutServices {
  std::function<OsVersion()> queryOsVersion = QueryOsVersion;
  std::shared_ptr<Registry> registry;  // the system's when empty
  CommandStarter start;                // StartProgram, the value as one path, when empty
};

// The About box: title, version, platform and build, the maker's lines, and a
// button that starts the system-information program. Modeless and without owner;
// "&OK" or the close box unloads it (the window goes, the object stays).
class frmAbt {
 public:
  frmAbt(Reporter& reporter, AboutServices services = {});
  ~frmAbt();
  frmAbt(const frmAbt&) = delete;
  frmAbt& operator=(const frmAbt&) = delete;

  // Loads the box centred over `mainWindow` unless it is loaded, and shows it.
  void Show(HWND mainWindow);
  // The box's window while it is loaded, else null.
  HWND Window() const { return hwnd_; }

  void GetWinVersion();
  void StartSysInfo();
  void cmdOK_Click();
  void cmdSysInfo_Click();

  HWND cmdOK = nullptr;
  HWND cmdSysInfo = nullptr;
  HWND lblDisclaimer = nullptr;
  HWND lblTitle = nullptr;
  HWND lblVersion = nullptr;
  HWND lblWinVer = nullptr;
  HWND lblBuild = nullptr;

  std::string WinVer;
  OsVersion mOsVer;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool Load(HWND mainWindow);
  void OnCreate();
  void OnCommand(int id, int code);
  void OnActivate(bool active);
  void OnPaint();
  void OnNcDestroy();
  void Form_Load(HWND mainWindow);
  void FitToTexts();
  // The controls in tab order: the buttons, then the labels.
  std::array<HWND, 7> Controls() const;

  Reporter& reporter_;
  AboutServices services_;
  HWND hwnd_ = nullptr;
  // Hidden; owning the box keeps it off the task bar without tying it to the main window.
  HWND hiddenOwner_ = nullptr;
  HWND focus_ = nullptr;  // the control to give the focus back to on activation
  HFONT font_ = nullptr;
};

// Help > About: loads the box (made on first use) centred over `mainWindow` unless
// it is loaded, and shows it.
void ShowAbout(std::unique_ptr<frmAbt>& box, HWND mainWindow, Reporter& reporter,
               AboutServices services = {});

}  // namespace tessaly::winui
