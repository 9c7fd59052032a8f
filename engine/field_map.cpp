#include <algorithm>
#include <array>
#include <string_view>

#include "engine/card_file_reader.h"
#include "engine/card_line.h"
#include "engine/engine_failure.h"
#include "engine/modCSV.h"
#include "storage/utf8.h"

namespace tessaly {

namespace {

// Table position p takes export column "n", or "mm&xx": main column mm joined to
// extension column xx.
constexpr std::array<std::string_view, 41> kFieldMap = {
    "1",  "2",  "4",  "3",     "18",    "5",     "19",    "22",    "23",    "24", "25",
    "26", "27", "7",  "8",     "9",     "10",    "11",    "12",    "37",    "38", "39",
    "40", "41", "42", "30&31", "28&29", "15&16", "13&14", "45&46", "43&44", "36", "20",
    "35", "33", "6",  "47",    "34",    "21",    "32",    "17",
};

struct Source {
  int16_t main;       // column number, from 1
  int16_t extension;  // 0: none
};

constexpr int16_t ColumnNumber(std::string_view digits) {
  int16_t n = 0;
  for (char c : digits) n = static_cast<int16_t>(n * 10 + (c - '0'));
  return n;
}

constexpr std::array<Source, 41> ParseFieldMap() {
  std::array<Source, 41> sources{};
  for (size_t p = 0; p < kFieldMap.size(); ++p) {
    const std::string_view e = kFieldMap[p];
    if (e.find('&') != std::string_view::npos) {
      sources[p] = {ColumnNumber(e.substr(0, 2)), ColumnNumber(e.substr(e.size() - 2))};
    } else {
      sources[p] = {ColumnNumber(e), 0};
    }
  }
  return sources;
}

constexpr std::array<Source, 41> kSources = ParseFieldMap();

static_assert(kSources[25].main == 30 && kSources[25].extension == 31);
static_assert(kSources[36].main == 47 && kSources[36].extension == 0);

// "Ada Lovelace" from columns 2 and 3, else the company (column 18).
std::string CardName(CardColumns flds) {
  auto column = [&](size_t n) { return n <= flds.size() ? flds[n - 1] : std::u16string_view(); };
  std::u16string name(column(2));
  if (!name.empty() && !column(3).empty()) name += u' ';
  name += column(3);
  if (name.empty()) name = column(18);
  return jet::Utf16ToUtf8(name);
}

}  // namespace

bool modCSV::WriteCardRecord(const std::vector<std::u16string>& flds) {
  return WriteCard(flds, {});
}

bool modCSV::WriteCard(const std::vector<std::u16string>& flds, const CardOrigin& origin) {
  // Columns past 47 are never mapped.
  std::array<std::u16string_view, kCardColumns> views;
  const size_t count = std::min(flds.size(), kCardColumns);
  for (size_t i = 0; i < count; ++i) views[i] = flds[i];
  return WriteCard(CardColumns(views.data(), count), origin);
}

bool modCSV::WriteCard(CardColumns flds, const CardOrigin& origin) {
  bool result = false;
  size_t refusedBy = kRowRefusal;
  try {
    if (!mRst) throw Failure(kObjectNotSet, "Object variable or With block variable not set");
    mRst->AddNew();
    const bool whole = flds.size() >= kCardColumns;
    auto column = [&](int16_t n) {
      const auto index = static_cast<size_t>(n - 1);
      if (!whole && index >= flds.size()) ThrowSubscriptOutOfRange();
      return flds[index];
    };
    for (size_t p = 0; p < kSources.size(); ++p) {
      refusedBy = p;
      const Source& source = kSources[p];
      std::u16string_view value = column(source.main);
      if (source.extension != 0) {
        const std::u16string_view extension = column(source.extension);
        if (!extension.empty()) {
          joined_.assign(value).append(u" x").append(extension);
          value = joined_;
        }
      }
      // Only zero-length values stay Null; a lone blank is a value.
      if (!value.empty()) mRst->SetValue(static_cast<int16_t>(p), value);
    }
    refusedBy = kRowRefusal;
    mRst->Update(dao::dbUpdateRegular);
    ++mCardsWritten;
    result = true;
  } catch (...) {
    // A write the file lost is no refusal of this card; the run ends on it.
    if (DatabaseDamaged()) {
      ReportCaught(*reporter_, Icon::Critical);
    } else {
      ++mCardsFailed;
      ++mFieldFailures[refusedBy];
      ReportRefusal(flds, origin);
    }
  }
  return result;
}

void modCSV::ReportRefusal(CardColumns flds, const CardOrigin& origin) {
  // Counted all the same; only the message is left out.
  if (cardMessagesOff_) return;
  const std::string text = CommonErrorText(CaughtFailure());
  if (origin.line <= 0 || !mCardFile) {
    reporter_->Show(text, Icon::Critical);
    return;
  }
  const CardRef card{mCardFile->Path(), origin.ordinal, origin.line, CardName(flds)};
  if (!reporter_->ShowCard(text, Icon::Critical, card)) cardMessagesOff_ = true;
}

}  // namespace tessaly
