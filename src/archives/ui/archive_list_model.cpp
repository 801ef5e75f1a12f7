#include "archives/ui/archive_list_model.h"

#include "archives/archive_rows.h"

namespace km8 {

int ArchiveListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ArchiveListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kArchiveColumnCount;
}

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  const auto row = static_cast<std::size_t>(index.row());
  return QString::fromStdString(ArchiveCellText(row, rows_[row], index.column()));
}

QVariant ArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  if (role != Qt::DisplayRole) return {};
  return QString::fromUtf8(ArchiveColumnHeader(section));
}

void ArchiveListModel::append(const ArchiveEntry& entry) {
  const int at = rowCount();
  beginInsertRows({}, at, at);
  rows_.push_back(entry);
  endInsertRows();
}

void ArchiveListModel::clear() {
  if (rows_.empty()) return;
  beginResetModel();
  rows_.clear();
  endResetModel();
}

}  // namespace km8
