#include "ui/card_table_model.h"

#include <algorithm>
#include <limits>

#include "storage/date_text.h"

namespace tessaly {

CardTableModel::CardTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void CardTableModel::SetColumns(const QStringList& headers) {
  beginResetModel();
  headers_ = headers;
  endResetModel();
}

void CardTableModel::SetRecordset(std::shared_ptr<dao::Recordset> rst) {
  beginResetModel();
  rst_ = std::move(rst);
  spool_.reset();
  rows_ = 0;
  failed_ = false;
  for (Row& row : cache_) row = Row{};
  if (rst_) {
    // The views count rows in int; a larger table lists its first INT_MAX rows.
    const int64_t count = rst_->RecordCount();
    rows_ = static_cast<int>(std::clamp<int64_t>(count, 0, std::numeric_limits<int>::max()));
  }
  endResetModel();
}

int CardTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int CardTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant CardTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= headers_.size()) return {};
  return headers_.at(section);
}

QVariant CardTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  if (role != Qt::DisplayRole) return {};
  const Row& row = Fetch(index.row());
  if (index.column() >= row.cells.size()) return QString();
  QString text = row.cells.at(index.column());
  // Notes keep their line breaks; a one-line cell shows each as a return mark.
  if (text.contains(u'\r') || text.contains(u'\n')) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\u21b5"));
    text.replace(u'\r', u'\u21b5');
    text.replace(u'\n', u'\u21b5');
  }
  return text;
}

QString CardTableModel::ValueText(const dao::Value& value) {
  if (const auto* text = std::get_if<std::u16string>(&value)) {
    return QString::fromUtf16(text->data(), static_cast<qsizetype>(text->size()));
  }
  if (const auto* date = std::get_if<dao::JetDate>(&value)) {
    return QString::fromStdString(dao::FormatGeneralDate(date->days));
  }
  return QString();
}

const CardTableModel::Row& CardTableModel::Fetch(int row) const {
  Row& slot = cache_[static_cast<size_t>(row) % kCachedRows];
  if (slot.number == row) return slot;
  slot.number = row;
  slot.cells.clear();
  if (rst_) {
    try {
      ReadRecord(row, slot.cells);
    } catch (const Failure& failure) {
      ReportOnce(failure);  // the cells read so far stay
    }
  } else if (spool_) {
    spool_->Read(row, slot.cells);
  }
  return slot;
}

void CardTableModel::ReadRecord(int row, QStringList& cells) const {
  rst_->SetAbsolutePosition(row);
  cells.append(QString::fromStdString(rst_->Index()));
  const int16_t count = rst_->FieldCount();
  for (int16_t position = 0; position < count; ++position) {
    cells.append(ValueText(rst_->GetValue(position)));
  }
}

void CardTableModel::Detach() {
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

void CardTableModel::ReportOnce(const Failure& failure) const {
  if (failed_) return;
  failed_ = true;
  emit const_cast<CardTableModel*>(this)->readFailed(failure.Number(),
                                                     QString::fromStdString(failure.Description()));
}

}  // namespace tessaly
