#include <string>

#include "engine/card_file_reader.h"
#include "engine/card_line.h"
#include "engine/card_sink.h"
#include "engine/engine_failure.h"
#include "engine/modCSV.h"

namespace tessaly {

int32_t modCSV::CountOccurrences(std::u16string_view text, std::u16string_view find) {
  int32_t count = 0;
  size_t start = 0;
  while (count < 15) {
    const size_t found = text.find(find, start);
    if (found == std::u16string_view::npos) break;
    ++count;
    start = found + 1;
  }
  return count;
}

namespace {

// Writes each card as it is complete.
class WriterSink : public CardSink {
 public:
  explicit WriterSink(modCSV& csv) : csv_(csv) {}
  void Take(const CardRecord& card) override { csv_.WriteCard(card.Flds, card.Origin); }

 private:
  modCSV& csv_;
};

}  // namespace

bool modCSV::ParseCardLine(std::u16string_view line, int64_t lineNumber) {
  bool result = false;
  try {
    WriterSink sink(*this);
    TakeCardLine(line, lineNumber, sink);
    result = true;
  } catch (...) {
    ReportCaught(*reporter_, Icon::Critical);
  }
  return result;
}

void modCSV::TakeCardLine(std::u16string_view line, int64_t lineNumber, CardSink& sink) {
  if (IsClosingQuoteLine(line)) {
    // Only a held card is written: a second closing quote must not write it again.
    if (mCardRec.Pending) {
      sink.Take(mCardRec);
      mCardRec.Pending = false;
    }
    return;
  }
  SeparatorScan scan;
  ScanSeparators(line, scan);
  if (scan.occurrences <= 10) {
    if (mCardRec.Flds.size() < kCardColumns) {
      throw Failure(err::kSubscriptOutOfRange,
                    "Subscript out of range (a continuation line with no card before it)");
    }
    std::u16string& notes = mCardRec.Flds[kCardColumns - 1];
    if (notes.size() + 2 + line.size() > CardFileReader::kMaxLineBytes) {
      throw Failure(err::kLineTooLong, "Notes too long: a card's notes exceed 64 MB");
    }
    notes.append(u"\r\n").append(line);
    return;
  }
  if (mCardRec.Pending) sink.Take(mCardRec);
  mCardRec.Origin = {++cardsSeen_, lineNumber};
  SplitCardLine(line, scan, mCardRec.Flds);
  TrimColumnQuotes(mCardRec.Flds);
  mCardRec.Pending = true;
}

}  // namespace tessaly
