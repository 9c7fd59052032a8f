#pragma once

#include <cstdint>
#include <exception>

#include "engine/card_batch_queue.h"
#include "engine/card_sink.h"

namespace tessaly {

class CardFileReader;

// Thrown on the reading thread once the writing one stopped the queue.
struct ReaderStopped {};

// The reading thread's side of the hand-over: cards, and what ends the run, into
// batches. A batch is handed over only between lines, so a failure can join the
// card its own line completed, as the writer must report them together.
class QueueSink : public CardSink {
 public:
  // A batch goes at this many bytes of the export, or when its items are used up.
  static constexpr uint64_t kBytesPerBatch = uint64_t{128} << 10;

  QueueSink(CardBatchQueue& queue, CardFileReader& file) : queue_(queue), file_(file) {}

  void BeginLine();
  void EndLine();
  void Take(const CardRecord& card) override;
  // The line failed (parsing it when parseFailure, else reading it); ends the batch.
  void Fail(std::exception_ptr failure, bool parseFailure);
  // The export's end; ends the batch.
  void End();

 private:
  void Acquire();
  CardItem& NewItem();
  void Publish();

  CardBatchQueue& queue_;
  CardFileReader& file_;
  CardBatch* batch_ = nullptr;
  CardItem* lineItem_ = nullptr;
  uint64_t startBytes_ = 0;
};

}  // namespace tessaly
