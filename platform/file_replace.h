#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/file.h"
#include "platform/file_seam.h"

namespace tessaly {

// The file a replacement of `to` puts its copy in place of.
struct ReplaceTarget {
  std::string path;                    // `to`, a link there resolved
  std::optional<FileStatus> existing;  // what is there now, if anything
};

// The checks a replacement of `to` makes before writing anything, for a caller to
// refuse a destination before the work that fills it. Throws the Failure the
// replacement would give when `to` is a folder, a device, a FIFO or a socket, or a
// file a plain copy could not write, or when its folder is missing or does not
// take new files from this user. A link at `to` is followed.
ReplaceTarget CheckReplaceable(const std::string& to);

// Copies `from` to `to`, replacing a file there. The copy is written to a file
// beside `to` that has no name until it is complete and on disk, then renamed over
// `to`, so a failure (disk full, unwritable folder) or a kill never leaves a damaged
// file at `to`; copies left by processes that no longer run are removed. Only a
// regular file is replaced: a read-only one, a folder, a device, a FIFO or a socket
// at `to` is refused. A symbolic link at `to` is followed. When `source` is given,
// `from` must still be that file. Throws Failure.
void ReplaceFileWithCopy(const std::string& from, const std::string& to,
                         std::optional<FileIdentity> source = std::nullopt);

// The new file of such a replacement, to be filled by the caller: created beside
// `to` (after the same checks of `to`) by the constructor, put in place by Commit.
// Dropped uncommitted, it leaves nothing behind. Both throw Failure.
class FileReplacement {
 public:
  explicit FileReplacement(const std::string& to);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  File& Out() { return out_; }
  const std::string& Destination() const { return to_; }
  // Makes the new file durable, then renames it over `to`.
  void Commit();

 private:
  // Fresh part names until `take` accepts one.
  void TakeFreshName(seam::FileOp op, const std::function<int(const std::string&)>& take);

  std::string to_;
  std::string target_;  // `to`, its link resolved
  std::string folder_;
  std::string base_;
  std::string partPath_;  // while the new file has a name that is not `to`'s
  File out_;
  bool unnamed_ = false;
};

}  // namespace tessaly
