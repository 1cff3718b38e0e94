#include "app/signin/sock_handler.h"

#include <QHostAddress>
#include <QHostInfo>

#include "app/signin/texts.h"

namespace zavel::app {

SockHandler::SockHandler(Prompter& prompter, QObject* parent)
    : QObject(parent), prompter_(prompter) {}

SockHandler::~SockHandler() {
  dropSocket();
}

bool SockHandler::initialize() {
  dropSocket();
  host_.clear();
  port_ = 0;
  return true;
}

bool SockHandler::connect(const QString& host, uint16_t port) {
  host_ = host;
  port_ = port;
  dropSocket();

  // A dotted address is taken as it is; anything else is resolved, first IPv4 address.
  QHostAddress address;
  if (!address.setAddress(host) || address.protocol() != QAbstractSocket::IPv4Protocol) {
    address.clear();
    for (const QHostAddress& a : QHostInfo::fromName(host).addresses()) {
      if (a.protocol() == QAbstractSocket::IPv4Protocol) {
        address = a;
        break;
      }
    }
  }
  if (address.isNull()) {
    prompter_.inform(text::tr(text::kConnectFailed), PromptIcon::kStop);
    return false;
  }

  reader_.clear();
  socket_ = new QTcpSocket(this);
  QObject::connect(socket_, &QTcpSocket::connected, this, [this] { onConnected(); });
  QObject::connect(socket_, &QTcpSocket::readyRead, this, [this] { receive(); });
  QObject::connect(socket_, &QTcpSocket::disconnected, this, [this] { socketClosed(); });
  QObject::connect(socket_, &QTcpSocket::errorOccurred, this, [this] { socketError(); });
  socket_->connectToHost(address, port);
  return true;
}

void SockHandler::close() {
  dropSocket();
  connected_ = false;
}

bool SockHandler::send(const portal::PortalMessage& message) {
  if (!socket_ || socket_->state() == QAbstractSocket::UnconnectedState) return false;
  const auto& bytes = message.bytes();
  socket_->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  return true;
}

void SockHandler::onMessage(const portal::PortalMessage&) {}

void SockHandler::receive() {
  if (!socket_) return;
  const QByteArray data = socket_->readAll();
  if (data.isEmpty()) return;
  reader_.append(reinterpret_cast<const uint8_t*>(data.constData()),
                 static_cast<size_t>(data.size()));
  portal::PortalMessage message;
  while (socket_) {
    const client::FrameReader::Next next = reader_.next(&message);
    if (next == client::FrameReader::Next::kNone) return;
    if (next == client::FrameReader::Next::kBroken) {
      // A stream that lost its framing (or announces a part too large to hold) can never be
      // read on: close it rather than buffer for ever.
      close();
      onClosed();
      return;
    }
    onMessage(message);  // may close the connection
  }
}

void SockHandler::socketError() {
  if (!socket_) return;
  // Before the connection stands, any error means it could not be made.
  if (!connected_ && socket_->state() != QAbstractSocket::ConnectedState) {
    dropSocket();
    prompter_.inform(text::tr(text::kConnectFailed), PromptIcon::kStop);
    onConnectFailed();
  }
  // Errors on a standing connection end in disconnected(), handled there.
}

void SockHandler::socketClosed() {
  receive();  // what arrived with the close
  if (!socket_) return;
  dropSocket();
  onClosed();
}

void SockHandler::dropSocket() {
  if (!socket_) return;
  QTcpSocket* socket = socket_;
  socket_ = nullptr;
  socket->disconnect(this);
  socket->abort();
  // Never deleted inside one of its own signals.
  socket->deleteLater();
}

}  // namespace zavel::app
