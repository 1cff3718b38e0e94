// One list of the explorer as a table: rows of five text cells (name, size or "폴더", type,
// date, club key) and an icon. Every decision reads the cell texts; the view only shows them.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <array>
#include <vector>

#include "app/signin/login_info.h"

namespace zavel::app {

struct ListRow {
  std::array<QString, 5> cells;
  QIcon icon;
};

enum ListColumn { kColName = 0, kColSize = 1, kColType = 2, kColDate = 3, kColIndex = 4 };

class FileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Replaces every row at once (one reset, however long the listing).
  void setRows(std::vector<ListRow> rows);
  const std::vector<ListRow>& rows() const { return rows_; }
  const QString& cell(int row, int column) const;

 private:
  std::vector<ListRow> rows_;
};

// The disk list's row of one disk: its name, and "연결됨" while it has a session, else "끊김".
ListRow diskRow(const DiskEntry& disk);
std::vector<ListRow> diskRows(const std::vector<DiskEntry>& disks);

}  // namespace zavel::app
