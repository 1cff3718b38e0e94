// A file moved through a relay that drops the connection: downloads and uploads on a
// personal and on a club disk finish by themselves, byte for byte; a refusal is final at
// once; a cancel during a wait ends the transfer; a part at the target that is not the
// source's start goes again.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>

#include "client/retry.h"
#include "client/session_pool.h"
#include "tests/support/devserver_fixture.h"
#include "tests/support/tcp_relay.h"

namespace zavel::client {
namespace {

namespace fs = std::filesystem;
using testing::DevServerFixture;
using testing::TcpRelay;

constexpr uint16_t kClubFileServerPort = 9553;

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random());
  return out;
}

class RetryTest : public ::testing::Test {
 protected:
  ~RetryTest() override {
    if (session_ != nullptr) zavel_DestroySession(session_);
    fs::remove_all(local_);
  }
  // Signs on through the relay; a cut planned before is the session's first connection's.
  void signOn() {
    session_ = zavel_CreateSession(server_.host().c_str(), relay_.port(), DevServerFixture::kUser,
                                   DevServerFixture::kPassword, 5000);
    ASSERT_NE(session_, nullptr);
  }
  FileTransfer transfer(bool upload, const std::string& name, uint64_t end, uint64_t start = 0) {
    FileTransfer t;
    t.upload = upload;
    t.remote = server_.basePath() + "/" + name;
    t.local = (local_ / name).string();
    t.start = start;
    t.end = end;
    return t;
  }

  DevServerFixture server_;
  TcpRelay relay_{server_.host(), server_.port()};
  fs::path local_ = fs::temp_directory_path() / ("zavel-retry-" + std::to_string(::getpid()) + "-" +
                                                 std::to_string(std::random_device()()));
  bool made_ = fs::create_directories(local_);
  ZavelSession* session_ = nullptr;
  RetryPolicy fast_{5, 20, 100};
};

TEST_F(RetryTest, DownloadsAndUploadsCutThreeTimesFinishByThemselves) {
  const std::string bytes = randomBytes(3 << 20, 1);
  write(server_.diskPath() / "down.bin", bytes);
  write(local_ / "up.bin", bytes);
  for (const bool upload : {false, true}) {
    SCOPED_TRACE(upload ? "upload" : "download");
    const auto direction = upload ? TcpRelay::Direction::kToServer : TcpRelay::Direction::kToClient;
    constexpr uint64_t kCutAfter = 700000;
    relay_.cutNextAfter(direction, kCutAfter);
    if (session_ != nullptr) zavel_DestroySession(session_);
    signOn();
    int retries = 0;
    RetryEvents events;
    events.retrying = [&](int retry, int of, int, uint64_t reached, int32_t error) {
      EXPECT_EQ(of, 5);
      EXPECT_GT(reached, 0u);  // where the connection was lost, for the message
      EXPECT_TRUE(connectionLost(error)) << error;
      retries = retry;
      if (retry < 3) relay_.cutNextAfter(direction, kCutAfter);  // the reconnect's connection
    };
    const FileTransfer t = transfer(upload, upload ? "up.bin" : "down.bin", bytes.size());
    ASSERT_TRUE(transferFile(session_, t, nullptr, fast_, events)) << zavel_GetLastError();
    EXPECT_EQ(retries, 3);
    EXPECT_TRUE(bytesOf(upload ? server_.diskPath() / "up.bin" : local_ / "down.bin") == bytes);
  }
}

// The club's bytes are reached on the service's fixed file-server port, here a relay's on a
// loopback address of its own, in front of the fixture's file server.
TEST(ClubRetry, DownloadsAndUploadsCutThreeTimesFinishByThemselves) {
  std::mt19937 random(std::random_device{}());
  std::unique_ptr<DevServerFixture> server;
  std::unique_ptr<TcpRelay> relay;
  for (int attempt = 0; attempt < 20 && !relay; ++attempt) {
    const std::string club_host = "127.0.0." + std::to_string(2 + random() % 250);
    server = std::make_unique<DevServerFixture>(testing::DevServerFixtureOptions{}, club_host);
    try {
      relay = std::make_unique<TcpRelay>(server->host(), server->port(), club_host,
                                         kClubFileServerPort);
    } catch (const std::runtime_error&) {
      // another test holds that address's port: try another
    }
  }
  ASSERT_TRUE(relay);
  ZavelSession* club =
      zavel_CreateOCTASession("127.0.0.1", server->listPort(), 5000, 1, DevServerFixture::kClub, 0);
  ASSERT_NE(club, nullptr) << zavel_GetLastError();
  const fs::path local =
      fs::temp_directory_path() / ("zavel-club-retry-" + std::to_string(random()));
  fs::create_directories(local);
  const std::string bytes = randomBytes(3 << 20, 5);
  write(local / "up.bin", bytes);
  for (const bool upload : {true, false}) {
    SCOPED_TRACE(upload ? "upload" : "download");
    // Every attempt opens the file server anew, and a resume first reads a little there:
    // the connections that carry the bytes are cut, three times.
    relay->cutEveryReaching(
        upload ? TcpRelay::Direction::kToServer : TcpRelay::Direction::kToClient, 700000, 3);
    int retries = 0;
    RetryEvents events;
    events.retrying = [&](int retry, int, int, uint64_t, int32_t) { retries = retry; };
    FileTransfer t;
    t.upload = upload;
    t.remote = "/octa/big.bin";
    t.local = (local / (upload ? "up.bin" : "down.bin")).string();
    t.end = bytes.size();
    EXPECT_TRUE(transferFile(club, t, nullptr, {5, 20, 100}, events)) << zavel_GetLastError();
    EXPECT_EQ(retries, 3);
  }
  EXPECT_TRUE(bytesOf(local / "down.bin") == bytes);
  zavel_DestroySession(club);
  fs::remove_all(local);
}

TEST_F(RetryTest, ARefusalIsFinalAndACancelEndsTheWait) {
  signOn();
  int retries = 0;
  RetryEvents events;
  events.retrying = [&](int, int, int, uint64_t, int32_t) { ++retries; };
  EXPECT_FALSE(transferFile(session_, transfer(false, "missing.bin", 10), nullptr, fast_, events));
  EXPECT_FALSE(connectionLost(zavel_GetLastError()));
  EXPECT_EQ(retries, 0);

  // Cut once; the cancel comes as the wait begins, and a wait of a minute ends at once.
  const std::string bytes = randomBytes(2 << 20, 2);
  write(server_.diskPath() / "big.bin", bytes);
  relay_.cutNextAfter(TcpRelay::Direction::kToClient, 500000);
  zavel_DestroySession(session_);
  signOn();
  int32_t cancel = 0;
  events.retrying = [&](int, int, int, uint64_t, int32_t) {
    ++retries;
    cancel = 1;
  };
  const RetryPolicy slow{5, 60000, 60000};
  EXPECT_TRUE(
      transferFile(session_, transfer(false, "big.bin", bytes.size()), &cancel, slow, events));
  EXPECT_EQ(retries, 1);
  const uint64_t kept = fs::file_size(local_ / "big.bin");
  EXPECT_TRUE(kept > 0 && kept < bytes.size()) << kept;  // the part stays for a later resume
}

TEST_F(RetryTest, APartThatIsNotTheSourcesStartIsReplacedInBothDirections) {
  signOn();
  const std::string source = randomBytes(300000, 3);
  const std::string other = randomBytes(100000, 4);
  write(server_.diskPath() / "down.bin", source);
  write(local_ / "down.bin", other);
  write(local_ / "up.bin", source);
  write(server_.diskPath() / "up.bin", other);
  for (const bool upload : {false, true}) {
    SCOPED_TRACE(upload ? "upload" : "download");
    uint64_t restarted_at = 0;
    RetryEvents events;
    events.restarted = [&](uint64_t position) { restarted_at = position; };
    const FileTransfer t =
        transfer(upload, upload ? "up.bin" : "down.bin", source.size(), other.size());
    ASSERT_TRUE(transferFile(session_, t, nullptr, fast_, events));
    EXPECT_EQ(restarted_at, other.size());
    EXPECT_TRUE(bytesOf(upload ? server_.diskPath() / "up.bin" : local_ / "down.bin") == source);
  }
  // A true prefix is continued, not sent again.
  write(local_ / "down.bin", source.substr(0, 120000));
  bool restarted = false;
  RetryEvents events;
  events.restarted = [&](uint64_t) { restarted = true; };
  ASSERT_TRUE(transferFile(session_, transfer(false, "down.bin", source.size(), 120000), nullptr,
                           fast_, events));
  EXPECT_FALSE(restarted);
  EXPECT_TRUE(bytesOf(local_ / "down.bin") == source);
}

// A pool runs every item once on the sessions it could open, and starts none after a stop.
TEST_F(RetryTest, APoolRunsEachItemOnceOnTheSessionsItGets) {
  signOn();
  const auto counts = [](SessionPool& pool, size_t items, size_t stop_at) {
    std::vector<std::atomic<int>> seen(items);
    int32_t stop = 0;
    pool.run(
        items,
        [&](size_t index, int, ZavelSession* session) {
          EXPECT_GE(zavel_GetSessionMode(session), 1);  // a live session of its own
          ++seen[index];
          if (index == stop_at) stop = 1;
        },
        &stop);
    std::vector<int> out;
    for (const auto& s : seen) out.push_back(s.load());
    return out;
  };
  {
    SessionPool pool(session_, 4);
    EXPECT_EQ(pool.size(), 4);
    EXPECT_EQ(counts(pool, 40, 99), std::vector<int>(40, 1));
    const std::vector<int> stopped = counts(pool, 40, 0);
    EXPECT_LE(std::count(stopped.begin(), stopped.end(), 1), 4);  // the ones already running
  }
  server_.stop();  // no server to open more sessions with: the batch runs on the one there is
  SessionPool alone(session_, 4);
  EXPECT_EQ(alone.size(), 1);
  std::vector<int> order;
  alone.run(5, [&](size_t index, int worker, ZavelSession*) {
    EXPECT_EQ(worker, 0);
    order.push_back(static_cast<int>(index));
  });
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

}  // namespace
}  // namespace zavel::client
