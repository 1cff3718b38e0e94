// The authentication exchange against a scripted router: the receive side's framing, routing,
// credentials, and every message the client must ignore.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <tuple>

#include "app/signin/auth_client.h"
#include "app/signin/frame_reader.h"
#include "app/signin/texts.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/fake_auth_server.h"
#include "tests/app/support/scripted_prompter.h"

namespace zavel::app {
namespace {

using testing::authAnswer;
using testing::FakeAuthServer;
using testing::Pairs;
using testing::queryNodeAns;
using testing::textMessage;
using testing::waitFor;

struct Outcome {
  std::vector<int> progress;
  std::optional<bool> result;
};

// Runs one exchange against the server until it finishes or the server has sent everything
// and a moment passed.
Outcome exchange(FakeAuthServer& server, testing::ScriptedPrompter& prompter,
                 const QString& password = "pw", const QString& key = "",
                 int expected_messages = 2) {
  Outcome run;
  AuthClient client("user1@vemar.net", password, key, prompter);
  QObject::connect(&client, &AuthClient::progress, [&](int v) { run.progress.push_back(v); });
  QObject::connect(&client, &AuthClient::finished, [&](bool ok) { run.result = ok; });
  EXPECT_TRUE(client.initialize());
  EXPECT_TRUE(client.connect("127.0.0.1", server.port()));
  waitFor([&] {
    return run.result.has_value() ||
           static_cast<int>(server.received().size()) >= expected_messages;
  });
  waitFor([&] { return run.result.has_value(); }, run.result ? 0 : 300);
  return run;
}

// Each field of the message's form header as the message has it ("<absent>" when not).
void expectHeader(const portal::PortalMessage& m, const Pairs& fields) {
  portal::FormMap header;
  EXPECT_TRUE(m.parseHeader(&header));
  for (const auto& [key, value] : fields) {
    std::string got = "<absent>";
    header.get(key, &got);
    EXPECT_EQ(got, value) << key;
  }
}

std::vector<uint8_t> frameWith(uint32_t header, uint32_t body) {
  std::vector<uint8_t> b = {0x01, 0x31, 0x30, 0xF2, 0, 0, 0, 0};
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(header >> s));
  b.resize(b.size() + std::min<uint32_t>(header, 64), 'h');
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(body >> s));
  return b;
}

TEST(FrameReader, DeliversBackToBackAndSplitMessagesWhole) {
  const auto one = testing::queryNodeAns("root/c1").bytes();
  const auto two = testing::authAnswer("root/c1").bytes();
  std::vector<uint8_t> stream = one;
  stream.insert(stream.end(), two.begin(), two.end());

  // Every split point of the two-message stream gives the same two messages.
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE(cut);
    FrameReader reader;
    std::vector<std::vector<uint8_t>> got;
    portal::PortalMessage m;
    reader.append(stream.data(), cut);
    while (reader.next(&m) == FrameReader::Next::kMessage) got.push_back(m.bytes());
    reader.append(stream.data() + cut, stream.size() - cut);
    while (reader.next(&m) == FrameReader::Next::kMessage) got.push_back(m.bytes());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], one);
    EXPECT_EQ(got[1], two);
    EXPECT_EQ(reader.buffered(), 0u);
  }
}

TEST(FrameReader, RefusesBrokenOrOversizedFrames) {
  const std::tuple<const char*, std::vector<uint8_t>, FrameReader::Next> cases[] = {
      {"wrong magic", {0x01, 0x31, 0x30, 0xF3, 0, 0, 0, 0}, FrameReader::Next::kBroken},
      {"header over 1 MiB", frameWith((1u << 20) + 1, 0), FrameReader::Next::kBroken},
      {"header of 2^32-1", frameWith(0xFFFFFFFFu, 0), FrameReader::Next::kBroken},
      {"body over 1 MiB", frameWith(8, (1u << 20) + 1), FrameReader::Next::kBroken},
      {"body of 1 MiB waits for its bytes", frameWith(8, 1u << 20), FrameReader::Next::kNone},
      {"three bytes", {0x01, 0x31, 0x30}, FrameReader::Next::kNone},
      {"nothing", {}, FrameReader::Next::kNone},
      {"empty header and body", frameWith(0, 0), FrameReader::Next::kMessage},
      {"header of 1 MiB waits for its bytes", frameWith(1u << 20, 0), FrameReader::Next::kNone},
  };
  for (const auto& [what, bytes, expected] : cases) {
    SCOPED_TRACE(what);
    FrameReader reader;
    reader.append(bytes.data(), bytes.size());
    portal::PortalMessage m;
    EXPECT_EQ(reader.next(&m), expected);
  }
}

TEST(AuthClient, RoutesThroughTheTopOfItsNodeWithThePasswordOrElseTheSessionKey) {
  // The node the router gives, the top it goes to; the password and key given, the passwd
  // and tovian_sessionkey2 sent.
  const std::tuple<std::string, std::string, QString, QString, std::string, std::string> cases[] = {
      {"a/b/c", "a", "pw", "", "pw", "<absent>"},
      {"root/c7", "root", "pw", "sk", "<absent>", "sk"},
      {"solo", "solo", "", "sk", "<absent>", "sk"}};
  for (const auto& [node, to, password, key, passwd, session] : cases) {
    SCOPED_TRACE(node);
    FakeAuthServer server;
    testing::ScriptedPrompter prompter;
    server.standard(node, authAnswer(node));
    const Outcome run = exchange(server, prompter, password, key);
    ASSERT_EQ(run.result, true);
    EXPECT_EQ(run.progress, (std::vector<int>{30, 35, 45, 60, 70, 80, 90, 100}));
    ASSERT_EQ(server.received().size(), 2u);
    expectHeader(server.received()[0],
                 {{"ctrl", "general"}, {"general", "queryNode"}, {"bodytype", "0"}});
    expectHeader(server.received()[1],
                 {{"from", node}, {"to", to}, {"svc", "authsvr"}, {"bodytype", "1"}});
    portal::ValueMap body;
    ASSERT_TRUE(server.received()[1].parseValueBody(&body));
    EXPECT_TRUE(body.wasScrambled());
    const auto text = [&](const char* name) {
      std::string v;
      return body.getText(name, &v) ? v : "<absent>";
    };
    EXPECT_EQ(text("cmd"), "auth");
    EXPECT_EQ(text("userid"), "user1@vemar.net");
    EXPECT_EQ(text("passwd"), passwd);
    EXPECT_EQ(text("tovian_sessionkey2"), session);
  }
}

using Replies = std::vector<portal::PortalMessage>;
using Result = std::pair<std::optional<bool>, QStringList>;

// The result and the texts shown, with these answers to the node query and to the request.
Result answered(const Replies& first, const Replies& second) {
  FakeAuthServer server;
  testing::ScriptedPrompter prompter;
  server.after(0, first);
  server.after(1, second);
  const auto result = exchange(server, prompter).result;
  return {result, prompter.texts()};
}

// Each of these is dropped silently; the good answer after it still completes the exchange.
TEST(AuthClient, IgnoresMessagesThatDoNotFitAndGoesOn) {
  portal::ValueMap value_body;
  value_body.putText("inform", "auth");
  value_body.putText("result", "0");
  portal::FormMap value_header{};
  value_header.set("to", "root/c1");
  value_header.set("from", "root");
  // clang-format off
  const Pairs no_address = {{"ctrl", "general"}, {"general", "queryNodeAns"},
                            {"parentName", "root"}, {"childName", "c1"}};
  const Pairs auth_ok = {{"inform", "auth"}, {"result", "0"}};
  // What, where (0: before the node answer, 1: before the auth answer), the message.
  const std::tuple<const char*, int, portal::PortalMessage> cases[] = {
      {"ctrl is other",   0, textMessage({{"ctrl", "other"}, {"general", "queryNodeAns"}})},
      {"no general",      0, textMessage({{"ctrl", "general"}})},
      {"general hello",   0, textMessage({{"ctrl", "general"}, {"general", "hello"}})},
      {"no node address", 0, textMessage(no_address)},
      {"to another node", 1, authAnswer("root/c2")},
      {"no from",         1, textMessage({{"to", "root/c1"}}, auth_ok)},
      {"inform is other", 1, authAnswer("root/c1", {{"inform", "other"}})},
      {"no result",       1, authAnswer("root/c1", {{"result", "<drop>"}})},
      {"value-map body",  1, portal::PortalMessage::build(value_header, value_body, true)},
  };
  // clang-format on
  for (const auto& [what, after, message] : cases) {
    SCOPED_TRACE(what);
    Replies replies[2] = {{queryNodeAns("root/c1")}, {authAnswer("root/c1")}};
    replies[after].insert(replies[after].begin(), message);
    EXPECT_EQ(answered(replies[0], replies[1]), Result(true, {}));
  }
}

TEST(AuthClient, RefusedAnswersFailWithTheirText) {
  // clang-format off
  const std::pair<Pairs, QString> cases[] = {
      {{{"result", "2"}, {"errmsg", "비밀번호가 틀립니다"}}, "비밀번호가 틀립니다"},
      {{{"result", "3"}, {"errmsg", "<drop>"}},               ""},
      {{{"eid", "<drop>"}},                                   text::tr(text::kBadAuthInfo)},
      {{{"name", "<drop>"}},                                  text::tr(text::kBadAuthInfo)},
      {{{"result", "00"}},                                    ""},
  };
  // clang-format on
  for (const auto& [body, shown] : cases) {
    SCOPED_TRACE(shown.toStdString());
    EXPECT_EQ(answered({queryNodeAns("root/c1")}, {authAnswer("root/c1", body)}),
              Result(false, {shown}));
  }
}

TEST(AuthClient, ClosesAStreamThatLostItsFraming) {
  FakeAuthServer server;
  testing::ScriptedPrompter prompter;
  server.after(0, std::vector<QByteArray>{QByteArray("\x01\x31\x30\xF3garbage", 11)});
  const Outcome run = exchange(server, prompter, "pw", "", 1);
  EXPECT_TRUE(waitFor([&] { return server.clientGone(); }));
  EXPECT_FALSE(run.result.has_value());
}

TEST(AuthClient, ARefusedConnectionSaysSo) {
  testing::ScriptedPrompter prompter;
  quint16 closed_port = 0;
  {
    FakeAuthServer gone;
    closed_port = gone.port();
  }
  AuthClient client("user1@vemar.net", "pw", "", prompter);
  QSignalSpy failed(&client, &AuthClient::connectFailed);
  ASSERT_TRUE(client.connect("127.0.0.1", closed_port));
  EXPECT_TRUE(failed.wait(5000));
  EXPECT_EQ(prompter.texts(), QStringList{text::tr(text::kConnectFailed)});
  EXPECT_FALSE(client.connect("no-such-host.invalid", 10020));
}

}  // namespace
}  // namespace zavel::app
