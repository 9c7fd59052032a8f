#pragma once

// Window and control sizes are designed in twips (1/1440 inch).

#include <cmath>

namespace tessaly {

inline int TwipsToPixels(double twips, int dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

inline double PixelsToTwips(int pixels, int dpi) {
  return pixels * 1440.0 / dpi;
}

}  // namespace tessaly
