#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/card_batch_queue.h"
#include "engine/card_sink.h"

namespace tessaly {

class CardFileReader;

// Thrown on the reading thread once the writing one stopped the queue.
struct ReaderStopped {};

// The reading thread's side of the hand-over: cards, and what ends the run, into
// batches. The held card is decoded straight into the batch's text, its notes last, so
// continuation lines extend it in place; handed over, it becomes the batch's next
// item. A batch goes only between lines, taking the held card's text along to the
// next one, so a failure can join the card its own line completed, as the writer
// must report them together.
class QueueSink : public BasicCardSink<char> {
 public:
  // A batch goes at this many bytes of the export, or when its items are used up.
  static constexpr uint64_t kBytesPerBatch = uint64_t{128} << 10;

  QueueSink(CardBatchQueue& queue, CardFileReader& file) : queue_(queue), file_(file) {}

  void BeginLine();
  void EndLine();

  bool Pending() const override { return pending_; }
  bool HasColumns() const override { return hasColumns_; }
  size_t NotesSize() const override { return notesSize_; }
  void Start(Line line, const SeparatorScan& scan, const CardOrigin& origin) override;
  void AppendNotes(Line line) override;
  void Take() override;
  void Release() override { pending_ = false; }

  // The line failed (parsing it when parseFailure, else reading it); ends the batch.
  void Fail(Failure failure, bool parseFailure);
  // The export's end; ends the batch.
  void End();

 private:
  void Acquire();
  CardItem& NewItem();
  // Hands the batch over; with carryHeldCard the held card moves to a new one.
  void Publish(bool carryHeldCard);

  CardBatchQueue& queue_;
  CardFileReader& file_;
  CardBatch* batch_ = nullptr;
  CardItem* lineItem_ = nullptr;
  uint64_t startBytes_ = 0;

  // The held card: its columns from cardColumn_ on in the batch's bounds, its text
  // from cardText_ on, the notes ending the text.
  bool pending_ = false;
  bool hasColumns_ = false;
  size_t notesSize_ = 0;
  CardOrigin origin_;
  size_t cardColumn_ = 0;
  size_t cardText_ = 0;
  // The held card on its way to the next batch.
  std::u16string carriedText_;
  std::vector<std::pair<size_t, size_t>> carriedBounds_;
};

}  // namespace tessaly
