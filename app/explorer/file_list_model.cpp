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
      // A folder's type cell holds its name, which sorts folders by name; it reads "폴더".
      if (index.column() == kColType &&
          row.cells[kColSize].compare(text::tr(text::kFolder), Qt::CaseInsensitive) == 0)
        return text::tr(text::kFolder);
      return row.cells[static_cast<size_t>(index.column())];
    case Qt::EditRole:
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

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.isValid()) f |= Qt::ItemIsDragEnabled;
  if (index.isValid() && index.row() == editable_row_ && index.column() == kColName)
    f |= Qt::ItemIsEditable;
  return f;
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || index.row() != editable_row_ || index.column() != kColName)
    return false;
  editable_row_ = -1;
  emit renameRequested(index.row(), value.toString());
  return false;
}

void FileListModel::setRows(std::vector<ListRow> rows) {
  beginResetModel();
  editable_row_ = -1;
  rows_ = std::move(rows);
  endResetModel();
}

const QString& FileListModel::cell(int row, int column) const {
  return rows_.at(static_cast<size_t>(row)).cells.at(static_cast<size_t>(column));
}

void FileListModel::setCell(int row, int column, const QString& text) {
  rows_.at(static_cast<size_t>(row)).cells.at(static_cast<size_t>(column)) = text;
  emit dataChanged(index(row, column), index(row, column));
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
