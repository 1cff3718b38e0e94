// The program as a person meets it: the sign-in dialog's controls, signing in by typing,
// and the main window's disk list; and the built program signing in with launch keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <tuple>

#include "app/signin/account_store.h"
#include "app/signin/settings_store.h"
#include "app/ui/main_frame.h"
#include "app/ui/program.h"
#include "app/ui/sign_in_dialog.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/demo_server.h"
#include "tests/app/support/fake_auth_server.h"
#include "tests/app/support/widgets.h"

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

  // Makes the row named `name` current and presses Enter on it.
  static void enter(QTreeView* view, const QString& name) {
    const auto found = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, name);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    view->setCurrentIndex(found[0]);
    QTest::keyClick(view, Qt::Key_Return);
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
    // The boxes reach the logic (its rules: SignInTest.CheckBoxRules).
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
  enter(list, "My zavel");
  EXPECT_EQ(path->text(), " My zavel ▼");
  // Files dropped from the desktop onto an open disk are uploaded, the window disabled
  // while the batch runs.
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
  ASSERT_NE(frame->transferUi().dialog(), nullptr);
  EXPECT_TRUE(frame->transfers().progress().complete());
  QTest::keyClick(list, Qt::Key_Backspace);
  EXPECT_EQ(cell(0, 1), "연결됨");
  EXPECT_EQ(path->text(), "전체 ZAVEL 보기 ▼");

  ASSERT_EQ(local->model()->rowCount(), 1);
  // F2 edits the name in place; Enter renames.
  local->setCurrentIndex(local->model()->index(0, 0));
  local->selectionModel()->select(local->currentIndex(),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QTest::keyClick(local, Qt::Key_F2);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->setText("여행 사진");  // QTest types ASCII only
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(
      waitFor([&] { return local->model()->index(0, 0).data().toString() == "여행 사진"; }, 5000));
  EXPECT_TRUE(QDir(dir_.filePath("device/여행 사진")).exists());
  enter(local, "여행 사진");
  EXPECT_EQ(child<QToolButton>(frame, "localPathButton")->text(), " 여행 사진 ▼");

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

}  // namespace
}  // namespace zavel::app
