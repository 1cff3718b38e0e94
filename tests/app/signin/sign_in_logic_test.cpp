// The sign-in's behaviour without its dialog: against the demo devserver end to end, and
// against a scripted router where a fault has to be staged.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/signin/sign_in_logic.h"
#include "app/signin/texts.h"
#include "tests/app/support/demo_server.h"
#include "tests/app/support/fake_auth_server.h"
#include "tests/app/support/scripted_prompter.h"

namespace zavel::app {
namespace {

using testing::waitFor;

class SignInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    settings_ = std::make_unique<SettingsStore>(dir_.filePath("zavel.conf"));
    settings_->writeText("server", "ip", "127.0.0.1");
    settings_->writeInt("server", "port", demo_.server().portalPort());
    settings_->writeText("serverOCTA", "ip", "127.0.0.1");
    settings_->writeInt("serverOCTA", "port", demo_.server().listPort());
    makeLogic();
  }

  void makeLogic(uint16_t auth_port = 0) {
    logic_ = std::make_unique<SignInLogic>(login_, *settings_, prompter_);
    logic_->setAuthServer("127.0.0.1", auth_port ? auth_port : demo_.server().authPort());
    logic_->lookups().setBoundedWaitMs(5000);
    QObject::connect(logic_.get(), &SignInLogic::finished, [this](int r) { result_ = r; });
  }

  // Types the account into the form and signs in; the dialog's result, or 0 when the logic
  // went back to idle instead.
  int signIn(const QString& id, const QString& domain, const QString& password) {
    SignInForm form = logic_->form();
    form.id = id;
    form.domain = domain;
    form.password = password;
    logic_->setForm(form);
    logic_->startSignIn();
    return settle();
  }

  int settle() {
    waitFor([&] { return result_ != 0 || logic_->state() == SignInLogic::State::kIdle; });
    return result_;
  }

  std::vector<std::string> logEntries() {
    // The log goes out without waiting for an answer; give the server a moment.
    waitFor([&] { return false; }, 200);
    return demo_.connectLog();
  }

  testing::DemoServer demo_;
  QTemporaryDir dir_;
  std::unique_ptr<SettingsStore> settings_;
  LoginInfo login_;
  testing::ScriptedPrompter prompter_;
  std::unique_ptr<SignInLogic> logic_;
  int result_ = 0;
};

TEST_F(SignInTest, SignsInByPasswordAndReadsTheDiskList) {
  struct Case {
    const char* what;
    QString domain, password;
    int result;
    QString shown;
  } cases[] = {
      {"lower case", "zavel.net", "demo", SignInLogic::kAccepted, ""},
      {"upper case domain", "ZAVEL.NET", "demo", SignInLogic::kAccepted, ""},
      {"wrong password", "zavel.net", "nope", 0, "*"},
      {"not a portal domain", "example.com", "demo", 0, text::tr(text::kUnknownDomain)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    prompter_.clear();
    result_ = 0;
    login_.disks.clear();
    logic_->start();
    EXPECT_EQ(signIn("demo", c.domain, c.password), c.result);
    if (c.result == SignInLogic::kAccepted) {
      EXPECT_TRUE(prompter_.prompts().empty()) << prompter_.texts().join("|").toStdString();
      EXPECT_EQ(login_.userNo, "1001");
      EXPECT_EQ(login_.domain, "@zavel.net");
      ASSERT_EQ(login_.diskCount(), 3);
      EXPECT_EQ(login_.disks[0].diskname, "My zavel");
      EXPECT_EQ(logic_->infoProgress(), 100);
    } else {
      ASSERT_EQ(prompter_.prompts().size(), 1u);
      if (c.shown != "*") {
        EXPECT_EQ(prompter_.texts()[0], c.shown);
      }
      EXPECT_FALSE(logic_->authenticating());
    }
  }
  const auto log = logEntries();
  ASSERT_EQ(log.size(), 2u);  // the two sign-ins that got as far as the disk list
  EXPECT_NE(log[0].find("\"sissuc\":\"Y\""), std::string::npos) << log[0];
  EXPECT_NE(log[0].find("\"suserno\":\"1001\""), std::string::npos) << log[0];
}

TEST_F(SignInTest, LaunchKeysSignInWithTheSessionKeyAtOnce) {
  logic_->launchParameters("zavel-auth:u_id=demo;u_sessionkey=demo-session-key");
  EXPECT_TRUE(login_.autoConnect);
  EXPECT_TRUE(login_.password.isEmpty());
  logic_->start();
  EXPECT_EQ(logic_->state(), SignInLogic::State::kWorking);
  EXPECT_EQ(settle(), SignInLogic::kAccepted);
  EXPECT_EQ(login_.id, "demo");
  EXPECT_EQ(login_.diskCount(), 3);
}

TEST_F(SignInTest, LaunchTextChoosesBetweenKeysAndTheRememberedAccount) {
  LoginInfo remembered;
  remembered.id = "kim";
  remembered.domain = "@tovian.net";
  remembered.password = "pw";
  remembered.savePassword = true;
  logic_->accounts().saveAccount(remembered);

  struct Case {
    QString text;
    QString id, domain;
    bool auto_connect;
  } cases[] = {
      {"zavel-auth:u_id=demo", "demo", "@zavel.net", false},
      {"zavel-auth:u_id=demo;u_sessionkey=k", "demo", "@zavel.net", true},
      {"zavel-auth:", "kim", "@tovian.net", false},  // 11 characters: ignored
      {"", "kim", "@tovian.net", false},
      {"zavel-auth:u_sessionkey=k", "kim", "@tovian.net", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    login_ = LoginInfo();
    login_.autoConnect = true;  // launchParameters starts from off
    logic_->launchParameters(c.text);
    EXPECT_EQ(login_.id, c.id);
    EXPECT_EQ(login_.domain, c.domain);
    EXPECT_EQ(login_.autoConnect, c.auto_connect);
    logic_->setAutoConnectAllowed(false);  // shown without signing in
    logic_->start();
    EXPECT_EQ(logic_->form().id, c.id);
    EXPECT_EQ(logic_->form().domain, c.domain.mid(1));
    EXPECT_EQ(logic_->state(), SignInLogic::State::kIdle);
  }
}

TEST_F(SignInTest, CheckBoxRules) {
  // Before (save, auto, delete), the box clicked (already toggled), after.
  struct Case {
    const char* box;
    bool before[3];
    bool after[3];
  } cases[] = {
      {"auto", {false, true, true}, {true, true, false}},
      {"delete", {true, true, true}, {false, false, true}},
      {"save", {false, true, true}, {true, true, false}},  // auto connect keeps it ticked
      {"save", {false, false, true}, {false, false, false}},
      {"save", {true, false, false}, {true, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    SignInForm form;
    form.savePassword = c.before[0];
    form.autoConnect = c.before[1];
    form.deleteInfo = c.before[2];
    logic_->setForm(form);
    const std::string box = c.box;
    if (box == "auto") logic_->autoConnectClicked();
    if (box == "delete") logic_->deleteInfoClicked();
    if (box == "save") logic_->savePasswordClicked();
    EXPECT_EQ(logic_->form().savePassword, c.after[0]);
    EXPECT_EQ(logic_->form().autoConnect, c.after[1]);
    EXPECT_EQ(logic_->form().deleteInfo, c.after[2]);
  }
}

TEST_F(SignInTest, ChoosingARememberedIdRestoresItsPassword) {
  for (const char* domain : {"@vemar.net", "@mzone.net"}) {
    LoginInfo account;
    account.id = "user1";
    account.domain = domain;
    account.password = QString("pw-") + domain;
    account.savePassword = true;
    logic_->accounts().saveAccount(account);
  }
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
  SignInForm form = logic_->form();
  form.id = "demo";
  form.domain = "zavel.net";
  logic_->setForm(form);
  logic_->startSignIn();
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
