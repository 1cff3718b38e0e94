// Download and upload batches against the demo devserver, with scripted conflict answers
// and a scripted progress dialog; the progress arithmetic and texts from tables.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <deque>
#include <map>

#include "app/explorer/texts.h"
#include "app/explorer/transfer_manager.h"
#include "tests/app/support/demo_explorer.h"

namespace zavel::app {
namespace {

using List = ExplorerLogic::List;
using Question = TransferUi::Question;
using Answer = TransferUi::Answer;

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
    open = true;
    ++opened;
  }
  bool progressOpen() const override { return open; }
  void showProgress(bool) override {
    // The first thing shown of each file: where it starts.
    if (state->currentName() != last_name) starts.push_back(state->done() - state->finished());
    last_name = state->currentName();
  }
  void closeProgress() override {
    open = false;
    ++closed;
  }
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
  bool open = false;
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
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    out[QDir(root).relativeFilePath(path)] =
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
  }
  return out;
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  file.open(QIODevice::ReadOnly);
  return file.readAll();
}

// Club-disk bytes move through a file server on the service's fixed port.
class TransferTest : public testing::DemoExplorerTest {
 protected:
  TransferTest() : DemoExplorerTest(true) {}

  void open(int disk) {
    explorer_.showDisks();
    ASSERT_TRUE(explorer_.connectSelected({disk})) << prompter_.texts().join("|").toStdString();
    explorer_.fillLocal("");
  }
  QString disk(const QString& rel = "") const {
    return QString::fromStdString((demo_.dataPath() / "disks" / "demo").string()) + "/" + rel;
  }
  QString device(const QString& rel = "") const { return device_.path() + "/" + rel; }
  void download(const QStringList& names) {
    QList<int> rows;
    for (const QString& n : names) rows << rowOf(List::kRemote, n);
    transfers_.download(rows);
  }
  void upload(const QStringList& names) {
    explorer_.fillLocal("");
    QList<int> rows;
    for (const QString& n : names) rows << rowOf(List::kLocal, n);
    transfers_.upload(rows);
  }
  std::vector<Question> kinds() const {
    std::vector<Question> out;
    for (const auto& [question, text] : ui_.asked) out.push_back(question);
    return out;
  }

  ScriptedUi ui_;
  FixedFreeSpace space_;
  TransferManager transfers_{explorer_, document_, prompter_, ui_, space_};
};

TEST_F(TransferTest, FolderTreesGoDownAndUpByteForByte) {
  open(0);
  download({"사진", "문서", "빈 폴더"});
  EXPECT_TRUE(prompter_.texts().isEmpty()) << prompter_.texts().join("|").toStdString();
  for (const char* folder : {"사진", "문서"})
    EXPECT_EQ(digests(device(folder)), digests(disk(folder)));
  EXPECT_TRUE(QDir(device("빈 폴더")).exists());
  EXPECT_TRUE(QFileInfo(device("문서/empty.txt")).exists());
  // Folders (사진, 여름 휴가, 문서, 빈 폴더) and five files; the dialog stays, complete.
  EXPECT_EQ(ui_.state->count(), 9);
  EXPECT_EQ(ui_.state->fileNumber(), 9);
  EXPECT_TRUE(ui_.state->complete());
  EXPECT_EQ(ui_.state->overallPercent(), 100);
  EXPECT_EQ(ui_.closed, 0);
  EXPECT_TRUE(transfers_.items().empty());
  EXPECT_EQ(transfers_.downloadFolder(), "\\");  // the root, as the settings write it
  EXPECT_EQ(rowNames(List::kLocal), (QStringList{"문서", "빈 폴더", "사진"}));

  // Up again, into another folder of the disk.
  explorer_.openRow(List::kRemote, rowOf(List::kRemote, "빈 폴더"));
  upload({"사진"});
  EXPECT_TRUE(prompter_.texts().isEmpty()) << prompter_.texts().join("|").toStdString();
  EXPECT_EQ(digests(disk("빈 폴더/사진")), digests(device("사진")));
  EXPECT_EQ(rowNames(List::kRemote), QStringList{"사진"});
}

TEST_F(TransferTest, OneItemBatchesCompleteEvenWithoutBytes) {
  open(0);
  struct Case {
    QString folder;  // entered first, "" for the root
    QString name;
  } cases[] = {{"", "빈 폴더"}, {"문서", "empty.txt"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    explorer_.chooseLevel(List::kRemote, 1);
    if (!c.folder.isEmpty()) explorer_.openRow(List::kRemote, rowOf(List::kRemote, c.folder));
    download({c.name});
    EXPECT_TRUE(QFileInfo::exists(device(c.name)));
    EXPECT_TRUE(ui_.state->complete());
    EXPECT_EQ(ui_.state->filePercent(), 100);
    EXPECT_EQ(ui_.state->counterLine(), "1 / 1");
  }
}

TEST_F(TransferTest, ExistingTargetsAskTheRightQuestionAndApplyToAllCoversOnlyIts) {
  open(0);
  const QByteArray report = readFile(disk("문서/report 2004.bin"));
  writeFile(device("문서/report 2004.bin"), report.left(50000));   // smaller: resume
  writeFile(device("문서/회의 메모.txt"), QByteArray(4000, 'x'));  // larger: overwrite
  writeFile(device("문서/empty.txt"), QByteArray());               // as large: overwrite
  // The overwrite answer is remembered for the second larger target; the resume question
  // is asked all the same.
  ui_.answers[Question::kOverwrite] = {{Answer::kOverwrite, true}};
  ui_.answers[Question::kResume] = {{Answer::kResume, false}};
  download({"문서"});
  std::vector<Question> asked = kinds();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(std::count(asked.begin(), asked.end(), Question::kOverwrite), 1);
  EXPECT_EQ(std::count(asked.begin(), asked.end(), Question::kResume), 1);
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
  EXPECT_EQ(readFile(device("문서/empty.txt")), "mine");
  EXPECT_EQ(ui_.asked.size(), 1u);
  EXPECT_TRUE(ui_.state->complete());
}

TEST_F(TransferTest, CancelMidFileKeepsThePartWhichThenResumesByteForByte) {
  open(0);
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
  EXPECT_EQ(readFile(device(song)), readFile(disk(song)).left(part));

  ui_.onReport = nullptr;
  ui_.answers[Question::kResume] = {{Answer::kResume, false}};
  ui_.starts.clear();
  download({"음악"});
  EXPECT_EQ(kinds(), std::vector<Question>{Question::kResume});
  EXPECT_EQ(ui_.starts.back(), static_cast<uint64_t>(part));
  EXPECT_EQ(digests(device("음악")), digests(disk("음악")));
}

TEST_F(TransferTest, TooLittleRoomStopsBeforeAnythingMoves) {
  open(0);
  struct Case {
    std::optional<uint64_t> free;
    const char* told;
  } cases[] = {
      {0, text::kNoRoom}, {1024, text::kNoRoom}, {1025, text::kNoRoomContinue},  // answered Cancel
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.told);
    prompter_.clear();
    prompter_.answer({false});
    space_.bytes = c.free;
    download({"음악"});
    EXPECT_EQ(prompter_.texts(), QStringList{text::tr(c.told)});
    EXPECT_FALSE(QFileInfo::exists(device("음악")));
    EXPECT_EQ(ui_.opened, 0);
  }

  // A disk with no free block: the no-space form, and nothing sent.
  space_.bytes.reset();
  QFile filler(disk("filler.bin"));
  ASSERT_TRUE(filler.open(QIODevice::WriteOnly) && filler.resize(qint64(2) << 30));
  writeFile(device("up.txt"), "up");
  upload({"up.txt"});
  EXPECT_EQ(ui_.no_space, QStringList{text::tr(text::kDiskFull)});
  EXPECT_FALSE(QFileInfo::exists(disk("up.txt")));
  EXPECT_EQ(ui_.opened, 0);
}

TEST_F(TransferTest, ClubDisksDownloadByKeyAndUploadIntoKeyedFolders) {
  open(1);  // 데모 클럽
  download({"공지", "모임 안내.txt"});
  EXPECT_TRUE(prompter_.texts().isEmpty()) << prompter_.texts().join("|").toStdString();
  EXPECT_EQ(readFile(device("공지/회칙.txt")), "1. 서로 존중합시다.\n");
  EXPECT_TRUE(readFile(device("모임 안내.txt")).startsWith("데모 클럽의 공유 디스크입니다."));

  // Up into 자료실 (listed by its key), then down again elsewhere: the same bytes.
  QByteArray bytes(200000, '\0');
  for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  writeFile(device("묶음/안/올림.bin"), bytes);
  writeFile(device("묶음/올림.bin"), "top");
  explorer_.openRow(List::kRemote, rowOf(List::kRemote, "자료실"));
  upload({"묶음"});
  EXPECT_TRUE(prompter_.texts().isEmpty()) << prompter_.texts().join("|").toStdString();
  EXPECT_EQ(rowNames(List::kRemote), (QStringList{"묶음", "발표 자료.bin"}));
  QDir(device("묶음")).removeRecursively();
  download({"묶음"});
  EXPECT_EQ(readFile(device("묶음/안/올림.bin")), bytes);
  EXPECT_EQ(readFile(device("묶음/올림.bin")), "top");
}

TEST_F(TransferTest, NamesThatWouldLeaveTheFolderAndOverlongPathsAreLeftOut) {
  writeFile(disk("문서/..\\..\\escape.txt"), "out");
  open(0);
  download({"문서"});
  ASSERT_EQ(prompter_.texts().size(), 1);
  EXPECT_TRUE(prompter_.texts()[0].contains("escape.txt")) << prompter_.texts()[0].toStdString();
  EXPECT_FALSE(QFileInfo::exists(device("문서/..\\..\\escape.txt")));
  EXPECT_EQ(digests(device("문서")).size(), 3);  // the others came down

  // A local file whose host path would not fit the transfer record.
  QString deep = "깊은";
  for (int i = 0; i < 3; ++i) deep += "/" + QString(60, QChar(u'가' + i));  // 180 bytes each
  writeFile(device(deep + "/f.txt"), "deep");
  writeFile(device("깊은/얕은.txt"), "shallow");
  prompter_.clear();
  upload({"깊은"});
  ASSERT_EQ(prompter_.texts().size(), 1);
  EXPECT_TRUE(prompter_.texts()[0].contains(text::tr(text::kPathTooLong).arg(deep)))
      << prompter_.texts()[0].toStdString();
  EXPECT_EQ(readFile(disk("깊은/얕은.txt")), "shallow");
}

TEST(ProgressTexts, NumbersSpeedsAndTimesReadAsTheDialogShowsThem) {
  const std::pair<uint64_t, QString> grouped[] = {{0, "0"},
                                                  {999, "999"},
                                                  {1000, "1,000"},
                                                  {1234567, "1,234,567"},
                                                  {UINT64_MAX, "18,446,744,073,709,551,615"}};
  for (const auto& [n, shown] : grouped) EXPECT_EQ(groupedNumber(n), shown);
  EXPECT_EQ(speedText(0, 0), " 0.00 k/s");
  EXPECT_EQ(speedText(123456, 100), "1234.56 k/s");
  const std::pair<uint64_t, QString> times[] = {{0, "0초"},
                                                {59, "59초"},
                                                {60, "1분 0초"},
                                                {3599, "59분 59초"},
                                                {3600, "1시간 0분 0초"},
                                                {90061, "25시간 1분 1초"}};
  for (const auto& [s, shown] : times) EXPECT_EQ(remainingText(s), shown);
  EXPECT_EQ(percentText(5), "  5 %");
  EXPECT_EQ(percentText(100), "100 %");
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
