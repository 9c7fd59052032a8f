#pragma once

#include <gtest/gtest.h>

#include "platform/failure.h"

namespace tessaly {

// The failure that `action` raises; a test failure when it raises none.
template <typename Action>
Failure FailureOf(Action&& action) {
  try {
    action();
  } catch (const Failure& failure) {
    return failure;
  }
  ADD_FAILURE() << "no failure raised";
  return Failure(0, "");
}

}  // namespace tessaly
