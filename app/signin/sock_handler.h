// The sign-in transport on Qt's event loop: one TCP connection whose events (connected,
// data, closed) arrive on the UI thread, and whose bytes are cut into whole messages.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <cstdint>

#include "client/frame_reader.h"
#include "app/signin/prompter.h"
#include "protocol/portal/portal_message.h"

namespace zavel::app {

class SockHandler : public QObject {
  Q_OBJECT

 public:
  explicit SockHandler(Prompter& prompter, QObject* parent = nullptr);
  ~SockHandler() override;

  // Closes any earlier connection and forgets its endpoint.
  bool initialize();
  // Starts connecting. False, after telling the user "연결 실패!", when the host cannot be
  // resolved; a connect that fails later is reported through onConnectFailed().
  bool connect(const QString& host, uint16_t port);
  void close();
  // Queues the message's bytes; false when no connection is open.
  bool send(const portal::PortalMessage& message);

  bool connected() const { return connected_; }
  const QString& host() const { return host_; }
  uint16_t port() const { return port_; }

 protected:
  virtual void onConnected() { connected_ = true; }
  virtual void onClosed() { connected_ = false; }
  virtual void onMessage(const portal::PortalMessage& message);
  // The connection could not be made (refused, unreachable); the user has been told.
  virtual void onConnectFailed() {}
  Prompter& prompter() { return prompter_; }

 private:
  void receive();
  void socketError();
  void socketClosed();
  void dropSocket();

  Prompter& prompter_;
  QPointer<QTcpSocket> socket_;
  client::FrameReader reader_;
  QString host_;
  uint16_t port_ = 0;
  bool connected_ = false;
};

}  // namespace zavel::app
