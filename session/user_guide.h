#pragma once

// Where Help > Index finds the user guide.

#include <string>

namespace tessaly {

inline constexpr const char* kUserGuideName = "Readme.txt";

// The guide in currentFolder if there is one; else the one beside the program (a
// build tree, or an install that keeps them together); else the one an install puts
// at its place relative to the program. When none exists, the current folder's, so
// that the failure names the place looked first. Folders are absolute.
std::string UserGuidePath(const std::string& currentFolder, const std::string& programFolder);

}  // namespace tessaly
