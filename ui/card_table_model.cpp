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
  spoolOffsets_.clear();
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
    ReadSpooled(row, slot.cells);
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

// A spooled row is its cells in order, each a 32-bit count of UTF-16 units and
// then the units; rows follow each other, spoolOffsets_ holding where each starts
// and, last, where the spool ends.
namespace {

void AppendText(std::u16string& spool, std::u16string_view text) {
  const auto size = static_cast<uint32_t>(text.size());
  spool.push_back(static_cast<char16_t>(size & 0xFFFFu));
  spool.push_back(static_cast<char16_t>(size >> 16));
  spool.append(text);
}

void AppendCell(std::u16string& spool, const dao::Value& value) {
  if (const auto* text = std::get_if<std::u16string>(&value)) {
    AppendText(spool, *text);
  } else if (const auto* date = std::get_if<dao::JetDate>(&value)) {
    const std::string formatted = dao::FormatGeneralDate(date->days);
    AppendText(spool, std::u16string(formatted.begin(), formatted.end()));
  } else {
    AppendText(spool, std::u16string_view());
  }
}

}  // namespace

void CardTableModel::ReadSpooled(int row, QStringList& cells) const {
  const auto index = static_cast<size_t>(row);
  if (index + 1 >= spoolOffsets_.size() || !spool_->seek(spoolOffsets_[index])) return;
  const QByteArray bytes = spool_->read(spoolOffsets_[index + 1] - spoolOffsets_[index]);
  const auto* units = reinterpret_cast<const char16_t*>(bytes.constData());
  const size_t count = static_cast<size_t>(bytes.size()) / sizeof(char16_t);
  for (size_t at = 0; at + 2 <= count;) {
    const size_t size = units[at] | (static_cast<size_t>(units[at + 1]) << 16);
    at += 2;
    if (size > count - at) break;  // a damaged spool ends the row
    cells.append(QString::fromUtf16(units + at, static_cast<qsizetype>(size)));
    at += size;
  }
}

void CardTableModel::Detach() {
  if (!rst_) return;
  auto spool = std::make_unique<QTemporaryFile>();
  std::vector<qint64> offsets;
  if (spool->open()) {
    offsets.reserve(static_cast<size_t>(rows_) + 1);
    std::u16string chunk;
    qint64 written = 0;
    auto flush = [&] {
      const auto bytes = static_cast<qint64>(chunk.size() * sizeof(char16_t));
      if (spool->write(reinterpret_cast<const char*>(chunk.data()), bytes) != bytes) {
        throw Failure(err::kDiskFull, "The list of records could not be kept: " +
                                          spool->errorString().toStdString());
      }
      written += bytes;
      chunk.clear();
    };
    try {
      for (int row = 0; row < rows_; ++row) {
        offsets.push_back(written + static_cast<qint64>(chunk.size() * sizeof(char16_t)));
        rst_->SetAbsolutePosition(row);
        AppendText(chunk, QString::fromStdString(rst_->Index()).toStdU16String());
        const int16_t fields = rst_->FieldCount();
        for (int16_t position = 0; position < fields; ++position) {
          AppendCell(chunk, rst_->GetValue(position));
        }
        if (chunk.size() >= (1u << 19)) flush();
      }
      offsets.push_back(written + static_cast<qint64>(chunk.size() * sizeof(char16_t)));
      flush();
    } catch (const Failure& failure) {
      // The rows spooled whole stay listed; the others show empty.
      while (!offsets.empty() && offsets.back() > written) offsets.pop_back();
      ReportOnce(failure);
    }
    spool->flush();
  }
  // The cache keeps the rows on screen; the rest now come from the spool.
  rst_.reset();
  spool_ = std::move(spool);
  spoolOffsets_ = std::move(offsets);
}

void CardTableModel::ReportOnce(const Failure& failure) const {
  if (failed_) return;
  failed_ = true;
  emit const_cast<CardTableModel*>(this)->readFailed(failure.Number(),
                                                     QString::fromStdString(failure.Description()));
}

}  // namespace tessaly
