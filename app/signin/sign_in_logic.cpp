#include "app/signin/sign_in_logic.h"

#include <algorithm>

#include "app/signin/launch_keys.h"
#include "app/signin/texts.h"
#include "protocol/portal/service_domains.h"

namespace zavel::app {
namespace {

QString fromView(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool portalDomain(const QString& domain) {
  return std::any_of(kPortalDomains.begin(), kPortalDomains.end(),
                     [&](std::string_view d) { return domain == fromView(d); });
}

}  // namespace

SignInLogic::SignInLogic(LoginInfo& login, SettingsStore& settings, Prompter& prompter,
                         QObject* parent)
    : QObject(parent),
      login_(login),
      settings_(settings),
      prompter_(prompter),
      accounts_(settings),
      lookups_(prompter, login) {
  for (std::string_view d : kPortalDomains) domain_list_ << fromView(d);
  watchdog_.setSingleShot(true);
  watchdog_.setInterval(kWatchdogMs);
  connect(&watchdog_, &QTimer::timeout, this, &SignInLogic::onWatchdog);
  auth_status_ = text::tr(text::kAuthStatusInitial);
  info_status_ = text::tr(text::kInfoStatusInitial);
}

SignInLogic::~SignInLogic() {
  dropClient();
}

void SignInLogic::setAuthServer(const QString& host, uint16_t port) {
  auth_host_ = host;
  auth_port_ = port;
}

void SignInLogic::launchParameters(const QString& commandLine) {
  login_.autoConnect = false;
  const std::optional<LaunchKeys> keys = parseLaunchText(commandLine.toStdU16String());
  if (!keys) {
    accounts_.loadAccount(login_);
    return;
  }
  login_.id = QString::fromStdU16String(keys->id);
  login_.domain = QStringLiteral("@") + fromView(kServiceDomain);
  if (keys->sessionKey) {
    login_.sessionKey = QString::fromStdU16String(*keys->sessionKey);
    login_.password.clear();
    login_.autoConnect = true;
  }
}

void SignInLogic::start() {
  lookups_.setPortalServer(portalServer(settings_));
  lookups_.setOctaServer(octaServer(settings_));

  form_.id = login_.id;
  form_.domain = QString(login_.domain).remove(QLatin1Char('@'));
  form_.password = login_.password;
  form_.autoConnect = login_.autoConnect;
  form_.savePassword = login_.savePassword;

  id_list_.clear();
  for (const QString& key : accounts_.accounts()) id_list_ << key.section(QLatin1Char('@'), 0, 0);

  state_ = State::kIdle;
  showIdle();
  if (login_.autoConnect && auto_connect_allowed_) startSignIn();
}

void SignInLogic::savePasswordClicked() {
  if (form_.autoConnect) form_.savePassword = true;
  form_.deleteInfo = false;
  emit viewChanged();
}

void SignInLogic::deleteInfoClicked() {
  form_.savePassword = false;
  form_.autoConnect = false;
  emit viewChanged();
}

void SignInLogic::autoConnectClicked() {
  form_.deleteInfo = false;
  form_.savePassword = true;
  emit viewChanged();
}

void SignInLogic::selectAccount(int idIndex, int domainIndex) {
  if (idIndex < 0 || idIndex >= id_list_.size() || domainIndex < 0 ||
      domainIndex >= domain_list_.size())
    return;
  form_.id = id_list_[idIndex];
  form_.domain = domain_list_[domainIndex];
  form_.password.clear();
  const QString key = form_.id + QLatin1Char('@') + form_.domain;
  if (accounts_.accounts().contains(key, Qt::CaseInsensitive)) {
    form_.password = accounts_.restorePassword(key);
    if (!form_.deleteInfo) form_.savePassword = true;
  }
  emit viewChanged();
}

void SignInLogic::copyFormToLogin() {
  login_.id = form_.id;
  login_.domain = QStringLiteral("@") + form_.domain.toLower();
  login_.password = form_.password;
  login_.savePassword = form_.savePassword;
  login_.autoConnect = form_.autoConnect;
  login_.deleteInfo = form_.deleteInfo;
}

void SignInLogic::startSignIn() {
  if (state_ == State::kWorking) return;
  copyFormToLogin();
  if (!portalDomain(login_.domain.mid(1))) {
    prompter_.inform(text::tr(text::kUnknownDomain), PromptIcon::kStop);
    return;
  }
  armWatchdog();
  showWorking();
  beginAuthentication();
}

void SignInLogic::beginAuthentication() {
  showWorking();
  dropClient();
  // The domain as checked (lower case), so the server sees the id the portal knows.
  auto* client = new AuthClient(login_.id + login_.domain, login_.password, login_.sessionKey,
                                prompter_, this);
  client_ = client;
  connect(client, &AuthClient::progress, this, &SignInLogic::setAuthProgress);
  connect(client, &AuthClient::finished, this, &SignInLogic::onAuthResult, Qt::QueuedConnection);
  connect(client, &AuthClient::connectFailed, this, [this] {
    dropClient();
    showIdle();
  });
  armWatchdog();
  if (!client->initialize()) {
    dropClient();
    showIdle();
    prompter_.inform(text::tr(text::kSockHandlerFailed), PromptIcon::kNone);
    return;
  }
  if (!client->connect(auth_host_, auth_port_)) {
    dropClient();
    showIdle();
  }
}

void SignInLogic::onAuthResult(bool success) {
  // A result that arrives after the exchange was ended (cancel, watchdog) is stale.
  if (state_ != State::kWorking || !client_ || sender() != client_.data()) return;
  if (success) {
    emit viewChanged();
    copyFormToLogin();
    if (fetchDiskList() != -1) return;
    lookups_.insertConnectLog(QStringLiteral("0"), QStringLiteral("P"), false, 2);
  }
  dropClient();
  showIdle();
}

int SignInLogic::fetchDiskList() {
  setInfoProgress(10);
  lookups_.setErrorText(QString());
  if (lookups_.userByIdDomain().isEmpty()) {
    lookups_.insertConnectLog(QStringLiteral("0"), QStringLiteral("P"), false, 1);
    watchdog_.stop();
    if (lookups_.errorText().isEmpty()) lookups_.setErrorText(text::tr(text::kUserLookupFailed));
    prompter_.inform(lookups_.errorText(), PromptIcon::kStop);
    return -1;
  }
  const int count = lookups_.diskList();
  watchdog_.stop();
  if (count < 0) return -1;
  setInfoProgress(30);
  watchdog_.stop();
  setInfoProgress(50);
  setInfoProgress(90);
  setInfoProgress(100);  // logs the success and ends the dialog
  return count;
}

void SignInLogic::setAuthProgress(int value) {
  armWatchdog();
  auth_bar_ = value;
  last_auth_ = value;
  if (value == 100) {
    auth_status_ = text::tr(text::kAuthDone);
    info_status_ = text::tr(text::kInfoFetching);
  }
  emit viewChanged();
}

void SignInLogic::setInfoProgress(int value) {
  armWatchdog();
  info_bar_ = value;
  last_info_ = value;
  emit viewChanged();
  if (value != 100) return;
  watchdog_.stop();
  info_status_ = text::tr(text::kInfoDone);
  emit viewChanged();
  lookups_.insertConnectLog(QStringLiteral("0"), QStringLiteral("P"), true, 0);
  dropClient();
  state_ = State::kIdle;
  emit finished(kAccepted);
}

// Nothing advanced for the watchdog's interval: the exchange is ended and the user told
// which phase stalled.
void SignInLogic::onWatchdog() {
  watchdog_.stop();
  if (state_ != State::kWorking) return;
  dropClient();
  const bool auth_phase = last_auth_ < 100;
  showIdle();
  prompter_.inform(text::tr(auth_phase ? text::kWatchdogAuth : text::kWatchdogInfo),
                   PromptIcon::kInformation);
}

void SignInLogic::cancel() {
  if (state_ == State::kWorking) {
    watchdog_.stop();
    dropClient();
    showIdle();
    return;
  }
  if (prompter_.confirm(text::tr(text::kQuitQuestion), PromptIcon::kNone))
    emit finished(kCancelled);
}

void SignInLogic::updateAvailable() {
  prompter_.informTitled(text::tr(text::kUpdateTitle), text::tr(text::kUpdateNotice),
                         PromptIcon::kInformation);
  update_requested_ = true;
  watchdog_.stop();
  dropClient();
  state_ = State::kIdle;
  emit finished(kCancelled);
}

void SignInLogic::showIdle() {
  watchdog_.stop();
  state_ = State::kIdle;
  emit viewChanged();
}

void SignInLogic::showWorking() {
  state_ = State::kWorking;
  auth_status_ = text::tr(text::kAuthWorking);
  info_status_ = text::tr(text::kInfoWorking);
  auth_bar_ = info_bar_ = 0;
  last_auth_ = last_info_ = 0;
  emit viewChanged();
}

void SignInLogic::dropClient() {
  if (!client_) return;
  AuthClient* client = client_;
  client_ = nullptr;
  client->disconnect(this);
  client->close();
  client->deleteLater();
}

}  // namespace zavel::app
