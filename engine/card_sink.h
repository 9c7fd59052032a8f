#pragma once

#include "engine/modCSV.h"

namespace tessaly {

// Where the line parser hands each complete card: to the writer at once, or to the
// queue of a writing thread.
class CardSink {
 public:
  virtual ~CardSink() = default;
  // `card` stays the parser's: a closing quote may write it again.
  virtual void Take(const CardRecord& card) = 0;
};

}  // namespace tessaly
