// Reads what another program's window shows, for checks that drive tessaly.exe
// from outside:
//
//   window-probe panel TITLE INDEX   the text of panel INDEX of the window's status bar
//   window-probe text TITLE          the texts of the window's static controls, a line each
//
// TITLE names a visible top-level window. The status bar's text is read through
// memory lent in the other program, as its control writes only there.

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/win32.h"

#include <commctrl.h>

namespace {

void Print(const std::wstring& text) {
  const std::string utf8 = tessaly::win32::Utf8(text) + "\n";
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

int PanelText(HWND window, int index) {
  HWND bar = FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr);
  if (!bar) return std::fputs("no status bar\n", stderr), 1;
  DWORD processId = 0;
  GetWindowThreadProcessId(bar, &processId);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (!process) return std::fputs("cannot open the window's program\n", stderr), 1;
  const size_t length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, index, 0));
  std::wstring text(length + 1, L'\0');
  const size_t bytes = text.size() * sizeof(wchar_t);
  void* lent = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
  bool read = false;
  if (lent) {
    SendMessageW(bar, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(lent));
    read = ReadProcessMemory(process, lent, text.data(), bytes, nullptr);
    VirtualFreeEx(process, lent, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  if (!read) return std::fputs("cannot read the panel\n", stderr), 1;
  text.resize(std::wcslen(text.c_str()));
  Print(text);
  return 0;
}

BOOL CALLBACK PrintStatic(HWND child, LPARAM) {
  wchar_t windowClass[32] = {};
  GetClassNameW(child, windowClass, static_cast<int>(std::size(windowClass)));
  if (_wcsicmp(windowClass, L"Static") == 0) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(child)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(child, text.data(), static_cast<int>(text.size()))));
    if (!text.empty()) Print(text);
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring what = argc > 2 ? argv[1] : L"";
  if (!(what == L"panel" && argc == 4) && !(what == L"text" && argc == 3)) {
    std::fputs("usage: window-probe panel TITLE INDEX | text TITLE\n", stderr);
    return 2;
  }
  HWND window = FindWindowW(nullptr, argv[2]);
  if (!window || !IsWindowVisible(window)) return std::fputs("no such window\n", stderr), 1;
  if (what == L"panel") return PanelText(window, _wtoi(argv[3]));
  EnumChildWindows(window, PrintStatic, 0);
  return 0;
}
