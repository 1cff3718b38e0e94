#include "app/ui/program.h"

#include <QDir>

#include "app/explorer/document.h"
#include "app/explorer/settings_logic.h"
#include "app/explorer/updater.h"
#include "app/signin/settings_store.h"
#include "app/signin/sign_in_logic.h"
#include "app/ui/main_frame.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/settings_dialog.h"
#include "app/ui/sign_in_dialog.h"

namespace zavel::app {

Program::Program(ProgramOptions options) : options_(std::move(options)) {
  prompter_ = std::make_unique<QtPrompter>();
  settings_ = options_.settingsPath.isEmpty()
                  ? std::make_unique<SettingsStore>()
                  : std::make_unique<SettingsStore>(options_.settingsPath);
  sign_in_ = std::make_unique<SignInLogic>(login_, *settings_, *prompter_);
  sign_in_->setAuthServer(options_.authHost, options_.authPort);
  sign_in_->launchParameters(options_.launchText);

  // The updater's notices: during the sign-in the dialog ends; later the window closes.
  QString socket = options_.localSocket;
  if (socket.isEmpty())
    socket = QStringLiteral("zavel-") + qEnvironmentVariable("USER", QStringLiteral("user"));
  listener_ = std::make_unique<UpdateListener>(socket);
  QObject::connect(listener_.get(), &UpdateListener::updateAvailable, listener_.get(), [this] {
    if (frame_)
      frame_->updateAvailable();
    else
      sign_in_->updateAvailable();
  });
  QObject::connect(listener_.get(), &UpdateListener::hideRequested, listener_.get(), [this] {
    if (frame_) frame_->hide();
  });
  listener_->listen();  // another instance may hold the name: it then gets the notices
}

bool Program::updatePending() const {
  return sign_in_->updateRequested();
}

void Program::showSettings() {
  SettingsLogic logic(frame_->transfers().downloadFolder());
  SettingsDialog dialog(logic, frame_->explorer().devicePaths(), frame_.get());
  if (dialog.exec() != QDialog::Accepted) return;
  SettingsLogic::storeDownloadFolder(*settings_, logic.folder());
  frame_->transfers().setDownloadFolder(logic.folder());
}

Program::~Program() {
  listener_.reset();
  frame_.reset();
  document_.reset();
}

void Program::storeAccount(bool fromMenu) {
  sign_in_->accounts().storeSignIn(login_, fromMenu);
}

void Program::signInAgain() {
  sign_in_->setAutoConnectAllowed(frame_->shell().autoSignIn());
  // The sign-in replaces the disk list: the old list's sessions end first, so none stays open
  // unnamed and no disk of the old list stays the current one.
  frame_->shell().closeDisks();
  if (!signIn()) {
    frame_->closeWithoutAsking();
    return;
  }
  storeAccount(true);
  frame_->signedIn();
}

bool Program::signIn() {
  SignInDialog dialog(*sign_in_);
  return dialog.exec() == QDialog::Accepted;
}

void Program::showMainWindow() {
  storeAccount(false);
  // The sessions live with the document, which outlives the frame.
  document_ = std::make_unique<Document>(login_, sign_in_->lookups(), *prompter_);
  document_->setOctaServer(octaServer(*settings_));
  if (options_.filePort) document_->setFileServerPort(options_.filePort);
  frame_ = std::make_unique<MainFrame>(
      *document_, *prompter_,
      options_.deviceRoot.isEmpty() ? QDir::homePath() : options_.deviceRoot);
  frame_->remember(*settings_);
  frame_->shell().setAutoSignIn(true);
  frame_->transfers().setDownloadFolder(
      SettingsLogic::storedDownloadFolder(*settings_, frame_->explorer().devicePaths()));
  QObject::connect(frame_.get(), &MainFrame::settingsRequested, frame_.get(),
                   [this] { showSettings(); });
  QObject::connect(frame_.get(), &MainFrame::signInRequested, frame_.get(),
                   [this] { signInAgain(); });
  frame_->show();
  frame_->raise();
  frame_->activateWindow();
}

}  // namespace zavel::app
