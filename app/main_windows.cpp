// The desktop program on Windows: the main window over the converter, with the
// system's common controls.

#include <string>
#include <vector>

#include "winui/common_controls.h"

#include <shellapi.h>

#include "engine/modCSV.h"
#include "outlook/com_apartment.h"
#include "session/session.h"
#include "session/window_arguments.h"
#include "tessaly/version.h"
#include "winui/file_dialogs.h"
#include "winui/frmExFolders.h"
#include "winui/frmTessaly.h"
#include "winui/message_box_reporter.h"
#include "winui/window_png.h"

namespace {

constexpr UINT_PTR kScreenshotTimer = 1;
// Late enough for the window to have drawn itself.
constexpr UINT kScreenshotDelayMs = 1500;

std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(tessaly::win32::Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

// A window program has no console of its own: the output it was started with gets
// the text (a pipe, a file, a console), else the console of the program that
// started it, else a message box.
void Say(const std::string& text, bool problem) {
  const std::wstring wide = tessaly::win32::Wide(text);
  DWORD written = 0;
  HANDLE out = GetStdHandle(problem ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (out && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN) {
    if (GetFileType(out) == FILE_TYPE_CHAR &&
        WriteConsoleW(out, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr)) {
      return;
    }
    if (WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return;
  }
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool said = console != INVALID_HANDLE_VALUE &&
                      WriteConsoleW(console, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
    if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
    if (said) return;
  }
  MessageBoxW(nullptr, wide.c_str(), tessaly::win32::Wide(tessaly::kApplicationTitle).c_str(),
              MB_OK | (problem ? MB_ICONEXCLAMATION : MB_ICONASTERISK));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  const tessaly::WindowArguments arguments = tessaly::ParseWindowArguments(Arguments());
  switch (arguments.action) {
    case tessaly::WindowArguments::Action::kHelp:
      Say(tessaly::WindowHelp(), false);
      return 0;
    case tessaly::WindowArguments::Action::kVersion:
      Say(tessaly::WindowVersion(), false);
      return 0;
    case tessaly::WindowArguments::Action::kRefuse:
      Say(tessaly::WindowRefusal(arguments), true);
      return tessaly::kWindowExitUsage;
    case tessaly::WindowArguments::Action::kRun:
      break;
  }

  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  // Notes to Journal reaches Outlook from this thread; its objects, held by the
  // module, go before COM does.
  const tessaly::outlook::ComApartment apartment;
  tessaly::winui::MessageBoxReporter reporter;
  tessaly::modCSV csv(reporter);
  tessaly::winui::CommonFileDialogs dialogs(reporter);
  tessaly::winui::frmTessaly window(csv, reporter, dialogs);
  if (!window.Create()) {
    Say("The window could not be created.", true);
    return 1;
  }
  reporter.SetOwner(window.Window());
  dialogs.SetOwner(window.Window());
  window.onNotesToJournal = [&] { tessaly::winui::NotesToJournal(csv, reporter, window.Window()); };
  ShowWindow(window.Window(), show);
  UpdateWindow(window.Window());

  if (arguments.exportPath) {
    window.session().Open(*arguments.exportPath);
    if (arguments.parse) window.session().Parse();  // ends on its own
  }
  int exitCode = 0;
  if (arguments.screenshot) SetTimer(nullptr, kScreenshotTimer, kScreenshotDelayMs, nullptr);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (arguments.screenshot && msg.message == WM_TIMER && msg.hwnd == nullptr) {
      KillTimer(nullptr, msg.wParam);
      if (!tessaly::winui::SaveWindowPng(window.Window(), *arguments.screenshot)) {
        Say("tessaly: cannot write " + *arguments.screenshot, true);
        exitCode = 1;
      }
      window.session().Close();
      continue;
    }
    if (!window.PreTranslate(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return exitCode;
}
