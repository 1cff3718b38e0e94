#include "app/ui/program.h"

#include <QDir>

#include "app/explorer/document.h"
#include "app/signin/settings_store.h"
#include "app/signin/sign_in_logic.h"
#include "app/ui/main_frame.h"
#include "app/ui/qt_prompter.h"
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
}

Program::~Program() {
  frame_.reset();
  document_.reset();
}

void Program::storeAccount() {
  if (login_.deleteInfo)
    sign_in_->accounts().deleteAccount(login_);
  else
    sign_in_->accounts().saveAccount(login_);
}

void Program::signInAgain() {
  sign_in_->setAutoConnectAllowed(frame_->shell().autoSignIn());
  if (!signIn()) {
    frame_->closeWithoutAsking();
    return;
  }
  storeAccount();
  frame_->signedIn();
}

bool Program::signIn() {
  SignInDialog dialog(*sign_in_);
  return dialog.exec() == QDialog::Accepted;
}

void Program::showMainWindow() {
  storeAccount();
  // The sessions live with the document, which outlives the frame.
  document_ = std::make_unique<Document>(login_, sign_in_->lookups(), *prompter_);
  document_->setOctaServer(octaServer(*settings_));
  if (options_.filePort) document_->setFileServerPort(options_.filePort);
  frame_ = std::make_unique<MainFrame>(
      *document_, *prompter_,
      options_.deviceRoot.isEmpty() ? QDir::homePath() : options_.deviceRoot);
  frame_->shell().setAutoSignIn(true);
  QObject::connect(frame_.get(), &MainFrame::signInRequested, frame_.get(),
                   [this] { signInAgain(); });
  frame_->show();
  frame_->raise();
  frame_->activateWindow();
}

}  // namespace zavel::app
