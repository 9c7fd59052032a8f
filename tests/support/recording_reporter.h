#pragma once

// A reporter for the tests: keeps every message instead of showing it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/reporter.h"

namespace tessaly::test {

class RecordingReporter : public Reporter {
 public:
  struct Report {
    std::string text;
    Icon icon;
    std::optional<CardRef> card;
    std::optional<LineRef> at;  // a message about a line that did not parse
  };
  void Show(const std::string& text, Icon icon) override {
    reports.push_back({text, icon, std::nullopt, std::nullopt});
    if (whenShown) whenShown();
  }
  void ShowAt(const std::string& text, Icon icon, const LineRef& where) override {
    reports.push_back({text, icon, std::nullopt, where});
    if (whenShown) whenShown();
  }
  bool ShowCard(const std::string& text, Icon icon, const CardRef& card) override {
    reports.push_back({text, icon, card, std::nullopt});
    if (whenShown) whenShown();
    return !noMoreCardMessages;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Report& report : reports) texts.push_back(report.text);
    return texts;
  }

  std::vector<Report> reports;
  // Called after each message is kept, e.g. to note the state of a window then.
  std::function<void()> whenShown;
  // The answer to each card message: true asks for no more in this conversion.
  bool noMoreCardMessages = false;
};

}  // namespace tessaly::test
