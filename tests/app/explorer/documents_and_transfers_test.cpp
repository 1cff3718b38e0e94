// The explorer against the demo devserver. Opening disks (the personal disk, a club the user
// may write and the read-only club) and what may be done on them. Download and upload batches
// with scripted conflict answers and a scripted progress dialog: what the batch decides
// (questions and their memory, free space, names left out, club keys, refresh, counting); the
// library's own transfer suites check the bytes on the wire. The progress texts from tables.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <algorithm>
#include <deque>
#include <map>
#include <stdexcept>
#include <tuple>

#include "app/explorer/document.h"
#include "app/explorer/file_operations.h"
#include "app/explorer/list_rows.h"
#include "app/explorer/texts.h"
#include "app/explorer/transfer_manager.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/demo_explorer.h"

namespace zavel::app {
namespace {

using List = ExplorerLogic::List;

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

TEST_F(DocumentTest, TheDiskListIsSortedAndItsRowsNameTheirDisks) {
  const QStringList sorted{"My zavel", "데모 클럽", "사진 동호회"};
  std::reverse(login_.disks.begin(), login_.disks.end());
  explorer_.showDisks();
  EXPECT_EQ(rowNames(List::kRemote), sorted);
  ASSERT_TRUE(explorer_.connectSelected({rowOf(List::kRemote, "사진 동호회")}));
  EXPECT_EQ(document_.currentDisk()->diskname, "사진 동호회");
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

TEST_F(DocumentTest, RenameRefusesBadNamesAndTakenOnesAndNewFoldersTakeTheNextNumber) {
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

  // New folders take the next free number on both sides.
  prompter_.clear();
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

  // The personal disk deletes a folder with its files (rights: RightsTest).
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

using Question = TransferUi::Question;
using Answer = TransferUi::Answer;
using testing::contentOf;
using testing::writeFile;

// The batch's dialogs as a script: answers each kind of question in order, records what the
// progress dialog was shown, and runs a hook at every report.
class ScriptedUi : public TransferUi {
 public:
  Choice ask(Question question, const QString& text) override {
    asked.push_back({question, text});
    std::deque<Choice>& script = answers[question];
    if (script.empty()) return {};
    const Choice c = script.front();
    script.pop_front();
    return c;
  }
  bool showNoSpace(const QString& text) override {
    no_space << text;
    return false;
  }
  void openProgress(ProgressState& s, std::function<void()> c) override {
    state = &s;
    cancel = std::move(c);
    ++opened;
  }
  bool progressOpen() const override { return opened > closed; }  // opened again after a close
  void showProgress(bool) override {
    // The first thing shown of each file: where it starts.
    if (state->currentName() != last_name) starts.push_back(state->done() - state->finished());
    last_name = state->currentName();
  }
  void closeProgress() override { ++closed; }
  void letEventsThrough() override {
    if (onReport) onReport(*state);
  }

  std::map<Question, std::deque<Choice>> answers;
  std::vector<std::pair<Question, QString>> asked;
  QStringList no_space;
  ProgressState* state = nullptr;
  std::function<void()> cancel;
  std::function<void(const ProgressState&)> onReport;
  std::vector<uint64_t> starts;
  QString last_name;
  int opened = 0;
  int closed = 0;
};

class FixedFreeSpace : public FreeSpace {
 public:
  std::optional<uint64_t> bytesFree(const QString& folder) override {
    return bytes ? bytes : real.bytesFree(folder);
  }
  std::optional<uint64_t> bytes;
  VolumeFreeSpace real;
};

// Every file below root by its relative path, with its SHA-256.
QMap<QString, QByteArray> digests(const QString& root) {
  QMap<QString, QByteArray> out;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    out[QDir(root).relativeFilePath(path)] =
        QCryptographicHash::hash(contentOf(path), QCryptographicHash::Sha256);
  }
  return out;
}

// Club-disk bytes move through a file server on the service's fixed port.
class TransferTest : public testing::DemoExplorerTest {
 protected:
  explicit TransferTest(const testing::DemoServer::Adjust& adjust = {}, int disks = 3)
      : DemoExplorerTest(true, adjust, disks) {}

  void open(int disk) {
    ASSERT_TRUE(connectDisk(disk));
    explorer_.fillLocal("");
  }
  QString disk(const QString& rel = "") const {
    return QString::fromStdString((demo_.dataPath() / "disks" / "demo").string()) + "/" + rel;
  }
  QString device(const QString& rel = "") const { return device_.path() + "/" + rel; }
  QList<int> rows(List list, const QStringList& names) {
    if (list == List::kLocal) explorer_.fillLocal("");
    QList<int> out;
    for (const QString& n : names) out << rowOf(list, n);
    return out;
  }
  void download(const QStringList& names) { transfers_.download(rows(List::kRemote, names)); }
  void upload(const QStringList& names) { transfers_.upload(rows(List::kLocal, names)); }
  // The one text told, which must hold `part`.
  void expectToldOnce(const QString& part) {
    ASSERT_EQ(prompter_.texts().size(), 1);
    EXPECT_TRUE(prompter_.texts()[0].contains(part)) << prompter_.texts()[0].toStdString();
    prompter_.clear();
  }

  ScriptedUi ui_;
  FixedFreeSpace space_;
  TransferManager transfers_{explorer_, document_, prompter_, ui_, space_};
};

TEST_F(TransferTest, FolderTreesAndSingleItemsComeDownWholeAndTheListIsRefreshed) {
  open(0);
  download({"사진", "문서", "빈 폴더"});
  EXPECT_EQ(prompter_.texts(), QStringList());
  for (const char* folder : {"사진", "문서"})
    EXPECT_EQ(digests(device(folder)), digests(disk(folder)));
  EXPECT_TRUE(QDir(device("빈 폴더")).exists());
  // Folders (사진, 여름 휴가, 문서, 빈 폴더) and five files; the dialog stays, complete.
  EXPECT_EQ(ui_.state->counterLine(), "9 / 9");
  EXPECT_TRUE(ui_.state->complete());
  EXPECT_EQ(ui_.closed, 0);
  EXPECT_TRUE(transfers_.items().empty());
  EXPECT_EQ(transfers_.downloadFolder(), "\\");  // the root, as the settings write it
  EXPECT_EQ(rowNames(List::kLocal), (QStringList{"문서", "빈 폴더", "사진"}));
  // Trees going up: the club-disk and the left-out-names tests below.

  // One-item batches complete even without bytes: the folder entered first ("" for the root).
  const std::pair<QString, QString> cases[] = {{"", "빈 폴더"}, {"문서", "empty.txt"}};
  for (const auto& [folder, name] : cases) {
    SCOPED_TRACE(name.toStdString());
    explorer_.chooseLevel(List::kRemote, 1);
    if (!folder.isEmpty()) explorer_.openRow(List::kRemote, rowOf(List::kRemote, folder));
    download({name});
    EXPECT_TRUE(QFileInfo::exists(device(name)));
    EXPECT_TRUE(ui_.state->complete());
    EXPECT_EQ(ui_.state->filePercent(), 100);
    EXPECT_EQ(ui_.state->counterLine(), "1 / 1");
  }
}

TEST_F(TransferTest, ExistingTargetsAskTheRightQuestionAndApplyToAllCoversOnlyIts) {
  open(0);
  writeFile(device("문서/report 2004.bin"), contentOf(disk("문서/report 2004.bin")).left(50000));
  writeFile(device("문서/회의 메모.txt"), QByteArray(4000, 'x'));  // larger: overwrite
  writeFile(device("문서/empty.txt"), QByteArray());               // as large: overwrite
  // The overwrite answer is remembered for the second larger target; the resume question
  // for the smaller one is asked all the same.
  ui_.answers[Question::kOverwrite] = {{Answer::kOverwrite, true}};
  ui_.answers[Question::kResume] = {{Answer::kResume, false}};
  download({"문서"});
  ASSERT_EQ(ui_.asked.size(), 2u);
  EXPECT_NE(ui_.asked[0].first, ui_.asked[1].first);  // one of each kind
  for (const auto& [question, text] : ui_.asked) {
    EXPECT_TRUE(text.startsWith("\n\"") && text.endsWith("?\"")) << text.toStdString();
    EXPECT_FALSE(text.contains('/') || text.contains('\\')) << text.toStdString();
  }
  EXPECT_EQ(digests(device("문서")), digests(disk("문서")));
  // The resumed file started at its local size.
  EXPECT_NE(std::find(ui_.starts.begin(), ui_.starts.end(), 50000u), ui_.starts.end());

  // Skipping keeps the target as it was and still completes the batch.
  writeFile(device("문서/empty.txt"), "mine");
  ui_.asked.clear();
  ui_.answers[Question::kOverwrite] = {{Answer::kSkip, true}};
  download({"문서"});
  EXPECT_EQ(contentOf(device("문서/empty.txt")), "mine");
  EXPECT_EQ(ui_.asked.size(), 1u);
  EXPECT_TRUE(ui_.state->complete());
}

TEST_F(TransferTest, TooLittleRoomStopsBeforeAnythingMovesAndCancelKeepsThePart) {
  open(0);
  // Free bytes on the device, what is told (the question answered Cancel).
  const std::pair<uint64_t, const char*> cases[] = {
      {0, text::kNoRoom}, {1024, text::kNoRoom}, {1025, text::kNoRoomContinue}};
  for (const auto& [free, told] : cases) {
    SCOPED_TRACE(told);
    prompter_.clear();
    if (told == text::kNoRoomContinue) prompter_.answer({false});
    space_.bytes = free;
    download({"음악"});
    EXPECT_EQ(prompter_.texts(), QStringList{text::tr(told)});
    EXPECT_FALSE(QFileInfo::exists(device("음악")));
    EXPECT_EQ(ui_.opened, 0);
  }

  // With room, a cancel mid-file asks, closes the dialog and keeps the part.
  space_.bytes.reset();
  prompter_.clear();
  prompter_.answer({true});
  ui_.onReport = [this](const ProgressState& s) {
    if (s.done() > 0 && !s.cancelled()) ui_.cancel();
  };
  download({"음악"});
  EXPECT_EQ(prompter_.texts(), QStringList{text::tr(text::kCancelDownload)});
  EXPECT_EQ(ui_.closed, 1);
  EXPECT_EQ(rowNames(List::kLocal), QStringList{"음악"});  // refreshed
  const QString song = "음악/demo song.mp3";
  const qint64 part = QFileInfo(device(song)).size();
  EXPECT_GT(part, 0);
  EXPECT_LT(part, QFileInfo(disk(song)).size());

  // A disk with no free block: the no-space form, and nothing sent.
  QFile filler(disk("filler.bin"));
  ASSERT_TRUE(filler.open(QIODevice::WriteOnly) && filler.resize(qint64(2) << 30));
  writeFile(device("up.txt"), "up");
  upload({"up.txt"});
  EXPECT_EQ(ui_.no_space, QStringList{text::tr(text::kDiskFull)});
  EXPECT_FALSE(QFileInfo::exists(disk("up.txt")));
  EXPECT_EQ(ui_.opened, 1);  // only by the download
}

TEST_F(TransferTest, ClubDisksDownloadByKeyAndUploadIntoKeyedFolders) {
  open(1);  // 데모 클럽
  download({"공지"});
  EXPECT_EQ(contentOf(device("공지/회칙.txt")), "1. 서로 존중합시다.\n");

  // Up into 자료실 (listed by its key), then down again elsewhere: the same bytes.
  QByteArray bytes(200000, '\0');
  for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  writeFile(device("묶음/안/올림.bin"), bytes);
  writeFile(device("묶음/올림.bin"), "top");
  explorer_.openRow(List::kRemote, rowOf(List::kRemote, "자료실"));
  upload({"묶음"});
  EXPECT_EQ(prompter_.texts(), QStringList());
  EXPECT_EQ(rowNames(List::kRemote), (QStringList{"묶음", "발표 자료.bin"}));
  QDir(device("묶음")).removeRecursively();
  download({"묶음"});
  EXPECT_EQ(contentOf(device("묶음/안/올림.bin")), bytes);
  EXPECT_EQ(contentOf(device("묶음/올림.bin")), "top");
}

TEST_F(TransferTest, NamesThatWouldLeaveTheFolderAndOverlongPathsAreLeftOut) {
  writeFile(disk("문서/..\\..\\escape.txt"), "out");
  open(0);
  download({"문서"});
  expectToldOnce("escape.txt");
  EXPECT_FALSE(QFileInfo::exists(device("문서/..\\..\\escape.txt")));
  EXPECT_EQ(digests(device("문서")).size(), 3);  // the others came down

  // A local file whose host path would not fit the transfer record.
  QString deep = "깊은";
  for (int i = 0; i < 3; ++i) deep += "/" + QString(60, QChar(u'가' + i));  // 180 bytes each
  writeFile(device(deep + "/f.txt"), "deep");
  writeFile(device("깊은/얕은.txt"), "shallow");
  upload({"깊은"});
  expectToldOnce(text::tr(text::kPathTooLong).arg(deep));
  EXPECT_EQ(contentOf(disk("깊은/얕은.txt")), "shallow");
}

TEST_F(TransferTest, AResumedPartThatIsNotTheFilesStartIsSentAgainWithOneNotice) {
  open(0);
  writeFile(device("읽어 주세요.txt"), "not the start");
  ui_.answers[Question::kResume] = {{Answer::kResume, false}};
  download({"읽어 주세요.txt"});
  EXPECT_EQ(contentOf(device("읽어 주세요.txt")), contentOf(disk("읽어 주세요.txt")));
  expectToldOnce(text::tr(text::kSentAgainFromStart).arg("\\읽어 주세요.txt"));
}

// The demo user's disks in a configuration.
std::vector<devserver::DiskConfig>& demoDisks(devserver::Config& config) {
  for (devserver::AccountConfig& account : config.accounts)
    if (account.id == "demo") return account.disks;
  throw std::runtime_error("no demo account");
}

// The personal disk handed out with each session mode in turn: every way of changing it is
// refused, with one message and before anything is sent, where the mode does not allow it.
class RightsTest : public TransferTest, public ::testing::WithParamInterface<int> {
 protected:
  RightsTest() : TransferTest([](devserver::Config& c) { demoDisks(c)[0].mode = GetParam(); }) {}
  FileOperations operations_{explorer_, document_, prompter_};
};

TEST_P(RightsTest, ChangesTheModeDoesNotAllowAreRefusedBeneathTheWidgets) {
  const int mode = GetParam();
  const bool create = mode != 3, change = mode == 1 || mode == 4;
  writeFile(device("올림.txt"), "up");
  open(0);
  ASSERT_EQ(document_.sessionMode(), mode);

  upload({"올림.txt"});
  EXPECT_EQ(QFileInfo::exists(disk("올림.txt")), create);
  const int made = operations_.newFolder(List::kRemote);
  EXPECT_EQ(made >= 0, create);
  // The folder just made is named at once even where renaming is refused, but only once.
  if (create) {
    EXPECT_TRUE(operations_.rename(List::kRemote, made, "지은 이름"));
    EXPECT_EQ(operations_.rename(List::kRemote, made, "또 지은 이름"), change);
  }
  EXPECT_EQ(operations_.rename(List::kRemote, rowOf(List::kRemote, "문서"), "서류"), change);
  prompter_.answer({true});
  operations_.remove(List::kRemote, {rowOf(List::kRemote, "음악")});
  EXPECT_EQ(QDir(disk("음악")).exists(), !change);
  EXPECT_EQ(QDir(disk("지은 이름")).exists(), mode == 2);

  const QString refused = text::tr(text::kNoRights);
  const QStringList told[] = {{},
                              {text::tr(text::kDeleteFolder)},
                              {refused, refused, refused},
                              {refused, refused, refused, refused},
                              {text::tr(text::kDeleteFolder)}};
  EXPECT_EQ(prompter_.texts(), told[mode]);
}

INSTANTIATE_TEST_SUITE_P(SessionModes, RightsTest, ::testing::Values(1, 2, 3, 4));

// A personal disk of 0 MB, the user's only disk: before connecting and before an upload the
// user is asked Yes/No whether to apply for capacity; No leaves the disk closed.
class ZeroCapacityTest : public TransferTest {
 protected:
  ZeroCapacityTest()
      : TransferTest(
            [](devserver::Config& c) {
              demoDisks(c).resize(1);
              demoDisks(c)[0].quota_mb = 0;
            },
            1) {}
};

TEST_F(ZeroCapacityTest, TheQuestionIsYesNoAndNoLeavesTheDiskClosed) {
  bool disconnect_asked = false;
  QObject::connect(&transfers_, &TransferManager::disconnectRequested,
                   [&] { disconnect_asked = true; });
  writeFile(device("올림.txt"), "up");
  prompter_.answer({false, true, false});
  EXPECT_FALSE(connectDisk(0));
  open(0);
  upload({"올림.txt"});
  EXPECT_TRUE(disconnect_asked && !QFileInfo::exists(disk("올림.txt")));
  ASSERT_EQ(prompter_.prompts().size(), 3u);
  for (const testing::Prompt& p : prompter_.prompts()) {
    EXPECT_TRUE(p.yesNo);
    EXPECT_EQ(p.text, text::tr(text::kZeroCapacity));
  }
}

TEST(ProgressTexts, NumbersSpeedsTimesAndPercentsReadAsTheDialogShowsThem) {
  // clang-format off
  const std::pair<QString, QString> cases[] = {
      {groupedNumber(0), "0"},                   {groupedNumber(999), "999"},
      {groupedNumber(1000), "1,000"},            {groupedNumber(1234567), "1,234,567"},
      {groupedNumber(UINT64_MAX), "18,446,744,073,709,551,615"},
      {speedText(0, 0), " 0.00 k/s"},            {speedText(5000, 0), " 0.00 k/s"},  // no time yet
      {speedText(123456, 100), "1234.56 k/s"},
      {remainingText(0), "0초"},                 {remainingText(59), "59초"},
      {remainingText(60), "1분 0초"},            {remainingText(3599), "59분 59초"},
      {remainingText(3600), "1시간 0분 0초"},    {remainingText(90061), "25시간 1분 1초"},
      {percentText(0), "  0 %"},                 {percentText(5), "  5 %"},
      {percentText(100), "100 %"},
  };
  // clang-format on
  for (const auto& [got, shown] : cases) EXPECT_EQ(got, shown);
}

TEST(ProgressTexts, CounterBarsAndLinesFollowTheBatch) {
  ProgressState s;
  s.begin(ProgressState::Mode::kDownload, 3, 3000, "/My zavel/문서");
  EXPECT_EQ(s.filePercent(), 0);  // nothing started yet
  s.startFile("\\a", 0, 1000);
  s.report(500, 1000, 100);  // 5 bytes a millisecond
  EXPECT_EQ(s.filePercent(), 50);
  EXPECT_EQ(s.overallPercent(), 16);
  EXPECT_EQ(s.sizeLine(), "500 / 3,000 byte");
  EXPECT_EQ(s.speedLine(), " 5.00 k/s");
  EXPECT_EQ(s.remainingLine(), "0초");
  s.report(1000, 1000, 200);
  s.report(1000, 1000, 210);  // a second report at the end moves nothing
  s.fileDone();
  EXPECT_EQ(s.counterLine(), "2 / 3");
  EXPECT_EQ(s.finished(), 1000u);
  // A resumed file starts with its bytes done; its speed counts only what moved now.
  s.startFile("\\b", 1500, 2000);
  EXPECT_EQ(s.filePercent(), 75);
  EXPECT_EQ(s.overallPercent(), 83);
  s.report(1600, 2000, 1000);
  s.setRetrying(2, 5);  // a lost connection: the state line says so, the bars stay
  EXPECT_EQ(s.counterLine(), text::tr(text::kReconnecting).arg(2).arg(5));
  EXPECT_EQ(s.filePercent(), 80);
  s.setRetrying(0, 0);
  EXPECT_EQ(s.speedLine(), " 0.10 k/s");
  EXPECT_EQ(s.remainingLine(), "4초");
  s.fileDone();
  EXPECT_FALSE(s.complete());
  s.finishWithoutBytes("\\c");
  EXPECT_TRUE(s.complete());
  EXPECT_EQ(s.counterLine(), "3 / 3");
  EXPECT_EQ(s.overallPercent(), 100);
  EXPECT_EQ(s.cancelQuestion(), text::tr(text::kCancelDownload));
}

}  // namespace
}  // namespace zavel::app
