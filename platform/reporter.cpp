#include "platform/reporter.h"

namespace tessaly {

std::string CommonErrorText(const Failure& failure) {
  return "Err " + std::to_string(failure.Number()) + " " + failure.Description();
}

}  // namespace tessaly
