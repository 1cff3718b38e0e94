#include "app/explorer/file_list_model.h"

#include "app/explorer/texts.h"

namespace zavel::app {

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 5;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= 5) return {};
  const ListRow& row = rows_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
      return row.cells[static_cast<size_t>(index.column())];
    case Qt::DecorationRole:
      return index.column() == kColName ? QVariant(row.icon) : QVariant();
    case Qt::TextAlignmentRole:
      return index.column() == kColSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    default:
      return {};
  }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const char* const kHeaders[5] = {text::kColumnName, text::kColumnSize, text::kColumnType,
                                          text::kColumnDate, text::kColumnIndex};
  if (orientation != Qt::Horizontal || section < 0 || section >= 5) return {};
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
  return text::tr(kHeaders[section]);
}

void FileListModel::setRows(std::vector<ListRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

const QString& FileListModel::cell(int row, int column) const {
  return rows_.at(static_cast<size_t>(row)).cells.at(static_cast<size_t>(column));
}

ListRow diskRow(const DiskEntry& disk) {
  ListRow row;
  row.cells[kColName] = disk.diskname;
  row.cells[kColSize] = text::tr(disk.session ? text::kConnected : text::kDisconnected);
  return row;
}

std::vector<ListRow> diskRows(const std::vector<DiskEntry>& disks) {
  std::vector<ListRow> rows;
  rows.reserve(disks.size());
  for (const DiskEntry& disk : disks) rows.push_back(diskRow(disk));
  return rows;
}

}  // namespace zavel::app
