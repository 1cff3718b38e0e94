// The updater hand-off: replacing the updater's files, asking a running updater to quit (a
// fake one that quits at once, slowly or never), starting it, and the program's own socket.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <tuple>

#include "app/explorer/updater.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/fake_auth_server.h"

namespace zavel::app {
namespace {

using testing::contentOf;
using testing::waitFor;
using testing::writeFile;
using Outcome = Replacement::Outcome;

QString uniqueName(const char* what) {
  static int counter = 0;
  return QStringLiteral("zavel-test-%1-%2-%3")
      .arg(what)
      .arg(QCoreApplication::applicationPid())
      .arg(++counter);
}

// Deletes of paths ending in suffix fail for the first `locked` tries (always when negative).
struct LockedFiles : UpdaterFiles {
  LockedFiles(int locked, QString suffix = {}) : locked(locked), suffix(std::move(suffix)) {}
  bool remove(const QString& path) override {
    if (path.endsWith(suffix) && (locked < 0 || ++removes <= locked)) return false;
    return UpdaterFiles::remove(path);
  }
  int locked;
  QString suffix;
  int removes = 0;
};

// An updater's socket counting quit messages; closes after the quitAfter-th (never when 0).
struct FakeUpdater {
  FakeUpdater(const QString& name, int quitAfter) : quit_after(quitAfter) {
    QObject::connect(&server, &QLocalServer::newConnection, &server, [this] {
      while (QLocalSocket* s = server.nextPendingConnection())
        QObject::connect(s, &QLocalSocket::readyRead, s, [this, s] {
          while (s->bytesAvailable() >= updater_wire::kMessageBytes)
            if (updater_wire::decode(s->read(updater_wire::kMessageBytes)) ==
                    updater_wire::kUpdateMessage &&
                ++received == quit_after)
              server.close();
        });
    });
    QLocalServer::removeServer(name);  // left by a killed run of the same pid
    EXPECT_TRUE(server.listen(name));
  }
  QLocalServer server;
  int quit_after;
  int received = 0;
};

TEST(ReplaceWithNew, TriesUntilTheTargetCanBeDeleted) {
  struct Case {
    const char* name;
    bool fresh, target;
    int locked;
    Outcome outcome;
    int tries;
    QByteArray targetAfter, freshAfter;
  } const cases[] = {
      {"no new copy", false, true, 0, Outcome::kNothingNew, 0, "old", "<absent>"},
      {"no target yet", true, false, 0, Outcome::kReplaced, 1, "new", "<absent>"},
      {"target locked", true, true, -1, Outcome::kGaveUp, 10, "old", "new"},
      {"locked for three tries", true, true, 3, Outcome::kReplaced, 4, "new", "<absent>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString target = dir.filePath("AutoPatch.exe");
    if (c.target) writeFile(target, "old");
    if (c.fresh) writeFile(target + ".NEW", "new");
    LockedFiles files(c.locked);
    std::vector<int> sleeps;
    const Replacement r = replaceWithNew(target, 10, files, [&](int ms) { sleeps.push_back(ms); });
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.tries, c.tries);
    EXPECT_EQ(contentOf(target), c.targetAfter);
    EXPECT_EQ(contentOf(target + ".NEW"), c.freshAfter);
    // Every try on an existing target waits before its delete.
    EXPECT_EQ(sleeps, std::vector<int>(c.target && c.fresh ? c.tries : 0, kReplaceWaitMs));
  }
}

// A running updater is asked to quit at most the bound; then both files are replaced, each
// within its own number of tries, and the updater starts without arguments.
TEST(RefreshUpdater, AsksARunningUpdaterToQuitThenReplacesBothFilesAndStartsIt) {
  // Whether one runs, the message it quits after (never when 0), the requests sent.
  const std::tuple<const char*, bool, int, int> cases[] = {
      {"none running", false, 0, 0},
      {"quits when asked", true, 1, 1},
      {"slow to quit", true, 3, 3},
      {"never quits", true, 0, 20},
  };
  for (const auto& [name, running, quit_after, requests] : cases) {
    SCOPED_TRACE(name);
    QTemporaryDir dir;
    const QString program = dir.filePath("AutoPatch.exe");
    const QString library = dir.filePath("ZavelUpdateDll.dll");
    for (const QString& path : {program, library}) {
      writeFile(path, "old");
      writeFile(path + ".NEW", "new");
    }
    LockedFiles files(1, ".dll");  // the library's one try fails; a second would not
    RefreshOptions options;
    options.socketName = uniqueName("autopatch");
    options.files = &files;
    std::optional<FakeUpdater> updater;
    if (running) updater.emplace(options.socketName, quit_after);
    // Each wait between requests lets the fake take the message just sent; after one is
    // lost, waits are skipped so that the test fails quickly.
    int sent = 0;
    bool lost = false;
    options.sleep = [&](int ms) {
      if (ms != options.quitIntervalMs) return;
      ++sent;
      if (!lost) lost = !waitFor([&] { return updater->received >= sent; });
    };
    QStringList calls;
    options.start = [&](const QString& p, const QStringList& a) {
      calls << p << a << contentOf(p);
      return false;
    };
    const RefreshResult r = refreshUpdater(dir.path(), options);
    EXPECT_EQ(r.quitRequests, requests);
    EXPECT_EQ(updater ? updater->received : 0, requests);
    ASSERT_FALSE(lost);
    EXPECT_EQ(calls, (QStringList{program, "new"}));
    EXPECT_EQ(r.program.outcome, Outcome::kReplaced);
    EXPECT_EQ(r.library.outcome, Outcome::kGaveUp);
    EXPECT_EQ(r.library.tries, 1);
    EXPECT_EQ(contentOf(library), "old");
  }
}

TEST(UpdateListener, TurnsMessagesIntoSignalsAndSurvivesAnyInput) {
  const QByteArray update = updater_wire::encode(updater_wire::kUpdateMessage);
  const QByteArray hide = updater_wire::encode(updater_wire::kHideMessage);
  // A row per branch of the reader: the writes, kept open (the listener closes it), signals.
  const std::tuple<const char*, std::vector<QByteArray>, bool, int, int> cases[] = {
      {"update", {update}, false, 1, 0},
      {"hide", {hide}, false, 0, 1},
      {"unknown number", {updater_wire::encode(0x8004)}, false, 0, 0},
      {"two in one write", {hide + update}, false, 1, 1},
      {"split across writes", {update.left(2), update.mid(2)}, false, 1, 0},
      {"early close", {}, false, 0, 0},
      {"flood", {update.repeated(100)}, true, UpdateListener::kMaxMessagesPerConnection, 0},
      {"silent and open", {}, true, 0, 0},
  };
  for (const auto& [what, writes, keep_open, expected_updates, expected_hides] : cases) {
    SCOPED_TRACE(what);
    const QString name = uniqueName("listener");
    UpdateListener listener(name, 300);
    ASSERT_TRUE(listener.listen());
    int updates = 0, hides = 0;
    QObject::connect(&listener, &UpdateListener::updateAvailable, [&] { ++updates; });
    QObject::connect(&listener, &UpdateListener::hideRequested, [&] { ++hides; });
    QLocalSocket client;
    client.connectToServer(name);
    ASSERT_TRUE(client.waitForConnected(5000));
    for (const QByteArray& bytes : writes) {
      client.write(bytes);
      client.waitForBytesWritten(5000);
      waitFor([] { return false; }, 20);  // the listener sees each write on its own
    }
    if (keep_open) {
      EXPECT_TRUE(waitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }));
    } else {
      client.disconnectFromServer();
    }
    // Still listening: a new connection's message arrives.
    ASSERT_TRUE(updater_wire::send(name, updater_wire::kHideMessage));
    ASSERT_TRUE(waitFor([&] { return updates >= expected_updates && hides > expected_hides; }));
    EXPECT_EQ(updates, expected_updates);
    EXPECT_EQ(hides, expected_hides + 1);
  }
}

TEST(UpdateListener, TakesOverALeftoverSocketFileButNotALiveServer) {
  for (const bool live : {false, true}) {
    SCOPED_TRACE(live ? "live server" : "leftover file");
    const QString name = uniqueName("taken");
    QLocalServer other;
    if (live) {
      ASSERT_TRUE(other.listen(name));
    } else {
      writeFile(QDir::tempPath() + "/" + name, "");
    }
    {
      UpdateListener listener(name);
      EXPECT_EQ(listener.listen(), !live);
    }
    // Whoever holds the name still answers on it.
    EXPECT_EQ(updater_wire::send(name, updater_wire::kUpdateMessage), live);
    QFile::remove(QDir::tempPath() + "/" + name);
  }
}

}  // namespace
}  // namespace zavel::app
