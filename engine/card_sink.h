#pragma once

#include <cstddef>
#include <string_view>

#include "engine/card_line.h"
#include "engine/modCSV.h"

namespace tessaly {

// Where the line parser keeps the card it is reading and hands over complete ones:
// mCardRec and the writer on one thread, the hand-over batches with two. Lines are
// decoded (char16_t) or the export's bytes (char).
template <typename Char>
class BasicCardSink {
 public:
  using Line = std::basic_string_view<Char>;
  virtual ~BasicCardSink() = default;

  // A card is held, not yet handed over.
  virtual bool Pending() const = 0;
  // The last record line gave all 47 columns, so notes may follow.
  virtual bool HasColumns() const = 0;
  // Of the last card, continuation lines included.
  virtual size_t NotesSize() const = 0;
  // A record line, cut at scan's cuts, becomes the held card; its first column loses
  // a leading quote and its last a trailing one. Fewer than 47 columns throw the
  // subscript failure.
  virtual void Start(Line line, const SeparatorScan& scan, const CardOrigin& origin) = 0;
  // Joins a continuation line to the last card's notes (the held card's, else only
  // counted).
  virtual void AppendNotes(Line line) = 0;
  // Hands over the held card; it stays held until Release.
  virtual void Take() = 0;
  virtual void Release() = 0;
};

using CardSink = BasicCardSink<char16_t>;

}  // namespace tessaly
