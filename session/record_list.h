#pragma once

// The converted records as the list shows them: the column "Index" (the record
// set's index name, always empty here) and one column per table field. Rows are
// read from the record set when the list asks for them, so a listing costs the
// same for ten cards as for a million, and only the rows on screen are held.
//
// A record set cannot be read once its database is closed (Save as, the next
// conversion), yet the list must go on showing it: Detach first copies the rows to
// a spool file, which the list then reads in the same way.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "session/row_spool.h"
#include "storage/dao.h"

namespace tessaly {

class RecordList {
 public:
  // Told once per listing of the first record that could not be read.
  explicit RecordList(std::function<void(const Failure&)> readFailed)
      : readFailed_(std::move(readFailed)) {}

  const std::vector<std::u16string>& Headers() const { return headers_; }
  int64_t Rows() const { return rows_; }

  // Lists every record of `rst` in storage order; the first listing takes its
  // columns, later ones keep them. No record set lists nothing.
  void Show(std::shared_ptr<dao::Recordset> rst);
  void Clear() { Show(nullptr); }
  // Moves the listing off the record set, before its database is closed.
  void Detach();

  // The cell as the list shows it; empty past the row's end.
  const std::u16string& Cell(int64_t row, size_t column) const;

 private:
  struct Row {
    int64_t number = -1;
    std::vector<std::u16string> cells;  // "Index" first, then the fields
  };
  // Enough for the rows of any screen; a row's slot is its number modulo the size.
  static constexpr size_t kCachedRows = 256;

  const Row& Fetch(int64_t row) const;
  void ReportOnce(const Failure& failure) const;

  std::function<void(const Failure&)> readFailed_;
  std::shared_ptr<dao::Recordset> rst_;
  std::unique_ptr<RowSpool> spool_;
  int64_t rows_ = 0;
  std::vector<std::u16string> headers_;
  mutable std::array<Row, kCachedRows> cache_;
  mutable bool failed_ = false;
};

}  // namespace tessaly
