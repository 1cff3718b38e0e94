// The explorer's list logic: rows, their type and date texts, the sort, the path levels and
// the confinement of device paths.
#include <gtest/gtest.h>

#include <QFont>

#include "app/explorer/device_paths.h"
#include "app/explorer/list_rows.h"
#include "app/explorer/path_levels.h"
#include "tests/app/support/app_test.h"

namespace zavel::app {
namespace {

ListRow file(const QString& name, const QString& size, const QString& date = "") {
  return remoteRow({name, false, size.toLongLong(), date, "", std::nullopt}, "");
}

ListRow folder(const QString& name) {
  return remoteRow({name, true, 0, "", "", std::nullopt}, "");
}

QStringList names(const std::vector<ListRow>& rows) {
  QStringList out;
  for (const ListRow& r : rows) out << r.cells[kColName];
  return out;
}

TEST(ListRows, CellsOfLocalAndRemoteEntries) {
  const QDateTime noon(QDate(2004, 7, 1), QTime(12, 30));
  const std::pair<ListRow, QStringList> cases[] = {
      {localRow({"a.b.txt", false, 1234, noon, ""}),
       {"a.b.txt", "1234", "TXT 파일", "2004-07-01 AM 12:30", ""}},
      {localRow({"readme", false, 0, QDateTime(QDate(2004, 1, 2), QTime(0, 5)), ""}),
       {"readme", "0", "파일", "2004-01-02 AM 00:05", ""}},
      {localRow({"x.mp3", false, 5, QDateTime(QDate(2010, 12, 31), QTime(13, 5)), "MP3 audio"}),
       {"x.mp3", "5", "MP3 audio", "2010-12-31 PM 01:05", ""}},
      {localRow({"사진", true, 4096, QDateTime(QDate(2004, 7, 1), QTime(23, 59)), ""}),
       {"사진", "폴더", "사진", "2004-07-01 PM 11:59", ""}},
      {remoteRow({"/demo/docs/a.pdf", false, 3000000000, "2004-07-01", "", std::nullopt},
                 "/demo/docs"),
       {"a.pdf", "3000000000", "PDF 파일", "2004-07-01", ""}},
      {remoteRow({"/octa/12/사진", true, 0, "d", "", 12}, "/octa/12"),
       {"사진", "폴더", "", "d", "<12@>"}},
      {remoteRow({"/octa/x/y.jpg", false, 1, "d", "", 9}, "<12@>"),
       {"y.jpg", "1", "JPG 파일", "d", "<9>"}},
      {remoteRow({"/octa/12/a", false, 7, "d", "", int64_t{1} << 40}, "/octa/12"),
       {"a", "7", "파일", "d", "<1099511627776>"}},
  };
  for (const auto& [row, cells] : cases) {
    SCOPED_TRACE(cells.join('|').toStdString());
    EXPECT_EQ(QStringList(row.cells.begin(), row.cells.end()), cells);
  }
  EXPECT_TRUE(isFolderRow(folder("x")));
  EXPECT_FALSE(isFolderRow(file("폴더", "1")));
}

TEST(ListRows, SortKeepsFoldersFirstAndSizesNumeric) {
  std::vector<ListRow> rows = {file("b", "1000", "2004-01-02"), folder("z"),
                               file("a", "999", "2004-01-03"),
                               file("c", "3000000000", "2004-01-01"), folder("m")};
  const std::pair<int, QStringList> cases[] = {
      {kColName, {"m", "z", "a", "b", "c"}},
      {kColSize, {"z", "m", "a", "b", "c"}},  // folders keep their order; 999 before 1000
      {kColDate, {"z", "m", "c", "b", "a"}},
      {kColType, {"z", "m", "b", "a", "c"}},  // equal types keep their order
  };
  for (const auto& [column, order] : cases) {
    SCOPED_TRACE(column);
    std::vector<ListRow> sorted = rows;
    sortRows(sorted, column);
    EXPECT_EQ(names(sorted), order);
  }
}

TEST(PathLevels, ItemsCaptionsAndPaths) {
  PathLevels remote('/', "전체 ZAVEL 보기");
  remote.enter("My zavel");
  remote.enter("docs");
  remote.pushKey("<12@>");
  EXPECT_EQ(remote.items(), (QStringList{"전체 ZAVEL 보기", " My zavel", "  docs"}));
  EXPECT_EQ(remote.fullPath(), "/전체 ZAVEL 보기/My zavel/docs");
  EXPECT_EQ(remote.below(2), "/docs");
  const QFontMetrics metrics{QFont()};
  EXPECT_EQ(remote.caption(metrics), "  docs ▼");
  remote.enter(QString(60, 'w'));
  EXPECT_EQ(remote.caption(metrics), "   " + QString(13, 'w') + "...▼");
  remote.choose(1);  // two levels dropped, and the one club key
  EXPECT_EQ(remote.count(), 2);
  EXPECT_FALSE(remote.hasKeys());
  remote.choose(-1);  // below the first level: the first
  EXPECT_EQ(remote.items(), QStringList{"전체 ZAVEL 보기"});

  PathLevels local('\\', "My Device");
  local.enter("사진");
  EXPECT_EQ(local.fullPath(), "\\My Device\\사진");
  EXPECT_EQ(local.below(1), "\\사진");
}

TEST(DevicePaths, MapsInsideTheRootAndRefusesTheRest) {
  const DevicePaths paths("/home/kim/");
  const std::pair<QString, std::optional<QString>> cases[] = {
      {"", "/home/kim"},
      {"\\", "/home/kim"},
      {"\\사진\\2004", "/home/kim/사진/2004"},
      {"\\..", std::nullopt},
      {"\\a\\..\\..\\etc", std::nullopt},
      {"\\a/b", std::nullopt},
      {"\\a\\\\b", std::nullopt},
      {"\\a\x01", std::nullopt},
      {"relative", std::nullopt},
  };
  for (const auto& [device, host] : cases) {
    SCOPED_TRACE(device.toStdString());
    EXPECT_EQ(paths.toHost(device), host);
  }
  EXPECT_EQ(DevicePaths::join("\\", "a"), "\\a");
  EXPECT_EQ(DevicePaths::join("\\a", "b"), "\\a\\b");
}

}  // namespace
}  // namespace zavel::app
