#pragma once

// A reporter for the tests: keeps every message instead of showing it.

#include <functional>
#include <string>
#include <vector>

#include "platform/reporter.h"

namespace tessaly::test {

class RecordingReporter : public Reporter {
 public:
  struct Report {
    std::string text;
    Icon icon;
  };
  void Show(const std::string& text, Icon icon) override {
    reports.push_back({text, icon});
    if (whenShown) whenShown();
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Report& report : reports) texts.push_back(report.text);
    return texts;
  }

  std::vector<Report> reports;
  // Called after each message is kept, e.g. to note the state of a window then.
  std::function<void()> whenShown;
};

}  // namespace tessaly::test
