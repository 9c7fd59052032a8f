#include "platform/file_seam.h"

#include <array>
#include <utility>

namespace tessaly::seam {

namespace {

// The converter runs on one thread; tests plan faults on that thread.
struct Plan {
  bool armed = false;
  FileOp op = FileOp::kCount;
  int error = 0;
  int remainingSkips = 0;
  bool persistent = false;
  bool spent = false;
  std::function<void()> action;
};

Plan gPlan;
std::array<int, static_cast<size_t>(FileOp::kCount)> gCalls{};

}  // namespace

int Fault(FileOp op) {
  ++gCalls[static_cast<size_t>(op)];
  if (!gPlan.armed || gPlan.op != op || gPlan.spent) return 0;
  if (gPlan.remainingSkips > 0) {
    --gPlan.remainingSkips;
    return 0;
  }
  if (!gPlan.persistent) gPlan.spent = true;
  if (gPlan.action) {
    gPlan.action();
    return 0;
  }
  return gPlan.error;
}

int Calls(FileOp op) {
  return gCalls[static_cast<size_t>(op)];
}

void ResetCalls() {
  gCalls.fill(0);
}

ScopedFault::ScopedFault(FileOp op, int error, int skip, bool persistent) {
  gPlan = Plan{true, op, error, skip, persistent, false, {}};
}

ScopedFault::ScopedFault(FileOp op, std::function<void()> action, int skip) {
  gPlan = Plan{true, op, 0, skip, false, false, std::move(action)};
}

ScopedFault::~ScopedFault() {
  gPlan = Plan{};
}

}  // namespace tessaly::seam
