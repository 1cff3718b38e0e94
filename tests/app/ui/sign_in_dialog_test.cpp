// The program as a person meets it: the sign-in dialog's controls, signing in by typing,
// and the main window's disk list; and the built program signing in with launch keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "app/signin/account_store.h"
#include "app/signin/settings_store.h"
#include "app/ui/main_frame.h"
#include "app/ui/program.h"
#include "app/ui/sign_in_dialog.h"
#include "tests/app/support/demo_server.h"
#include "tests/app/support/fake_auth_server.h"

namespace zavel::app {
namespace {

using testing::waitFor;

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

  testing::DemoServer demo_;
  QTemporaryDir dir_;
};

TEST_F(ProgramTest, EveryControlIsNamedForTestsAndAssistiveTechnology) {
  testing::FakeAuthServer silent;
  Program program(options(silent.port()));
  onDialog([](QWidget* dialog) {
    struct Control {
      const char* name;
      QString accessible;
    } controls[] = {
        {"idBox", "아이디"},
        {"domainBox", "도메인명"},
        {"passwordBox", "비밀번호"},
        {"savePasswordBox", "비밀번호 저장"},
        {"autoConnectBox", "자동 접속"},
        {"deleteInfoBox", "접속정보 삭제"},
        {"signInButton", "로그인"},
        {"cancelButton", "취소"},
        {"atLabel", "@"},
    };
    for (const Control& c : controls) {
      SCOPED_TRACE(c.name);
      auto* w = dialog->findChild<QWidget*>(c.name);
      ASSERT_NE(w, nullptr);
      EXPECT_EQ(w->accessibleName(), c.accessible);
    }
    EXPECT_EQ(dialog->windowTitle(), "ZAVEL 탐색기");
    auto* domains = dialog->findChild<QComboBox*>("domainBox");
    ASSERT_EQ(domains->count(), 5);
    EXPECT_EQ(domains->itemText(0), "vemar.net");

    // Working view while the router stays silent; cancel brings the idle view back.
    dialog->findChild<QComboBox*>("idBox")->setEditText("demo");
    QTest::mouseClick(dialog->findChild<QPushButton*>("signInButton"), Qt::LeftButton);
    EXPECT_TRUE(dialog->findChild<QWidget*>("workingView")->isVisible());
    EXPECT_FALSE(dialog->findChild<QWidget*>("signInButton")->isVisible());
    QTest::mouseClick(dialog->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    EXPECT_TRUE(dialog->findChild<QWidget*>("idleView")->isVisible());

    // Ticking auto connect ticks save password and clears delete connection info.
    auto* del = dialog->findChild<QCheckBox*>("deleteInfoBox");
    QTest::mouseClick(del, Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QCheckBox*>("autoConnectBox"), Qt::LeftButton);
    EXPECT_TRUE(dialog->findChild<QCheckBox*>("savePasswordBox")->isChecked());
    EXPECT_FALSE(del->isChecked());
    static_cast<QDialog*>(dialog)->done(QDialog::Rejected);
  });
  EXPECT_FALSE(program.signIn());
}

TEST_F(ProgramTest, TypedPasswordSignsInAndTheMainWindowListsTheDisks) {
  Program program(options());
  onDialog([](QWidget* dialog) {
    auto* id = dialog->findChild<QComboBox*>("idBox");
    QTest::keyClicks(id->lineEdit(), "demo");
    auto* domain = dialog->findChild<QComboBox*>("domainBox");
    domain->lineEdit()->clear();
    QTest::keyClicks(domain->lineEdit(), "zavel.net");
    QTest::keyClicks(dialog->findChild<QLineEdit*>("passwordBox"), "demo");
    QTest::mouseClick(dialog->findChild<QPushButton*>("signInButton"), Qt::LeftButton);
  });
  ASSERT_TRUE(program.signIn());
  program.showMainWindow();
  MainFrame* frame = program.mainFrame();
  EXPECT_EQ(frame->windowTitle(), "ZAVEL 탐색기");
  auto* list = frame->findChild<QTreeView*>("remoteList");
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(waitFor([&] { return list->model()->rowCount() == 3; }, 5000));
  QStringList rows;
  for (int r = 0; r < 3; ++r)
    rows << list->model()->index(r, 0).data().toString() + "|" +
                list->model()->index(r, 1).data().toString();
  EXPECT_EQ(rows, (QStringList{"My zavel|끊김", "데모 클럽|끊김", "사진 동호회|끊김"}));
  EXPECT_EQ(list->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(), "My zavel");
  // Enter opens the disk, then a folder; Backspace goes back up; the top level is the disk
  // list again, the disk still connected.
  auto enter = [&](QTreeView* view, const QString& name) {
    const auto found = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, name);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    view->setCurrentIndex(found[0]);
    QTest::keyClick(view, Qt::Key_Return);
  };
  auto* path = frame->findChild<QToolButton*>("remotePathButton");
  enter(list, "My zavel");
  EXPECT_EQ(path->text(), " My zavel ▼");
  // Files dropped from the desktop onto an open disk are uploaded, the window disabled
  // while the batch runs.
  bool disabled_in_batch = false;
  QObject::connect(&frame->transfers(), &TransferManager::batchStarted,
                   [&] { disabled_in_batch = !frame->isEnabled(); });
  std::vector<QList<QUrl>> drops;
  QObject::connect(frame, &MainFrame::transferRequested,
                   [&](ExplorerLogic::List, const QList<int>&, const QList<QUrl>& urls) {
                     drops.push_back(urls);
                   });
  auto drop = [&](QTreeView* view) {
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(dir_.filePath("device/사진"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &enter);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &event);
  };
  drop(list);
  drop(frame->findChild<QTreeView*>("localList"));  // only the remote list takes desktop files
  ASSERT_EQ(drops.size(), 1);
  EXPECT_EQ(drops[0].size(), 1);
  EXPECT_TRUE(disabled_in_batch);
  EXPECT_TRUE(frame->isEnabled());
  ASSERT_NE(frame->transferUi().dialog(), nullptr);
  EXPECT_TRUE(frame->transfers().progress().complete());
  enter(list, "문서");
  EXPECT_EQ(path->text(), "  문서 ▼");
  QTest::keyClick(list, Qt::Key_Backspace);
  EXPECT_FALSE(list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, "문서").isEmpty());
  QTest::keyClick(list, Qt::Key_Backspace);
  EXPECT_EQ(list->model()->index(0, 1).data().toString(), "연결됨");
  EXPECT_EQ(path->text(), "전체 ZAVEL 보기 ▼");

  auto* local = frame->findChild<QTreeView*>("localList");
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
  EXPECT_EQ(frame->findChild<QToolButton*>("localPathButton")->text(), " 여행 사진 ▼");

  // The account was remembered, with its password, in a file only its owner reads.
  const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
  EXPECT_FALSE(QFile::permissions(settingsPath()) & others);
  SettingsStore settings(settingsPath());
  EXPECT_EQ(AccountStore(settings).restorePassword("demo@zavel.net"), "demo");
}

TEST_F(ProgramTest, TheBuiltProgramSignsInWithLaunchKeys) {
  QProcess zavel;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_CONFIG_HOME", dir_.path());
  zavel.setProcessEnvironment(env);
  zavel.start(ZAVEL_PROGRAM,
              {"--auth-server", QString("127.0.0.1:%1").arg(demo_.server().authPort()),
               "zavel-auth:u_id=demo;u_sessionkey=demo-session-key"});
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
  struct Case {
    QStringList args;
    int status;
    const char* output;
  } cases[] = {
      {{"--help"}, 0, "--auth-server <HOST[:PORT]>"},
      {{"--auth-server", "host:0"}, 2, "--auth-server takes HOST or HOST:PORT"},
      {{"--auth-server", "host:x"}, 2, "--auth-server takes HOST or HOST:PORT"},
      {{"--device-root", "/no/such/folder"}, 2, "no such folder"},
      {{"zavel-auth:u_id=a", "zavel-auth:u_id=b"}, 2, "one launch text at most"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcess zavel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    zavel.setProcessEnvironment(env);
    zavel.start(ZAVEL_PROGRAM, c.args);
    ASSERT_TRUE(zavel.waitForFinished(20000));
    EXPECT_EQ(zavel.exitCode(), c.status);
    const QString out = zavel.readAllStandardOutput() + zavel.readAllStandardError();
    EXPECT_TRUE(out.contains(c.output)) << out.toStdString();
  }
}

}  // namespace
}  // namespace zavel::app
