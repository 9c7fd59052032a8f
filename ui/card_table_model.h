#pragma once

#include <QAbstractTableModel>

namespace tessaly {

class RecordList;

// lvMDB's rows and columns: the session's record list as the table view reads it.
class CardTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  CardTableModel(const RecordList& records, QObject* parent = nullptr);

  // The list now shows something else: every row is read afresh.
  void Reset();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  const RecordList& records_;
};

}  // namespace tessaly
