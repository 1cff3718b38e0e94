// The hand-off to the external updater. The updater is a program of its own (with a
// companion library) kept beside ours; at start-up we ask a running one to quit, put any
// newly downloaded copies of its files in place, and start it again. The updater and the
// program talk over local sockets: the updater listens on "AutoPatch", the program on a
// name of its own.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace zavel::app {

// The one form of message on these sockets: the message number as 4 big-endian bytes,
// nothing else.
namespace updater_wire {

// To the program: an update is available. To the updater: quit, so its files can be replaced.
inline constexpr uint32_t kUpdateMessage = 0x8003;
// To the program: hide the main window.
inline constexpr uint32_t kHideMessage = 0x405;
inline constexpr qsizetype kMessageBytes = 4;

QByteArray encode(uint32_t message);
// The message at the start of bytes; none when fewer than 4 bytes are there.
std::optional<uint32_t> decode(QByteArrayView bytes);
// Connects to the local socket named socketName and writes one message; false when no server
// answered or the write did not finish within timeoutMs.
bool send(const QString& socketName, uint32_t message, int timeoutMs = 1000);

}  // namespace updater_wire

// The updater's files beside the program's executable, and its socket.
inline constexpr const char* kUpdaterProgram = "AutoPatch.exe";
inline constexpr const char* kUpdaterLibrary = "ZavelUpdateDll.dll";
// A downloaded copy waiting to replace a file: the file's name with this suffix.
inline constexpr const char* kNewFileSuffix = ".NEW";
inline constexpr const char* kUpdaterSocket = "AutoPatch";

// The file operations of a replacement, on the host by default; tests override one to make it
// fail (a target that cannot be deleted).
class UpdaterFiles {
 public:
  virtual ~UpdaterFiles() = default;
  virtual bool exists(const QString& path);
  virtual bool remove(const QString& path);
  // Makes the folder and its parents; true when it is there afterwards.
  virtual bool makeFolder(const QString& path);
  virtual bool rename(const QString& from, const QString& to);
};

// Blocks for the given milliseconds.
using Sleeper = std::function<void(int ms)>;
// Starts a program detached from ours; false when it could not be started.
using Starter = std::function<bool(const QString& program, const QStringList& arguments)>;

struct Replacement {
  enum class Outcome { kNothingNew, kReplaced, kGaveUp };
  Outcome outcome = Outcome::kNothingNew;
  int tries = 0;  // 0 when there was nothing new
};

// The wait before deleting a target that exists, giving its last user time to let go of it.
inline constexpr int kReplaceWaitMs = 300;

// Moves target + ".NEW" onto target when it exists, trying up to maxTries times. One try: when
// the target exists, sleep kReplaceWaitMs and delete it; make the target's folder; rename.
Replacement replaceWithNew(const QString& target, int maxTries, UpdaterFiles& files,
                           const Sleeper& sleep);

struct RefreshOptions {
  QString socketName = kUpdaterSocket;
  // A running updater is asked to quit at most this many times, this far apart.
  int quitTries = 20;
  int quitIntervalMs = 100;
  int programTries = 10;          // replacing AutoPatch.exe
  int libraryTries = 1;           // replacing ZavelUpdateDll.dll
  UpdaterFiles* files = nullptr;  // the host's when null
  Sleeper sleep;                  // QThread::msleep when empty
  Starter start;                  // QProcess::startDetached when empty
};

// What a refresh did; nothing of it is shown to the user.
struct RefreshResult {
  int quitRequests = 0;  // 0x8003 messages the running updater was sent
  Replacement program;
  Replacement library;
  bool started = false;
};

// Run at start-up (and at exit after a cancelled sign-in with an update pending); dir is the
// folder of the program's executable. Asks a running updater to quit, replaces its program and
// library with their .NEW copies, and starts dir/AutoPatch.exe. Failures are silent.
RefreshResult refreshUpdater(const QString& dir, const RefreshOptions& options = {});

// The program's own local socket: turns the messages it receives into signals.
class UpdateListener : public QObject {
  Q_OBJECT

 public:
  // A connection is closed after this many messages, or after it has been open this long.
  static constexpr int kMaxMessagesPerConnection = 4;
  static constexpr int kConnectionTimeoutMs = 5000;

  // name: the socket's name (the program's is "zavel-" + the user name).
  explicit UpdateListener(const QString& name, int connectionTimeoutMs = kConnectionTimeoutMs,
                          QObject* parent = nullptr);

  // Starts listening. A leftover socket file of a program that is gone is removed first; a
  // name that a running server answers on is left to it, and this fails.
  bool listen();
  bool listening() const { return server_.isListening(); }
  QString errorString() const { return server_.errorString(); }

 signals:
  void updateAvailable();
  void hideRequested();

 private:
  void accept();

  QString name_;
  int timeout_ms_;
  QLocalServer server_;
};

}  // namespace zavel::app
