#include "platform/copy_ahead.h"

#include <algorithm>
#include <cassert>

#include "platform/failure.h"
#include "platform/file_failure.h"
#include "platform/file_seam.h"

namespace tessaly {

namespace {
using seam::FileOp;

// Copying waits for this much to be written, so each call moves a good run of
// pages; the copy is flushed at every step of the second size, so the disk writes
// it during the conversion instead of all at the end.
constexpr uint64_t kCopyStep = uint64_t{1} << 20;
constexpr uint64_t kFlushStep = uint64_t{8} << 20;
}  // namespace

CopyAhead::CopyAhead(const std::string& from, const FileIdentity& identity, const std::string& to)
    : from_(from), to_(to), identity_(identity) {
  if (const int error =
          seam::Attempt(FileOp::kCopyOpen, [&] { return in_.OpenForReading(from); })) {
    throw FileFailure(error, from);
  }
  const std::optional<FileStatus> status = in_.Status();
  if (!status || status->identity != identity) throw FileFailure(ENOENT, from);
  replacement_.emplace(to);
  if (status->size > 0) {
    ranges_.push_back({0, status->size});
    rangeBytes_ = status->size;
  }
  thread_ = std::thread([this] { Run(); });
}

CopyAhead::~CopyAhead() {
  Stop();
}

void CopyAhead::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void CopyAhead::Written(uint64_t offset, uint64_t size) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    // Pages are mostly written in order: one range for a run of them.
    if (!ranges_.empty() && ranges_.back().offset + ranges_.back().size == offset) {
      ranges_.back().size += size;
    } else {
      ranges_.push_back({offset, size});
    }
    rangeBytes_ += size;
    wake = rangeBytes_ >= kCopyStep;
  }
  if (wake) wake_.notify_one();
}

void CopyAhead::Run() {
  std::vector<Range> taken;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || rangeBytes_ >= kCopyStep; });
      if (stopping_) return;
      taken.swap(ranges_);
      ranges_.clear();
      rangeBytes_ = 0;
    }
    if (!Copy(taken)) {
      std::lock_guard lock(mutex_);
      failed_ = true;
      return;
    }
  }
}

bool CopyAhead::Copy(std::vector<Range>& ranges) {
  // Pages of different kinds are written in turns: in order, they join up again.
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.offset < b.offset; });
  size_t joined = 0;
  for (size_t i = 1; i < ranges.size(); ++i) {
    Range& last = ranges[joined];
    if (ranges[i].offset <= last.offset + last.size) {
      last.size = std::max(last.size, ranges[i].offset + ranges[i].size - last.offset);
    } else {
      ranges[++joined] = ranges[i];
    }
  }
  if (!ranges.empty()) ranges.resize(joined + 1);
  File& out = replacement_->Out();
  for (const Range& range : ranges) {
    if (seam::Attempt(FileOp::kCopyData,
                      [&] { return out.CopyRangeFrom(in_, range.offset, range.size); }) != 0) {
      return false;
    }
    unflushed_ += range.size;
    if (unflushed_ >= kFlushStep) {
      if (seam::Attempt(FileOp::kCopyFlush, [&] { return out.Sync(); }) != 0) return false;
      unflushed_ = 0;
    }
  }
  return true;
}

bool CopyAhead::Commit() {
  assert(thread_.joinable());
  Stop();
  if (failed_ || !Copy(ranges_)) return false;
  ranges_.clear();
  // As the whole-file copy would refuse it: another program's file under that name.
  const std::optional<FileStatus> now = StatusAt(from_, true);
  const std::optional<FileStatus> copied = in_.Status();
  if (!now || !copied || now->identity != identity_) return false;
  if (seam::Attempt(FileOp::kCopyData, [&] { return replacement_->Out().SetSize(copied->size); }) !=
      0) {
    return false;
  }
  replacement_->Commit();
  return true;
}

}  // namespace tessaly
