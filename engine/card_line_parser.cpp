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

// Holds the card in mCardRec and writes each as it is complete.
class modCSV::RecordSink : public CardSink {
 public:
  explicit RecordSink(modCSV& csv) : csv_(csv), card_(csv.cardRec_) {}
  bool Pending() const override { return card_.Pending; }
  bool HasColumns() const override { return card_.Flds.size() >= kCardColumns; }
  size_t NotesSize() const override { return card_.Flds[kCardColumns - 1].size(); }
  void Start(std::u16string_view line, const SeparatorScan& scan,
             const CardOrigin& origin) override {
    card_.Origin = origin;
    SplitCardLine(line, scan, card_.Flds);
    TrimColumnQuotes(card_.Flds);
    card_.Pending = true;
  }
  void AppendNotes(std::u16string_view line) override {
    card_.Flds[kCardColumns - 1].append(u"\r\n").append(line);
  }
  void Take() override { csv_.WriteCard(card_.Flds, card_.Origin); }
  void Release() override { card_.Pending = false; }

 private:
  modCSV& csv_;
  CardRecord& card_;
};

bool modCSV::ParseCardLine(std::u16string_view line, int64_t lineNumber) {
  return Trap(
      [&] {
        RecordSink sink(*this);
        TakeCardLine<char16_t>(line, lineNumber, sink);
        return true;
      },
      [&](const Failure& failure) { ReportAtLine(failure, lineNumber); });
}

void modCSV::ReportAtLine(const Failure& failure, int64_t line) {
  if (line <= 0 || !cardFile_) {
    ReportFailure(*reporter_, failure, Icon::Critical);
    return;
  }
  reporter_->ShowAt(CommonErrorText(failure), Icon::Critical, {cardFile_->Path(), line});
}

template <typename Char>
void modCSV::TakeCardLine(std::basic_string_view<Char> line, int64_t lineNumber,
                          BasicCardSink<Char>& sink) {
  if (IsClosingQuoteLine(line)) {
    // Only a held card is written: a second closing quote must not write it again.
    if (sink.Pending()) {
      sink.Take();
      sink.Release();
    }
    return;
  }
  SeparatorScan scan;
  ScanSeparators(line, scan);
  if (scan.occurrences <= 10) {
    if (!sink.HasColumns()) {
      throw Failure(err::kSubscriptOutOfRange,
                    "Subscript out of range (a continuation line with no card before it)");
    }
    if (sink.NotesSize() + 2 + line.size() > CardFileReader::kMaxLineBytes) {
      throw Failure(err::kLineTooLong, "Notes too long: a card's notes exceed 64 MB");
    }
    sink.AppendNotes(line);
    return;
  }
  if (sink.Pending()) sink.Take();
  sink.Start(line, scan, {++cardsSeen_, lineNumber});
}

template void modCSV::TakeCardLine(std::u16string_view, int64_t, BasicCardSink<char16_t>&);
template void modCSV::TakeCardLine(std::string_view, int64_t, BasicCardSink<char>&);

}  // namespace tessaly
