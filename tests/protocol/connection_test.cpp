#include "protocol/connection.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/framing.h"
#include "tests/support/fake_server.h"

namespace zavel {
namespace {

using testing::FakeServer;
using testing::okReply;

ParamRecord request(const char* cmd) {
  ParamRecord r(kFlagScramble);
  r.setString("_cmd", cmd);
  return r;
}

std::vector<uint8_t> encoded(const ParamRecord& r) {
  std::vector<uint8_t> m(encodedSize(r));
  encodeMessage(r, m.data(), m.size());
  return m;
}

TEST(Connection, ExchangesRecordsAndTheServerSeesTheRequest) {
  FakeServer server;
  ParamRecord reply = okReply();
  reply.setString("path", "/home/u");
  server.answer(reply).start();

  Connection c;
  ASSERT_TRUE(c.connect("127.0.0.1", server.port()));
  ParamRecord req = request("setuser");
  req.setString("id", "u");
  EXPECT_EQ(c.sendRecord(req, -1), static_cast<int64_t>(encodedSize(req)));
  ParamRecord got(kFlagScramble);
  EXPECT_EQ(c.receiveRecord(got, -1), static_cast<int64_t>(encodedSize(reply)));
  const char* path = nullptr;
  ASSERT_TRUE(got.getString("path", &path));
  EXPECT_STREQ(path, "/home/u");

  ASSERT_TRUE(server.waitDone());
  const auto seen = server.requests();
  ASSERT_EQ(seen.size(), 1u);
  const char* id = nullptr;
  ASSERT_TRUE(seen[0].record.getString("id", &id));
  EXPECT_STREQ(id, "u");
  EXPECT_TRUE(seen[0].record.scrambled());
}

TEST(Connection, ConnectFailsForARefusedPortOrEmptyHost) {
  uint16_t port = 0;
  {
    FakeServer probe;  // take a free port, then let it go
    port = probe.port();
  }
  Connection c;
  EXPECT_FALSE(c.connect("127.0.0.1", port));
  EXPECT_FALSE(c.connected());
  EXPECT_FALSE(c.connect("", port));
}

TEST(Connection, ReceiveFailuresCloseTheStream) {
  ParamRecord reply = okReply();
  const std::vector<uint8_t> whole = encoded(reply);
  std::vector<uint8_t> bad_magic = whole;
  bad_magic[0] = 'x';
  const std::vector<uint8_t> header_only(whole.begin(), whole.begin() + 16);
  std::vector<uint8_t> too_long = whole;  // length field 16 MiB + 1, checksum irrelevant
  too_long[8] = 0x01;
  too_long[9] = 0x00;
  too_long[10] = 0x00;
  too_long[11] = 0x01;

  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int64_t expected;
  } cases[] = {
      {"wrong magic", bad_magic, Connection::kRecvBadHeader},
      {"close after header", header_only, Connection::kRecvIncomplete},
      {"length above 16 MiB", too_long, Connection::kRecvBadHeader},
      {"half a header", std::vector<uint8_t>(whole.begin(), whole.begin() + 8),
       Connection::kRecvIncomplete},
  };
  for (const auto& c : cases) {
    FakeServer server;
    server.receive().raw(c.bytes).close().start();
    Connection conn;
    ASSERT_TRUE(conn.connect("127.0.0.1", server.port()));
    ASSERT_GT(conn.sendRecord(request("x"), 5000), 0);
    ParamRecord got;
    EXPECT_EQ(conn.receiveRecord(got, 5000), c.expected) << c.what;
    EXPECT_FALSE(conn.connected()) << c.what;
    // Every later use fails at once until the owner connects again.
    EXPECT_EQ(conn.sendRecord(request("y"), 5000), Connection::kSendIncomplete) << c.what;
  }
}

TEST(Connection, EmptyBodyLeavesTheRecordAsItWas) {
  const uint8_t empty[] = {'z', 'v', 0, 3, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0x85, 0x84};
  // ~(0x7A76 + 0x0003 + 0x0002) = 0x8584
  FakeServer server;
  server.receive().raw(std::vector<uint8_t>(empty, empty + 16)).start();
  Connection conn;
  ASSERT_TRUE(conn.connect("127.0.0.1", server.port()));
  ASSERT_GT(conn.sendRecord(request("x"), 5000), 0);
  ParamRecord got;
  got.setInt32("kept", 1);
  EXPECT_EQ(conn.receiveRecord(got, 5000), 16);
  EXPECT_TRUE(got.has("kept"));
  EXPECT_TRUE(conn.connected());
}

TEST(Connection, UnparseableBodyIsConsumedAndTheStreamStaysUsable) {
  // A typed body with type code 50: consumed whole, then a good reply follows.
  const uint8_t body[] = {0, 1, 'a', 50, 1};
  ParamRecord plain;
  std::vector<uint8_t> bad(16);
  bad[0] = 'z';
  bad[1] = 'v';
  bad[3] = 3;
  bad[11] = sizeof body;
  const uint16_t sum = headerChecksum(plain, bad.data());
  bad[14] = static_cast<uint8_t>(sum >> 8);
  bad[15] = static_cast<uint8_t>(sum);
  bad.insert(bad.end(), body, body + sizeof body);

  ParamRecord second = okReply(0, "fine");
  FakeServer server;
  server.receive().raw(bad).answer(second).start();
  Connection conn;
  ASSERT_TRUE(conn.connect("127.0.0.1", server.port()));
  ASSERT_GT(conn.sendRecord(request("x"), 5000), 0);
  ParamRecord got;
  EXPECT_EQ(conn.receiveRecord(got, 5000), static_cast<int64_t>(bad.size()));
  EXPECT_TRUE(conn.connected());
  ASSERT_GT(conn.sendRecord(request("y"), 5000), 0);
  ASSERT_GT(conn.receiveRecord(got, 5000), 0);
  const char* text = nullptr;
  ASSERT_TRUE(got.getString("errstr", &text));
  EXPECT_STREQ(text, "fine");
}

TEST(Connection, StalledServerTimesOutAndCloses) {
  FakeServer server;
  server.receive().stall(3000).start();
  Connection conn;
  ASSERT_TRUE(conn.connect("127.0.0.1", server.port()));
  ASSERT_GT(conn.sendRecord(request("x"), 5000), 0);
  ParamRecord got;
  EXPECT_EQ(conn.receiveRecord(got, 200), Connection::kRecvIncomplete);
  EXPECT_FALSE(conn.connected());
}

TEST(Connection, SendToAPeerThatLeftFailsWithoutKillingTheProcess) {
  FakeServer server;
  server.accept().close().start();
  Connection conn;
  ASSERT_TRUE(conn.connect("127.0.0.1", server.port()));
  ASSERT_TRUE(server.waitDone());
  ParamRecord big(kFlagScramble);
  std::vector<uint8_t> blob(4 << 20, 0xAB);
  big.setBinary("blob", blob.data(), static_cast<uint32_t>(blob.size()));
  int64_t rc = 0;
  for (int i = 0; i < 4 && rc >= 0; ++i) rc = conn.sendRecord(big, 5000);
  EXPECT_EQ(rc, Connection::kSendIncomplete);
  EXPECT_FALSE(conn.connected());
}

TEST(Connection, TimeoutValueSplitsMilliseconds) {
  const ACE_Time_Value tv = timeoutValue(2500);
  EXPECT_EQ(tv.sec(), 2);
  EXPECT_EQ(tv.usec(), 500000);
}

}  // namespace
}  // namespace zavel
