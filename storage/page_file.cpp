#include "storage/page_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "platform/file_failure.h"
#include "platform/file_seam.h"
#include "storage/dao_errors.h"

namespace tessaly::jet {

namespace {

std::atomic<uint32_t> gPageLimit{kMaxPages};

[[noreturn]] void ThrowIo(const char* what, const std::string& path, int error) {
  throw Failure(dao::err::kDiskIo,
                std::string(what) + " '" + path + "' failed: " + SystemErrorText(error) + ".");
}

std::string SizeText(uint64_t bytes) {
  constexpr uint64_t kKb = 1024;
  if (bytes >= kKb * kKb * kKb)
    return std::to_string((bytes + kKb * kKb * kKb / 2) / (kKb * kKb * kKb)) + " GB";
  if (bytes >= kKb * kKb) return std::to_string(bytes / (kKb * kKb)) + " MB";
  return std::to_string(bytes / kKb) + " KB";
}

}  // namespace

uint32_t PageLimit() {
  return gPageLimit.load();
}

ScopedPageLimitForTesting::ScopedPageLimitForTesting(uint32_t pages)
    : previous_(gPageLimit.exchange(pages)) {}
ScopedPageLimitForTesting::~ScopedPageLimitForTesting() {
  gPageLimit.store(previous_);
}

PageFile::PageFile(const std::string& path) : path_(path), limit_(PageLimit()) {
  if (const int error =
          seam::Attempt(seam::FileOp::kDatabaseCreate, [&] { return file_.CreateNew(path); })) {
    if (error == EEXIST) {
      throw Failure(dao::err::kDatabaseExists,
                    "Database '" + path + "' already exists; a new database needs a free name.");
    }
    throw Failure(dao::err::kCannotOpenFile,
                  "Cannot create database '" + path + "': " + SystemErrorText(error) + ".");
  }
  if (const auto status = file_.Status()) identity_ = status->identity;
  for (size_t i = 0; i < kBatches; ++i) {
    auto batch = std::make_unique<Batch>();
    batch->bytes = std::make_unique_for_overwrite<uint8_t[]>(size_t{kBatchPages} * kPageSize);
    batch->pages.reserve(kBatchPages);
    empty_.push_back(batch.get());
    batches_.push_back(std::move(batch));
  }
  open_ = empty_.front();
  empty_.pop_front();
}

PageFile::~PageFile() {
  StopWriting();
}

void PageFile::CheckRoom(uint32_t count) const {
  if (static_cast<uint64_t>(pageCount_) + count + reserve_ > limit_) {
    throw Failure(dao::err::kDatabaseFull, "The database file has reached its size limit of " +
                                               SizeText(static_cast<uint64_t>(limit_) * kPageSize) +
                                               "; nothing more can be added to it.");
  }
}

uint32_t PageFile::Allocate(uint32_t count) {
  CheckRoom(count);
  const uint32_t first = pageCount_;
  pageCount_ += count;
  return first;
}

uint32_t PageFile::AllocateReserved() {
  if (pageCount_ >= limit_) {
    reserve_ = 0;
    CheckRoom(1);
  }
  if (reserve_ > 0) --reserve_;
  return pageCount_++;
}

void PageFile::CheckUsable() {
  if (damaged_) {
    lost_ = true;
    int error = 0;
    {
      std::lock_guard lock(mutex_);
      error = std::exchange(writeError_, 0);
    }
    // The failure itself is told once; from then on the file is just incomplete.
    if (error != 0) ThrowIo("Writing database", path_, error);
    throw Failure(dao::err::kDiskIo,
                  "Database '" + path_ + "' is incomplete: an earlier write to it failed.");
  }
  if (!file_.IsOpen()) throw Failure(dao::err::kObjectClosed, "The database is closed.");
}

void PageFile::Write(uint32_t page, const uint8_t* data) {
  CheckUsable();
  // A page written again while the first image is still here goes after it.
  Batch& batch = *open_;
  std::memcpy(batch.bytes.get() + batch.pages.size() * kPageSize, data, kPageSize);
  batch.pages.push_back(page);
  if (batch.pages.size() == kBatchPages) Submit();
}

void PageFile::Submit() {
  {
    std::lock_guard lock(mutex_);
    full_.push_back(std::exchange(open_, nullptr));
  }
  changed_.notify_all();
  if (!writer_.joinable()) {
    try {
      writer_ = std::thread([this] { WriteBatches(true); });
    } catch (const std::system_error&) {
      // No thread to be had: the batch is written here.
      WriteBatches(false);
    }
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !empty_.empty(); });
  open_ = empty_.front();
  empty_.pop_front();
  open_->pages.clear();
}

void PageFile::WriteBatches(bool wait) {
  std::function<void(uint64_t, uint64_t)> written;
  for (;;) {
    Batch* batch = nullptr;
    bool failed = false;
    {
      std::unique_lock lock(mutex_);
      if (wait) changed_.wait(lock, [&] { return stopping_ || !full_.empty(); });
      if (full_.empty()) return;
      batch = full_.front();
      full_.pop_front();
      busy_ = true;
      failed = damaged_;
      written = written_;
    }
    // Once a write failed the file is lost: later batches are only let go.
    const int error = failed ? 0 : WriteBatch(*batch, written);
    {
      std::lock_guard lock(mutex_);
      if (error != 0) {
        writeError_ = error;
        damaged_ = true;
      }
      busy_ = false;
      empty_.push_back(batch);
    }
    changed_.notify_all();
  }
}

int PageFile::WriteBatch(Batch& batch, const std::function<void(uint64_t, uint64_t)>& written) {
  const size_t count = batch.pages.size();
  batch.order.resize(count);
  for (size_t i = 0; i < count; ++i) batch.order[i] = static_cast<uint32_t>(i);
  // Stable: of two images of one page, the later is written last.
  std::stable_sort(batch.order.begin(), batch.order.end(),
                   [&](uint32_t a, uint32_t b) { return batch.pages[a] < batch.pages[b]; });
  for (size_t i = 0; i < count;) {
    const uint32_t first = batch.pages[batch.order[i]];
    size_t end = i + 1;
    while (end < count && batch.pages[batch.order[end]] == first + (end - i)) ++end;
    batch.pieces.clear();
    for (size_t k = i; k < end; ++k) {
      batch.pieces.push_back({batch.bytes.get() + batch.order[k] * size_t{kPageSize}, kPageSize});
    }
    const uint64_t offset = static_cast<uint64_t>(first) * kPageSize;
    if (const int error = seam::Attempt(seam::FileOp::kPageWrite, [&] {
          return file_.WriteAt(offset, batch.pieces.data(), batch.pieces.size());
        })) {
      return error;
    }
    if (written) written(offset, static_cast<uint64_t>(end - i) * kPageSize);
    i = end;
  }
  return 0;
}

void PageFile::WaitUntilIdle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return full_.empty() && !busy_; });
}

void PageFile::Flush() {
  CheckUsable();
  if (!open_->pages.empty()) Submit();
  WaitUntilIdle();
  CheckUsable();
}

void PageFile::WatchWrites(std::function<void(uint64_t offset, uint64_t size)> written) {
  WaitUntilIdle();
  std::lock_guard lock(mutex_);
  written_ = std::move(written);
}

void PageFile::StopWriting() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (writer_.joinable()) writer_.join();
}

void PageFile::Read(uint32_t page, uint8_t* data) {
  if (!file_.IsOpen()) throw Failure(dao::err::kObjectClosed, "The database is closed.");
  // Its latest image may not have reached the file yet.
  if (std::find(open_->pages.begin(), open_->pages.end(), page) != open_->pages.end()) {
    Flush();
  } else {
    WaitUntilIdle();
  }
  size_t done = 0;
  const uint64_t offset = static_cast<uint64_t>(page) * kPageSize;
  while (done < kPageSize) {
    size_t got = 0;
    if (const int error = seam::Attempt(seam::FileOp::kPageRead, [&] {
          return file_.ReadAt(offset + done, data + done, kPageSize - done, got);
        })) {
      ThrowIo("Reading database", path_, error);
    }
    if (got == 0) {
      // A page allocated but not yet written reads as zeros.
      std::memset(data + done, 0, kPageSize - done);
      break;
    }
    done += got;
  }
}

void PageFile::Close() {
  if (!file_.IsOpen() && !damaged_) return;
  Flush();
  StopWriting();
  // Complete for every reader of the file; copies are made durable by whoever copies.
  if (const int error =
          seam::AttemptAlways(seam::FileOp::kDatabaseClose, [&] { return file_.Close(); })) {
    damaged_ = true;
    lost_ = true;
    ThrowIo("Closing database", path_, error);
  }
}

}  // namespace tessaly::jet
