#pragma once

// What every window of the program needs: its object found from the window's
// messages, a window procedure nothing unwinds through, its controls placed in
// twips, and rectangles' sizes.

#include <exception>
#include <string>

#include "platform/reporter.h"
#include "platform/win32.h"
#include "session/about_box.h"
#include "winui/twips_scale.h"

namespace tessaly::winui {

inline HINSTANCE Instance() {
  return GetModuleHandleW(nullptr);
}

inline int Width(const RECT& rect) {
  return rect.right - rect.left;
}

inline int Height(const RECT& rect) {
  return rect.bottom - rect.top;
}

// The window's outer rectangle on the screen.
inline RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

inline std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Moves `window` to be centred over `over` (the primary screen's work area when
// null), wherever that stands, also partly off screen.
inline void PlaceCentred(HWND window, HWND over) {
  const RECT outer = WindowRect(window);
  RECT target{};
  if (!over || !GetWindowRect(over, &target)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &target, 0);
  const about::Point at = about::CentredTopLeft(target.left, target.top, Width(target),
                                                Height(target), Width(outer), Height(outer));
  SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The font the system shows messages in, for the controls; null when it cannot be had.
inline HFONT MessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

// A control of `parent` where it was designed (in twips), in `font`.
inline HWND AddControl(HWND parent, HFONT font, DWORD exStyle, const wchar_t* windowClass,
                       const wchar_t* text, DWORD style, int id, double left, double top,
                       double width, double height) {
  const TwipsScale twips(parent);
  HWND control = CreateWindowExW(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style,
                                 twips.X(left), twips.Y(top), twips.X(width), twips.Y(height),
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 Instance(), nullptr);
  if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// The object a window was created for (its creation parameter), kept with the
// window from its first message on; `handle` is set to the window there.
template <typename Owner>
Owner* OwnerOf(HWND hwnd, UINT message, LPARAM lParam, HWND Owner::*handle) {
  if (message == WM_NCCREATE) {
    auto* owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    owner->*handle = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  }
  return reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Runs a message's handler. What it throws is reported, since nothing may unwind
// through the system's frames.
template <typename Handler>
LRESULT Guarded(Reporter& reporter, Handler handle) {
  try {
    try {
      return handle();
    } catch (const std::exception& problem) {
      reporter.Show(problem.what(), Icon::Critical);
    }
  } catch (...) {
  }
  return 0;
}

}  // namespace tessaly::winui
