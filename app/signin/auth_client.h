// The authentication exchange: ask the router for this connection's node, send the
// credentials (password or launch session key) to the authentication service through the
// root, and report the answer addressed back to the node.
#pragma once

#include <QString>

#include "app/signin/sock_handler.h"

namespace zavel::app {

inline constexpr uint16_t kAuthServerPort = 10020;

class AuthClient : public SockHandler {
  Q_OBJECT

 public:
  // userId is the full id ("id@domain"). A non-empty sessionKey is sent instead of the
  // password.
  AuthClient(QString userId, QString password, QString sessionKey, Prompter& prompter,
             QObject* parent = nullptr);

  const QString& nodeAddress() const { return node_; }

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
  void routed(const portal::FormMap& header);
  void answered(const portal::FormMap& header, const portal::PortalMessage& message);
  void finish(bool success, const QString& message);

  QString user_id_;
  QString password_;
  QString session_key_;
  QString node_;
  bool finished_ = false;
};

}  // namespace zavel::app
