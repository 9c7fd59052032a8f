#include "engine/card_queue_sink.h"

#include <algorithm>
#include <cassert>

#include "engine/card_file_reader.h"
#include "engine/card_line.h"

namespace tessaly {

void QueueSink::BeginLine() {
  if (batch_ == nullptr) Acquire();
  lineItem_ = nullptr;
}

void QueueSink::EndLine() {
  assert(batch_ != nullptr);
  if (batch_->used == batch_->items.size() || file_.BytesRead() - startBytes_ >= kBytesPerBatch) {
    Publish();
  }
}

void QueueSink::Take(const CardRecord& card) {
  CardItem& item = NewItem();
  item.hasCard = true;
  item.origin = card.Origin;
  item.firstColumn = batch_->bounds.size();
  item.columns = std::min(card.Flds.size(), kCardColumns);
  size_t length = 0;
  for (size_t i = 0; i < item.columns; ++i) length += card.Flds[i].size();
  size_t at = batch_->text.size();
  batch_->text.resize(at + length);
  char16_t* const text = batch_->text.data();
  for (size_t i = 0; i < item.columns; ++i) {
    const std::u16string& column = card.Flds[i];
    batch_->bounds.emplace_back(at, column.size());
    std::char_traits<char16_t>::copy(text + at, column.data(), column.size());
    at += column.size();
  }
  lineItem_ = &item;
}

void QueueSink::Fail(std::exception_ptr failure, bool parseFailure) {
  CardItem& item = lineItem_ != nullptr ? *lineItem_ : NewItem();
  item.failure = std::move(failure);
  item.parseFailure = parseFailure;
  Publish();
}

void QueueSink::End() {
  NewItem().end = true;
  Publish();
}

void QueueSink::Acquire() {
  batch_ = queue_.TakeEmpty();
  if (batch_ == nullptr) throw ReaderStopped{};
  batch_->used = 0;
  batch_->text.clear();
  batch_->bounds.clear();
  startBytes_ = file_.BytesRead();
}

CardItem& QueueSink::NewItem() {
  if (batch_ == nullptr) Acquire();
  if (batch_->used == batch_->items.size()) {
    Publish();
    Acquire();
  }
  CardItem& item = batch_->items[batch_->used++];
  item.hasCard = false;
  item.line = file_.LineNumber();
  item.failure = nullptr;
  item.parseFailure = false;
  item.end = false;
  return item;
}

void QueueSink::Publish() {
  batch_->bytesRead = file_.BytesRead();
  queue_.PutFull(batch_);
  batch_ = nullptr;
  lineItem_ = nullptr;
}

}  // namespace tessaly
