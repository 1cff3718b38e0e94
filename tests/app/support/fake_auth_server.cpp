#include "tests/app/support/fake_auth_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>

namespace zavel::app::testing {

QByteArray bytesOf(const portal::PortalMessage& message) {
  return QByteArray(reinterpret_cast<const char*>(message.bytes().data()),
                    static_cast<qsizetype>(message.bytes().size()));
}

FakeAuthServer::FakeAuthServer() {
  server_.listen(QHostAddress::LocalHost, 0);
  connect(&server_, &QTcpServer::newConnection, this, &FakeAuthServer::accept);
}

void FakeAuthServer::after(int message, std::vector<QByteArray> replies) {
  script_[message] = std::move(replies);
}

void FakeAuthServer::after(int message, const std::vector<portal::PortalMessage>& replies) {
  std::vector<QByteArray> bytes;
  for (const auto& m : replies) bytes.push_back(bytesOf(m));
  after(message, std::move(bytes));
}

void FakeAuthServer::standard(const std::string& node, const portal::PortalMessage& reply) {
  after(0, {queryNodeAns(node)});
  after(1, {reply});
}

void FakeAuthServer::accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    ++connections_;
    client_ = socket;
    gone_ = false;
    reader_.clear();
    connect(socket, &QTcpSocket::readyRead, this, &FakeAuthServer::read);
    connect(socket, &QTcpSocket::disconnected, this, [this] { gone_ = true; });
  }
}

void FakeAuthServer::read() {
  if (!client_) return;
  const QByteArray data = client_->readAll();
  reader_.append(reinterpret_cast<const uint8_t*>(data.constData()),
                 static_cast<size_t>(data.size()));
  portal::PortalMessage message;
  while (reader_.next(&message) == client::FrameReader::Next::kMessage) {
    const int index = static_cast<int>(received_.size());
    received_.push_back(message);
    for (const QByteArray& reply : script_[index]) client_->write(reply);
  }
}

bool waitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return done();
}

}  // namespace zavel::app::testing
