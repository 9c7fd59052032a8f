#include "engine/card_batch_queue.h"

#include <algorithm>
#include <cassert>
#include <string>

namespace tessaly {

char16_t* BatchText::Extend(size_t count) {
  if (capacity_ - size_ < count) {
    const size_t capacity = std::max(size_ + count, 2 * capacity_);
    auto grown = std::make_unique_for_overwrite<char16_t[]>(capacity);
    if (size_ > 0) std::char_traits<char16_t>::copy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
  }
  char16_t* at = data_.get() + size_;
  size_ += count;
  return at;
}

CardBatchQueue::CardBatchQueue(size_t batches, size_t itemsPerBatch) {
  assert(batches > 0 && itemsPerBatch > 1);
  for (size_t i = 0; i < batches; ++i) {
    batches_.push_back(std::make_unique<CardBatch>());
    batches_.back()->items.resize(itemsPerBatch);
    empty_.push_back(batches_.back().get());
  }
}

CardBatch* CardBatchQueue::TakeEmpty() {
  return Take(empty_, true);
}

void CardBatchQueue::PutFull(CardBatch* batch) {
  Put(full_, batch);
}

CardBatch* CardBatchQueue::TakeFull() {
  return Take(full_, false);
}

void CardBatchQueue::PutEmpty(CardBatch* batch) {
  Put(empty_, batch);
}

CardBatch* CardBatchQueue::Take(std::deque<CardBatch*>& from, bool untilStopped) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return (untilStopped && stopped_) || !from.empty(); });
  if (untilStopped && stopped_) return nullptr;
  CardBatch* batch = from.front();
  from.pop_front();
  return batch;
}

void CardBatchQueue::Put(std::deque<CardBatch*>& to, CardBatch* batch) {
  {
    std::lock_guard lock(mutex_);
    to.push_back(batch);
  }
  changed_.notify_all();
}

void CardBatchQueue::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

}  // namespace tessaly
