// The authentication exchange against a scripted router: routing, credentials, and every
// message the client must ignore.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/signin/auth_client.h"
#include "app/signin/texts.h"
#include "tests/app/support/fake_auth_server.h"
#include "tests/app/support/scripted_prompter.h"

namespace zavel::app {
namespace {

using testing::authAnswer;
using testing::FakeAuthServer;
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

portal::FormMap headerOf(const portal::PortalMessage& m) {
  portal::FormMap h;
  EXPECT_TRUE(m.parseHeader(&h));
  return h;
}

std::string get(const portal::FormMap& map, const char* key) {
  std::string v = "<absent>";
  map.get(key, &v);
  return v;
}

TEST(AuthClient, RoutesTheRequestThroughTheTopOfItsNode) {
  struct Case {
    std::string node, to;
  } cases[] = {{"a/b/c", "a"}, {"root/c7", "root"}, {"solo", "solo"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.node);
    FakeAuthServer server;
    testing::ScriptedPrompter prompter;
    server.standard(c.node, authAnswer(c.node));
    const Outcome run = exchange(server, prompter);
    ASSERT_EQ(run.result, true);
    EXPECT_EQ(run.progress, (std::vector<int>{30, 35, 45, 60, 70, 80, 90, 100}));
    ASSERT_EQ(server.received().size(), 2u);

    const auto query = headerOf(server.received()[0]);
    EXPECT_EQ(get(query, "ctrl"), "general");
    EXPECT_EQ(get(query, "general"), "queryNode");
    EXPECT_EQ(get(query, "bodytype"), "0");

    const auto request = server.received()[1];
    const auto h = headerOf(request);
    EXPECT_EQ(get(h, "from"), c.node);
    EXPECT_EQ(get(h, "to"), c.to);
    EXPECT_EQ(get(h, "svc"), "authsvr");
    EXPECT_EQ(get(h, "bodytype"), "1");
  }
}

TEST(AuthClient, SendsThePasswordOrElseTheSessionKeyNeverBoth) {
  struct Case {
    QString password, key;
    std::string passwd, session;
  } cases[] = {
      {"pw", "", "pw", "<absent>"}, {"pw", "sk", "<absent>", "sk"}, {"", "sk", "<absent>", "sk"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key.toStdString());
    FakeAuthServer server;
    testing::ScriptedPrompter prompter;
    server.standard("root/c1", authAnswer("root/c1"));
    ASSERT_EQ(exchange(server, prompter, c.password, c.key).result, true);
    portal::ValueMap body;
    ASSERT_TRUE(server.received().at(1).parseValueBody(&body));
    EXPECT_TRUE(body.wasScrambled());
    std::string v;
    EXPECT_TRUE(body.getText("cmd", &v) && v == "auth");
    EXPECT_TRUE(body.getText("userid", &v) && v == "user1@vemar.net");
    EXPECT_EQ(body.getText("passwd", &v) ? v : "<absent>", c.passwd);
    EXPECT_EQ(body.getText("tovian_sessionkey2", &v) ? v : "<absent>", c.session);
  }
}

// Each of these is dropped silently; the good answer after it still completes the exchange.
TEST(AuthClient, IgnoresMessagesThatDoNotFitAndGoesOn) {
  portal::ValueMap value_body;
  value_body.putText("inform", "auth");
  value_body.putText("result", "0");
  portal::FormMap value_header{};
  value_header.set("to", "root/c1");
  value_header.set("from", "root");
  struct Case {
    const char* what;
    int after;  // 0: before the node answer, 1: before the auth answer
    portal::PortalMessage message;
  } cases[] = {
      {"ctrl is not general", 0, textMessage({{"ctrl", "other"}, {"general", "queryNodeAns"}})},
      {"general is missing", 0, textMessage({{"ctrl", "general"}})},
      {"general is another answer", 0, textMessage({{"ctrl", "general"}, {"general", "hello"}})},
      {"no node address", 0,
       textMessage({{"ctrl", "general"},
                    {"general", "queryNodeAns"},
                    {"parentName", "root"},
                    {"childName", "c1"}})},
      {"answer to another node", 1, authAnswer("root/c2")},
      {"answer without from", 1,
       textMessage({{"to", "root/c1"}}, {{"inform", "auth"}, {"result", "0"}})},
      {"inform is not auth", 1, authAnswer("root/c1", {{"inform", "other"}})},
      {"no result", 1, authAnswer("root/c1", {{"result", "<drop>"}})},
      {"value-map body", 1, portal::PortalMessage::build(value_header, value_body, true)},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeAuthServer server;
    testing::ScriptedPrompter prompter;
    if (c.after == 0) {
      server.after(0, {c.message, queryNodeAns("root/c1")});
      server.after(1, {authAnswer("root/c1")});
    } else {
      server.after(0, {queryNodeAns("root/c1")});
      server.after(1, {c.message, authAnswer("root/c1")});
    }
    const Outcome run = exchange(server, prompter);
    EXPECT_EQ(run.result, true);
    EXPECT_TRUE(prompter.prompts().empty());
  }
}

TEST(AuthClient, RefusedAnswersFailWithTheirText) {
  struct Case {
    testing::Pairs body;
    QString shown;
  } cases[] = {
      {{{"result", "2"}, {"errmsg", "비밀번호가 틀립니다"}}, "비밀번호가 틀립니다"},
      {{{"result", "3"}, {"errmsg", "<drop>"}}, ""},
      {{{"eid", "<drop>"}}, text::tr(text::kBadAuthInfo)},
      {{{"name", "<drop>"}}, text::tr(text::kBadAuthInfo)},
      {{{"result", "00"}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown.toStdString());
    FakeAuthServer server;
    testing::ScriptedPrompter prompter;
    server.standard("root/c1", authAnswer("root/c1", c.body));
    const Outcome run = exchange(server, prompter);
    EXPECT_EQ(run.result, false);
    EXPECT_EQ(prompter.texts(), QStringList{c.shown});
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
