#pragma once

// Driving real windows in-process, as the program's message loop does.

#include <functional>
#include <string>

#include "platform/win32.h"

namespace tessaly::test {

// Handles what is queued; `preTranslate` first, as the program's loop does. A quit
// asked for by a closing window is not for the tests.
inline void Pump(const std::function<bool(MSG&)>& preTranslate = {}) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    if (preTranslate && preTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

inline std::wstring Text(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, static_cast<int>(std::size(text)));
  return text;
}

inline RECT Frame(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

// Other programs' windows on the display may take the foreground; tests of the
// keyboard focus need it.
inline void ComeForward(HWND window) {
  for (int tries = 0; tries < 100 && GetForegroundWindow() != window; ++tries) {
    SetForegroundWindow(window);
    Pump();
    Sleep(10);
  }
}

// A key pressed on the focused control, through the window's IsDialogMessageW.
inline void Press(HWND window, WPARAM key) {
  MSG msg{GetFocus(), WM_KEYDOWN, key, 1, 0, {0, 0}};
  if (!IsDialogMessageW(window, &msg)) DispatchMessageW(&msg);
  Pump();
}

}  // namespace tessaly::test
