// The sign-in without its dialog: the authentication exchange against a scripted router (the
// receive side's framing, routing, credentials, every message the client must ignore), the
// launch-text parser, and the sign-in logic against the demo devserver end to end (signing in
// with launch keys: see ProgramTest) and against a scripted router where a fault is staged.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <array>
#include <tuple>

#include "app/signin/auth_client.h"
#include "client/frame_reader.h"
#include "app/signin/launch_keys.h"
#include "app/signin/sign_in_logic.h"
#include "app/signin/texts.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/demo_server.h"
#include "tests/app/support/fake_auth_server.h"

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
    client::FrameReader reader;
    std::vector<std::vector<uint8_t>> got;
    portal::PortalMessage m;
    reader.append(stream.data(), cut);
    while (reader.next(&m) == client::FrameReader::Next::kMessage) got.push_back(m.bytes());
    reader.append(stream.data() + cut, stream.size() - cut);
    while (reader.next(&m) == client::FrameReader::Next::kMessage) got.push_back(m.bytes());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], one);
    EXPECT_EQ(got[1], two);
    EXPECT_EQ(reader.buffered(), 0u);
  }
}

TEST(FrameReader, RefusesBrokenOrOversizedFrames) {
  const std::tuple<const char*, std::vector<uint8_t>, client::FrameReader::Next> cases[] = {
      {"wrong magic", {0x01, 0x31, 0x30, 0xF3, 0, 0, 0, 0}, client::FrameReader::Next::kBroken},
      {"header over 1 MiB", frameWith((1u << 20) + 1, 0), client::FrameReader::Next::kBroken},
      {"header of 2^32-1", frameWith(0xFFFFFFFFu, 0), client::FrameReader::Next::kBroken},
      {"body over 1 MiB", frameWith(8, (1u << 20) + 1), client::FrameReader::Next::kBroken},
      {"body of 1 MiB waits for its bytes", frameWith(8, 1u << 20), client::FrameReader::Next::kNone},
      {"three bytes", {0x01, 0x31, 0x30}, client::FrameReader::Next::kNone},
      {"nothing", {}, client::FrameReader::Next::kNone},
      {"empty header and body", frameWith(0, 0), client::FrameReader::Next::kMessage},
      {"header of 1 MiB waits for its bytes", frameWith(1u << 20, 0), client::FrameReader::Next::kNone},
  };
  for (const auto& [what, bytes, expected] : cases) {
    SCOPED_TRACE(what);
    client::FrameReader reader;
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

// Each message put before the good answer: dropped silently, the exchange then completing;
// or a refused answer, ending it with its text.
TEST(AuthClient, AnswersThatDoNotFitAreIgnoredAndRefusalsFailWithTheirText) {
  portal::ValueMap value_body;
  value_body.putText("inform", "auth");
  value_body.putText("result", "0");
  portal::FormMap value_header{};
  value_header.set("to", "root/c1");
  value_header.set("from", "root");
  const Result ok(true, {});
  const auto to_c1 = [](const Pairs& body) { return authAnswer("root/c1", body); };
  const auto told = [](const QString& text) { return Result(false, {text}); };
  const char* wrong = "비밀번호가 틀립니다";
  const QString bad_auth = text::tr(text::kBadAuthInfo);
  // clang-format off
  const Pairs no_address = {{"ctrl", "general"}, {"general", "queryNodeAns"},
                            {"parentName", "root"}, {"childName", "c1"}};
  const Pairs auth_ok = {{"inform", "auth"}, {"result", "0"}};
  // What, where (0: before the node answer, 1: before the auth answer), the message, the outcome.
  const std::tuple<const char*, int, portal::PortalMessage, Result> cases[] = {
      {"ctrl is other",   0, textMessage({{"ctrl", "other"}, {"general", "queryNodeAns"}}), ok},
      {"no general",      0, textMessage({{"ctrl", "general"}}), ok},
      {"general hello",   0, textMessage({{"ctrl", "general"}, {"general", "hello"}}), ok},
      {"no node address", 0, textMessage(no_address), ok},
      {"to another node", 1, authAnswer("root/c2"), ok},
      {"no from",         1, textMessage({{"to", "root/c1"}}, auth_ok), ok},
      {"inform is other", 1, to_c1({{"inform", "other"}}), ok},
      {"no result",       1, to_c1({{"result", "<drop>"}}), ok},
      {"value-map body",  1, portal::PortalMessage::build(value_header, value_body, true), ok},
      {"refused",         1, to_c1({{"result", "2"}, {"errmsg", wrong}}), told(wrong)},
      {"no errmsg",       1, to_c1({{"result", "3"}, {"errmsg", "<drop>"}}), told("")},
      {"no eid",          1, to_c1({{"eid", "<drop>"}}), told(bad_auth)},
      {"no name",         1, to_c1({{"name", "<drop>"}}), told(bad_auth)},
      {"result 00",       1, to_c1({{"result", "00"}}), told("")},
  };
  // clang-format on
  for (const auto& [what, after, message, outcome] : cases) {
    SCOPED_TRACE(what);
    Replies replies[2] = {{queryNodeAns("root/c1")}, {authAnswer("root/c1")}};
    replies[after].insert(replies[after].begin(), message);
    EXPECT_EQ(answered(replies[0], replies[1]), outcome);
  }
}

// A stream that lost its framing is closed; a refused connection says so.
TEST(AuthClient, ABrokenStreamIsClosedAndARefusedConnectionSaysSo) {
  testing::ScriptedPrompter prompter;
  quint16 closed_port = 0;
  {
    FakeAuthServer server;
    closed_port = server.port();
    server.after(0, std::vector<QByteArray>{QByteArray("\x01\x31\x30\xF3garbage", 11)});
    EXPECT_FALSE(exchange(server, prompter, "pw", "", 1).result.has_value());
    EXPECT_TRUE(waitFor([&] { return server.clientGone(); }));
  }
  prompter.clear();
  AuthClient client("user1@vemar.net", "pw", "", prompter);
  QSignalSpy failed(&client, &AuthClient::connectFailed);
  ASSERT_TRUE(client.connect("127.0.0.1", closed_port));
  EXPECT_TRUE(failed.wait(5000));
  EXPECT_EQ(prompter.texts(), QStringList{text::tr(text::kConnectFailed)});
  EXPECT_FALSE(client.connect("no-such-host.invalid", 10020));
}

TEST(LaunchText, ReadsIdAndSessionKeyAfterTheScheme) {
  // The launch text, whether it gives keys, the id and the session key in them.
  const std::tuple<std::u16string, bool, std::u16string, std::optional<std::u16string>> cases[] = {
      {u"zavel-auth:u_id=demo;u_sessionkey=abc", true, u"demo", u"abc"},
      {u"zavel-auth: U_ID = demo ; U_SessionKey =  a=b  ", true, u"demo", u"a=b"},
      {u"zavel-auth:u_id=demo", true, u"demo", std::nullopt},
      {u"zavel-auth:u_id=demo;u_sessionkey=", true, u"demo", u""},
      {u"zavel-auth:u_sessionkey=abc;u_id=x;junk;=v", true, u"x", u"abc"},
      {u"zavel-auth:u_id=;u_sessionkey=abc", false, u"", std::nullopt},
      {u"zavel-auth:", false, u"", std::nullopt},   // exactly 11 characters
      {u"zavel-auth:x", false, u"", std::nullopt},  // 12, but no pairs
      {u"u_id=demo;u", false, u"", std::nullopt},   // the pairs fall inside the 11 skipped
      {u"", false, u"", std::nullopt},
  };
  for (const auto& [text, given, id, key] : cases) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    const auto keys = parseLaunchText(text);
    ASSERT_EQ(keys.has_value(), given);
    if (!keys) continue;
    EXPECT_EQ(keys->id, id);
    EXPECT_EQ(keys->sessionKey, key);
  }
}

class SignInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.writeText("server", "ip", "127.0.0.1");
    settings_.writeInt("server", "port", demo_.server().portalPort());
    settings_.writeText("serverOCTA", "ip", "127.0.0.1");
    settings_.writeInt("serverOCTA", "port", demo_.server().listPort());
    makeLogic();
  }

  void makeLogic(uint16_t auth_port = 0) {
    logic_ = std::make_unique<SignInLogic>(login_, settings_, prompter_);
    logic_->setAuthServer("127.0.0.1", auth_port ? auth_port : demo_.server().authPort());
    logic_->lookups().setBoundedWaitMs(5000);
    QObject::connect(logic_.get(), &SignInLogic::finished, [this](int r) { result_ = r; });
  }

  // Types the account into the form and signs in.
  void startSignIn(const QString& id, const QString& domain, const QString& password) {
    SignInForm form = logic_->form();
    form.id = id;
    form.domain = domain;
    form.password = password;
    logic_->setForm(form);
    logic_->startSignIn();
  }
  // The dialog's result, or 0 when the logic went back to idle instead.
  int signIn(const QString& id, const QString& domain, const QString& password) {
    startSignIn(id, domain, password);
    waitFor([&] { return result_ != 0 || logic_->state() == SignInLogic::State::kIdle; });
    return result_;
  }

  std::vector<std::string> logEntries() {
    // The log goes out without waiting for an answer; give the server a moment.
    waitFor([&] { return false; }, 200);
    return demo_.connectLog();
  }

  void remember(const QString& id, const QString& domain, const QString& password) {
    LoginInfo account = testing::user(id, domain);
    account.password = password;
    account.savePassword = true;
    logic_->accounts().saveAccount(account);
  }

  testing::DemoServer demo_;
  QTemporaryDir dir_;
  SettingsStore settings_{dir_.filePath("zavel.conf")};
  LoginInfo login_;
  testing::ScriptedPrompter prompter_;
  std::unique_ptr<SignInLogic> logic_;
  int result_ = 0;
};

TEST_F(SignInTest, SignsInByPasswordAndReadsTheDiskList) {
  // The domain typed, the password, the result, the one text shown ("*": any).
  const std::tuple<QString, QString, int, QString> cases[] = {
      {"zavel.net", "demo", SignInLogic::kAccepted, ""},
      {"ZAVEL.NET", "demo", SignInLogic::kAccepted, ""},
      {"zavel.net", "nope", 0, "*"},
      {"example.com", "demo", 0, text::tr(text::kUnknownDomain)},  // not a portal domain
  };
  for (const auto& [domain, password, result, shown] : cases) {
    SCOPED_TRACE((domain + " " + password).toStdString());
    prompter_.clear();
    result_ = 0;
    login_.disks.clear();
    logic_->start();
    EXPECT_EQ(signIn("demo", domain, password), result);
    if (result == SignInLogic::kAccepted) {
      EXPECT_EQ(prompter_.texts(), QStringList());
      EXPECT_EQ(login_.userNo, "1001");
      EXPECT_EQ(login_.domain, "@zavel.net");
      EXPECT_EQ(login_.diskCount(), 3);
      EXPECT_EQ(logic_->infoProgress(), 100);
    } else {
      ASSERT_EQ(prompter_.prompts().size(), 1u);
      EXPECT_EQ(prompter_.texts()[0], shown == "*" ? prompter_.texts()[0] : shown);
      EXPECT_FALSE(logic_->authenticating());
    }
  }
  const auto log = logEntries();
  ASSERT_EQ(log.size(), 2u);  // the two sign-ins that got as far as the disk list
  EXPECT_NE(log[0].find("\"sissuc\":\"Y\""), std::string::npos) << log[0];
  EXPECT_NE(log[0].find("\"suserno\":\"1001\""), std::string::npos) << log[0];
}

TEST_F(SignInTest, LaunchTextChoosesBetweenKeysAndTheRememberedAccount) {
  remember("kim", "@tovian.net", "pw");
  // The launch text, the account it gives, whether it connects at once.
  const std::tuple<QString, QString, QString, bool> cases[] = {
      {"zavel-auth:u_id=demo", "demo", "@zavel.net", false},
      {"zavel-auth:u_id=demo;u_sessionkey=k", "demo", "@zavel.net", true},
      {"zavel-auth:u_sessionkey=k", "kim", "@tovian.net", false},
  };
  for (const auto& [launch, id, domain, auto_connect] : cases) {
    SCOPED_TRACE(launch.toStdString());
    login_ = LoginInfo();
    login_.autoConnect = true;  // launchParameters starts from off
    logic_->launchParameters(launch);
    EXPECT_EQ(login_.id, id);
    EXPECT_EQ(login_.domain, domain);
    EXPECT_EQ(login_.autoConnect, auto_connect);
    logic_->setAutoConnectAllowed(false);  // shown without signing in
    logic_->start();
    EXPECT_EQ(logic_->form().id, id);
    EXPECT_EQ(logic_->form().domain, domain.mid(1));
    EXPECT_EQ(logic_->state(), SignInLogic::State::kIdle);
  }
}

TEST_F(SignInTest, ChoosingARememberedIdRestoresItsPasswordAndTheBoxesFollowTheirRules) {
  for (const char* domain : {"@vemar.net", "@mzone.net"})
    remember("user1", domain, QString("pw-") + domain);
  logic_->start();
  ASSERT_EQ(logic_->idList(), (QStringList{"user1", "user1"}));
  const int mzone = static_cast<int>(logic_->domainList().indexOf("mzone.net"));
  const int tovian = static_cast<int>(logic_->domainList().indexOf("tovian.net"));
  logic_->selectAccount(0, mzone);
  EXPECT_EQ(logic_->form().password, "pw-@mzone.net");
  EXPECT_TRUE(logic_->form().savePassword);
  logic_->selectAccount(0, tovian);  // not remembered with that domain
  EXPECT_EQ(logic_->form().password, "");
  logic_->selectAccount(-1, mzone);  // a typed id: nothing happens
  EXPECT_EQ(logic_->form().domain, "tovian.net");

  // The check boxes' rules.
  using Boxes = std::array<bool, 3>;  // save password, auto connect, delete info
  // The box clicked (already toggled), the boxes before and after.
  const std::tuple<void (SignInLogic::*)(), Boxes, Boxes> cases[] = {
      {&SignInLogic::autoConnectClicked, {false, true, true}, {true, true, false}},
      {&SignInLogic::deleteInfoClicked, {true, true, true}, {false, false, true}},
      // Auto connect keeps save password ticked.
      {&SignInLogic::savePasswordClicked, {false, true, true}, {true, true, false}},
      {&SignInLogic::savePasswordClicked, {false, false, true}, {false, false, false}},
      {&SignInLogic::savePasswordClicked, {true, false, false}, {true, false, false}},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(&row - cases);
    const auto& [click, before, after] = row;
    logic_->setForm({{}, {}, {}, before[0], before[1], before[2]});
    (logic_.get()->*click)();
    const SignInForm& form = logic_->form();
    EXPECT_EQ((Boxes{form.savePassword, form.autoConnect, form.deleteInfo}), after);
  }
}

TEST_F(SignInTest, AStalledAuthenticationEndsByTheWatchdogEveryTimeOrByCancel) {
  testing::FakeAuthServer silent;  // accepts and never answers
  makeLogic(silent.port());
  logic_->setWatchdogInterval(150);
  logic_->start();
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    prompter_.clear();
    EXPECT_EQ(signIn("demo", "zavel.net", "demo"), 0);
    EXPECT_EQ(prompter_.texts(), QStringList{text::tr(text::kWatchdogAuth)});
    EXPECT_EQ(prompter_.prompts()[0].icon, PromptIcon::kInformation);
    EXPECT_FALSE(logic_->authenticating());
  }
  EXPECT_EQ(silent.connections(), 2);

  // Cancel while working: back to idle, no question; when idle it asks before quitting.
  prompter_.clear();
  startSignIn("demo", "zavel.net", "demo");
  ASSERT_TRUE(logic_->authenticating());
  logic_->cancel();
  EXPECT_EQ(logic_->state(), SignInLogic::State::kIdle);
  EXPECT_FALSE(logic_->authenticating());
  EXPECT_TRUE(prompter_.prompts().empty());

  prompter_.answer({false, true});
  logic_->cancel();  // idle: asks; Cancel stays
  EXPECT_EQ(result_, 0);
  logic_->cancel();  // OK quits
  EXPECT_EQ(result_, SignInLogic::kCancelled);
  EXPECT_EQ(prompter_.texts(),
            (QStringList{text::tr(text::kQuitQuestion), text::tr(text::kQuitQuestion)}));
}

TEST_F(SignInTest, AFailedUserLookupIsLoggedTwice) {
  testing::FakeAuthServer router;  // lets anyone in; the portal does not know them
  router.standard("root/c1", testing::authAnswer("root/c1"));
  makeLogic(router.port());
  logic_->start();
  EXPECT_EQ(signIn("nobody", "zavel.net", "x"), 0);
  ASSERT_EQ(prompter_.prompts().size(), 1u);
  EXPECT_EQ(prompter_.prompts()[0].icon, PromptIcon::kStop);
  const auto log = logEntries();
  ASSERT_EQ(log.size(), 2u);
  // Each log goes out on a connection of its own, so the server may file them in either order.
  const std::string both = log[0] + log[1];
  EXPECT_NE(both.find("\"ierrcode\":1"), std::string::npos) << both;
  EXPECT_NE(both.find("\"ierrcode\":2"), std::string::npos) << both;
  for (const auto& entry : log) EXPECT_NE(entry.find("\"sissuc\":\"N\""), std::string::npos);
}

}  // namespace
}  // namespace zavel::app
