#pragma once

// Designs in twips as pixels of the display a window is on.

#include "platform/win32.h"
#include "session/twips.h"

namespace tessaly::winui {

class TwipsScale {
 public:
  explicit TwipsScale(HWND window) {
    HDC dc = GetDC(window);
    dpiX_ = GetDeviceCaps(dc, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
  }

  int X(double twips) const { return TwipsToPixels(twips, dpiX_); }
  int Y(double twips) const { return TwipsToPixels(twips, dpiY_); }

 private:
  int dpiX_ = 96;
  int dpiY_ = 96;
};

}  // namespace tessaly::winui
