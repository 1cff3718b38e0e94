// A scripted authentication server on Qt's event loop: records every message a client sends
// and answers each from a script of whole frames (or raw bytes).
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "client/frame_reader.h"
#include "protocol/portal/portal_message.h"
#include "tests/support/portal_messages.h"

namespace zavel::app::testing {

using zavel::testing::authAnswer;
using zavel::testing::Pairs;
using zavel::testing::queryNodeAns;
using zavel::testing::textMessage;

class FakeAuthServer : public QObject {
  Q_OBJECT

 public:
  FakeAuthServer();
  uint16_t port() const { return server_.serverPort(); }

  // Bytes to send after the n-th message received (0 is the first).
  void after(int message, std::vector<QByteArray> replies);
  void after(int message, const std::vector<portal::PortalMessage>& replies);
  // Answer queryNode with node and the auth request with reply: the usual exchange.
  void standard(const std::string& node, const portal::PortalMessage& reply);

  const std::vector<portal::PortalMessage>& received() const { return received_; }
  bool clientGone() const { return gone_; }
  int connections() const { return connections_; }

 private:
  void accept();
  void read();

  QTcpServer server_;
  QPointer<QTcpSocket> client_;
  client::FrameReader reader_;
  std::map<int, std::vector<QByteArray>> script_;
  std::vector<portal::PortalMessage> received_;
  bool gone_ = false;
  int connections_ = 0;
};

// Runs the event loop until done() holds or the time is up; the last value of done().
bool waitFor(const std::function<bool()>& done, int ms = 10000);

QByteArray bytesOf(const portal::PortalMessage& message);

}  // namespace zavel::app::testing
