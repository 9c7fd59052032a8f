#pragma once

#include <string>
#include <vector>

#include "platform/reporter.h"

namespace tessaly {

class RecordingReporter : public Reporter {
 public:
  struct Report {
    std::string text;
    Icon icon;
  };
  void Show(const std::string& text, Icon icon) override { reports.push_back({text, icon}); }
  std::vector<Report> reports;
};

}  // namespace tessaly
