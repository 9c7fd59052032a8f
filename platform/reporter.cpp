#include "platform/reporter.h"

namespace tessaly {

bool Reporter::ShowCard(const std::string& text, Icon icon, const CardRef& /*card*/) {
  Show(text, icon);
  return true;
}

void Reporter::ShowAt(const std::string& text, Icon icon, const LineRef& /*where*/) {
  Show(text, icon);
}

std::string CommonErrorText(const Failure& failure) {
  return "Err " + std::to_string(failure.Number()) + " " + failure.Description();
}

}  // namespace tessaly
