#pragma once

// The user's temporary folder, where the temporary card database lives.

#include <string>

#include "platform/file.h"

namespace tessaly {

// The folder, ending with a path separator. On Windows the folder the system
// reports (from TMP or TEMP), which is the user's own; elsewhere $TMPDIR (or /tmp) followed by a
// folder only this user can enter, "tessaly-<uid>", created on first use. Throws Failure when that
// folder cannot be made or is not safely ours (a symbolic link, or another user's).
std::string UserTempFolder();

// An exclusive lock on a file (created if absent), held until destroyed, so that
// two processes of the same user never share one temporary database unnoticed.
class TempFileLock {
 public:
  // Throws Failure when another process holds the lock or the file cannot be made.
  explicit TempFileLock(const std::string& path);
  TempFileLock(const TempFileLock&) = delete;
  TempFileLock& operator=(const TempFileLock&) = delete;

  // The lock file in the folder is still the one held. A lock file removed while
  // held (by a cleaner of temporary files) guards nothing: another process can make
  // a new one and take the same database.
  bool Holds() const;

 private:
  std::string path_;
  File file_;
  FileIdentity identity_;
};

}  // namespace tessaly
