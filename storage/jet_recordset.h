#pragma once

// A table-type recordset: adds rows through the table's store and reads rows
// back, in storage order, from the file's data pages.

#include <memory>
#include <vector>

#include "storage/dao.h"
#include "storage/jet_database.h"
#include "storage/row_codec.h"

namespace tessaly::jet {

class JetRecordset final : public dao::Recordset {
 public:
  JetRecordset(std::shared_ptr<JetDatabase> database, UserTable& table);

  void AddNew() override;
  void SetValue(int16_t position, std::u16string_view text) override;
  void Update(int type = dao::dbUpdateRegular) override;

  int16_t FieldCount() const override;
  std::string FieldName(int16_t position) const override;

  void MoveFirst() override;
  bool IsEOF() const override;
  void MoveNext() override;
  std::string Index() const override;
  dao::Value GetValue(int16_t position) const override;

  int64_t RecordCount() const override;
  void SetAbsolutePosition(int64_t position) override;

 private:
  // Called for every value: kept small enough to be inlined.
  const dao::Field& FieldAt(int16_t position) const {
    database_->CheckOpen();
    if (position < 0 || static_cast<size_t>(position) >= table_.fields.size()) [[unlikely]] {
      ThrowNoField(position);
    }
    return table_.fields[static_cast<size_t>(position)];
  }
  [[noreturn]] void ThrowNoField(int16_t position) const;
  // Loads the current row's page and splits the row.
  void LoadCurrentRow() const;
  [[noreturn]] void ThrowDamaged() const;

  std::shared_ptr<JetDatabase> database_;
  UserTable& table_;

  bool adding_ = false;
  // The new row's values; a text's bytes are in arena_ at its offset until Update.
  std::vector<Cell> cells_;
  std::vector<uint32_t> offsets_;
  // Positions set since AddNew, so a row costs what it holds, not the table's width.
  std::vector<int16_t> set_;
  // Stored forms of the pending texts; grows to the largest row, never shrinks.
  std::vector<uint8_t> arena_;
  size_t arenaUsed_ = 0;

  // Reading: the current row's ordinal, and the page and row last loaded.
  int64_t position_ = 0;
  mutable Page page_{};
  mutable size_t pageIndex_ = 0;
  mutable bool pageLoaded_ = false;
  mutable uint32_t loadedRowCount_ = 0;
  mutable int64_t splitPosition_ = -1;
  mutable std::vector<FieldSlice> slices_;
};

}  // namespace tessaly::jet
