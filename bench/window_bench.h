#pragma once

// What the window benchmarks share: the export they convert, and a reporter that
// counts what would have been shown.

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/reporter.h"

namespace tessaly::bench {

// Typical cards: most fields filled, some phone extensions and dates, every
// tenth card with a note over three lines.
inline void WriteTypicalExport(const std::string& path, int cards) {
  std::ofstream out(path, std::ios::binary);
  auto line = [&out](auto&& column) {
    out << '"';
    for (int c = 1; c <= 47; ++c) {
      if (c > 1) out << "\",\"";
      out << column(c);
    }
  };
  line([](int c) { return "Field " + std::to_string(c); });
  out << "\"\r\n";
  for (int i = 0; i < cards; ++i) {
    const std::string n = std::to_string(i);
    const bool longNote = i % 10 == 0;
    line([&](int c) -> std::string {
      switch (c) {
        case 1:
          return i % 3 ? "Mr." : "Ms.";
        case 2:
          return "First" + n;
        case 3:
          return "Last" + n;
        case 7:
        case 22:
          return n + " Market Street";
        case 9:
        case 24:
          return "Springfield";
        case 10:
        case 25:
          return "IL";
        case 11:
        case 26:
          return "62" + std::to_string(100 + i % 900);
        case 12:
        case 27:
          return "USA";
        case 13:
        case 28:
          return "+1 217 555 " + std::to_string(1000 + i % 9000);
        case 14:
          return i % 4 ? "" : "12";
        case 18:
          return "Company " + std::to_string(i % 500);
        case 19:
          return "Engineer";
        case 33:
          return "Business";
        case 35:
          return i % 5 ? ""
                       : std::to_string(1 + i % 12) + "/" + std::to_string(1 + i % 28) + "/1970";
        case 47:
          return longNote ? "Met at the fair" : "Short note " + n;
        default:
          return "";
      }
    });
    out << (longNote ? "\r\nAsked for the catalogue\r\n\"\r\n" : "\"\r\n");
  }
}

class CountingReporter : public Reporter {
 public:
  void Show(const std::string& text, Icon) override {
    ++count;
    std::fprintf(stderr, "report: %s\n", text.c_str());
  }
  int count = 0;
};

}  // namespace tessaly::bench
