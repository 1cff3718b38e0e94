#include "app/explorer/updater.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <memory>

namespace zavel::app {

namespace updater_wire {

QByteArray encode(uint32_t message) {
  QByteArray bytes(kMessageBytes, '\0');
  qToBigEndian(message, bytes.data());
  return bytes;
}

std::optional<uint32_t> decode(QByteArrayView bytes) {
  if (bytes.size() < kMessageBytes) return std::nullopt;
  return qFromBigEndian<uint32_t>(bytes.data());
}

bool send(const QString& socketName, uint32_t message, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(socketName);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(encode(message));
  const bool written = socket.waitForBytesWritten(timeoutMs) && socket.bytesToWrite() == 0;
  socket.disconnectFromServer();
  return written;
}

}  // namespace updater_wire

bool UpdaterFiles::exists(const QString& path) {
  return QFileInfo::exists(path);
}
bool UpdaterFiles::remove(const QString& path) {
  return QFile::remove(path);
}
bool UpdaterFiles::makeFolder(const QString& path) {
  return QDir().mkpath(path);
}
bool UpdaterFiles::rename(const QString& from, const QString& to) {
  return QFile::rename(from, to);
}

namespace {

bool replaceOnce(const QString& fresh, const QString& target, UpdaterFiles& files,
                 const Sleeper& sleep) {
  if (files.exists(target)) {
    sleep(kReplaceWaitMs);
    if (!files.remove(target)) return false;
  }
  if (!files.makeFolder(QFileInfo(target).absolutePath())) return false;
  return files.rename(fresh, target);
}

}  // namespace

Replacement replaceWithNew(const QString& target, int maxTries, UpdaterFiles& files,
                           const Sleeper& sleep) {
  const QString fresh = target + kNewFileSuffix;
  if (!files.exists(fresh)) return {};
  for (int tries = 1; tries <= maxTries; ++tries) {
    if (replaceOnce(fresh, target, files, sleep)) return {Replacement::Outcome::kReplaced, tries};
  }
  return {Replacement::Outcome::kGaveUp, maxTries};
}

RefreshResult refreshUpdater(const QString& dir, const RefreshOptions& options) {
  UpdaterFiles hostFiles;
  UpdaterFiles& files = options.files ? *options.files : hostFiles;
  const Sleeper sleep = options.sleep ? options.sleep : [](int ms) { QThread::msleep(ms); };
  const Starter start =
      options.start ? options.start : [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
      };
  RefreshResult result;

  // Ask until the updater's socket is gone. Bounded: an updater that never quits must not
  // hold up our start-up; its files then simply stay as they are.
  while (result.quitRequests < options.quitTries &&
         updater_wire::send(options.socketName, updater_wire::kUpdateMessage)) {
    ++result.quitRequests;
    sleep(options.quitIntervalMs);
  }

  const QDir folder(dir);
  const QString program = folder.filePath(kUpdaterProgram);
  result.program = replaceWithNew(program, options.programTries, files, sleep);
  result.library =
      replaceWithNew(folder.filePath(kUpdaterLibrary), options.libraryTries, files, sleep);
  // A missing or unrunnable updater is normal; nothing to report.
  result.started = start(program, {});
  return result;
}

UpdateListener::UpdateListener(const QString& name, int connectionTimeoutMs, QObject* parent)
    : QObject(parent), name_(name), timeout_ms_(connectionTimeoutMs) {
  connect(&server_, &QLocalServer::newConnection, this, &UpdateListener::accept);
}

bool UpdateListener::listen() {
  if (server_.listen(name_)) return true;
  if (server_.serverError() != QAbstractSocket::AddressInUseError) return false;
  // The name's socket file is there. Take it over only when no one answers on it.
  QLocalSocket probe;
  probe.connectToServer(name_);
  if (probe.waitForConnected(1000)) {
    probe.abort();
    return false;
  }
  QLocalServer::removeServer(name_);
  return server_.listen(name_);
}

void UpdateListener::accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // Keep no more than a few messages' bytes from a peer that floods us.
    socket->setReadBufferSize(kMaxMessagesPerConnection * updater_wire::kMessageBytes);
    QTimer::singleShot(timeout_ms_, socket, [socket] { socket->abort(); });
    auto messages = std::make_shared<int>(0);
    const auto read = [this, socket, messages] {
      const QPointer<QLocalSocket> alive(socket);
      while (alive && alive->bytesAvailable() >= updater_wire::kMessageBytes &&
             *messages < kMaxMessagesPerConnection) {
        ++*messages;
        const std::optional<uint32_t> message =
            updater_wire::decode(alive->read(updater_wire::kMessageBytes));
        // A receiver may close the program, this listener with it.
        const QPointer<UpdateListener> self(this);
        if (message == updater_wire::kUpdateMessage) emit updateAvailable();
        if (message == updater_wire::kHideMessage) emit hideRequested();
        if (!self) return;
      }
      if (alive && *messages >= kMaxMessagesPerConnection) alive->abort();
    };
    connect(socket, &QLocalSocket::readyRead, socket, read);
    read();
  }
}

}  // namespace zavel::app
