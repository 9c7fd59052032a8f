#pragma once

// Where tests make file operations fail. Every file operation of the converter
// asks Fault() first; with no fault planned it costs one counter increment.

#include <functional>

namespace tessaly::seam {

enum class FileOp {
  kDatabaseCreate,  // creating the temporary database file
  kPageWrite,       // handing database pages to the system
  kPageRead,
  kDatabaseClose,
  kTempFolder,  // making or checking the private temporary folder
  kTempRemove,  // deleting the previous temporary database
  kLockOpen,
  kExportOpen,
  kExportRead,
  kCopyOpen,   // opening the database to copy, creating the new file
  kCopyData,   // the copying itself
  kCopyFlush,  // making the copy durable
  kCopyClose,
  kCopyLink,  // giving the unnamed copy a name
  kRename,    // putting the copy in place of the destination
  kSpoolWrite,  // keeping the listed records once their database closes
  kCount
};

// 0 to let the operation run; else the errno it is to fail with.
int Fault(FileOp op);

// The failure planned for op, else what action returns (0 or an errno value).
template <typename Action>
int Attempt(FileOp op, Action&& action) {
  const int fault = Fault(op);
  return fault != 0 ? fault : action();
}

// The same for an action that must run even when a failure is planned (a close).
template <typename Action>
int AttemptAlways(FileOp op, Action&& action) {
  const int fault = Fault(op);
  const int result = action();
  return fault != 0 ? fault : result;
}

// Calls of op since the last ResetCalls, faulted ones included.
int Calls(FileOp op);
void ResetCalls();

// While alive, call number skip + 1 of op fails with error (and every later one
// when persistent). One plan at a time.
class ScopedFault {
 public:
  ScopedFault(FileOp op, int error, int skip = 0, bool persistent = false);
  // Runs action at that call (and every later one when persistent) instead of
  // failing it: e.g. to kill the process there, or to slow the run down.
  ScopedFault(FileOp op, std::function<void()> action, int skip = 0, bool persistent = false);
  ~ScopedFault();
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
};

}  // namespace tessaly::seam
