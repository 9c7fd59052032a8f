#include "ui/card_table_model.h"

#include <algorithm>
#include <limits>

#include "session/record_list.h"

namespace tessaly {

namespace {
QString FromUtf16(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

CardTableModel::CardTableModel(const RecordList& records, QObject* parent)
    : QAbstractTableModel(parent), records_(records) {}

void CardTableModel::Reset() {
  beginResetModel();
  endResetModel();
}

int CardTableModel::rowCount(const QModelIndex& parent) const {
  // The views count rows in int; a larger table lists its first INT_MAX rows.
  if (parent.isValid()) return 0;
  return static_cast<int>(std::min<int64_t>(records_.Rows(), std::numeric_limits<int>::max()));
}

int CardTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(records_.Headers().size());
}

QVariant CardTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= columnCount()) return {};
  return FromUtf16(records_.Headers()[static_cast<size_t>(section)]);
}

QVariant CardTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  return FromUtf16(records_.Cell(index.row(), static_cast<size_t>(index.column())));
}

}  // namespace tessaly
