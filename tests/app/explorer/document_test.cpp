// Opening disks against the demo devserver: the personal disk, a club the user may write
// and the read-only club, and the listings they give.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <tuple>

#include "app/explorer/document.h"
#include "app/explorer/file_operations.h"
#include "app/explorer/list_rows.h"
#include "app/explorer/texts.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/demo_explorer.h"

namespace zavel::app {
namespace {

class DocumentTest : public testing::DemoExplorerTest {
 protected:
  QStringList names(const std::vector<ListRow>& rows) {
    QStringList out;
    for (const ListRow& r : rows)
      out << r.cells[kColName] + "|" + r.cells[kColSize] + "|" + r.cells[kColIndex];
    return out;
  }

  FileOperations operations_{explorer_, document_, prompter_};
};

TEST_F(DocumentTest, OpensEachKindOfDiskWithItsRightsAndListsIt) {
  // The disk, whether it lists as a club, its session mode, its first row.
  const std::tuple<QString, bool, int, QString> cases[] = {
      {"My zavel", false, 1, "문서|폴더|"},
      {"데모 클럽", true, 1, "공지|폴더|<3@>"},
      {"사진 동호회", true, 3, "전시회|폴더|<12@>"},
  };
  for (const auto& [disk, club, mode, first_row] : cases) {
    SCOPED_TRACE(disk.toStdString());
    ASSERT_TRUE(document_.openDisk(disk)) << prompter_.texts().join("|").toStdString();
    EXPECT_EQ(document_.clubListing(), club);
    EXPECT_EQ(document_.sessionMode(), mode);
    EXPECT_EQ(document_.currentDisk()->diskname, disk);
    const auto rows = document_.listRemote(document_.basePath());
    EXPECT_EQ(rows ? names(*rows).value(0) : "<failed>", first_row);
  }
  // A club folder listed by its key; the open sessions are taken again, not made anew.
  ASSERT_TRUE(document_.openDisk("데모 클럽"));
  const auto inside = document_.listRemote("<4@>");
  EXPECT_FALSE(!inside || inside->empty() || names(*inside).join("").contains('/'));
  EXPECT_TRUE(prompter_.texts().isEmpty());

  EXPECT_TRUE(document_.closeDisk(""));  // the listing session's disk
  explorer_.showDisks();
  prompter_.answer({false, true, true});
  EXPECT_FALSE(explorer_.disconnect({0}));  // Cancel
  EXPECT_FALSE(explorer_.disconnect({0, 1}));
  EXPECT_EQ(prompter_.texts().last(), text::tr(text::kSelectOneToDisconnect));
  EXPECT_TRUE(explorer_.disconnect({0}));
  EXPECT_EQ(explorer_.remote().cell(0, kColSize), text::tr(text::kDisconnected));
  prompter_.clear();
  EXPECT_EQ(document_.listing(), nullptr);
  EXPECT_FALSE(document_.closeDisk("데모 클럽"));
  EXPECT_FALSE(document_.closeDisk("My zavel"));
}

TEST_F(DocumentTest, FailuresAreToldOnce) {
  explorer_.showDisks();
  EXPECT_FALSE(explorer_.connectSelected({0, 1}));
  EXPECT_EQ(prompter_.texts(), QStringList{text::tr(text::kSelectOneClub)});
  EXPECT_EQ(document_.listing(), nullptr);
  prompter_.clear();

  // No file server where the portal says: the library's own reason is shown.
  document_.setFileServerPort(1);
  EXPECT_FALSE(document_.openDisk("My zavel"));
  ASSERT_EQ(prompter_.texts().size(), 1);
  EXPECT_FALSE(prompter_.texts()[0].isEmpty());
  prompter_.clear();
  document_.setFileServerPort(demo_.server().filePort());

  EXPECT_FALSE(document_.openDisk("없는 디스크"));
  ASSERT_TRUE(document_.openDisk("My zavel"));
  EXPECT_FALSE(document_.listRemote("/demo/없는 폴더").has_value());
  ASSERT_EQ(prompter_.texts().size(), 1);
  EXPECT_TRUE(prompter_.texts()[0].endsWith(")")) << prompter_.texts()[0].toStdString();

  // The club server is gone: the rights cannot be read.
  prompter_.clear();
  document_.setOctaServer({"127.0.0.1", 1});
  lookups_.setOctaServer({"127.0.0.1", 1});
  EXPECT_FALSE(document_.openDisk("데모 클럽"));
  EXPECT_EQ(prompter_.texts(), QStringList{text::tr(text::kNoDiskRights)});
}

using List = ExplorerLogic::List;

TEST_F(DocumentTest, NewFoldersTakeTheNextFreeNumberOnBothSides) {
  ASSERT_TRUE(connectDisk(0));
  for (List list : {List::kRemote, List::kLocal}) {
    SCOPED_TRACE(list == List::kRemote ? "remote" : "local");
    explorer_.refresh(list);
    QStringList made;
    for (int i = 0; i < 3; ++i) {
      const int row = operations_.newFolder(list);
      ASSERT_GE(row, 0) << prompter_.texts().join("|").toStdString();
      made << (list == List::kRemote ? explorer_.remote() : explorer_.local()).cell(row, kColName);
    }
    EXPECT_EQ(made, (QStringList{"새 폴더", "새 폴더 (1)", "새 폴더 (2)"}));
  }
  EXPECT_TRUE(QDir(device_.filePath("새 폴더 (2)")).exists());
  EXPECT_TRUE(prompter_.texts().isEmpty());
}

TEST_F(DocumentTest, RenameRefusesBadNamesAndTakenOnes) {
  QDir(device_.path()).mkdir("사진");
  for (const char* name : {"a.txt", "b.txt"}) testing::writeFile(device_.filePath(name), "");
  explorer_.fillLocal("");
  const int a = rowOf(List::kLocal, "a.txt");
  // The new name, whether it is taken, what is shown.
  const QString invalid = text::tr(text::kInvalidName);
  // clang-format off
  const std::tuple<QString, bool, QString> cases[] = {
      {"what?.txt", false, invalid}, {"a|b", false, invalid}, {"..", false, invalid},
      {"x/y", false, invalid},       {"b.txt", false, text::tr(text::kFileExists)},
      {"c.txt", true, ""},
  };
  // clang-format on
  for (const auto& [to, ok, shown] : cases) {
    SCOPED_TRACE(to.toStdString());
    prompter_.clear();
    EXPECT_EQ(operations_.rename(List::kLocal, a, to), ok);
    EXPECT_EQ(prompter_.texts(), shown.isEmpty() ? QStringList() : QStringList{shown});
  }
  EXPECT_TRUE(QFile::exists(device_.filePath("c.txt")));
  EXPECT_TRUE(QFile::exists(device_.filePath("b.txt")));  // never replaced

  // Remote: a taken name is refused with the folder text for a folder row.
  ASSERT_TRUE(connectDisk(0));
  const int docs = rowOf(List::kRemote, "문서");
  prompter_.clear();
  EXPECT_FALSE(operations_.rename(List::kRemote, docs, "사진"));
  EXPECT_EQ(prompter_.texts(), QStringList{text::tr(text::kFolderExists)});
  EXPECT_TRUE(operations_.rename(List::kRemote, docs, "서류"));
  explorer_.refresh(List::kRemote);
  EXPECT_TRUE(rowNames(List::kRemote).contains("서류"));
}

TEST_F(DocumentTest, DeleteAsksThenRemovesTreesWithoutFollowingLinks) {
  QTemporaryDir outside;
  testing::writeFile(outside.filePath("keep.txt"), "");
  testing::writeFile(device_.filePath("tree/inner/deeper/f"), "");
  QFile::link(outside.path(), device_.filePath("tree/link"));
  explorer_.fillLocal("");
  prompter_.answer({false, true});
  for (const bool gone : {false, true}) {  // Cancel: nothing goes
    operations_.remove(List::kLocal, {0});
    EXPECT_NE(QDir(device_.filePath("tree")).exists(), gone);
  }
  EXPECT_TRUE(QFile::exists(outside.filePath("keep.txt")));
  EXPECT_EQ(prompter_.texts(),
            (QStringList{text::tr(text::kDeleteFolder), text::tr(text::kDeleteFolder)}));

  // The read-only club allows neither; the personal disk deletes a folder with its files.
  ASSERT_TRUE(connectDisk(2));
  EXPECT_FALSE(operations_.canCreate(List::kRemote));
  EXPECT_FALSE(operations_.canChange(List::kRemote));
  EXPECT_EQ(operations_.newFolder(List::kRemote), -1);
  ASSERT_TRUE(connectDisk(0));
  prompter_.clear();
  operations_.remove(List::kRemote, {0, rowOf(List::kRemote, "음악")});
  EXPECT_EQ(prompter_.texts(), QStringList{text::tr(text::kDeleteAll)});
  EXPECT_FALSE(rowNames(List::kRemote).contains("음악") ||
               rowNames(List::kRemote).contains("문서"));
}

TEST_F(DocumentTest, HostileRemoteNamesAreShownButNeverUsedAsPaths) {
  ASSERT_TRUE(connectDisk(0));
  const int before = explorer_.remoteLevels().count();
  std::vector<ListRow> rows;
  for (const QString& name :
       {QString(".."), QString("문서/../.."), QString("a\\b"), QString("x\x01")})
    rows.push_back(remoteRow({"/demo/" + name, true, 0, "", "", std::nullopt}, "/demo"));
  explorer_.remote().setRows(rows);
  for (int row = 0; row < 4; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(explorer_.openRow(List::kRemote, row), std::nullopt);
    EXPECT_EQ(explorer_.remoteLevels().count(), before);
    EXPECT_FALSE(operations_.rename(List::kRemote, row, "new"));
  }
  prompter_.answer({true});
  operations_.remove(List::kRemote, {0, 1, 2, 3});  // refreshes the list
  // Nothing on the disk went: its root still lists everything.
  EXPECT_EQ(rowNames(List::kRemote),
            (QStringList{"문서", "빈 폴더", "사진", "음악", "읽어 주세요.txt"}));
}

}  // namespace
}  // namespace zavel::app
