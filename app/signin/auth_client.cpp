#include "app/signin/auth_client.h"

#include "app/signin/texts.h"

namespace zavel::app {
namespace {

std::string wire(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

QString local(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

AuthClient::AuthClient(QString userId, QString password, QString sessionKey, Prompter& prompter,
                       QObject* parent)
    : SockHandler(prompter, parent),
      exchange_(wire(userId), wire(password), wire(sessionKey),
                [this](int value) { emit progress(value); }) {}

QString AuthClient::nodeAddress() const {
  return local(exchange_.nodeAddress());
}

void AuthClient::onConnected() {
  SockHandler::onConnected();
  send(exchange_.connected());
}

// A closed connection changes nothing in the exchange: the dialog's watchdog ends it.
void AuthClient::onClosed() {
  SockHandler::onClosed();
}

void AuthClient::onMessage(const portal::PortalMessage& message) {
  if (finished_) return;
  portal::PortalMessage reply;
  if (exchange_.handle(message, &reply)) send(reply);
  switch (exchange_.outcome()) {
    case client::AuthExchange::Outcome::kPending:
    case client::AuthExchange::Outcome::kBroken:
      break;
    case client::AuthExchange::Outcome::kAccepted:
      finish(true, QString());
      break;
    case client::AuthExchange::Outcome::kRefused:
      finish(false, local(exchange_.refusal()));
      break;
    case client::AuthExchange::Outcome::kIncomplete:
      finish(false, text::tr(text::kBadAuthInfo));
      break;
  }
}

void AuthClient::finish(bool success, const QString& message) {
  finished_ = true;
  if (!success) prompter().inform(message, PromptIcon::kStop);
  emit finished(success);
}

}  // namespace zavel::app
