// The authentication exchange on the program's transport: the exchange's rules are the
// client core's; this feeds it the messages that arrive and tells the dialog the outcome.
#pragma once

#include <QString>

#include <memory>

#include "app/signin/sock_handler.h"
#include "client/auth_exchange.h"

namespace zavel::app {

inline constexpr uint16_t kAuthServerPort = client::kAuthServerPort;

class AuthClient : public SockHandler {
  Q_OBJECT

 public:
  // userId is the full id ("id@domain"). A non-empty sessionKey is sent instead of the
  // password.
  AuthClient(QString userId, QString password, QString sessionKey, Prompter& prompter,
             QObject* parent = nullptr);

  QString nodeAddress() const;

 signals:
  // The progress of the exchange: 30, 35, 45, 60, 70, 80, 90 and 100.
  void progress(int value);
  // The outcome; emitted once. Connect it queued: the receiver may delete this client.
  void finished(bool success);
  // The connection could not be made.
  void connectFailed();

 protected:
  void onConnected() override;
  void onClosed() override;
  void onMessage(const portal::PortalMessage& message) override;
  void onConnectFailed() override { emit connectFailed(); }

 private:
  void finish(bool success, const QString& message);

  client::AuthExchange exchange_;
  bool finished_ = false;
};

}  // namespace zavel::app
