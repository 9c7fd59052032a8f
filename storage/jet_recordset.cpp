#include "storage/jet_recordset.h"

#include <algorithm>

#include "storage/date_text.h"
#include "storage/long_value.h"
#include "storage/text_compression.h"
#include "storage/utf8.h"

namespace tessaly::jet {

namespace {

// Memo bytes are counted in three bytes; long memos are stored uncompressed.
constexpr size_t kMaxMemoChars = kMaxLongValueBytes / 2;
// Jet 4 compresses memo values only up to this length.
constexpr size_t kMaxCompressedMemoChars = 1024;

std::string Quoted(std::u16string_view text) {
  constexpr size_t kShown = 40;
  std::string shown = Utf16ToUtf8(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  return "'" + shown + "'";
}

}  // namespace

JetRecordset::JetRecordset(std::shared_ptr<JetDatabase> database, UserTable& table)
    : database_(std::move(database)), table_(table) {
  cells_.resize(table_.fields.size());
  offsets_.resize(table_.fields.size());
  slices_.resize(table_.fields.size());
}

void JetRecordset::ThrowNoField(int16_t position) const {
  throw Failure(dao::err::kItemNotFound, "Table '" + table_.name + "' has no field at position " +
                                             std::to_string(position) + ".");
}

void JetRecordset::AddNew() {
  database_->CheckOpen();
  for (int16_t position : set_) cells_[static_cast<size_t>(position)].kind = Cell::Kind::kNull;
  set_.clear();
  arenaUsed_ = 0;
  adding_ = true;
}

void JetRecordset::SetValue(int16_t position, std::u16string_view text) {
  const dao::Field& field = FieldAt(position);
  if (!adding_) {
    throw Failure(
        dao::err::kUpdateWithoutAddNew,
        "No new row is pending: call AddNew before setting field '" + field.Name() + "'.");
  }
  if (text.empty() && !field.AllowZeroLength()) {
    throw Failure(dao::err::kZeroLengthNotAllowed,
                  "Field '" + field.Name() + "' cannot hold a zero-length text.");
  }
  Cell& value = cells_[static_cast<size_t>(position)];
  switch (field.Type()) {
    case dao::dbDate: {
      const std::optional<double> date = dao::ParseDateText(text);
      if (!date) {
        throw Failure(dao::err::kTypeConversion,
                      Quoted(text) + " is not a date that field '" + field.Name() + "' accepts.");
      }
      value.kind = Cell::Kind::kFixed;
      PutDouble(value.fixed, *date);
      set_.push_back(position);
      return;
    }
    case dao::dbText:
      if (text.size() > static_cast<size_t>(field.Size())) {
        throw Failure(dao::err::kFieldTooSmall, "The text for field '" + field.Name() + "' is " +
                                                    std::to_string(text.size()) +
                                                    " characters long; the field holds at most " +
                                                    std::to_string(field.Size()) + ".");
      }
      break;
    default:
      if (text.size() > kMaxMemoChars) {
        throw Failure(dao::err::kFieldTooSmall, "The text for memo field '" + field.Name() +
                                                    "' is " + std::to_string(text.size()) +
                                                    " characters long; a memo holds at most " +
                                                    std::to_string(kMaxMemoChars) + ".");
      }
      break;
  }
  if (StoredTextIsAmbiguous(text)) {
    throw Failure(dao::err::kInvalidArgument,
                  "The text for field '" + field.Name() +
                      "' starts with U+FEFF and holds characters that rule out the one form "
                      "that reads back as written.");
  }
  const bool compress = field.Type() == dao::dbText || text.size() <= kMaxCompressedMemoChars;
  const size_t room = MaxStoredTextSize(text.size());
  if (arena_.size() < arenaUsed_ + room)
    arena_.resize(std::max(arenaUsed_ + room, 2 * arena_.size()));
  const size_t size = EncodeStoredText(text, compress, arena_.data() + arenaUsed_);
  if (size > kMaxLongValueBytes) {
    value.kind = Cell::Kind::kNull;
    throw Failure(dao::err::kFieldTooSmall, "The text for memo field '" + field.Name() +
                                                "' takes " + std::to_string(size) +
                                                " bytes stored; a memo holds at most " +
                                                std::to_string(kMaxLongValueBytes) + ".");
  }
  value.kind = Cell::Kind::kBytes;
  value.size = static_cast<uint32_t>(size);
  offsets_[static_cast<size_t>(position)] = static_cast<uint32_t>(arenaUsed_);
  set_.push_back(position);
  arenaUsed_ += size;
}

void JetRecordset::Update(int type) {
  database_->CheckOpen();
  if (type != dao::dbUpdateRegular) {
    throw Failure(dao::err::kInvalidArgument, "Update type " + std::to_string(type) +
                                                  " is not supported; use a regular update.");
  }
  if (!adding_) {
    throw Failure(dao::err::kUpdateWithoutAddNew,
                  "No new row is pending: call AddNew before Update.");
  }
  // The arena may have moved while the values were set.
  for (int16_t position : set_) {
    Cell& cell = cells_[static_cast<size_t>(position)];
    if (cell.kind == Cell::Kind::kBytes)
      cell.data = arena_.data() + offsets_[static_cast<size_t>(position)];
  }
  table_.store->AppendRow(cells_.data());
  adding_ = false;
}

int16_t JetRecordset::FieldCount() const {
  database_->CheckOpen();
  return static_cast<int16_t>(table_.fields.size());
}

std::string JetRecordset::FieldName(int16_t position) const {
  return FieldAt(position).Name();
}

void JetRecordset::MoveFirst() {
  database_->CheckOpen();
  if (table_.store->RowCount() == 0) {
    throw Failure(dao::err::kNoCurrentRecord,
                  "No current record: table '" + table_.name + "' has no rows.");
  }
  position_ = 0;
}

bool JetRecordset::IsEOF() const {
  database_->CheckOpen();
  return position_ >= static_cast<int64_t>(table_.store->RowCount());
}

void JetRecordset::MoveNext() {
  if (IsEOF())
    throw Failure(dao::err::kNoCurrentRecord, "No current record: already past the last row.");
  ++position_;
}

std::string JetRecordset::Index() const {
  database_->CheckOpen();
  return "";
}

int64_t JetRecordset::RecordCount() const {
  database_->CheckOpen();
  return table_.store->RowCount();
}

void JetRecordset::SetAbsolutePosition(int64_t position) {
  database_->CheckOpen();
  if (position < 0 || position >= static_cast<int64_t>(table_.store->RowCount())) {
    throw Failure(dao::err::kInvalidArgument, "Position " + std::to_string(position) +
                                                  " is outside the " +
                                                  std::to_string(table_.store->RowCount()) +
                                                  " rows of table '" + table_.name + "'.");
  }
  position_ = position;
}

void JetRecordset::ThrowDamaged() const {
  throw Failure(dao::err::kDiskIo, "The database file is damaged: a row of table '" + table_.name +
                                       "' cannot be read.");
}

void JetRecordset::LoadCurrentRow() const {
  TableStore& store = *table_.store;
  const auto& firstRows = store.FirstRows();
  const auto ordinal = static_cast<uint32_t>(position_);
  const size_t index =
      static_cast<size_t>(std::upper_bound(firstRows.begin(), firstRows.end(), ordinal) -
                          firstRows.begin()) -
      1;
  const bool lastPage = index + 1 == firstRows.size();
  // The last page may have taken rows since it was read.
  if (!pageLoaded_ || pageIndex_ != index || (lastPage && loadedRowCount_ != store.RowCount())) {
    database_->MakeReadable(store);
    database_->File().Read(store.DataPages()[index], page_.data());
    pageIndex_ = index;
    pageLoaded_ = true;
    loadedRowCount_ = store.RowCount();
    splitPosition_ = -1;
  }
  if (splitPosition_ == position_) return;
  uint32_t start = 0;
  uint32_t size = 0;
  if (!FindRow(page_, ordinal - firstRows[index], &start, &size) ||
      !SplitRow(store.Layout(), page_.data(), start, size, slices_.data())) {
    ThrowDamaged();
  }
  splitPosition_ = position_;
}

dao::Value JetRecordset::GetValue(int16_t position) const {
  const dao::Field& field = FieldAt(position);
  if (IsEOF()) throw Failure(dao::err::kNoCurrentRecord, "No current record.");
  LoadCurrentRow();
  const FieldSlice& slice = slices_[static_cast<size_t>(position)];
  if (slice.isNull) return std::monostate{};
  const uint8_t* bytes = page_.data() + slice.offset;
  switch (field.Type()) {
    case dao::dbDate:
      return dao::JetDate{GetDouble(bytes)};
    case dao::dbText:
      return DecodeStoredText(bytes, slice.size);
    default: {
      std::vector<uint8_t> stored;
      if (!ReadLongValue(database_->File(), bytes, slice.size, stored)) ThrowDamaged();
      return DecodeStoredText(stored.data(), stored.size());
    }
  }
}

}  // namespace tessaly::jet
