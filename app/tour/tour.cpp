// zavel-tour: the program's real widgets driven through a short tour against a devserver
// with the demo data on its default endpoints, with a screenshot of every step. `./run demo`
// runs it under Xvfb where there is no display.
//
//   zavel-tour --out DIR [--device-root DIR]
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>
#include <functional>

#include "app/explorer/commands.h"
#include "app/ui/language.h"
#include "app/ui/main_frame.h"
#include "app/ui/program.h"

namespace {

using zavel::app::ExplorerLogic;
using zavel::app::MainFrame;
using List = ExplorerLogic::List;

QTextStream out(stdout);
QString g_out;
int g_shots = 0;
bool g_failed = false;

// Runs the event loop until done() holds or the time is up.
bool waitUntil(const std::function<bool()>& done, int ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void pause(int ms) {
  QElapsedTimer timer;
  timer.start();
  waitUntil([&] { return timer.elapsed() >= ms; }, ms + 1000);
}

// The whole screen, as a person in front of it would see it.
void shot(const QString& name) {
  pause(300);  // let the last change paint
  QPixmap pixmap = QGuiApplication::primaryScreen()->grabWindow(0);
  if (pixmap.isNull() && QApplication::activeWindow())
    pixmap = QApplication::activeWindow()->grab();
  const QString file =
      QStringLiteral("%1/%2-%3.png").arg(g_out).arg(++g_shots, 2, 10, QChar('0')).arg(name);
  if (pixmap.save(file))
    out << "  " << file << "\n";
  else
    out << "  could not save " << file << "\n";
  out.flush();
}

void fail(const QString& what) {
  out << "tour: " << what << "\n";
  out.flush();
  g_failed = true;
}

// Runs step on the next modal dialog once it is up (from inside its own event loop).
void onModal(std::function<void(QWidget*)> step) {
  QTimer::singleShot(0, [step] {
    if (!waitUntil([] { return QApplication::activeModalWidget() != nullptr; }))
      return fail("no dialog came up");
    step(QApplication::activeModalWidget());
  });
}

void click(QWidget* parent, const char* name) {
  if (auto* button = parent->findChild<QPushButton*>(QLatin1String(name)))
    button->click();
  else
    fail(QStringLiteral("no button %1").arg(QLatin1String(name)));
}

bool select(MainFrame* frame, List list, const QString& name) {
  auto* view = frame->findChild<QTreeView*>(list == List::kRemote ? "remoteList" : "localList");
  const auto found = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, name);
  if (found.size() != 1) {
    fail(QStringLiteral("no row %1").arg(name));
    return false;
  }
  view->setFocus();
  view->setCurrentIndex(found[0]);
  view->selectionModel()->select(found[0],
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  return true;
}

void closeProgress(MainFrame* frame) {
  if (zavel::app::ProgressDialog* dialog = frame->transferUi().dialog())
    click(dialog, "closeButton");
  pause(100);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("vemar"));
  QCoreApplication::setApplicationName(QStringLiteral("zavel"));
  QCommandLineParser parser;
  parser.addHelpOption();
  const QCommandLineOption out_dir(
      QStringLiteral("out"), QStringLiteral("Where the screenshots go."), QStringLiteral("DIR"));
  const QCommandLineOption device(QStringLiteral("device-root"),
                                  QStringLiteral("My Device (default: a fresh empty folder)."),
                                  QStringLiteral("DIR"));
  parser.addOption(out_dir);
  parser.addOption(device);
  parser.process(app);
  // From here on the program speaks English where the desktop does, else its own Korean;
  // the command line's help above stays all English.
  const zavel::app::Translations translations(
      zavel::app::programLocale(zavel::app::LocaleEnvironment::fromProcess()));
  if (!parser.isSet(out_dir)) {
    out << "zavel-tour: --out DIR is needed\n";
    return 2;
  }
  g_out = QDir(parser.value(out_dir)).absolutePath();
  QDir().mkpath(g_out);
  QTemporaryDir scratch;
  const QString device_root =
      parser.isSet(device) ? parser.value(device) : scratch.filePath("device");
  QDir().mkpath(device_root);

  zavel::app::ProgramOptions options;
  options.deviceRoot = device_root;
  options.settingsPath =
      scratch.filePath("zavel.conf");  // the user's own settings stay as they are
  options.launchText = QStringLiteral("zavel-auth:u_id=demo");
  zavel::app::Program program(options);

  out << "The tour, a screenshot a step:\n";
  onModal([](QWidget* dialog) {
    dialog->findChild<QLineEdit*>("passwordBox")->setText(QStringLiteral("demo"));
    shot("sign-in");
    click(dialog, "signInButton");
  });
  if (!program.signIn()) {
    fail(
        "the sign-in did not succeed (is zavel-devserver --seed-demo running on its default "
        "ports?)");
    return 1;
  }
  program.showMainWindow();
  MainFrame* frame = program.mainFrame();
  frame->move(0, 0);
  auto* remote = frame->findChild<QTreeView*>("remoteList");
  if (!waitUntil([&] { return remote->model()->rowCount() == 3; })) fail("no disk list");
  shot("disks");

  if (select(frame, List::kRemote, "My zavel"))
    frame->runCommand(zavel::app::kCmdConnect, List::kRemote);
  shot("my-zavel");

  // Down: the photo folder into My Device.
  if (select(frame, List::kRemote, QStringLiteral("사진")))
    frame->runCommand(zavel::app::kCmdDownload, List::kRemote);
  shot("download");
  closeProgress(frame);

  // Up again onto itself: the files exist, so the conflict question comes.
  onModal([](QWidget* dialog) {
    shot("conflict");
    if (auto* all = dialog->findChild<QCheckBox*>("applyToAllBox")) all->setChecked(true);
    click(dialog, "overwriteButton");
  });
  if (select(frame, List::kLocal, QStringLiteral("사진")))
    frame->runCommand(zavel::app::kCmdUpload, List::kLocal);
  shot("upload");
  closeProgress(frame);

  // A question in the program's language, with Qt's buttons in it too; the answer is no.
  onModal([](QWidget* box) {
    shot("delete-question");
    auto* question = qobject_cast<QMessageBox*>(box);
    QAbstractButton* cancel = question ? question->button(QMessageBox::Cancel) : nullptr;
    if (cancel == nullptr) {
      fail("the delete question has no cancel button");
      box->close();
      return;
    }
    cancel->click();
  });
  frame->runCommand(zavel::app::kCmdDelete, List::kLocal);

  // The club disk.
  frame->explorer().chooseLevel(List::kRemote, 0);
  frame->runCommand(zavel::app::kCmdRefresh, List::kRemote);
  if (select(frame, List::kRemote, QStringLiteral("데모 클럽")))
    frame->runCommand(zavel::app::kCmdConnect, List::kRemote);
  shot("club");

  onModal([](QWidget* box) {
    shot("capacity");
    if (auto* ok = box->findChild<QPushButton*>()) ok->click();
  });
  frame->runCommand(zavel::app::kCmdCapacity, List::kRemote);

  // A file offered by mail, and the settings with the download folder.
  onModal([](QWidget* dialog) {
    shot("mail");
    click(dialog, "cancelButton");
  });
  if (select(frame, List::kRemote, QStringLiteral("모임 안내.txt")))
    frame->runCommand(zavel::app::kCmdMail, List::kRemote);
  onModal([](QWidget* dialog) {
    shot("settings");
    click(dialog, "cancelButton");
  });
  frame->runCommand(zavel::app::kCmdSettings, List::kRemote);

  // The club demo may only read: nothing in the window offers to change it.
  frame->explorer().chooseLevel(List::kRemote, 0);
  if (select(frame, List::kRemote, QStringLiteral("사진 동호회")))
    frame->runCommand(zavel::app::kCmdConnect, List::kRemote);
  if (auto* menu = frame->findChild<QMenu*>("fileMenu")) {
    QMenuBar* bar = frame->menuBar();
    menu->popup(bar->mapToGlobal(bar->actionGeometry(menu->menuAction()).bottomLeft()));
    shot("read-only-club");
    menu->hide();
  }

  frame->closeWithoutAsking();
  out << (g_failed ? "The tour did not finish.\n" : "The tour is done.\n");
  return g_failed ? 1 : 0;
}
