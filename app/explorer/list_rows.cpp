#include "app/explorer/list_rows.h"

#include <QCollator>
#include <algorithm>

#include "app/explorer/texts.h"

namespace zavel::app {

bool isFolderRow(const ListRow& row) {
  return row.cells[kColSize].compare(text::tr(text::kFolder), Qt::CaseInsensitive) == 0;
}

QString fileTypeText(const QString& name, const QString& shellType) {
  if (!shellType.isEmpty()) return shellType;
  const qsizetype dot = name.lastIndexOf(u'.');
  if (dot < 0) return text::tr(text::kFileType);
  return text::tr(text::kFileTypeOf).arg(name.mid(dot + 1).toUpper());
}

QString dateText(const QDateTime& local) {
  const QDate d = local.date();
  const QTime t = local.time();
  const bool pm = t.hour() > 12;
  return QStringLiteral("%1-%2-%3 %4 %5:%6")
      .arg(d.year(), 4, 10, QLatin1Char('0'))
      .arg(d.month(), 2, 10, QLatin1Char('0'))
      .arg(d.day(), 2, 10, QLatin1Char('0'))
      .arg(pm ? QStringLiteral("PM") : QStringLiteral("AM"))
      .arg(pm ? t.hour() - 12 : t.hour(), 2, 10, QLatin1Char('0'))
      .arg(t.minute(), 2, 10, QLatin1Char('0'));
}

QString clubKey(int64_t number, bool folder) {
  return QStringLiteral("<%1%2>").arg(number).arg(folder ? QStringLiteral("@") : QString());
}

ListRow localRow(const LocalEntry& entry) {
  ListRow row;
  row.cells[kColName] = entry.name;
  row.cells[kColSize] = entry.folder ? text::tr(text::kFolder) : QString::number(entry.size);
  row.cells[kColType] = entry.folder ? entry.name : fileTypeText(entry.name, entry.shellType);
  row.cells[kColDate] = dateText(entry.modified);
  return row;
}

ListRow remoteRow(const RemoteEntry& entry, const QString& listedPath) {
  ListRow row;
  // The name below the listed folder; a listing by club key names no such folder, so there
  // the last level counts.
  QString name = entry.name;
  if (!listedPath.isEmpty() && name.startsWith(listedPath + u'/'))
    name = name.mid(listedPath.size() + 1);
  else
    name = name.section(u'/', -1);
  row.cells[kColName] = name;
  row.cells[kColSize] = entry.folder ? text::tr(text::kFolder) : QString::number(entry.size);
  if (!entry.folder) row.cells[kColType] = fileTypeText(name, entry.shellType);
  row.cells[kColDate] = entry.date;
  if (entry.clubNumber) row.cells[kColIndex] = clubKey(*entry.clubNumber, entry.folder);
  return row;
}

void sortRows(std::vector<ListRow>& rows, int column) {
  if (column < kColName || column > kColIndex) return;
  // Keys are computed once per row, not once per comparison.
  struct Keyed {
    bool file;
    int64_t size;
    QCollatorSortKey text;
    size_t at;
  };
  QCollator collator;
  std::vector<Keyed> keys;
  keys.reserve(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const ListRow& r = rows[i];
    const bool folder = isFolderRow(r);
    // Sizes are 64-bit: a file over 2 GiB must not sort as a negative number.
    const int64_t size = folder ? -1 : QString(r.cells[kColSize]).remove(u',').toLongLong();
    keys.push_back(
        {!folder, size, collator.sortKey(column == kColSize ? QString() : r.cells[column]), i});
  }
  std::stable_sort(keys.begin(), keys.end(), [column](const Keyed& a, const Keyed& b) {
    if (a.file != b.file) return !a.file;
    if (column == kColSize) return a.size < b.size;
    return a.text.compare(b.text) < 0;
  });
  std::vector<ListRow> sorted;
  sorted.reserve(rows.size());
  for (const Keyed& k : keys) sorted.push_back(std::move(rows[k.at]));
  rows = std::move(sorted);
}

}  // namespace zavel::app
