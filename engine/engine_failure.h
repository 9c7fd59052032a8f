#pragma once

// Failure helpers shared by the converter's procedures.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/reporter.h"

namespace tessaly {

inline constexpr int32_t kProblemParsingLine = -2147220502;  // 0x800403EA
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kInternalError = 51;

[[noreturn]] void ThrowSubscriptOutOfRange();

// Element `index` of a column list; a missing one is the run time's subscript failure.
template <typename T>
T& At(std::vector<T>& list, size_t index) {
  if (index >= list.size()) ThrowSubscriptOutOfRange();
  return list[index];
}
template <typename T>
const T& At(const std::vector<T>& list, size_t index) {
  if (index >= list.size()) ThrowSubscriptOutOfRange();
  return list[index];
}

// The exception being handled (call only inside a catch block) as a failure.
Failure CaughtFailure();

// Reports the exception being handled (call only inside a catch block) in the common
// form. Running out of memory becomes a failure like any other instead of ending the
// program.
void ReportCaught(Reporter& reporter, Icon icon);

}  // namespace tessaly
