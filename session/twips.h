#pragma once

// Designs are in twips (1/1440 inch); a window shows them in its display's pixels.

#include <cmath>

namespace tessaly {

inline int TwipsToPixels(double twips, int dpi) {
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

}  // namespace tessaly
