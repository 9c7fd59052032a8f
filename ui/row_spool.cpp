#include "ui/row_spool.h"

#include <string>
#include <string_view>

#include "platform/failure.h"
#include "storage/date_text.h"

namespace tessaly {

// A row is its cells in order, each a 32-bit count of UTF-16 units and then the
// units; a date is kept as the list shows it.
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

void RowSpool::Fill(dao::Recordset& rst, int rows) {
  offsets_.clear();
  if (!file_.open()) return;
  offsets_.reserve(static_cast<size_t>(rows) + 1);
  std::u16string chunk;
  qint64 written = 0;
  auto flush = [&] {
    const auto bytes = static_cast<qint64>(chunk.size() * sizeof(char16_t));
    if (file_.write(reinterpret_cast<const char*>(chunk.data()), bytes) != bytes) {
      throw Failure(err::kDiskFull,
                    "The list of records could not be kept: " + file_.errorString().toStdString());
    }
    written += bytes;
    chunk.clear();
  };
  try {
    for (int row = 0; row < rows; ++row) {
      offsets_.push_back(written + static_cast<qint64>(chunk.size() * sizeof(char16_t)));
      rst.SetAbsolutePosition(row);
      AppendText(chunk, QString::fromStdString(rst.Index()).toStdU16String());
      const int16_t fields = rst.FieldCount();
      for (int16_t position = 0; position < fields; ++position) {
        AppendCell(chunk, rst.GetValue(position));
      }
      if (chunk.size() >= (1u << 19)) flush();
    }
    offsets_.push_back(written + static_cast<qint64>(chunk.size() * sizeof(char16_t)));
    flush();
  } catch (const Failure&) {
    while (!offsets_.empty() && offsets_.back() > written) offsets_.pop_back();
    file_.flush();
    throw;
  }
  file_.flush();
}

void RowSpool::Read(int row, QStringList& cells) const {
  const auto index = static_cast<size_t>(row);
  if (index + 1 >= offsets_.size() || !file_.seek(offsets_[index])) return;
  const QByteArray bytes = file_.read(offsets_[index + 1] - offsets_[index]);
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

}  // namespace tessaly
