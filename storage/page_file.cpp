#include "storage/page_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

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
  batch_.resize(static_cast<size_t>(kBatchPages) * kPageSize);
}

PageFile::~PageFile() = default;

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

void PageFile::CheckUsable() const {
  if (damaged_) {
    throw Failure(dao::err::kDiskIo,
                  "Database '" + path_ + "' is incomplete: an earlier write to it failed.");
  }
  if (!file_.IsOpen()) throw Failure(dao::err::kObjectClosed, "The database is closed.");
}

void PageFile::WriteAt(uint64_t offset, const uint8_t* data, size_t size) {
  if (const int error = seam::Attempt(seam::FileOp::kPageWrite,
                                      [&] { return file_.WriteAt(offset, data, size); })) {
    // Whatever part of the pages reached the file, the file is no longer whole.
    damaged_ = true;
    ThrowIo("Writing database", path_, error);
  }
  if (written_) written_(offset, size);
}

void PageFile::Write(uint32_t page, const uint8_t* data) {
  CheckUsable();
  if (batchPages_ > 0 && (page != batchFirst_ + batchPages_ || batchPages_ == kBatchPages)) {
    Flush();
  }
  if (batchPages_ == 0) batchFirst_ = page;
  std::memcpy(batch_.data() + static_cast<size_t>(batchPages_) * kPageSize, data, kPageSize);
  ++batchPages_;
}

void PageFile::Flush() {
  if (batchPages_ == 0) return;
  CheckUsable();
  const uint32_t pages = batchPages_;
  batchPages_ = 0;
  WriteAt(static_cast<uint64_t>(batchFirst_) * kPageSize, batch_.data(),
          static_cast<size_t>(pages) * kPageSize);
}

void PageFile::Read(uint32_t page, uint8_t* data) {
  if (!file_.IsOpen()) throw Failure(dao::err::kObjectClosed, "The database is closed.");
  if (batchPages_ > 0 && page >= batchFirst_ && page < batchFirst_ + batchPages_) Flush();
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
  CheckUsable();
  Flush();
  // Complete for every reader of the file; copies are made durable by whoever copies.
  if (const int error =
          seam::AttemptAlways(seam::FileOp::kDatabaseClose, [&] { return file_.Close(); })) {
    damaged_ = true;
    ThrowIo("Closing database", path_, error);
  }
}

}  // namespace tessaly::jet
