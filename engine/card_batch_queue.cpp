#include "engine/card_batch_queue.h"

#include <cassert>

namespace tessaly {

CardBatchQueue::CardBatchQueue(size_t batches, size_t itemsPerBatch) {
  assert(batches > 0 && itemsPerBatch > 1);
  for (size_t i = 0; i < batches; ++i) {
    batches_.push_back(std::make_unique<CardBatch>());
    batches_.back()->items.resize(itemsPerBatch);
    empty_.push_back(batches_.back().get());
  }
}

CardBatch* CardBatchQueue::TakeEmpty() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return stopped_ || !empty_.empty(); });
  if (stopped_) return nullptr;
  CardBatch* batch = empty_.front();
  empty_.pop_front();
  return batch;
}

void CardBatchQueue::PutFull(CardBatch* batch) {
  {
    std::lock_guard lock(mutex_);
    full_.push_back(batch);
  }
  changed_.notify_all();
}

CardBatch* CardBatchQueue::TakeFull() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !full_.empty(); });
  CardBatch* batch = full_.front();
  full_.pop_front();
  return batch;
}

void CardBatchQueue::PutEmpty(CardBatch* batch) {
  {
    std::lock_guard lock(mutex_);
    empty_.push_back(batch);
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
