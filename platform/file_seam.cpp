#include "platform/file_seam.h"

#include <array>
#include <atomic>
#include <mutex>
#include <utility>

namespace tessaly::seam {

namespace {

// The converter reads the export and writes the database on two threads; tests
// plan faults on a third.
struct Plan {
  bool armed = false;
  FileOp op = FileOp::kCount;
  int error = 0;
  int remainingSkips = 0;
  bool persistent = false;
  bool spent = false;
  std::function<void()> action;
};

std::mutex gMutex;
Plan gPlan;
std::atomic<bool> gArmed{false};
std::array<std::atomic<int>, static_cast<size_t>(FileOp::kCount)> gCalls{};

void Arm(Plan plan) {
  std::lock_guard lock(gMutex);
  gPlan = std::move(plan);
  gArmed.store(gPlan.armed, std::memory_order_release);
}

}  // namespace

int Fault(FileOp op) {
  gCalls[static_cast<size_t>(op)].fetch_add(1, std::memory_order_relaxed);
  if (!gArmed.load(std::memory_order_acquire)) return 0;
  std::function<void()> action;
  {
    std::lock_guard lock(gMutex);
    if (!gPlan.armed || gPlan.op != op || gPlan.spent) return 0;
    if (gPlan.remainingSkips > 0) {
      --gPlan.remainingSkips;
      return 0;
    }
    if (!gPlan.persistent) gPlan.spent = true;
    if (!gPlan.action) return gPlan.error;
    action = gPlan.action;
  }
  // Outside the lock: the action may plan the next fault.
  action();
  return 0;
}

int Calls(FileOp op) {
  return gCalls[static_cast<size_t>(op)].load(std::memory_order_relaxed);
}

void ResetCalls() {
  for (auto& calls : gCalls) calls.store(0, std::memory_order_relaxed);
}

ScopedFault::ScopedFault(FileOp op, int error, int skip, bool persistent) {
  Arm(Plan{true, op, error, skip, persistent, false, {}});
}

ScopedFault::ScopedFault(FileOp op, std::function<void()> action, int skip, bool persistent) {
  Arm(Plan{true, op, 0, skip, persistent, false, std::move(action)});
}

ScopedFault::~ScopedFault() {
  Arm(Plan{});
}

}  // namespace tessaly::seam
