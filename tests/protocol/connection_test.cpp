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

template <typename... Parts>
Bytes joined(const Parts&... parts) {
  Bytes out;
  (out.insert(out.end(), parts.begin(), parts.end()), ...);
  return out;
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

TEST(Connection, ReceiveTakesOneMessageWhateverItsPiecesAndLeavesTheBytesBehindIt) {
  ParamRecord small = okReply(0, "here"), large = okReply();
  small.setString("path", "/home/u");
  const Bytes blob(1 << 20, 0x5A);  // more than one recv takes on loopback
  large.setBinary("blob", blob.data(), static_cast<uint32_t>(blob.size()));
  const struct {
    Bytes bytes;
    const char* held;  // by the record once received; an empty body leaves it as it was
  } messages[] = {{framedBytes(small), "error= errstr=here path=/home/u"},
                  {headerBytes(3, kFlagScramble, 0, true), "kept="},
                  {framedBytes(large), "blob= error= errstr="}};
  const Bytes tail = {'r', 'a', 'w', 0, 1};  // a transfer's data right behind its reply
  constexpr int64_t kLate = Connection::kRecvLate, kIncomplete = Connection::kRecvIncomplete;
  const struct {
    const char* what;
    int message;
    std::vector<size_t> cuts;  // the message and tail go in pieces cut here, `gap` ms apart
    int gap;
    int32_t timeout;
    int blocking;
    int64_t failure;  // 0: the message is taken
  } cases[] = {
      {"one piece", 0, {}, 0, 5000, 1, 0},
      {"an empty body", 1, {}, 0, 5000, 1, 0},
      {"a body larger than one read", 2, {}, 0, 5000, 1, 0},
      {"header and body in pieces", 0, {5, 16, 20}, 100, 5000, 1, 0},
      {"in pieces, no time limit, connected non-blocking", 0, {9, 30}, 300, -1, 0, 0},
      // Each piece comes within the time-out, the whole header only after it.
      {"a header slower in all than the time-out", 0, {4, 8, 12}, 1000, 2000, 1, kLate},
      {"a header, then a stall past the time-out", 0, {16}, 20000, 200, 1, kIncomplete},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto& message = messages[c.message];
    const Bytes sent = joined(message.bytes, tail);
    FakeServer server;
    server.receive();
    size_t from = 0;
    for (const size_t to : c.cuts) {
      server.raw(Bytes(sent.begin() + from, sent.begin() + to)).stall(c.gap);
      from = to;
    }
    server.raw(Bytes(sent.begin() + from, sent.end())).start();
    Connection conn;
    ASSERT_TRUE(conn.connect("127.0.0.1", server.port(), c.blocking));
    ASSERT_GT(conn.sendRecord(request("x"), c.timeout), 0);
    ParamRecord got;
    got.setInt32("kept", 1);
    const int64_t whole = static_cast<int64_t>(message.bytes.size());
    EXPECT_EQ(conn.receiveRecord(got, c.timeout), c.failure != 0 ? c.failure : whole);
    EXPECT_EQ(entryTexts(got), c.failure != 0 ? "kept=" : message.held);
    EXPECT_EQ(conn.connected(), c.failure == 0);
    if (c.failure != 0) continue;
    Bytes rest(tail.size());
    EXPECT_EQ(conn.receiveBytes(rest.data(), rest.size(), 5000), tail.size());
    EXPECT_EQ(rest, tail);
  }
}

TEST(Connection, SendWaitsForTheReaderWithinItsTimeOut) {
  // More than loopback's socket buffers hold, so the send has to wait for the reader.
  ParamRecord big(kFlagScramble);
  const Bytes blob(15 << 20, 0xA5);
  big.setBinary("blob", blob.data(), static_cast<uint32_t>(blob.size()));
  const struct {
    int stall;  // milliseconds before the server starts reading
    int32_t timeout;
    int blocking;
    bool sent;
  } cases[] = {{500, -1, 1, true}, {500, 5000, 0, true}, {20000, 300, 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.timeout);
    FakeServer server;
    server.accept().stall(c.stall).receive().start();
    Connection conn;
    ASSERT_TRUE(conn.connect("127.0.0.1", server.port(), c.blocking));
    EXPECT_EQ(conn.sendRecord(big, c.timeout),
              c.sent ? static_cast<int64_t>(encodedSize(big)) : Connection::kSendIncomplete);
    EXPECT_EQ(conn.connected(), c.sent);
    Bytes received;
    if (c.sent && server.waitDone() && server.requests().size() == 1u)
      server.requests()[0].record.getBinaryVector("blob", &received);
    EXPECT_EQ(received == blob, c.sent);
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
