// The client core without a display: accounts, club numbers, and the authentication exchange
// on a blocking socket against scripted routers, friendly and hostile. The exchange's rules
// message by message are the program's suite (AuthClient), which drives the same core.
#include <gtest/gtest.h>

#include <tuple>

#include "client/auth_exchange.h"
#include "client/frame_reader.h"
#include "client/rate_limiter.h"
#include "client/sign_in.h"
#include "tests/support/fake_server.h"
#include "tests/support/portal_messages.h"

namespace zavel::client {
namespace {

using Outcome = AuthExchange::Outcome;

TEST(SplitAccount, TakesOnlyThePortalDomainsInAnyCase) {
  // The text, the id and domain it gives ("" when refused).
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"demo@zavel.net", "demo", "zavel.net"},
      {"Kim@VEMAR.NET", "Kim", "vemar.net"},
      {"a@b@mzone.net", "a@b", "mzone.net"},
      {"demo@example.com", "", ""},
      {"demo", "", ""},
      {"@zavel.net", "", ""},
      {"demo@", "", ""},
  };
  for (const auto& [text, id, domain] : cases) {
    Credentials c;
    std::string error;
    EXPECT_EQ(splitAccount(text, &c, &error), !id.empty()) << text;
    EXPECT_EQ(c.id + c.domain, id + domain) << text;
    EXPECT_EQ(error.empty(), !id.empty()) << text;
  }
}

TEST(DiskRecord, TheClubNumberIsTheWholeUidOrNone) {
  const std::pair<std::string, int32_t> cases[] = {{"5001", 5001}, {"12abc", 0},       {"", 0},
                                                   {"-3", -3},     {"99999999999", 0}, {" 7", 0}};
  for (const auto& [uid, number] : cases)
    EXPECT_EQ((DiskRecord{uid, "", "octa"}.clubNumber()), number) << uid;
}

TEST(RateLimiter, HoldsTheBytesToTheRateOnAFakeClock) {
  using Clock = RateLimiter::Clock;
  using std::chrono::milliseconds;
  // The rate, then the takes: bytes moved and the idle time before each; the time at the end.
  const std::tuple<uint64_t, std::vector<std::pair<uint64_t, int>>, int> cases[] = {
      {1000, {{500, 0}, {500, 0}}, 1000},  // 1,000 bytes take a second
      {1000, {{250, 0}, {250, 0}, {500, 0}}, 1000},
      {1000, {{500, 0}, {500, 2000}}, 2500},  // an idle stretch earns no credit
      {1000, {{500, 0}, {500, 200}}, 1000},   // a short pause is part of the wait
      {0, {{1 << 30, 0}}, 0},                 // no limit
  };
  for (const auto& [rate, takes, end_ms] : cases) {
    Clock::time_point now{};
    RateLimiter limiter(
        rate, [&] { return now; }, [&](Clock::duration d) { now += d; });
    for (const auto& [bytes, idle] : takes) {
      now += milliseconds(idle);
      limiter.take(bytes);
    }
    EXPECT_EQ(std::chrono::duration_cast<milliseconds>(now.time_since_epoch()).count(), end_ms)
        << rate;
  }
  const std::pair<std::string, uint64_t> rates[] = {
      {"2M", 2u << 20}, {"512k", 512u << 10}, {"1G", 1u << 30}, {"300", 300}, {"0", 0}, {"2X", 0},
      {"M", 0},         {"99999999999G", 0}};
  for (const auto& [text, value] : rates) {
    uint64_t parsed = 0;
    EXPECT_EQ(parseRate(text, &parsed) ? parsed : 0, value) << text;
  }
}

// Reads one whole message from the client into *out.
void readMessage(ACE_SOCK_Stream& stream, portal::PortalMessage* out) {
  FrameReader reader;
  uint8_t byte = 0;
  ACE_Time_Value wait(5);
  while (reader.next(out) != FrameReader::Next::kMessage && stream.recv_n(&byte, 1, &wait) == 1)
    reader.append(&byte, 1);
}

std::vector<uint8_t> frameHead(uint32_t header, uint32_t body) {
  std::vector<uint8_t> b = {0x01, 0x31, 0x30, 0xF2, 0, 0, 0, 0};
  for (uint32_t part : {header, body}) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(part >> s));
    if (part == header) b.resize(b.size() + std::min<uint32_t>(header, 8), 'h');
  }
  return b;
}

TEST(Authenticate, EndsWithTheOutcomeOrAClearErrorWhateverTheRouterDoes) {
  const auto bytes = [](const portal::PortalMessage& m) { return m.bytes(); };
  std::vector<uint8_t> both = bytes(testing::queryNodeAns("root/c1"));
  const std::vector<uint8_t> answer = bytes(testing::authAnswer("root/c1"));
  const std::vector<uint8_t> refusal =
      bytes(testing::authAnswer("root/c1", {{"result", "2"}, {"errmsg", "비밀번호가 틀립니다"}}));
  // What the router sends once it has read the client's question (and, for a whole
  // exchange, its credentials), how long it then waits, the outcome and the error's words.
  const std::tuple<const char*, std::vector<uint8_t>, std::vector<uint8_t>, int, Outcome,
                   std::string>
      cases[] = {
          {"accepts", bytes(testing::queryNodeAns("root/c1")), answer, 0, Outcome::kAccepted, ""},
          {"refuses", bytes(testing::queryNodeAns("root/c1")), refusal, 0, Outcome::kRefused,
           "비밀번호가 틀립니다"},
          {"garbage",
           {'H', 'T', 'T', 'P', '/', '1', '.', '1', ' ', '2'},
           {},
           0,
           Outcome::kBroken,
           "not a message of this service"},
          {"over the limit",
           frameHead((1u << 20) + 1, 0),
           {},
           0,
           Outcome::kBroken,
           "not a message"},
          {"never ends",
           frameHead(8, 1u << 20),
           {},
           1000,
           Outcome::kPending,
           "did not answer within 300 ms"},
          {"silent", {}, {}, 1000, Outcome::kPending, "did not answer within 300 ms"},
          {"closes", {}, {}, -1, Outcome::kPending, "closed the connection"},
      };
  for (const auto& [what, first, second, stall, outcome, words] : cases) {
    SCOPED_TRACE(what);
    testing::FakeServer server;
    portal::PortalMessage question, credentials;
    server.run([&](ACE_SOCK_Stream& s) { readMessage(s, &question); });
    if (!first.empty()) server.raw(first);
    if (!second.empty()) {
      server.run([&](ACE_SOCK_Stream& s) { readMessage(s, &credentials); });
      server.raw(second);
    }
    if (stall > 0) server.stall(stall);
    server.close();
    server.start();
    AuthExchange exchange("demo@zavel.net", "pw", "key");
    std::string error;
    EXPECT_EQ(authenticate({"127.0.0.1", server.port()}, exchange, 300, &error), outcome);
    EXPECT_NE(error.find(words), std::string::npos) << error;
    EXPECT_TRUE(server.waitDone());
    if (second.empty()) continue;
    // The session key goes instead of the password, to the top of the node.
    portal::ValueMap body;
    portal::FormMap header;
    ASSERT_TRUE(credentials.parseValueBody(&body) && credentials.parseHeader(&header));
    std::string key, to, password;
    EXPECT_TRUE(body.getText("tovian_sessionkey2", &key) && key == "key");
    EXPECT_FALSE(body.getText("passwd", &password));
    EXPECT_TRUE(header.get("to", &to) && to == "root");
  }

  // No router at all.
  uint16_t closed_port = 0;
  {
    testing::FakeServer gone;
    closed_port = gone.port();
  }
  AuthExchange exchange("demo@zavel.net", "pw", "");
  std::string error;
  EXPECT_EQ(authenticate({"127.0.0.1", closed_port}, exchange, 300, &error), Outcome::kPending);
  EXPECT_NE(error.find("cannot connect"), std::string::npos) << error;
}

}  // namespace
}  // namespace zavel::client
