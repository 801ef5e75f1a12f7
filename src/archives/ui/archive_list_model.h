// The rows of the archive list window as a Qt model: the records as read, each cell's
// text formatted when the view asks for it, rows appended without a model reset.
#pragma once

#include <QAbstractTableModel>
#include <span>
#include <vector>

#include "archives/archive_record.h"

namespace km8 {

class ArchiveListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  void append(const ArchiveEntry& entry);
  void clear();
  std::span<const ArchiveEntry> rows() const { return rows_; }  // as listed, newest first

 private:
  std::vector<ArchiveEntry> rows_;
};

}  // namespace km8
