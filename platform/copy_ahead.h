#pragma once

// A copy of a file made while another thread still writes it: each range is copied
// soon after it is written and the copy is flushed to disk as it grows, so that once
// the writer is done, saving has only its last writes and a short flush left. The
// copy takes the destination's place only on Commit.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file.h"
#include "platform/file_replace.h"

namespace tessaly {

class CopyAhead {
 public:
  // Opens `from`, which must be the file `identity`, copies what it holds so far
  // and creates the copy beside `to`. Throws Failure when any of that fails.
  CopyAhead(const std::string& from, const FileIdentity& identity, const std::string& to);
  // Stops; an uncommitted copy leaves nothing behind.
  ~CopyAhead();
  CopyAhead(const CopyAhead&) = delete;
  CopyAhead& operator=(const CopyAhead&) = delete;

  // Bytes [offset, offset + size) of `from` have been written. Any one thread.
  void Written(uint64_t offset, uint64_t size);

  const std::string& Destination() const { return to_; }
  // Once the writer is done: copies what is left and puts the copy in place of `to`.
  // False, `to` untouched, when copying failed or `from` is no longer the file it
  // was: the caller copies the whole file instead. Throws Failure when putting the
  // complete copy in place fails.
  bool Commit();

 private:
  struct Range {
    uint64_t offset = 0;
    uint64_t size = 0;
  };
  void Run();
  // Ends the copying thread; what it left is copied by Commit.
  void Stop();
  // False once a copy or a flush failed.
  bool Copy(std::vector<Range>& ranges);

  std::string from_;
  std::string to_;
  FileIdentity identity_;
  File in_;
  std::optional<FileReplacement> replacement_;
  uint64_t unflushed_ = 0;  // the copying thread's

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Range> ranges_;  // written, not yet taken for copying
  uint64_t rangeBytes_ = 0;
  bool stopping_ = false;
  bool failed_ = false;
  std::thread thread_;
};

}  // namespace tessaly
