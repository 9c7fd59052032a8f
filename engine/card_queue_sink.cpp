#include "engine/card_queue_sink.h"

#include <cassert>

#include "engine/card_file_reader.h"
#include "engine/card_line.h"
#include "platform/cp1252.h"

namespace tessaly {

namespace {
// Room for what one line can add: the card it completes and what ends the run.
constexpr size_t kItemsPerLine = 2;
}  // namespace

void QueueSink::BeginLine() {
  if (batch_ == nullptr) Acquire();
  lineItem_ = nullptr;
}

void QueueSink::EndLine() {
  assert(batch_ != nullptr);
  // A batch of nothing but a held card waits for it, however long its notes grow:
  // carried on every line, they would be copied again and again.
  if (batch_->used > 0 && (batch_->used + kItemsPerLine > batch_->items.size() ||
                           file_.BytesRead() - startBytes_ >= kBytesPerBatch)) {
    Publish(true);
  }
}

void QueueSink::Start(Line line, const SeparatorScan& scan, const CardOrigin& origin) {
  const size_t columns = scan.cutCount + 1;
  hasColumns_ = false;
  if (line.empty() || columns < kCardColumns) {
    ThrowTooFewColumns(line.empty() ? 0 : columns);
  }
  BatchText& text = batch_->text;
  cardText_ = text.size();
  cardColumn_ = batch_->bounds.size();
  DecodeCp1252(line.data(), line.size(), text.Extend(line.size()));
  batch_->bounds.resize(cardColumn_ + kCardColumns);
  auto* const bounds = batch_->bounds.data() + cardColumn_;
  size_t start = 0;
  for (size_t i = 0; i < kCardColumns; ++i) {
    const size_t end = i + 1 < kCardColumns ? scan.cuts[i] : line.size();
    bounds[i] = {cardText_ + start, end - start};
    start = end + kSeparator.size();
  }
  auto& first = bounds[0];
  if (first.second > 0 && line.front() == '"') {
    ++first.first;
    --first.second;
  }
  auto& notes = batch_->bounds.back();
  if (notes.second > 0 && line.back() == '"') {
    --notes.second;
    text.Truncate(text.size() - 1);
  }
  notesSize_ = notes.second;
  origin_ = origin;
  hasColumns_ = true;
  pending_ = true;
}

void QueueSink::AppendNotes(Line line) {
  notesSize_ += 2 + line.size();
  // Notes after the card was handed over are counted only, as the single-threaded
  // parser adds them to a card already written.
  if (!pending_) return;
  char16_t* at = batch_->text.Extend(2 + line.size());
  at[0] = u'\r';
  at[1] = u'\n';
  DecodeCp1252(line.data(), line.size(), at + 2);
  batch_->bounds.back().second = notesSize_;
}

void QueueSink::Take() {
  assert(pending_);
  CardItem& item = NewItem();
  item.hasCard = true;
  item.origin = origin_;
  item.firstColumn = cardColumn_;
  item.columns = kCardColumns;
  lineItem_ = &item;
}

void QueueSink::Fail(Failure failure, bool parseFailure) {
  CardItem& item = lineItem_ != nullptr ? *lineItem_ : NewItem();
  item.failure = std::move(failure);
  item.parseFailure = parseFailure;
  Publish(false);
}

void QueueSink::End() {
  NewItem().end = true;
  Publish(false);
}

void QueueSink::Acquire() {
  batch_ = queue_.TakeEmpty();
  if (batch_ == nullptr) throw ReaderStopped{};
  batch_->used = 0;
  batch_->text.Truncate(0);
  batch_->bounds.clear();
  startBytes_ = file_.BytesRead();
}

CardItem& QueueSink::NewItem() {
  if (batch_ == nullptr) Acquire();
  assert(batch_->used < batch_->items.size());
  CardItem& item = batch_->items[batch_->used++];
  item.hasCard = false;
  item.line = file_.LineNumber();
  item.failure.reset();
  item.parseFailure = false;
  item.end = false;
  return item;
}

void QueueSink::Publish(bool carryHeldCard) {
  // The held card's text goes along to the next batch; the writer never sees it here.
  const bool carry = carryHeldCard && pending_;
  if (carry) {
    carriedText_.assign(batch_->text.data() + cardText_, batch_->text.size() - cardText_);
    carriedBounds_.assign(batch_->bounds.begin() + static_cast<std::ptrdiff_t>(cardColumn_),
                          batch_->bounds.end());
    batch_->text.Truncate(cardText_);
    batch_->bounds.resize(cardColumn_);
  }
  batch_->bytesRead = file_.BytesRead();
  const char16_t* const text = batch_->text.data();
  batch_->columns.resize(batch_->bounds.size());
  std::u16string_view* column = batch_->columns.data();
  for (const auto& [offset, length] : batch_->bounds) *column++ = {text + offset, length};
  queue_.PutFull(batch_);
  batch_ = nullptr;
  lineItem_ = nullptr;
  if (!carry) return;
  Acquire();
  for (const auto& [offset, length] : carriedBounds_) {
    batch_->bounds.emplace_back(offset - cardText_, length);
  }
  std::char_traits<char16_t>::copy(batch_->text.Extend(carriedText_.size()), carriedText_.data(),
                                   carriedText_.size());
  cardText_ = 0;
  cardColumn_ = 0;
}

}  // namespace tessaly
