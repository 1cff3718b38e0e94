// The sign-in's behaviour without its dialog: the launch-text parser, against the demo
// devserver end to end (signing in with launch keys: see ProgramTest), and against a scripted
// router where a fault has to be staged.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <array>
#include <tuple>

#include "app/signin/launch_keys.h"
#include "app/signin/sign_in_logic.h"
#include "app/signin/texts.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/demo_server.h"
#include "tests/app/support/fake_auth_server.h"
#include "tests/app/support/scripted_prompter.h"

namespace zavel::app {
namespace {

using testing::waitFor;

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

TEST_F(SignInTest, CheckBoxRules) {
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

TEST_F(SignInTest, ChoosingARememberedIdRestoresItsPassword) {
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
}

TEST_F(SignInTest, WatchdogEndsAStalledAuthenticationEveryTime) {
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

TEST_F(SignInTest, CancelStopsTheWorkOrAsksBeforeQuitting) {
  testing::FakeAuthServer silent;
  makeLogic(silent.port());
  logic_->start();
  startSignIn("demo", "zavel.net", logic_->form().password);
  ASSERT_TRUE(logic_->authenticating());
  logic_->cancel();  // working: back to idle, no question
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

}  // namespace
}  // namespace zavel::app
