// The program on the offscreen platform as a person meets it: the sign-in dialog's controls,
// signing in by typing, the main window's disk list, and the built program signing in with
// launch keys; the shell against the demo devserver (commands by their numbers, logout and
// signing in under another name, disconnect in both modes, exit, the capacity message); the
// settings dialog with its folder chooser, the mail dialog's "전송", and the progress and
// conflict dialogs of a transfer batch (what they show, which buttons they offer when, and
// what each button hands back).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrlQuery>
#include <tuple>

#include "app/explorer/commands.h"
#include "app/explorer/list_rows.h"
#include "app/explorer/settings_texts.h"
#include "app/explorer/shell_texts.h"
#include "app/explorer/texts.h"
#include "app/signin/account_store.h"
#include "app/signin/settings_store.h"
#include "app/ui/conflict_dialog.h"
#include "app/ui/folder_chooser.h"
#include "app/ui/mail_dialog.h"
#include "app/ui/main_frame.h"
#include "app/ui/program.h"
#include "app/ui/qt_transfer_ui.h"
#include "app/ui/settings_dialog.h"
#include "app/ui/sign_in_dialog.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/demo_explorer.h"
#include "tests/app/support/demo_server.h"
#include "tests/app/support/fake_auth_server.h"

namespace zavel::app {
namespace {

using testing::child;
using testing::waitFor;

void click(QWidget* parent, const char* name) {
  QTest::mouseClick(child<QWidget>(parent, name), Qt::LeftButton);
}

// Starts the built program on the offscreen platform; its settings below config, if given.
void startZavel(QProcess& zavel, const QStringList& args, const QString& config = {}) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  if (!config.isEmpty()) env.insert("XDG_CONFIG_HOME", config);
  zavel.setProcessEnvironment(env);
  zavel.start(ZAVEL_PROGRAM, args);
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    SettingsStore settings(settingsPath());
    settings.writeText("server", "ip", "127.0.0.1");
    settings.writeInt("server", "port", demo_.server().portalPort());
  }

  QString settingsPath() const { return dir_.filePath("vemar/zavel.conf"); }

  ProgramOptions options(uint16_t auth_port = 0) {
    ProgramOptions o;
    o.authPort = auth_port ? auth_port : demo_.server().authPort();
    o.settingsPath = settingsPath();
    o.filePort = demo_.server().filePort();
    o.deviceRoot = dir_.filePath("device");
    QDir().mkpath(o.deviceRoot + "/사진");
    return o;
  }

  // Runs step on the modal dialog once it is up.
  static void onDialog(std::function<void(QWidget*)> step) {
    QTimer::singleShot(0, [step] {
      waitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
      step(QApplication::activeModalWidget());
    });
  }

  // Drops the device's 사진 folder from the desktop onto the view.
  void drop(QTreeView* view) {
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(dir_.filePath("device/사진"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &enter);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &event);
  }

  testing::DemoServer demo_;
  QTemporaryDir dir_;
};

TEST_F(ProgramTest, EveryControlIsNamedForTestsAndAssistiveTechnology) {
  testing::FakeAuthServer silent;
  Program program(options(silent.port()));
  onDialog([](QWidget* dialog) {
    // clang-format off
    const std::pair<const char*, QString> controls[] = {
        {"idBox", "아이디"}, {"domainBox", "도메인명"}, {"passwordBox", "비밀번호"},
        {"savePasswordBox", "비밀번호 저장"}, {"autoConnectBox", "자동 접속"},
        {"deleteInfoBox", "접속정보 삭제"}, {"signInButton", "로그인"}, {"cancelButton", "취소"},
        {"atLabel", "@"}};
    // clang-format on
    for (const auto& [name, accessible] : controls) {
      auto* w = child<QWidget>(dialog, name);
      EXPECT_EQ(w ? w->accessibleName() : "<none>", accessible) << name;
    }
    auto* domains = child<QComboBox>(dialog, "domainBox");
    ASSERT_EQ(domains->count(), 5);
    EXPECT_EQ(domains->itemText(0), "vemar.net");

    // Working view while the router stays silent; cancel brings the idle view back.
    child<QComboBox>(dialog, "idBox")->setEditText("demo");
    click(dialog, "signInButton");
    EXPECT_TRUE(child<QWidget>(dialog, "workingView")->isVisible());
    EXPECT_FALSE(child<QWidget>(dialog, "signInButton")->isVisible());
    click(dialog, "cancelButton");
    EXPECT_TRUE(child<QWidget>(dialog, "idleView")->isVisible());
    // The boxes reach the logic (its rules: SignInTest, the remembered-id test).
    click(dialog, "autoConnectBox");
    EXPECT_TRUE(child<QCheckBox>(dialog, "savePasswordBox")->isChecked());
    static_cast<QDialog*>(dialog)->done(QDialog::Rejected);
  });
  EXPECT_FALSE(program.signIn());
}

TEST_F(ProgramTest, TypedPasswordSignsInAndTheMainWindowListsTheDisks) {
  Program program(options());
  onDialog([](QWidget* dialog) {
    QTest::keyClicks(child<QComboBox>(dialog, "idBox")->lineEdit(), "demo");
    auto* domain = child<QComboBox>(dialog, "domainBox");
    domain->lineEdit()->clear();
    QTest::keyClicks(domain->lineEdit(), "zavel.net");
    QTest::keyClicks(child<QLineEdit>(dialog, "passwordBox"), "demo");
    click(dialog, "signInButton");
  });
  ASSERT_TRUE(program.signIn());
  program.showMainWindow();
  MainFrame* frame = program.mainFrame();
  auto* list = child<QTreeView>(frame, "remoteList");
  const auto cell = [&](int row, int column) {
    return list->model()->index(row, column).data().toString();
  };
  ASSERT_TRUE(waitFor([&] { return list->model()->rowCount() == 3; }, 5000));
  QStringList rows;
  for (int r = 0; r < 3; ++r) rows << cell(r, 0) + "|" + cell(r, 1);
  EXPECT_EQ(rows, (QStringList{"My zavel|끊김", "데모 클럽|끊김", "사진 동호회|끊김"}));
  EXPECT_EQ(list->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(), "My zavel");
  // Enter opens the disk; Backspace goes back up to the disk list, the disk still connected.
  auto* path = child<QToolButton>(frame, "remotePathButton");
  list->setCurrentIndex(list->model()->index(0, 0));
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(path->text(), " My zavel ▼");
  // Desktop files dropped on the remote list are uploaded, the window disabled while the
  // batch runs (the batch itself: TransferTest).
  bool disabled_in_batch = false;
  QObject::connect(&frame->transfers(), &TransferManager::batchStarted,
                   [&] { disabled_in_batch = !frame->isEnabled(); });
  QList<QUrl> dropped;
  QObject::connect(
      frame, &MainFrame::transferRequested,
      [&](ExplorerLogic::List, const QList<int>&, const QList<QUrl>& urls) { dropped << urls; });
  auto* local = child<QTreeView>(frame, "localList");
  drop(list);
  drop(local);  // only the remote list takes desktop files
  EXPECT_EQ(dropped.size(), 1);
  EXPECT_TRUE(disabled_in_batch);
  EXPECT_TRUE(frame->isEnabled());
  QTest::keyClick(list, Qt::Key_Backspace);
  EXPECT_EQ(cell(0, 1), "연결됨");
  EXPECT_EQ(path->text(), "전체 ZAVEL 보기 ▼");

  // F2 edits the name in place and Enter renames (the rules: DocumentTest).
  local->setCurrentIndex(local->model()->index(0, 0));
  QTest::keyClick(local, Qt::Key_F2);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->setText("여행 사진");  // QTest types ASCII only
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(waitFor([&] { return QDir(dir_.filePath("device/여행 사진")).exists(); }, 5000));

  // The account was remembered with its password (the file's rules: AccountStoreTest).
  SettingsStore settings(settingsPath());
  EXPECT_EQ(AccountStore(settings).restorePassword("demo@zavel.net"), "demo");
}

TEST_F(ProgramTest, TheBuiltProgramSignsInWithLaunchKeys) {
  QProcess zavel;
  startZavel(zavel,
             {"--auth-server", QString("127.0.0.1:%1").arg(demo_.server().authPort()),
              "zavel-auth:u_id=demo;u_sessionkey=demo-session-key"},
             dir_.path());
  ASSERT_TRUE(zavel.waitForStarted());
  // Signed in and the disk list read: the program logs its success.
  EXPECT_TRUE(waitFor([&] { return !demo_.connectLog().empty(); }, 20000));
  const auto log = demo_.connectLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("\"sissuc\":\"Y\""), std::string::npos) << log[0];
  EXPECT_EQ(zavel.state(), QProcess::Running);  // the main window stays up
  zavel.kill();
  zavel.waitForFinished();
}

TEST(ProgramCommandLine, HelpAndWrongUsage) {
  // The arguments, the exit status, what the output contains.
  const std::tuple<QStringList, int, const char*> cases[] = {
      {{"--help"}, 0, "--auth-server <HOST[:PORT]>"},
      {{"--auth-server", "host:0"}, 2, "--auth-server takes HOST or HOST:PORT"},
      {{"--auth-server", "host:x"}, 2, "--auth-server takes HOST or HOST:PORT"},
      {{"--device-root", "/no/such/folder"}, 2, "no such folder"},
      {{"zavel-auth:u_id=a", "zavel-auth:u_id=b"}, 2, "one launch text at most"},
  };
  for (const auto& [args, status, output] : cases) {
    SCOPED_TRACE(args.join(' ').toStdString());
    QProcess zavel;
    startZavel(zavel, args);
    ASSERT_TRUE(zavel.waitForFinished(20000));
    EXPECT_EQ(zavel.exitCode(), status);
    const QString out = zavel.readAllStandardOutput() + zavel.readAllStandardError();
    EXPECT_TRUE(out.contains(output)) << out.toStdString();
  }
}

using List = ExplorerLogic::List;

TEST(ShortSize, ReadsAsTheCapacityMessageWritesIt) {
  const std::pair<uint64_t, QString> cases[] = {{0, "0.00B"},
                                                {1023, "1023B"},
                                                {1024, "1.00KB"},
                                                {1536, "1.50KB"},
                                                {102400, "100KB"},
                                                {60ull << 20, "60.0MB"},
                                                {(1ull << 40) * 5, "5.00TB"},
                                                {UINT64_MAX, "16777216TB"}};
  for (const auto& [bytes, shown] : cases) EXPECT_EQ(shortSize(bytes), shown) << bytes;
  EXPECT_EQ(capacityMessage("My zavel", {1048576, 40, 100}),
            "My zavel\n총용량: 100MB\n사용량: 60.0MB\n남은 용량:40.0MB");
  // More free blocks than there are: nothing used, never a wrapped count.
  EXPECT_EQ(capacityMessage("x", {1024, 9, 4}),
            "x\n총용량: 4.00KB\n사용량: 0.00B\n남은 용량:4.00KB");
}

class ShellTest : public testing::DemoExplorerTest {
 protected:
  ShellTest() {
    frame_.start();
    frame_.explorer().connectSelected({0});
    prompter_.clear();
  }
  ExplorerLogic& explorer() { return frame_.explorer(); }

  MainFrame frame_{document_, prompter_, device_.path()};
};

TEST_F(ShellTest, EveryMenuCommandCarriesItsNumberAndLogoutAsksBeforeEndingTheSessions) {
  const int numbered[] = {
      kCmdLogin,     kCmdLoginAsOther, kCmdLogout, kCmdDisconnect, kCmdExit,
      kCmdRefresh,   kCmdCapacity,     kCmdUpload, kCmdDownload,   kCmdOpenDownloadFolder,
      kCmdNewFolder, kCmdDelete,       kCmdRename, kCmdSelectAll,  kCmdMail,
      kCmdSettings,  kCmdVersion};
  QList<int> found;
  for (QAction* action : frame_.menuBar()->findChildren<QAction*>())
    if (action->data().isValid()) found << action->data().toInt();
  for (int command : numbered) EXPECT_TRUE(found.contains(command)) << command;

  frame_.runCommand(kCmdCapacity);
  ASSERT_EQ(prompter_.texts().size(), 1);
  EXPECT_TRUE(prompter_.texts().value(0).startsWith("My zavel\n총용량: 1.00GB\n"));

  // Logout asks, and only OK ends the sessions.
  prompter_.clear();
  prompter_.answer({false, false, true});
  EXPECT_FALSE(frame_.shell().logoutAsOther());  // Cancel
  EXPECT_FALSE(frame_.shell().autoSignIn());
  EXPECT_EQ(frame_.shell().logoutQuestion(), text::tr(text::kLogoutQuestion));
  EXPECT_NE(document_.listing(), nullptr);
  EXPECT_FALSE(frame_.shell().logout());
  EXPECT_TRUE(frame_.shell().logout());
  EXPECT_EQ(prompter_.texts(),
            (QStringList{text::tr(text::kLogoutAsOtherQuestion), text::tr(text::kLogoutQuestion),
                         text::tr(text::kLogoutQuestion)}));
  EXPECT_EQ(document_.listing(), nullptr);
  EXPECT_TRUE(document_.disks().empty());
  EXPECT_EQ(explorer().remote().rowCount(), 0);
  EXPECT_FALSE(frame_.shell().signedIn());
  EXPECT_EQ(frame_.shell().capacityText(), std::nullopt);
}

// Disconnecting in the disk list: DocumentTest.OpensEachKindOfDiskWithItsRightsAndListsIt.
TEST_F(ShellTest, DisconnectCommandShowsTheDiskListAndExitAsksFirst) {
  // File-list mode: the listing disk goes, the disk list comes back.
  prompter_.answer({true, false});
  frame_.runCommand(kCmdDisconnect);
  EXPECT_EQ(explorer().mode(), ExplorerLogic::Mode::kDiskList);
  EXPECT_EQ(explorer().remote().cell(0, kColName), "My zavel");
  EXPECT_EQ(explorer().remote().cell(0, kColSize), text::tr(text::kDisconnected));
  frame_.show();
  frame_.runCommand(kCmdExit);  // Cancel
  EXPECT_TRUE(frame_.isVisible());
  EXPECT_EQ(prompter_.texts().last(), text::tr(text::kQuitQuestion));
  // The update notice closes the window without asking.
  frame_.updateAvailable();
  EXPECT_FALSE(frame_.isVisible());
  EXPECT_EQ(prompter_.prompts().back().title, text::tr(text::kUpdateTitle));
}

// What the window offers as a person sees it: the enabled commands of both menus (shown, so
// that they ask the rules) and the command bar, and the upload and download buttons.
QString offered(MainFrame& frame) {
  for (const char* name : {"connectionMenu", "fileMenu"}) {
    auto* menu = child<QMenu>(&frame, name);
    menu->popup(QPoint(0, 0));
    menu->hide();
  }
  const std::pair<int, const char*> judged[] = {
      {kCmdUpload, "up"},  {kCmdDownload, "down"},   {kCmdNewFolder, "new"}, {kCmdDelete, "del"},
      {kCmdRename, "ren"}, {kCmdDisconnect, "disc"}, {kCmdCapacity, "space"}};
  QStringList on;
  for (const auto& [command, name] : judged) {
    bool enabled = true;  // every action of the command: menu item and command-bar button
    for (QAction* action : frame.findChildren<QAction*>())
      if (action->data().toInt() == command) enabled = enabled && action->isEnabled();
    if (enabled) on << name;
  }
  on << "|";
  for (const char* button : {"uploadButton", "downloadButton"})
    if (child<QPushButton>(&frame, button)->isEnabled()) on << button;
  return on.join(' ');
}

// A press on a list's empty area, below its rows.
void pressEmpty(MainFrame& frame, const char* list) {
  QWidget* viewport = child<QTreeView>(&frame, list)->viewport();
  QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 5));
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 5));
}

TEST_F(ShellTest, ButtonsMenusAndTheCommandBarOfferOnlyWhatTheDiskAllows) {
  frame_.resize(640, 600);
  frame_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame_));
  explorer().chooseLevel(ExplorerLogic::List::kRemote, 0);  // the disk list, nothing selected
  EXPECT_EQ(offered(frame_), "|");

  // The read-only club, then the club the user may write; each with either list pressed.
  const std::tuple<int, const char*, QString> cases[] = {
      {2, "remoteList", "disc space |"},
      {2, "localList", "new del ren disc space |"},
      {1, "remoteList", "new del ren disc space |"},
      {1, "localList", "up new del ren disc space | uploadButton"},
  };
  for (const auto& [disk, list, shown] : cases) {
    SCOPED_TRACE(list);
    explorer().chooseLevel(ExplorerLogic::List::kRemote, 0);
    ASSERT_TRUE(explorer().connectSelected({disk}));
    pressEmpty(frame_, list);
    EXPECT_EQ(offered(frame_), shown);
  }
  // Read-only: a file dragged from the desktop onto the disk is not taken.
  explorer().chooseLevel(ExplorerLogic::List::kRemote, 0);
  ASSERT_TRUE(explorer().connectSelected({2}));
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(device_.path())});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(child<QTreeView>(&frame_, "remoteList")->viewport(), &enter);
  EXPECT_FALSE(enter.isAccepted());
  EXPECT_TRUE(prompter_.texts().isEmpty());
}

TEST_F(ShellTest, ASignInFromTheMenuFirstEndsTheOldListsSessions) {
  ZavelSession* old = document_.listing();
  ASSERT_NE(old, nullptr);
  frame_.shell().closeDisks();
  EXPECT_EQ(zavel_GetSessionPath(old), nullptr);  // no longer a session of the library
  EXPECT_EQ(document_.currentDisk(), nullptr);
  EXPECT_EQ(frame_.shell().capacityText(), std::nullopt);
  EXPECT_EQ(explorer().mode(), ExplorerLogic::Mode::kDiskList);
}

TEST_F(ShellTest, ThePopUpsRenameNamesTheRowHeld) {
  for (const char* name : {"a.txt", "b.txt"}) testing::writeFile(device_.filePath(name), "");
  explorer().fillLocal("");
  frame_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame_));
  auto* list = child<QTreeView>(&frame_, "localList");
  list->selectAll();  // a.txt is the first selected row; b.txt is held
  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions())
      if (action->data().toInt() == kCmdRename) menu->setActiveAction(action);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  emit list->customContextMenuRequested(list->visualRect(list->model()->index(1, 0)).center());
  auto* editor = list->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "b.txt");
}

// While the chooser runs: "위로", a double click on `enter`, then OK; records the drop-down.
void driveChooser(const QString& enter, QStringList& visited) {
  QTimer::singleShot(0, [enter, &visited] {
    auto* chooser = qobject_cast<FolderChooser*>(QApplication::activeModalWidget());
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chooser));
    child<QPushButton>(chooser, "upButton")->click();
    auto* list = child<QTreeWidget>(chooser, "folderList");
    const QList<QTreeWidgetItem*> rows = list->findItems(enter, Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0]->text(1), text::tr(text::kFolder));
    ASSERT_TRUE(list->viewport()->rect().contains(list->visualItemRect(rows[0])));
    // A double click as the platform delivers it: a click, then the double-click event.
    const QPoint at = list->visualItemRect(rows[0]).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    auto* box = child<QComboBox>(chooser, "visitedBox");
    for (int i = 0; i < box->count(); ++i) visited << box->itemText(i);
    visited << box->currentText();
    child<QPushButton>(chooser, "okButton")->click();
  });
}

TEST(SettingsDialogs, ApplyFollowsTheFolderChosenAndOkEndsTheDialog) {
  QTemporaryDir device;
  ASSERT_TRUE(QDir(device.path()).mkpath("Download") && QDir(device.path()).mkpath("Music"));
  SettingsLogic logic("\\download");
  SettingsDialog dialog(logic, DevicePaths(device.path()));
  dialog.show();
  auto* box = child<QLineEdit>(&dialog, "folderBox");
  auto* apply = child<QPushButton>(&dialog, "applyButton");
  EXPECT_TRUE(box->isReadOnly());
  EXPECT_EQ(box->text(), "\\download");
  EXPECT_FALSE(apply->isEnabled());

  // "\download" names no folder here; the chooser still starts there. Its rules for Apply:
  // SettingsLogic.
  QStringList visited;
  driveChooser("Music", visited);
  child<QPushButton>(&dialog, "chooseFolderButton")->click();
  EXPECT_EQ(visited, (QStringList{"\\download", "\\", "\\Music", "\\Music"}));
  EXPECT_EQ(box->text(), "\\Music");
  EXPECT_TRUE(apply->isEnabled());

  for (const char* press : {"saveButton", "cancelButton"}) {
    SCOPED_TRACE(press);
    dialog.setResult(-1);
    child<QPushButton>(&dialog, press)->click();
    EXPECT_EQ(dialog.result(),
              QString(press) == "saveButton" ? QDialog::Accepted : QDialog::Rejected);
  }
  EXPECT_EQ(dialog.folder(), "\\Music");
}

TEST(SettingsDialogs, SendOpensTheMailtoUrlOnlyForAPlausibleRecipient) {
  LoginInfo login = testing::user("demo", "@zavel.net");
  DiskEntry disk;
  disk.diskname = "My zavel";
  FileListModel remote;
  std::vector<ListRow> rows;
  rows.push_back(remoteRow({"/docs/a.bin", false, 2048, "", "", std::nullopt}, "/docs"));
  remote.setRows(std::move(rows));

  // The recipient, what the opener answers, the message shown, whether the dialog ends.
  const std::tuple<const char*, bool, const char*, bool> cases[] = {
      {"", true, text::kEnterRecipient, false},
      {"friend@example.com", false, text::kMailProgramFailed, false},
      {"friend@example.com", true, nullptr, true},
  };
  for (const auto& [recipient, opens, message, accepted] : cases) {
    SCOPED_TRACE(recipient);
    testing::ScriptedPrompter prompter;
    MailLogic logic(login, &disk, "/docs");
    ASSERT_TRUE(logic.collect(remote, {0}, prompter));
    QList<QUrl> opened;
    MailDialog dialog(logic, prompter, nullptr, [&](const QUrl& url) {
      opened << url;
      return opens;
    });
    dialog.show();
    EXPECT_EQ(child<QLineEdit>(&dialog, "senderBox")->text(), "demo@zavel.net");
    EXPECT_TRUE(child<QPlainTextEdit>(&dialog, "bodyBox")
                    ->toPlainText()
                    .startsWith("a.bin (2,048 byte)\n"));
    child<QLineEdit>(&dialog, "recipientBox")->setText(recipient);
    child<QLineEdit>(&dialog, "subjectBox")->setText("자료 & 사진");
    child<QPushButton>(&dialog, "sendButton")->click();

    EXPECT_EQ(prompter.texts(), message ? QStringList{text::tr(message)} : QStringList{});
    EXPECT_EQ(opened.size(), message == text::kEnterRecipient ? 0 : 1);
    if (!opened.isEmpty()) {
      EXPECT_EQ(opened[0].path(), "friend@example.com");
      EXPECT_EQ(QUrlQuery(opened[0]).queryItemValue("subject", QUrl::FullyDecoded), "자료 & 사진");
    }
    EXPECT_EQ(dialog.result() == QDialog::Accepted, accepted);
    EXPECT_EQ(dialog.isVisible(), !accepted);
  }
}

TEST(TransferDialogs, ProgressShowsTheStateAndOffersCloseOnlyOnceComplete) {
  ProgressState state;
  state.begin(ProgressState::Mode::kDownload, 1, 2000, "/My zavel/문서");
  bool folder_opened = false;
  int cancels = 0;
  QtTransferUi ui(nullptr, [&] { folder_opened = true; });
  ui.openProgress(state, [&] { ++cancels; });
  ProgressDialog* dialog = ui.dialog();
  ASSERT_NE(dialog, nullptr);
  state.startFile("\\문서\\a.bin", 0, 2000);
  state.report(1000, 2000, 10);
  ui.showProgress(true);
  EXPECT_EQ(child<QLabel>(dialog, "locationLabel")->text(), "/My zavel/문서");
  EXPECT_EQ(child<QLabel>(dialog, "nameLabel")->text(), "\\문서\\a.bin");
  EXPECT_EQ(child<QProgressBar>(dialog, "fileBar")->value(), 50);
  EXPECT_EQ(child<QLabel>(dialog, "sizeLabel")->text(), "1,000 / 2,000 byte");
  EXPECT_EQ(child<QLabel>(dialog, "counterLabel")->text(), "1 / 1");

  // Reports in quick succession are shown at most every 100 ms.
  const int refreshes = ui.refreshes();
  state.report(1500, 2000, 11);
  ui.showProgress(false);
  EXPECT_EQ(ui.refreshes(), refreshes);

  QPushButton* cancel = child<QPushButton>(dialog, "cancelButton");
  EXPECT_FALSE(child<QPushButton>(dialog, "closeButton")->isVisibleTo(dialog));
  cancel->click();
  QTest::keyClick(dialog, Qt::Key_Escape);
  EXPECT_EQ(cancels, 2);

  state.fileDone();
  ui.showProgress(true);
  EXPECT_FALSE(cancel->isVisibleTo(dialog));
  EXPECT_EQ(cancel->text(), text::tr(text::kDone));
  EXPECT_TRUE(child<QPushButton>(dialog, "closeButton")->isVisibleTo(dialog));
  EXPECT_EQ(child<QProgressBar>(dialog, "totalBar")->value(), 100);
  child<QPushButton>(dialog, "openFolderButton")->click();
  EXPECT_TRUE(folder_opened);
  EXPECT_FALSE(ui.progressOpen());
}

TEST(TransferDialogs, ConflictOffersResumeOnlyForASmallerTarget) {
  using Question = TransferUi::Question;
  using Answer = TransferUi::Answer;
  // The question, the button pressed, "apply to all" ticked, the answer handed back.
  const std::tuple<Question, const char*, bool, Answer> cases[] = {
      {Question::kResume, "resumeButton", true, Answer::kResume},
      {Question::kResume, "cancelButton", false, Answer::kSkip},
      {Question::kOverwrite, "overwriteButton", true, Answer::kOverwrite},
  };
  for (const auto& [question, press, tick, answer] : cases) {
    SCOPED_TRACE(press);
    ConflictDialog dialog(question, "\n\"a.bin\" 이 이미 존재합니다.", nullptr);
    EXPECT_EQ(dialog.findChild<QPushButton*>("resumeButton") != nullptr,
              question == Question::kResume);
    QTimer::singleShot(0, &dialog, [&] {
      child<QCheckBox>(&dialog, "applyToAllBox")->setChecked(tick);
      child<QPushButton>(&dialog, press)->click();
    });
    dialog.exec();
    EXPECT_EQ(dialog.choice().answer, answer);
    EXPECT_EQ(dialog.choice().applyToAll, tick);
  }

  ConflictDialog full(text::tr(text::kDiskFull), nullptr);
  EXPECT_EQ(full.findChildren<QPushButton*>().size(), 1);
  QTimer::singleShot(0, &full, [&] { child<QPushButton>(&full, "capacityButton")->click(); });
  full.exec();
  EXPECT_TRUE(full.capacityChosen());
}

}  // namespace
}  // namespace zavel::app
