#include <algorithm>
#include <array>
#include <string_view>

#include "engine/card_file_reader.h"
#include "engine/card_line.h"
#include "engine/card_table.h"
#include "engine/engine_failure.h"
#include "engine/modCSV.h"
#include "storage/utf8.h"

namespace tessaly {

namespace {

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
    if (!rst_) throw ObjectNotSet("no card table open");
    rst_->AddNew();
    auto column = [&](int16_t n) {
      const auto index = static_cast<size_t>(n - 1);
      if (index >= flds.size()) [[unlikely]]
        ThrowSubscriptOutOfRange();
      return flds[index];
    };
    for (size_t p = 0; p < kCardFields.size(); ++p) {
      refusedBy = p;
      const CardField& field = kCardFields[p];
      std::u16string_view value = column(field.column);
      if (field.extension != 0) {
        const std::u16string_view extension = column(field.extension);
        if (!extension.empty()) {
          joined_.assign(value).append(u" x").append(extension);
          value = joined_;
        }
      }
      // Only zero-length values stay Null; a lone blank is a value.
      if (!value.empty()) rst_->SetValue(static_cast<int16_t>(p), value);
    }
    refusedBy = kRowRefusal;
    rst_->Update(dao::dbUpdateRegular);
    ++summary_.cardsWritten;
    result = true;
  } catch (const Failure& failure) {
    // Refusals are common: caught as they are, not rethrown to be looked at.
    WriteFailed(failure, refusedBy, flds, origin);
  } catch (...) {
    WriteFailed(CaughtFailure(), refusedBy, flds, origin);
  }
  return result;
}

void modCSV::WriteFailed(const Failure& failure, size_t refusedBy, CardColumns flds,
                         const CardOrigin& origin) {
  // A write the file lost is no refusal of this card; the run ends on it.
  if (DatabaseDamaged()) {
    ReportFailure(*reporter_, failure, Icon::Critical);
    return;
  }
  ++summary_.cardsFailed;
  ++summary_.fieldFailures[refusedBy];
  // Counted all the same; only the message is left out.
  if (cardMessagesOff_) return;
  const std::string text = CommonErrorText(failure);
  if (origin.line <= 0 || !cardFile_) {
    reporter_->Show(text, Icon::Critical);
    return;
  }
  const CardRef card{cardFile_->Path(), origin.ordinal, origin.line, CardName(flds)};
  if (!reporter_->ShowCard(text, Icon::Critical, card)) cardMessagesOff_ = true;
}

}  // namespace tessaly
