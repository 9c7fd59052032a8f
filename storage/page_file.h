#pragma once

// The database file as numbered 4 KB pages: exclusive creation, page allocation
// under the format's size limit, and page reads and writes. Writes of consecutive
// pages are gathered into one system call.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "storage/jet_format.h"

namespace tessaly::jet {

// The page limit new files get. Tests lower it to reach the limit cheaply.
uint32_t PageLimit();
class ScopedPageLimitForTesting {
 public:
  explicit ScopedPageLimitForTesting(uint32_t pages);
  ~ScopedPageLimitForTesting();
  ScopedPageLimitForTesting(const ScopedPageLimitForTesting&) = delete;
  ScopedPageLimitForTesting& operator=(const ScopedPageLimitForTesting&) = delete;

 private:
  uint32_t previous_;
};

class PageFile {
 public:
  // Fails with kDatabaseExists when anything, a symbolic link included, is at path.
  explicit PageFile(const std::string& path);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  uint32_t PageCount() const { return pageCount_; }
  uint32_t Limit() const { return limit_; }
  // Pages kept back for what closing the file still has to write.
  void SetReserve(uint32_t pages) { reserve_ = pages; }
  uint32_t Reserve() const { return reserve_; }
  // Fails with kDatabaseFull, allocating nothing, when count pages do not fit.
  void CheckRoom(uint32_t count) const;
  // Returns the first of count new consecutive pages.
  uint32_t Allocate(uint32_t count = 1);
  // One page out of the reserve.
  uint32_t AllocateReserved();

  void Write(uint32_t page, const uint8_t* data);
  void Read(uint32_t page, uint8_t* data);
  // Hands gathered writes to the system.
  void Flush();
  // Flushes and closes; later calls do nothing.
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  // A write or close failed: the file misses pages for good, and every later
  // write or close fails too.
  bool IsDamaged() const { return damaged_; }
  // The file as created.
  const FileIdentity& Identity() const { return identity_; }
  // Called with the byte range of each write once the system has it.
  void WatchWrites(std::function<void(uint64_t offset, uint64_t size)> written) {
    written_ = std::move(written);
  }

 private:
  void WriteAt(uint64_t offset, const uint8_t* data, size_t size);
  void CheckUsable() const;

  File file_;
  std::string path_;
  uint32_t pageCount_ = 0;
  uint32_t limit_;
  uint32_t reserve_ = 0;
  static constexpr uint32_t kBatchPages = 64;
  std::vector<uint8_t> batch_;
  uint32_t batchFirst_ = 0;
  uint32_t batchPages_ = 0;
  bool damaged_ = false;
  FileIdentity identity_;
  std::function<void(uint64_t, uint64_t)> written_;
};

}  // namespace tessaly::jet
