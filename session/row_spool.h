#pragma once

// The rows of a record set as the list shows them, kept in a temporary file, for
// listing them after the record set's database has closed.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "storage/dao.h"

namespace tessaly {

class RowSpool {
 public:
  RowSpool() = default;
  ~RowSpool();
  RowSpool(const RowSpool&) = delete;
  RowSpool& operator=(const RowSpool&) = delete;

  // Copies the first `rows` records: the index name, then every field as the list
  // shows it. Throws Failure when the file cannot be made or written or a record
  // cannot be read; the rows copied whole by then stay.
  void Fill(dao::Recordset& rst, int64_t rows);
  // The cells of row `row`; none for a row not kept.
  void Read(int64_t row, std::vector<std::u16string>& cells) const;

 private:
  void Open();
  void Append(const std::u16string& chunk);

  mutable File file_;
  // Where the system has no unnamed files, the name to remove at the end.
  std::string name_;
  uint64_t size_ = 0;
  // Where each row starts and, last, where the rows end (in bytes).
  std::vector<uint64_t> offsets_;
};

}  // namespace tessaly
