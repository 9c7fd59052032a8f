#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/failure.h"
#include "storage/dao.h"
#include "ui/row_spool.h"

namespace tessaly {

// The converted records as a list: the column "Index" (the record set's index
// name, always empty here) and one column per table field. Rows are read from
// the record set when the view asks for them, so a listing costs the same for
// ten cards as for a million, and only the rows on screen are held as text.
//
// A record set cannot be read once its database is closed (Save as, the next
// conversion), yet the list must go on showing it: Detach first copies the rows
// to a spool file, which the list then reads in the same way.
class CardTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit CardTableModel(QObject* parent = nullptr);

  bool HasColumns() const { return !headers_.isEmpty(); }
  void SetColumns(const QStringList& headers);

  // Lists every record of `rst` in storage order; no record set lists nothing.
  void SetRecordset(std::shared_ptr<dao::Recordset> rst);
  void Clear() { SetRecordset(nullptr); }
  // Moves the listing off the record set, before its database is closed.
  void Detach();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // How one stored value reads in the list: Null is empty, a date takes the
  // general date form.
  static QString ValueText(const dao::Value& value);

 signals:
  // A record could not be read; sent once per listing, queued, so the report does
  // not interrupt painting.
  void readFailed(int number, const QString& description);

 private:
  struct Row {
    int64_t number = -1;
    QStringList cells;  // "Index" first, then the fields
  };
  // Enough for the rows of any screen; a row's slot is its number modulo the size.
  static constexpr size_t kCachedRows = 256;

  const Row& Fetch(int row) const;
  void ReadRecord(int row, QStringList& cells) const;
  void ReportOnce(const Failure& failure) const;

  std::shared_ptr<dao::Recordset> rst_;
  std::unique_ptr<RowSpool> spool_;
  int rows_ = 0;
  QStringList headers_;
  mutable std::array<Row, kCachedRows> cache_;
  mutable bool failed_ = false;
};

}  // namespace tessaly
