#include "session/about_box.h"

#include <cmath>

#include "tessaly/version.h"

namespace tessaly::about {

std::string Caption(const std::string& title) {
  return "About " + title;
}

std::string VersionText() {
  return "Version " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         std::to_string(kVersionPatch);
}

std::string MakerLines() {
  return std::string(kCopyright) + "\n" + kWebAddress + "\nMail to " + kSupportAddress;
}

std::string BuildText(int32_t build) {
  return "Build " + std::to_string(build);
}

Point CentredTopLeft(int left, int top, int width, int height, int boxWidth, int boxHeight) {
  const double y = top + (height - boxHeight) / 2.0;
  const double x = left + (width - boxWidth) / 2.0;
  // Halves round the same way on either side of the screen's origin.
  return {static_cast<int>(std::floor(x + 0.5)), static_cast<int>(std::floor(y + 0.5))};
}

}  // namespace tessaly::about
