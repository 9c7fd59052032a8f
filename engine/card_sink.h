#pragma once

#include "engine/modCSV.h"

namespace tessaly {

// Where the line parser hands each complete card: to the writer at once, or to the
// queue of a writing thread.
class CardSink {
 public:
  virtual ~CardSink() = default;
  // `keep`: `card` stays the parser's current card (a closing quote may write it
  // again, a continuation line extend it); otherwise its columns may be taken.
  virtual void Take(CardRecord& card, bool keep) = 0;
};

}  // namespace tessaly
