#pragma once

// Failure helpers shared by the converter's procedures.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/reporter.h"

namespace tessaly {

inline constexpr int32_t kProblemParsingLine = -2147220502;  // 0x800403EA
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

// The one trap of a procedure: runs `step`, which returns false after reporting its
// own failure; whatever it throws goes to `onFailure` as a failure (running out of
// memory too, instead of ending the program), and the result is false.
template <typename Step, typename OnFailure>
bool Trap(Step&& step, OnFailure&& onFailure) {
  try {
    return step();
  } catch (...) {
    onFailure(CaughtFailure());
    return false;
  }
}

// The same, a failure shown in the common form with `icon`.
template <typename Step>
bool Trap(Reporter& reporter, Icon icon, Step&& step) {
  return Trap(std::forward<Step>(step),
              [&](const Failure& failure) { ReportFailure(reporter, failure, icon); });
}

}  // namespace tessaly
