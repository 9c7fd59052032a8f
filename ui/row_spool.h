#pragma once

#include <QStringList>
#include <QTemporaryFile>
#include <vector>

#include "storage/dao.h"

namespace tessaly {

// The rows of a record set as text in a temporary file, for listing them after
// the record set's database has closed.
class RowSpool {
 public:
  // Copies the first `rows` records: the index name, then every field as the list
  // shows it. Throws Failure when a record cannot be read or the file written; the
  // rows copied whole by then stay. Without a temporary file nothing is kept.
  void Fill(dao::Recordset& rst, int rows);
  // Appends the cells of row `row`; nothing for a row not kept.
  void Read(int row, QStringList& cells) const;

 private:
  mutable QTemporaryFile file_;
  // Where each row starts and, last, where the rows end.
  std::vector<qint64> offsets_;
};

}  // namespace tessaly
