#pragma once

#include <string>

#include "platform/failure.h"

namespace tessaly {

enum class Icon { None, Critical, Exclamation, Information };

// Where user-facing messages go: a message box in the window, stderr in the
// converter, a recorder in tests. Texts are UTF-8.
class Reporter {
 public:
  virtual ~Reporter() = default;
  virtual void Show(const std::string& text, Icon icon) = 0;
};

// "Err ", the number in signed decimal, one blank, the description.
std::string CommonErrorText(const Failure& failure);

inline void ReportFailure(Reporter& reporter, const Failure& failure, Icon icon) {
  reporter.Show(CommonErrorText(failure), icon);
}

}  // namespace tessaly
