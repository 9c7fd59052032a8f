#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/reporter.h"

namespace tessaly {

// Shows each report in a message box with an OK button. The box has no title of
// its own, so the platform shows the application's display name. A refused card's
// box names the card on a second line and offers to show no more of them.
class MessageBoxReporter : public Reporter {
 public:
  explicit MessageBoxReporter(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Show(const std::string& text, Icon icon) override;
  bool ShowCard(const std::string& text, Icon icon, const CardRef& card) override;
  // The line and the export's file name go on a second line.
  void ShowAt(const std::string& text, Icon icon, const LineRef& where) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace tessaly
