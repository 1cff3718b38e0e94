// The explorer's list with a 10,000-entry folder: making the rows from a listing with their
// icons and type names from the desktop, and putting them in the model (one reset), then
// sorting by each column. A sort of the bare names with std::sort is the baseline.
#include <QAbstractFileIconProvider>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "app/explorer/file_kinds.h"
#include "app/explorer/file_list_model.h"
#include "app/explorer/list_rows.h"

using zavel::app::FileListModel;
using zavel::app::ListRow;
using zavel::app::RemoteEntry;

namespace {

constexpr int kRows = 10000;

std::vector<RemoteEntry> listing() {
  std::mt19937 random(2004);
  const char* const kinds[] = {"jpg", "mp3", "txt", "pdf", "mov"};
  std::vector<RemoteEntry> entries;
  for (int i = 0; i < kRows; ++i) {
    RemoteEntry e;
    const bool folder = random() % 10 == 0;
    e.name = QStringLiteral("/demo/사진/%1 %2%3")
                 .arg(folder ? QStringLiteral("폴더") : QStringLiteral("파일"))
                 .arg(random() % 100000)
                 .arg(folder ? QString() : QStringLiteral(".") + kinds[random() % 5]);
    e.folder = folder;
    e.size = folder ? 0 : static_cast<int64_t>(random() % 5000000000ull);
    e.date = QStringLiteral("2004-%1-%2 PM 0%3:%4")
                 .arg(1 + random() % 12, 2, 10, QLatin1Char('0'))
                 .arg(1 + random() % 28, 2, 10, QLatin1Char('0'))
                 .arg(random() % 10)
                 .arg(random() % 60, 2, 10, QLatin1Char('0'));
    entries.push_back(e);
  }
  return entries;
}

template <typename F>
double millis(F&& f) {
  QElapsedTimer clock;
  clock.start();
  f();
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const std::vector<RemoteEntry> entries = listing();
  FileListModel model;
  std::vector<ListRow> rows;
  const QAbstractFileIconProvider icons;
  zavel::app::FileKinds kinds(&icons);
  const double fill = millis([&] {
    rows.reserve(entries.size());
    for (const RemoteEntry& e : entries)
      rows.push_back(zavel::app::remoteRow(e, QStringLiteral("/demo/사진")));
    zavel::app::showKinds(rows, kinds);
    model.setRows(rows);
  });
  auto sortBy = [&](int column) {
    std::vector<ListRow> copy = rows;
    const double ms = millis([&] { zavel::app::sortRows(copy, column); });
    model.setRows(std::move(copy));
    return ms;
  };
  const double by_name = sortBy(zavel::app::kColName);
  const double by_size = sortBy(zavel::app::kColSize);
  const double by_date = sortBy(zavel::app::kColDate);
  QStringList names;
  for (const ListRow& r : rows) names << r.cells[zavel::app::kColName];
  const double baseline = millis([&] { std::sort(names.begin(), names.end()); });

  std::printf(
      "explorer %d rows: fill with icons and type names %.0f ms (under 100), sort by name %.0f ms, "
      "by size %.0f ms, by date %.0f ms\n",
      kRows, fill, by_name, by_size, by_date);
  std::printf("baseline: std::sort of the bare names %.1f ms; sort by name is %.1fx the baseline\n",
              baseline, baseline > 0 ? by_name / baseline : 0.0);
  return 0;
}
