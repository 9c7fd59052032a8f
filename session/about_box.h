#pragma once

// What the About box says and where it stands, for every front end.

#include <cstdint>
#include <string>


namespace tessaly::about {

// "About Orvane Tessaly".
std::string Caption(const std::string& title);
// "Version 1.2.0".
std::string VersionText();
// The maker's copyright line, web address and "Mail to " support address, one a line.
std::string MakerLines();
// "Build 1381".
std::string BuildText(int32_t build);

struct Point {
  int x = 0;
  int y = 0;
};
// Where a box of outer size boxWidth x boxHeight stands when centred over a window
// whose outer frame starts at (left, top), wherever that is (also off screen).
Point CentredTopLeft(int left, int top, int width, int height, int boxWidth, int boxHeight);

}  // namespace tessaly::about
