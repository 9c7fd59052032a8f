#pragma once

// Cards on their way from the reading thread to the writing one. A fixed set of
// batches goes round between the two, so memory stays flat whatever the export's
// size, and each hand-over carries many cards.

#include <cassert>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/modCSV.h"

namespace tessaly {

// One step of the run, in export order: a card to write, then what ended the run
// on the same line (a failure), or the end of the export.
struct CardItem {
  bool hasCard = false;
  // The card's columns: columns[firstColumn + i] of the batch.
  size_t firstColumn = 0;
  size_t columns = 0;
  CardOrigin origin;
  int64_t line = 0;  // the export's line when the item was made
  std::optional<Failure> failure;
  bool parseFailure = false;  // the parser refused the line (else reading failed)
  bool end = false;
};

// Text that grows without being filled with zeros first: the reader decodes the
// export straight into it.
class BatchText {
 public:
  // Room for count more characters at the end, to be written at once.
  char16_t* Extend(size_t count);
  const char16_t* data() const { return data_.get(); }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  void Truncate(size_t size) {
    assert(size <= size_);
    size_ = size;
  }
  // Lets go of the memory too.
  void Release() {
    data_.reset();
    size_ = capacity_ = 0;
  }

 private:
  std::unique_ptr<char16_t[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// The writer reads what the reader wrote on another core: one run of text per
// batch lets the caches stream it instead of chasing a string per column.
struct CardBatch {
  std::vector<CardItem> items;  // the first `used` are filled
  size_t used = 0;
  BatchText text;
  std::vector<std::pair<size_t, size_t>> bounds;  // offset and length of each column
  // The same as views of the text, made by the reader as it hands the batch over:
  // the text no longer moves then, and the writer has the less to do.
  std::vector<std::u16string_view> columns;
  uint64_t bytesRead = 0;  // of the export, once the batch was filled
};

class CardBatchQueue {
 public:
  explicit CardBatchQueue(size_t batches, size_t itemsPerBatch);
  CardBatchQueue(const CardBatchQueue&) = delete;
  CardBatchQueue& operator=(const CardBatchQueue&) = delete;

  // Reader: an empty batch, waiting for one; nullptr once stopped.
  CardBatch* TakeEmpty();
  void PutFull(CardBatch* batch);
  // Writer: the next filled batch, in order, waiting for it.
  CardBatch* TakeFull();
  void PutEmpty(CardBatch* batch);
  // Writer: the reader is to end; it gets no further batch.
  void Stop();

 private:
  // The first batch of `from`, waiting for one; nullptr once stopped if untilStopped.
  CardBatch* Take(std::deque<CardBatch*>& from, bool untilStopped);
  void Put(std::deque<CardBatch*>& to, CardBatch* batch);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<CardBatch>> batches_;
  std::deque<CardBatch*> empty_;
  std::deque<CardBatch*> full_;
  bool stopped_ = false;
};

}  // namespace tessaly
