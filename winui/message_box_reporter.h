#pragma once

// Reports as the system's message boxes, titled with the application's title.

#include <functional>
#include <string>

#include "platform/reporter.h"
#include "platform/win32.h"

namespace tessaly::winui {

// A refused card's box names the card on a second line and offers, in a check box,
// to show no more of them; a line's box names the line on a second line.
class MessageBoxReporter : public Reporter {
 public:
  explicit MessageBoxReporter(HWND owner = nullptr) : owner_(owner) {}
  void SetOwner(HWND owner) { owner_ = owner; }

  void Show(const std::string& text, Icon icon) override;
  bool ShowCard(const std::string& text, Icon icon, const CardRef& card) override;
  void ShowAt(const std::string& text, Icon icon, const LineRef& where) override;

 private:
  HWND Owner() const;

  HWND owner_;
};

inline constexpr const char* kNoMoreCardErrors = "Show no more card errors for this conversion";

// The text of a refused card's box: the message, then "Card 2, line 3: Lovelace".
std::string CardBoxText(const std::string& text, const CardRef& card);

}  // namespace tessaly::winui
