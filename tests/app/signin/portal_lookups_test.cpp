// The portal lookups: the tabular reply, each lookup's request and reply rules against a
// scripted server, and the whole round against the demo devserver.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <functional>

#include "app/signin/disk_table.h"
#include "app/signin/portal_lookups.h"
#include "app/signin/texts.h"
#include "tests/app/support/demo_server.h"
#include "tests/app/support/fake_auth_server.h"
#include "tests/app/support/scripted_prompter.h"
#include "tests/support/fake_server.h"

namespace zavel::app {
namespace {

using zavel::testing::FakeServer;
using Texts = std::vector<std::pair<const char*, std::string>>;
constexpr int kNoResult = -99;

// Tables written with "|" for the separator 2 and "#" for the separator 3.
std::string sep(std::string text) {
  for (char& c : text) c = c == '|' ? '\x02' : c == '#' ? '\x03' : c;
  return text;
}

ParamRecord reply(const char* inform, int result, const Texts& texts = {}) {
  ParamRecord r(kFlagScramble);
  r.setString("inform", inform);
  if (result != kNoResult) r.setInt32("result", result);
  for (const auto& [name, text] : texts) r.setString(name, text.c_str());
  return r;
}

std::string textOf(const ParamRecord& r, const char* name) {
  const char* text = nullptr;
  return r.getString(name, &text) ? text : "<absent>";
}

// A text parameter as its text, a 32-bit number as "#" and its value, anything else as "?".
std::string typedText(const ParamRecord& r, const char* name) {
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  int32_t number = 0;
  if (!r.find(name, &data, &length, &type)) return "<absent>";
  if (type == kTypeString) return textOf(r, name);
  return type == kTypeInt32 && r.getInt32(name, &number) ? "#" + std::to_string(number) : "?";
}

TEST(DiskTable, SplitsFieldsAndRows) {
  struct Case {
    std::string fields, values;
    bool ok;
    size_t rows;
    const char* column;
    size_t row;
    std::optional<std::string> cell;
  } cases[] = {
      {"uid|diskname|disktype|", "1|a|p|2|b|octa|", true, 2, "disktype", 1, "octa"},
      {"uid|diskname|disktype|", "1|a|p|2|b|octa|x|", false, 0, "uid", 0, {}},
      {"uid#diskname#disktype", "1|a|p#2|b|octa#", true, 2, "uid", 1, "2"},
      {"uid|diskname|disktype|", "", true, 0, "uid", 0, {}},
      {"", "1|", false, 0, "uid", 0, {}},
      {"|uid", "x|1", true, 1, "", 0, "x"},  // a leading separator makes an empty item
      {"a|b|", "1||", true, 1, "b", 0, ""},
      {"uid|", "1|2|", true, 2, "UID", 0, {}},
      {std::string(1024, '|'), std::string(1024, '|'), true, 1, "", 0, ""},
      {std::string(1025, '|'), "", false, 0, "", 0, {}},
      {"a", std::string(1 << 20, 'x'), true, 1, "a", 0, std::string(1 << 20, 'x')},
      {"a", std::string((1 << 20) + 1, 'x'), false, 0, "a", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields.substr(0, 40) + " / " + c.values.substr(0, 40));
    DiskTable t;
    t.parse("old", "1");
    EXPECT_EQ(t.parse(sep(c.fields), sep(c.values)), c.ok);
    EXPECT_EQ(t.rows(), c.rows);
    EXPECT_EQ(t.cell(c.column, c.row), c.cell);
  }
}

class LookupTest : public ::testing::Test {
 protected:
  LookupTest() {
    login_.id = "user1";
    login_.domain = "@vemar.net";
    login_.userNo = "77";
    lookups_.setBoundedWaitMs(5000);
    nowhere();
  }

  // Nothing listens on port 1: a lookup sent to the wrong server fails.
  void nowhere() {
    lookups_.setPortalServer({"127.0.0.1", 1});
    lookups_.setOctaServer({"127.0.0.1", 1});
  }

  // Serves one reply to one lookup and gives the request it sent.
  ParamRecord exchange(const ParamRecord& answer, const std::function<void()>& lookup,
                       bool octa = false) {
    FakeServer server;
    server.answer(answer);
    (octa ? lookups_.setOctaServer({"127.0.0.1", server.port()})
          : lookups_.setPortalServer({"127.0.0.1", server.port()}));
    server.start();
    prompter_.clear();
    lookup();
    EXPECT_TRUE(server.waitDone());
    const auto requests = server.requests();
    return requests.empty() ? ParamRecord() : requests[0].record;
  }

  static DiskEntry disk(const char* uid, const char* name) {
    DiskEntry d;
    d.uid = uid;
    d.diskname = name;
    return d;
  }

  testing::ScriptedPrompter prompter_;
  LoginInfo login_;
  PortalLookups lookups_{prompter_, login_};
};

TEST_F(LookupTest, RequestsCarryTheirCommandAndTypedParameters) {
  struct Case {
    const char* command;
    std::function<void()> lookup;
    std::vector<std::pair<const char*, std::string>> params;  // "#" before a 32-bit number
  } cases[] = {
      {"vemar_get_userbyiddomain",
       [&] { lookups_.userByIdDomain(); },
       {{"suserid", "user1"}, {"siddomain", "user1@vemar.net"}}},
      {"getdisklist",
       [&] { lookups_.diskList(); },
       {{"suserno", "77"}, {"sverinfo", "4.6.30.1"}, {"stype", "pda"}}},
      {"GetHostInfo",
       [&] { lookups_.hostInfo(disk("77", "My zavel"), nullptr); },
       {{"suserno", "77"}, {"sclubno", "77"}, {"isclub", "0"}}},
      {"GetHostInfo",
       [&] { lookups_.hostInfo(disk("5001", "클럽"), nullptr); },
       {{"suserno", "77"}, {"sclubno", "5001"}, {"isclub", "1"}}},
      {"getclubauthlevel",
       [&] { lookups_.clubAuthLevel(disk("5001", "클럽")); },
       {{"iclubno", "#5001"}, {"suserno", "77"}}},
      {"getlogserverinfo", [&] { lookups_.logServerInfo(); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const bool octa = std::string(c.command) == "getclubauthlevel";
    login_.userNo = "77";
    const ParamRecord request = exchange(reply(c.command, 0), c.lookup, octa);
    EXPECT_EQ(textOf(request, "_cmd"), c.command);
    EXPECT_TRUE(request.scrambled());
    EXPECT_EQ(request.size(), c.params.size() + 1);
    for (const auto& [name, value] : c.params) EXPECT_EQ(typedText(request, name), value);
  }
}

TEST_F(LookupTest, UserNumberOnlyFromResultZeroOfTheCommand) {
  const char* kCmd = "vemar_get_userbyiddomain";
  struct Case {
    ParamRecord answer;
    QString user_no, error_text;
  } cases[] = {
      {reply(kCmd, 0, {{"suserno", "1001"}}), "1001", "before"},
      {reply(kCmd, 1, {{"errormsg", "없는 사용자"}}), "", "없는 사용자"},
      {reply(kCmd, kNoResult, {{"suserno", "1001"}}), "", ""},
      {reply("getdisklist", 0, {{"suserno", "1001"}}), "", "before"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user_no.toStdString() + "/" + c.error_text.toStdString());
    login_.userNo = "77";
    lookups_.setErrorText("before");
    QString got;
    exchange(c.answer, [&] { got = lookups_.userByIdDomain(); });
    EXPECT_EQ(got, c.user_no);
    EXPECT_EQ(login_.userNo, c.user_no.isEmpty() ? "77" : c.user_no);
    EXPECT_EQ(lookups_.errorText(), c.error_text);
    EXPECT_TRUE(prompter_.texts().isEmpty());
  }
}

TEST_F(LookupTest, DiskListRules) {
  const std::string fields = sep("uid|diskname|disktype|");
  struct Case {
    ParamRecord answer;
    int count;
    QStringList shown;
  } cases[] = {
      // No result is examined.
      {reply("getdisklist", 1,
             {{"szavelinfofield", fields}, {"szavelinfo", sep("1|My zavel|p|5001|클럽|octa|")}}),
       2,
       {}},
      {reply("getdisklist", 0, {{"szavelinfofield", fields}, {"szavelinfo", ""}}), 0, {}},
      {reply("getdisklist", 0, {{"szavelinfofield", fields}, {"szavelinfo", sep("1|a|")}}), -1, {}},
      {reply("getdisklist", 0,
             {{"szavelinfofield", sep("uid|name|")}, {"szavelinfo", sep("1|a|")}}),
       1,
       {}},
      {reply("x", kNoResult, {{"errormsg", "점검 중"}}), -1, {"점검 중"}},
      {reply("x", kNoResult), -1, {text::tr(text::kWrongInformation)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    login_.disks.assign(5, disk("old", "old"));
    int count = 0;
    exchange(c.answer, [&] { count = lookups_.diskList(); });
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(prompter_.texts(), c.shown);
    if (!c.shown.isEmpty()) {
      EXPECT_EQ(prompter_.prompts()[0].icon, PromptIcon::kStop);
      EXPECT_EQ(lookups_.errorText(), c.shown[0]);
    }
    ASSERT_EQ(login_.diskCount(), c.count < 0 ? 5 : c.count);
    if (c.count == 2) {
      EXPECT_EQ(login_.disks[0].uid, "1");
      EXPECT_EQ(login_.disks[1].diskname, "클럽");
      EXPECT_TRUE(login_.disks[1].isClub());
    }
    if (c.count == 1) {
      EXPECT_TRUE(login_.disks[0].uid.isEmpty());  // kept, left empty
    }
  }
}

TEST_F(LookupTest, HostInfoRules) {
  const Texts table = {{"szavelinfofield", sep("diskid|publicip|privateip|loginid|diskstatus|")},
                       {"szavelinfo", sep("kim|10.0.0.5|192.168.0.5|kim01|0|")}};
  Texts refused = table, short_table = table;
  refused.push_back({"errormsg", "없음"});
  short_table[0].second = sep("diskid|publicip|privateip|loginid|");
  short_table[1].second = sep("kim|h|h|kim01|");
  struct Case {
    ParamRecord answer;
    bool ok;
    QStringList shown;
  } cases[] = {
      {reply("GetHostInfo", 0, table), true, {}},
      {reply("GetHostInfo", 1, table), true, {}},  // no reason given: still read
      {reply("GetHostInfo", 1, refused), false, {"없음"}},
      {reply("GetHostInfo", 0, short_table), false, {}},
      {reply("x", 0, refused), false, {"없음"}},
      {reply("x", 0, table), false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    PortalLookups::HostInfo info;
    bool ok = false;
    exchange(c.answer, [&] { ok = lookups_.hostInfo(disk("77", "My zavel"), &info); });
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(prompter_.texts(), c.shown);
    if (!ok) continue;
    EXPECT_EQ(
        QStringList({info.diskid, info.publicip, info.privateip, info.loginid, info.diskstatus}),
        QStringList({"kim", "10.0.0.5", "192.168.0.5", "kim01", "0"}));
  }
}

TEST_F(LookupTest, ClubLevelOnlyFromResultZero) {
  const char* kCmd = "getclubauthlevel";
  struct Case {
    ParamRecord answer;
    int level;
  } cases[] = {
      {reply(kCmd, 0, {{"sauthlevel", "3"}}), 3},
      {reply(kCmd, 0), 0},
      {reply(kCmd, 1, {{"sauthlevel", "3"}}), -1},
      {reply(kCmd, kNoResult, {{"sauthlevel", "3"}}), -1},
      {reply("GetHostInfo", 0, {{"sauthlevel", "3"}}), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    int level = 0;
    exchange(
        c.answer, [&] { level = lookups_.clubAuthLevel(disk("5001", "클럽")); }, true);
    EXPECT_EQ(level, c.level);
  }
}

TEST_F(LookupTest, TransportFailuresEndTheLookupWithinTheBound) {
  lookups_.setBoundedWaitMs(300);
  struct Lookup {
    const char* name;
    std::function<bool()> fails;
    bool tells;  // shows the transport message boxes
  } lookups[] = {
      {"getdisklist", [&] { return lookups_.diskList() == -1; }, true},
      {"GetHostInfo", [&] { return !lookups_.hostInfo(disk("77", "My zavel"), nullptr); }, true},
      {"vemar_get_userbyiddomain", [&] { return lookups_.userByIdDomain().isEmpty(); }, false},
      {"getclubauthlevel", [&] { return lookups_.clubAuthLevel(disk("5001", "c")) == -1; }, false},
  };
  const std::vector<uint8_t> bad_header(16, 'X');
  const std::pair<const char*, std::function<void(FakeServer&)>> faults[] = {
      {"nothing listens", nullptr},
      {"closed before the reply", [](FakeServer& s) { s.receive().close(); }},
      {"never answers", [](FakeServer& s) { s.receive().stall(20000).close(); }},
      {"not a record reply", [&](FakeServer& s) { s.receive().raw(bad_header); }},
  };
  for (const Lookup& l : lookups) {
    for (const auto& [what, script] : faults) {
      SCOPED_TRACE(std::string(l.name) + ": " + what);
      FakeServer server;
      nowhere();
      if (script) {
        script(server);
        lookups_.setPortalServer({"127.0.0.1", server.port()});
        lookups_.setOctaServer({"127.0.0.1", server.port()});
        server.start();
      }
      prompter_.clear();
      QElapsedTimer clock;
      clock.start();
      EXPECT_TRUE(l.fails());
      EXPECT_LT(clock.elapsed(), 10000);
      const char* shown = script ? text::kCommunicationError : text::kCannotConnect;
      EXPECT_EQ(prompter_.texts(), l.tells ? QStringList{text::tr(shown)} : QStringList());
    }
  }
}

TEST_F(LookupTest, TextOver511BytesIsNeverSent) {
  const QString korean_501_bytes(167, u'가');
  struct Case {
    QString id, user_no;
    bool disk_list;  // else the user-number lookup
    bool sent;
  } cases[] = {
      {"user1", QString(511, 'a'), true, true},
      {"user1", QString(512, 'a'), true, false},
      {korean_501_bytes, "77", false, true},  // siddomain of 511 bytes
      {korean_501_bytes + u'가', "77", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    login_.id = c.id;
    login_.userNo = c.user_no;
    FakeServer server;
    server.answer(reply("getdisklist", 0));
    lookups_.setPortalServer({"127.0.0.1", server.port()});
    server.start();
    prompter_.clear();
    c.disk_list ? void(lookups_.diskList()) : void(lookups_.userByIdDomain());
    const bool box = c.disk_list && !c.sent;
    EXPECT_EQ(prompter_.texts(),
              box ? QStringList{text::tr(text::kCommunicationError)} : QStringList());
    if (!c.sent) {
      EXPECT_EQ(server.connectionsAccepted(), 0);
      continue;
    }
    ASSERT_TRUE(server.waitDone());
    const ParamRecord request = server.requests().at(0).record;
    EXPECT_EQ(textOf(request, c.disk_list ? "suserno" : "suserid"),
              (c.disk_list ? c.user_no : c.id).toStdString());
  }
}

TEST_F(LookupTest, ConnectLogAsksForTheLogServerUntilItHasOne) {
  lookups_.setBoundedWaitMs(500);
  FakeServer log;
  log.receive().accept().receive();
  log.start();
  ParamRecord found = reply("getlogserverinfo", 0, {{"sserverip", "127.0.0.1"}});
  found.setInt32("iserverport", log.port());
  FakeServer portal;
  portal.answer(reply("getlogserverinfo", 0, {{"sserverip", ""}})).accept().answer(found);
  lookups_.setPortalServer({"127.0.0.1", portal.port()});
  portal.start();

  lookups_.insertConnectLog("0", "P", false, 1);  // no log host yet: nothing logged
  lookups_.insertConnectLog("0", "P", false, 2);
  lookups_.insertConnectLog("5001", "O", true, 0);  // the host is known by now
  ASSERT_TRUE(log.waitDone());
  EXPECT_EQ(portal.requests().size(), 2u);
  const auto sent = log.requests();
  ASSERT_EQ(sent.size(), 2u);
  const char* expected[2][4] = {{"0", "P", "N", "#2"}, {"5001", "O", "Y", "#0"}};
  for (size_t i = 0; i < 2; ++i) {
    const ParamRecord& r = sent[i].record;
    EXPECT_EQ(textOf(r, "_cmd"), "insertconnectlog");
    EXPECT_EQ(textOf(r, "suserno"), "77");
    EXPECT_EQ(typedText(r, "sclubno"), expected[i][0]);
    EXPECT_EQ(typedText(r, "stype"), expected[i][1]);
    EXPECT_EQ(typedText(r, "sissuc"), expected[i][2]);
    EXPECT_EQ(typedText(r, "ierrcode"), expected[i][3]);
    const QString sip = QString::fromStdString(textOf(r, "sip"));
    EXPECT_TRUE(sip.isEmpty() || QHostAddress(sip).protocol() == QAbstractSocket::IPv4Protocol)
        << sip.toStdString();
  }
  EXPECT_TRUE(prompter_.texts().isEmpty());
}

TEST(DemoPortal, LooksUpTheDemoAccountEndToEnd) {
  testing::DemoServer demo;
  testing::ScriptedPrompter prompter;
  LoginInfo login;
  login.id = "demo";
  login.domain = "@zavel.net";
  PortalLookups lookups(prompter, login);
  lookups.setPortalServer({"127.0.0.1", demo.server().portalPort()});
  lookups.setOctaServer({"127.0.0.1", demo.server().listPort()});

  EXPECT_EQ(lookups.userByIdDomain(), "1001");
  ASSERT_EQ(lookups.diskList(), 3);
  EXPECT_EQ(login.disks[0].uid, "1001");
  EXPECT_EQ(login.disks[1].uid, "5001");
  EXPECT_TRUE(login.disks[1].isClub());
  PortalLookups::HostInfo host;
  ASSERT_TRUE(lookups.hostInfo(login.disks[0], &host));
  EXPECT_EQ(host.diskid, "demo");
  EXPECT_EQ(host.diskstatus, "0");
  EXPECT_TRUE(lookups.hostInfo(login.disks[1], &host));
  EXPECT_EQ(lookups.clubAuthLevel(login.disks[1]), 1);
  EXPECT_EQ(lookups.clubAuthLevel(login.disks[2]), 3);
  EXPECT_EQ(lookups.clubAuthLevel(login.disks[0]), -1);  // not a club
  EXPECT_TRUE(prompter.texts().isEmpty());
}

}  // namespace
}  // namespace zavel::app
