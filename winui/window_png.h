#pragma once

// A window as the screen shows it, saved as a PNG file (for the screenshot in the
// documentation).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace tessaly::winui {

// The PNG file of an image of 8-bit red, green and blue, row by row from the top.
// The data are stored, not compressed: tools may shrink the file afterwards.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb);

// Saves `window` with its frame; false when the screen or the file fails.
bool SaveWindowPng(HWND window, const std::string& path);

}  // namespace tessaly::winui
