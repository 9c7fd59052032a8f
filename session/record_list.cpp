#include "session/record_list.h"

#include "session/cell_text.h"
#include "storage/utf8.h"

namespace tessaly {

void RecordList::Show(std::shared_ptr<dao::Recordset> rst) {
  rst_ = std::move(rst);
  spool_.reset();
  rows_ = 0;
  failed_ = false;
  for (Row& row : cache_) row = Row{};
  if (!rst_) return;
  try {
    if (headers_.empty()) {
      std::vector<std::u16string> headers{u"Index"};
      const int16_t count = rst_->FieldCount();
      for (int16_t position = 0; position < count; ++position) {
        headers.push_back(jet::Utf8ToUtf16(rst_->FieldName(position)));
      }
      headers_ = std::move(headers);
    }
    rows_ = rst_->RecordCount();
  } catch (const Failure& failure) {
    ReportOnce(failure);
  }
}

const std::u16string& RecordList::Cell(int64_t row, size_t column) const {
  static const std::u16string kEmpty;
  if (row < 0 || row >= rows_) return kEmpty;
  const Row& fetched = Fetch(row);
  return column < fetched.cells.size() ? fetched.cells[column] : kEmpty;
}

const RecordList::Row& RecordList::Fetch(int64_t row) const {
  Row& slot = cache_[static_cast<size_t>(row) % kCachedRows];
  if (slot.number == row) return slot;
  slot.number = row;
  slot.cells.clear();
  if (rst_) {
    try {
      rst_->SetAbsolutePosition(row);
      slot.cells.push_back(jet::Utf8ToUtf16(rst_->Index()));
      const int16_t count = rst_->FieldCount();
      for (int16_t position = 0; position < count; ++position) {
        slot.cells.push_back(CellText(rst_->GetValue(position)));
      }
    } catch (const Failure& failure) {
      ReportOnce(failure);  // the cells read so far stay
    }
  } else if (spool_) {
    spool_->Read(row, slot.cells);
  }
  for (std::u16string& cell : slot.cells) MarkLineBreaks(cell);
  return slot;
}

void RecordList::Detach() {
  if (!rst_) return;
  auto spool = std::make_unique<RowSpool>();
  try {
    spool->Fill(*rst_, rows_);
  } catch (const Failure& failure) {
    ReportOnce(failure);  // the rows spooled whole stay listed; the others show empty
  }
  // The cache keeps the rows on screen; the rest now come from the spool.
  rst_.reset();
  spool_ = std::move(spool);
}

void RecordList::ReportOnce(const Failure& failure) const {
  if (failed_) return;
  failed_ = true;
  if (readFailed_) readFailed_(failure);
}

}  // namespace tessaly
