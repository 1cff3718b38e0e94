// The main window as a desktop program: its place, split and columns come back at the next
// start, a header click sorts, and a batch that ends while the user is elsewhere is told on
// the desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <tuple>

#include "app/signin/settings_store.h"
#include "app/ui/main_frame.h"
#include "app/ui/notifier.h"
#include "app/ui/window_geometry.h"
#include "tests/app/support/demo_explorer.h"

namespace zavel::app {
namespace {

using testing::child;

TEST(RestoredGeometry, KeepsWhatIsOnTheScreensAndBringsBackWhatIsNot) {
  const QRect left(0, 0, 1920, 1050);  // a panel below
  const QRect right(1920, 0, 1280, 1024);
  // The saved rectangle, the screens there are now (the primary first), where it opens.
  const std::tuple<const char*, std::optional<QRect>, QList<QRect>, QRect> cases[] = {
      {"on a screen", QRect(100, 80, 640, 600), {left, right}, QRect(100, 80, 640, 600)},
      {"across both", QRect(1700, 100, 600, 500), {left, right}, QRect(1700, 100, 600, 500)},
      {"partly off", QRect(1600, 700, 640, 600), {left}, QRect(1280, 450, 640, 600)},
      {"mostly on the second", QRect(2800, 9, 640, 600), {left, right}, QRect(2560, 9, 640, 600)},
      {"its screen gone", QRect(2200, 100, 800, 700), {left}, QRect(560, 175, 800, 700)},
      {"gone, primary right", QRect(-900, 0, 800, 700), {right, left}, QRect(2160, 162, 800, 700)},
      {"larger than the screen", QRect(100, 50, 2500, 1400), {left}, QRect(0, 0, 1920, 1050)},
      {"nothing saved", std::nullopt, {left, right}, QRect(640, 225, 640, 600)},
  };
  for (const auto& [what, saved, screens, opened] : cases)
    EXPECT_EQ(restoredGeometry(saved, screens, QSize(640, 600)), opened) << what;
}

class FrameTest : public testing::DemoExplorerTest {
 protected:
  // A window as the program opens one (with the settings), shown in front or not.
  std::unique_ptr<MainFrame> newFrame(bool show = true) {
    auto frame = std::make_unique<MainFrame>(document_, prompter_, device_.path());
    frame->remember(settings_);
    frame->start();
    if (show) {
      frame->show();
      frame->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }
    return frame;
  }

  QTemporaryDir dir_;
  SettingsStore settings_{dir_.filePath("zavel.conf")};
};

// The type and date columns a list shows.
QStringList optionalColumns(QTreeView* list) {
  QStringList out;
  for (const int column : {kColType, kColDate})
    if (!list->isColumnHidden(column))
      out << list->model()->headerData(column, Qt::Horizontal).toString();
  return out;
}

// A right click on the list's header, then a click on the pop-up's item.
void chooseFromHeader(QTreeView* list, const QString& item) {
  QWidget* header = list->header()->viewport();
  const QPoint at(10, header->height() / 2);
  QContextMenuEvent click(QContextMenuEvent::Mouse, at, header->mapToGlobal(at));
  QCoreApplication::sendEvent(header, &click);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  for (QAction* action : menu->actions())
    if (action->text() == item && action->isCheckable())
      return QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
  ADD_FAILURE() << "no item " << item.toStdString();
}

TEST_F(FrameTest, SizePlaceSplitAndColumnsComeBackAsLeftAndOntoAScreenThatIsThere) {
  // The list, the header's items chosen in turn, the columns shown afterwards.
  const std::tuple<const char*, QStringList, QStringList> columns[] = {
      {"remoteList", {"날짜"}, {"날짜"}},
      {"localList", {"종류", "날짜", "종류"}, {"날짜"}},
  };
  QList<int> split;
  {
    auto frame = newFrame();
    frame->setGeometry(QRect(60, 40, 700, 520));
    auto* splitter = child<QSplitter>(frame.get(), "explorerView");
    splitter->setSizes({150, 320});
    split = splitter->sizes();
    for (const auto& [name, chosen, shown] : columns) {
      auto* list = child<QTreeView>(frame.get(), name);
      EXPECT_EQ(optionalColumns(list), QStringList()) << name;
      for (const QString& item : chosen) chooseFromHeader(list, item);
      EXPECT_EQ(optionalColumns(list), shown) << name;
    }
    frame->closeWithoutAsking();
  }
  auto again = newFrame();
  EXPECT_EQ(again->geometry(), QRect(60, 40, 700, 520));
  EXPECT_EQ(child<QSplitter>(again.get(), "explorerView")->sizes(), split);
  for (const auto& [name, chosen, shown] : columns)
    EXPECT_EQ(optionalColumns(child<QTreeView>(again.get(), name)), shown) << name;

  // Left on a screen that is no longer there: back on this one, whole.
  settings_.writeInt("window", "x", 5000);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(newFrame(false)->geometry()));
}

TEST_F(FrameTest, AHeaderClickSortsAsTheSortButtonDoesAndBothThenShowIt) {
  testing::writeFile(device_.filePath("a"), QByteArray(2000, 'x'));
  testing::writeFile(device_.filePath("b"), "x");
  auto frame = newFrame();
  QHeaderView* header = child<QTreeView>(frame.get(), "localList")->header();
  auto* sort = child<QToolButton>(frame.get(), "localSortButton");
  const auto first = [&] { return header->model()->index(0, kColName).data().toString(); };
  const auto button = [&](int column) {
    for (QAction* choice : sort->menu()->actions())
      if (choice->data().toInt() == column) choice->trigger();
  };
  button(kColSize);
  const QString by_size = sort->text();
  EXPECT_EQ(header->sortIndicatorSection(), int{kColSize});
  button(kColName);
  ASSERT_EQ(first(), "a");
  EXPECT_EQ(header->sortIndicatorSection(), int{kColName});
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(kColSize) + 5, header->height() / 2));
  EXPECT_EQ(first(), "b");
  EXPECT_EQ(sort->text(), by_size);
  EXPECT_EQ(header->sortIndicatorSection(), int{kColSize});
}

// Records every notice, and how many messages were told before it.
struct RecordingNotifier : Notifier {
  void notify(const QString& title, const QString& body) override {
    notices << QString("%1|%2|%3").arg(title, body).arg(prompter->texts().size());
  }
  const testing::ScriptedPrompter* prompter;
  QStringList notices;
};

TEST_F(FrameTest, ABatchThatEndsWhileTheWindowIsNotInFrontIsToldOnTheDesktopOnce) {
  enum class Window { kInFront, kHidden, kMinimized };
  testing::writeFile(device_.filePath("올림.txt"), "up");
  QDir(device_.path()).mkdir("읽어 주세요.txt");  // a folder where a file must go
  const QString folder = "\n폴더: " + QDir(device_.path()).absolutePath() + "|";
  // How the window stands, a download (else an upload) of a row, the notice (a failure's goes
  // out while its message still waits for the user).
  const std::tuple<Window, bool, QString, QString> cases[] = {
      {Window::kInFront, true, "문서", ""},
      {Window::kHidden, true, "문서", "다운로드 완료|3개 파일을 다운로드했습니다" + folder + "0"},
      {Window::kMinimized, false, "올림.txt",
       "업로드 완료|1개 파일을 업로드했습니다\n폴더: /My zavel|0"},
      {Window::kHidden, true, "읽어 주세요.txt",
       "다운로드 실패|오류로 멈췄습니다. 1개 파일 중 0개를 다운로드했습니다" + folder + "0"},
  };
  for (const auto& [window, down, row, notice] : cases) {
    SCOPED_TRACE(row.toStdString());
    QDir(device_.filePath("문서")).removeRecursively();  // no question before the download
    prompter_.clear();
    RecordingNotifier notifier;
    notifier.prompter = &prompter_;
    auto frame = newFrame(window == Window::kInFront);
    frame->setNotifier(&notifier);
    if (window == Window::kMinimized) frame->showMinimized();
    ASSERT_TRUE(frame->explorer().connectSelected({0}));
    const FileListModel& model = down ? frame->explorer().remote() : frame->explorer().local();
    QList<int> rows;
    for (int r = 0; r < model.rowCount(); ++r)
      if (model.cell(r, kColName) == row) rows << r;
    if (down)
      frame->transfers().download(rows);
    else
      frame->transfers().upload(rows);
    EXPECT_EQ(notifier.notices, notice.isEmpty() ? QStringList() : QStringList{notice});
    EXPECT_EQ(prompter_.texts().size(), notice.contains("실패") ? 1 : 0);
  }
}

}  // namespace
}  // namespace zavel::app
