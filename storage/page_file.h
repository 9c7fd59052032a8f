#pragma once

// The database file as numbered 4 KB pages: exclusive creation, page allocation
// under the format's size limit, and page reads and writes. Written pages are
// gathered and handed to the system by a thread of their own, in runs of
// consecutive pages, so the caller goes on building pages meanwhile; a write that
// failed there fails the caller's next call.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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
  // Hands gathered writes to the system and waits until it has them all.
  void Flush();
  // Flushes and closes; later calls do nothing.
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  // A write or close failed, and a call has thrown for it: the file misses pages
  // for good, and every later write or close fails too.
  bool IsDamaged() const { return lost_; }
  // The file as created.
  const FileIdentity& Identity() const { return identity_; }
  // Called with the byte range of each later write once the system has it, on
  // the thread that wrote it. Waits for the writes under way.
  void WatchWrites(std::function<void(uint64_t offset, uint64_t size)> written);

 private:
  // Pages on their way to the file, in the order they came.
  struct Batch {
    std::unique_ptr<uint8_t[]> bytes;  // kBatchPages slots
    std::vector<uint32_t> pages;       // the page in each slot
    std::vector<uint32_t> order;       // slots by page, while writing
    std::vector<File::Piece> pieces;
  };
  static constexpr uint32_t kBatchPages = 128;
  static constexpr size_t kBatches = 3;

  // Throws when the file is closed or damaged, telling a failed write once.
  void CheckUsable();
  // Queues the open batch for writing, then waits for an empty one.
  void Submit();
  // Until every queued batch is written.
  void WaitUntilIdle();
  // The writing thread's loop; without `wait`, writes what is queued and returns.
  void WriteBatches(bool wait);
  // Writes the pages in runs of consecutive ones; 0 or the failure.
  int WriteBatch(Batch& batch, const std::function<void(uint64_t, uint64_t)>& written);
  void StopWriting();

  File file_;
  std::string path_;
  uint32_t pageCount_ = 0;
  uint32_t limit_;
  uint32_t reserve_ = 0;
  std::atomic<bool> damaged_{false};  // a write failed
  bool lost_ = false;                 // and a caller was told
  FileIdentity identity_;

  Batch* open_ = nullptr;  // being filled
  std::vector<std::unique_ptr<Batch>> batches_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch*> empty_;
  std::deque<Batch*> full_;
  bool busy_ = false;  // the writing thread holds a batch
  bool stopping_ = false;
  int writeError_ = 0;  // the first failure of the writing thread
  std::function<void(uint64_t, uint64_t)> written_;
  std::thread writer_;
};

}  // namespace tessaly::jet
