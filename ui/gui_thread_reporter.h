#pragma once

#include <QObject>

#include "platform/reporter.h"

namespace tessaly {

// Hands the reports of a conversion running on another thread to `target` on the
// thread of `context` (the window's), one at a time and in order. The run waits for
// each, as it waits for a message box on the window's own thread.
class GuiThreadReporter : public Reporter {
 public:
  GuiThreadReporter(Reporter& target, QObject& context) : target_(target), context_(context) {}

  void Show(const std::string& text, Icon icon) override;
  bool ShowCard(const std::string& text, Icon icon, const CardRef& card) override;

  Reporter& target() const { return target_; }

 private:
  template <typename Call>
  void OnContextThread(Call call);

  Reporter& target_;
  QObject& context_;
};

}  // namespace tessaly
