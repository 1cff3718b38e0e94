#include "protocol/connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/framing.h"
#include "tests/support/fake_server.h"

namespace zavel {
namespace {

using testing::entryTexts;
using testing::FakeServer;
using testing::framedBytes;
using testing::headerBytes;
using testing::okReply;
using Bytes = std::vector<uint8_t>;

ParamRecord request(const char* cmd) {
  ParamRecord r(kFlagScramble);
  r.setString("_cmd", cmd);
  return r;
}

// Connects to the started server and sends the request its script receives first.
void openAndSend(Connection& conn, const FakeServer& server) {
  ASSERT_TRUE(conn.connect("127.0.0.1", server.port()));
  ASSERT_GT(conn.sendRecord(request("x"), 5000), 0);
}

TEST(Connection, ConnectFailsForARefusedPortOrNoHost) {
  const uint16_t port = FakeServer().port();  // free once the probe is gone
  Connection c;
  EXPECT_FALSE(c.connect("127.0.0.1", port));
  EXPECT_FALSE(c.connected());
  EXPECT_FALSE(c.connect("", port));
  EXPECT_FALSE(c.connect(nullptr, port));
  EXPECT_EQ(c.sendRecord(request("x"), 5000), Connection::kSendIncomplete);
  ParamRecord got;
  EXPECT_EQ(c.receiveRecord(got, 5000), Connection::kRecvIncomplete);
}

TEST(Connection, ReceiveFailuresCloseTheStream) {
  const Bytes whole = framedBytes(okReply());
  Bytes bad_magic = whole;
  bad_magic[0] = 'x';
  const struct {
    const char* what;
    Bytes bytes;
    int stall;  // milliseconds the server waits instead of closing
    int32_t timeout;
    int64_t expected;
  } cases[] = {
      {"wrong magic", bad_magic, 0, 5000, Connection::kRecvBadHeader},
      {"close after header", Bytes(whole.begin(), whole.begin() + 16), 0, 5000,
       Connection::kRecvIncomplete},
      {"length above 16 MiB", headerBytes(3, 0, kMaxBodyLength + 1, true), 0, 5000,
       Connection::kRecvBadHeader},
      {"16 MiB announced, close", headerBytes(3, 0, kMaxBodyLength, true), 0, 5000,
       Connection::kRecvIncomplete},
      {"half a header", Bytes(whole.begin(), whole.begin() + 8), 0, 5000,
       Connection::kRecvIncomplete},
      {"nothing at all", Bytes(), 0, 5000, Connection::kRecvIncomplete},
      {"stalled server", Bytes(), 3000, 200, Connection::kRecvIncomplete},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeServer server;
    server.receive().raw(c.bytes);
    if (c.stall) {
      server.stall(c.stall);
    } else {
      server.close();
    }
    server.start();
    Connection conn;
    openAndSend(conn, server);
    ParamRecord got;
    EXPECT_EQ(conn.receiveRecord(got, c.timeout), c.expected);
    EXPECT_FALSE(conn.connected());
    // Every later use fails at once until the owner connects again.
    EXPECT_EQ(conn.sendRecord(request("y"), 5000), Connection::kSendIncomplete);
  }
}

TEST(Connection, RecordsGoBothWaysAndBodiesThatDoNotParseAreStillConsumed) {
  ParamRecord reply = okReply();
  reply.setString("path", "/home/u");
  const Bytes type_50 = {0, 1, 'a', 50, 1};  // a typed body with an unknown type code
  Bytes bad = headerBytes(3, 0, type_50.size(), true);
  bad.insert(bad.end(), type_50.begin(), type_50.end());
  const struct {
    const char* what;
    Bytes bytes;
    int32_t timeout;
    const char* held;  // by the record after the first receive
  } cases[] = {
      {"a whole record, no time limit", framedBytes(reply), -1, "error= errstr= path=/home/u"},
      {"empty body: the record stays as it was", headerBytes(3, kFlagScramble, 0, true), 5000,
       "kept="},
      {"type code 50", bad, 5000, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeServer server;
    server.receive().raw(c.bytes).answer(okReply(0, "fine")).start();
    Connection conn;
    ASSERT_TRUE(conn.connect("127.0.0.1", server.port()));
    const ParamRecord x = request("x");
    EXPECT_EQ(conn.sendRecord(x, c.timeout), static_cast<int64_t>(encodedSize(x)));
    ParamRecord got;
    got.setInt32("kept", 1);
    EXPECT_EQ(conn.receiveRecord(got, c.timeout), static_cast<int64_t>(c.bytes.size()));
    EXPECT_EQ(entryTexts(got), c.held);
    EXPECT_TRUE(conn.connected());
    ASSERT_GT(conn.sendRecord(request("y"), c.timeout), 0);
    ASSERT_GT(conn.receiveRecord(got, c.timeout), 0);
    EXPECT_EQ(entryTexts(got), "error= errstr=fine");
    ASSERT_TRUE(server.waitDone());
    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(entryTexts(seen[0].record), "_cmd=x");
    EXPECT_TRUE(seen[0].record.scrambled());
  }
}

TEST(Connection, SendToAPeerThatLeftFailsWithoutKillingTheProcess) {
  FakeServer server;
  server.accept().close().start();
  Connection conn;
  ASSERT_TRUE(conn.connect("127.0.0.1", server.port()));
  ASSERT_TRUE(server.waitDone());
  ParamRecord big(kFlagScramble);
  Bytes blob(4 << 20, 0xAB);
  big.setBinary("blob", blob.data(), static_cast<uint32_t>(blob.size()));
  int64_t rc = 0;
  for (int i = 0; i < 4 && rc >= 0; ++i) rc = conn.sendRecord(big, 5000);
  EXPECT_EQ(rc, Connection::kSendIncomplete);
  EXPECT_FALSE(conn.connected());
}

TEST(Connection, TimeoutValueSplitsMilliseconds) {
  const struct {
    int32_t ms;
    time_t sec;
    suseconds_t usec;
  } cases[] = {{2500, 2, 500000}, {0, 0, 0}, {999, 0, 999000}};
  for (const auto& c : cases) {
    const ACE_Time_Value tv = timeoutValue(c.ms);
    EXPECT_EQ(tv.sec(), c.sec) << c.ms;
    EXPECT_EQ(tv.usec(), c.usec) << c.ms;
  }
}

}  // namespace
}  // namespace zavel
