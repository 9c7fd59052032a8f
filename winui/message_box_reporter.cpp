#include "winui/message_box_reporter.h"

#include "winui/common_controls.h"
#include "session/status_texts.h"
#include "tessaly/version.h"

namespace tessaly::winui {

namespace {

UINT BoxIcon(Icon icon) {
  switch (icon) {
    case Icon::Critical:
      return MB_ICONHAND;
    case Icon::Exclamation:
      return MB_ICONEXCLAMATION;
    case Icon::Information:
      return MB_ICONASTERISK;
    case Icon::None:
      break;
  }
  return 0;
}

PCWSTR DialogIcon(Icon icon) {
  switch (icon) {
    case Icon::Critical:
      return TD_ERROR_ICON;
    case Icon::Exclamation:
      return TD_WARNING_ICON;
    case Icon::Information:
      return TD_INFORMATION_ICON;
    case Icon::None:
      break;
  }
  return nullptr;
}

using TaskDialogIndirectFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// Only common controls 6 has the box with a check box; the program's manifest
// asks for them, but a program started without it still shows the message.
TaskDialogIndirectFunction FindTaskDialog() {
  HMODULE controls = GetModuleHandleW(L"comctl32.dll");
  if (!controls) return nullptr;
  return reinterpret_cast<TaskDialogIndirectFunction>(
      reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")));
}

}  // namespace

std::string CardBoxText(const std::string& text, const CardRef& card) {
  std::string line = "Card " + std::to_string(card.ordinal) + ", line " + std::to_string(card.line);
  if (!card.name.empty()) line += ": " + card.name;
  return text + "\n" + line;
}

// A box belongs to the window the user is in: the main window, or a dialog over it.
HWND MessageBoxReporter::Owner() const {
  HWND active = GetActiveWindow();
  return active && IsWindowEnabled(active) ? active : owner_;
}

void MessageBoxReporter::Show(const std::string& text, Icon icon) {
  MessageBoxW(Owner(), win32::Wide(text).c_str(), win32::Wide(kApplicationTitle).c_str(),
              MB_OK | BoxIcon(icon));
}

void MessageBoxReporter::ShowAt(const std::string& text, Icon icon, const LineRef& where) {
  Show(text + "\n" + status::LineOf(where), icon);
}

bool MessageBoxReporter::ShowCard(const std::string& text, Icon icon, const CardRef& card) {
  const std::string boxText = CardBoxText(text, card);
  const TaskDialogIndirectFunction taskDialog = FindTaskDialog();
  if (!taskDialog) {
    Show(boxText, icon);
    return true;
  }
  const std::wstring content = win32::Wide(boxText);
  const std::wstring title = win32::Wide(kApplicationTitle);
  const std::wstring noMore = win32::Wide(kNoMoreCardErrors);
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = Owner();
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
  config.dwCommonButtons = TDCBF_OK_BUTTON;
  config.pszWindowTitle = title.c_str();
  config.pszMainIcon = DialogIcon(icon);
  config.pszContent = content.c_str();
  config.pszVerificationText = noMore.c_str();
  BOOL noMoreChecked = FALSE;
  if (FAILED(taskDialog(&config, nullptr, nullptr, &noMoreChecked))) {
    Show(boxText, icon);
    return true;
  }
  return !noMoreChecked;
}

}  // namespace tessaly::winui
