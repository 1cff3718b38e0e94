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
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // An edit hands the new text over as renameRequested; the row changes only when the
  // rename succeeds.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Only this row's name may be edited, until the edit ends (-1: none).
  void setEditableRow(int row) { editable_row_ = row; }

  // Replaces every row at once (one reset, however long the listing).
  void setRows(std::vector<ListRow> rows);
  const std::vector<ListRow>& rows() const { return rows_; }
  const QString& cell(int row, int column) const;
  void setCell(int row, int column, const QString& text);

 private:
  std::vector<ListRow> rows_;
  int editable_row_ = -1;

 signals:
  void renameRequested(int row, const QString& text);
};

// The disk list's row of one disk: its name, and "연결됨" while it has a session, else "끊김".
ListRow diskRow(const DiskEntry& disk);
std::vector<ListRow> diskRows(const std::vector<DiskEntry>& disks);

}  // namespace zavel::app
