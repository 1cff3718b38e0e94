// How a row of the explorer's lists is made and ordered: the size or "폴더" cell, the type
// and date texts, club keys, and the sort that keeps folders first.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/explorer/file_list_model.h"

namespace zavel::app {

// A row is a folder exactly when its size cell reads "폴더" (ignoring case).
bool isFolderRow(const ListRow& row);

// A file's type: the desktop's type name when there is one, else the upper-cased text after
// the last "." and " 파일", else "파일".
QString fileTypeText(const QString& name, const QString& shellType);
// "2004-07-01 AM 12:30": hours 0 to 12 keep their value and read AM, 13 to 23 read PM.
QString dateText(const QDateTime& local);
// "<n>" for a file, "<n@>" for a folder.
QString clubKey(int64_t number, bool folder);

struct LocalEntry {
  QString name;
  bool folder = false;
  int64_t size = 0;
  QDateTime modified;  // local time
  QString shellType;
};
ListRow localRow(const LocalEntry& entry);

struct RemoteEntry {
  QString name;  // as the listing gives it (the full path)
  bool folder = false;
  int64_t size = 0;
  QString date;  // shown as it comes
  QString shellType;
  std::optional<int64_t> clubNumber;  // club disks only
};
// Named by what follows the listed folder's path (or, failing that, the last "/").
ListRow remoteRow(const RemoteEntry& entry, const QString& listedPath);

// Ascending by the column, every folder before every file. Names, types and dates compare
// by the locale; sizes as numbers.
void sortRows(std::vector<ListRow>& rows, int column);

}  // namespace zavel::app
