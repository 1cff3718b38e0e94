// The portal lookups: the tabular reply, and each lookup's request and reply rules against a
// scripted server (the sign-in and explorer suites run them against the demo devserver).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <functional>
#include <tuple>

#include "app/signin/disk_table.h"
#include "app/signin/portal_lookups.h"
#include "app/signin/texts.h"
#include "tests/app/support/app_test.h"
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

// A text parameter as its text, a 32-bit number as "#" and its value, anything else as "?".
std::string typedText(const ParamRecord& r, const char* name) {
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  int32_t number = 0;
  const char* text = nullptr;
  if (!r.find(name, &data, &length, &type)) return "<absent>";
  if (type == kTypeString) return r.getString(name, &text) ? text : "?";
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
    login_.userNo = "77";
    lookups_.setBoundedWaitMs(5000);
    nowhere();
  }

  // Nothing listens on port 1: a lookup sent to the wrong server fails.
  void nowhere() {
    lookups_.setPortalServer({"127.0.0.1", 1});
    lookups_.setOctaServer({"127.0.0.1", 1});
  }

  // Serves one reply to one lookup (on either server) and gives the request it sent.
  ParamRecord exchange(const ParamRecord& answer, const std::function<void()>& lookup) {
    FakeServer server;
    server.answer(answer);
    lookups_.setPortalServer({"127.0.0.1", server.port()});
    lookups_.setOctaServer({"127.0.0.1", server.port()});
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
  LoginInfo login_ = testing::user("user1", "@vemar.net");
  PortalLookups lookups_{prompter_, login_};
};

TEST_F(LookupTest, RequestsCarryTheirCommandAndTypedParameters) {
  // The command, the lookup, the parameters besides _cmd ("#" before a 32-bit number).
  const auto club = disk("5001", "클럽");
  // clang-format off
  const std::tuple<const char*, std::function<void()>, Texts> cases[] = {
      {"vemar_get_userbyiddomain", [&] { lookups_.userByIdDomain(); },
       {{"suserid", "user1"}, {"siddomain", "user1@vemar.net"}}},
      {"getdisklist", [&] { lookups_.diskList(); },
       {{"suserno", "77"}, {"sverinfo", "4.6.30.1"}, {"stype", "pda"}}},
      {"GetHostInfo", [&] { lookups_.hostInfo(disk("77", "My zavel"), nullptr); },
       {{"suserno", "77"}, {"sclubno", "77"}, {"isclub", "0"}}},
      {"GetHostInfo", [&] { lookups_.hostInfo(club, nullptr); },
       {{"suserno", "77"}, {"sclubno", "5001"}, {"isclub", "1"}}},
      {"getclubauthlevel", [&] { lookups_.clubAuthLevel(club); },
       {{"iclubno", "#5001"}, {"suserno", "77"}}},
      {"getlogserverinfo", [&] { lookups_.logServerInfo(); }, {}},
  };
  // clang-format on
  for (const auto& [command, lookup, params] : cases) {
    SCOPED_TRACE(command);
    login_.userNo = "77";
    const ParamRecord request = exchange(reply(command, 0), lookup);
    EXPECT_EQ(typedText(request, "_cmd"), command);
    EXPECT_TRUE(request.scrambled());
    EXPECT_EQ(request.size(), params.size() + 1);
    for (const auto& [name, value] : params) EXPECT_EQ(typedText(request, name), value);
  }
}

// Each lookup's outcome as one text: what it returned and what it kept ("*" marks a club);
// every message shown is a stop message.
TEST_F(LookupTest, RepliesAreReadByEachLookupsRules) {
  const auto user = [&] {
    return lookups_.userByIdDomain() + "|" + login_.userNo + "|" + lookups_.errorText();
  };
  const auto disks = [&] {
    QString out = QString::number(lookups_.diskList());
    for (const DiskEntry& d : login_.disks)
      out += "|" + d.uid + ":" + d.diskname + (d.isClub() ? "*" : "");
    return out + "|" + lookups_.errorText();
  };
  const auto host = [&] {
    PortalLookups::HostInfo i;
    if (!lookups_.hostInfo(disk("77", "My zavel"), &i)) return QString("failed");
    return QStringList{i.diskid, i.publicip, i.privateip, i.loginid, i.diskstatus}.join('|');
  };
  const auto level = [&] { return QString::number(lookups_.clubAuthLevel(disk("5001", "클럽"))); };
  const auto list = [](int result, const char* fields, const char* values) {
    return reply("getdisklist", result,
                 {{"szavelinfofield", sep(fields)}, {"szavelinfo", sep(values)}});
  };
  const Texts table = {{"szavelinfofield", sep("diskid|publicip|privateip|loginid|diskstatus|")},
                       {"szavelinfo", sep("kim|10.0.0.5|192.168.0.5|kim01|0|")}};
  Texts refused = table, short_table = table;
  refused.push_back({"errormsg", "없음"});
  short_table[0].second = sep("diskid|publicip|privateip|loginid|");
  short_table[1].second = sep("kim|h|h|kim01|");
  const char *kUser = "vemar_get_userbyiddomain", *kLevel = "getclubauthlevel";
  const char* kDisks = "uid|diskname|disktype|";
  const QString old = "|old:old|old:old|old:old|old:old|old:old|";
  const QString wrong = text::tr(text::kWrongInformation);
  const QString kim = "kim|10.0.0.5|192.168.0.5|kim01|0", two = "2|1:My zavel|5001:클럽*|before";
  // The lookup, the reply, the outcome, what is shown. The disk list examines no result.
  // clang-format off
  const std::tuple<std::function<QString()>, ParamRecord, QString, QStringList> cases[] = {
      {user,  reply(kUser, 0, {{"suserno", "1001"}}),          "1001|1001|before",    {}},
      {user,  reply(kUser, 1, {{"errormsg", "없는 사용자"}}),       "|77|없는 사용자",          {}},
      {user,  reply(kUser, kNoResult, {{"suserno", "1001"}}),  "|77|",                {}},
      {user,  reply("getdisklist", 0, {{"suserno", "1001"}}),  "|77|before",          {}},
      {disks, list(1, kDisks, "1|My zavel|p|5001|클럽|octa|"),   two,                   {}},
      {disks, list(0, kDisks, ""),                             "0|before",            {}},
      {disks, list(0, kDisks, "1|a|"),                         "-1" + old + "before", {}},
      {disks, list(0, "uid|name|", "1|a|"),                    "1|:|before",          {}},
      {disks, reply("x", kNoResult, {{"errormsg", "점검 중"}}),   "-1" + old + "점검 중",   {"점검 중"}},
      {disks, reply("x", kNoResult),                           "-1" + old + wrong,    {wrong}},
      {host,  reply("GetHostInfo", 0, table),                  kim,                   {}},
      {host,  reply("GetHostInfo", 1, table),                  kim,                   {}},
      {host,  reply("GetHostInfo", 1, refused),                "failed",              {"없음"}},
      {host,  reply("GetHostInfo", 0, short_table),            "failed",              {}},
      {host,  reply("x", 0, refused),                          "failed",              {"없음"}},
      {host,  reply("x", 0, table),                            "failed",              {}},
      {level, reply(kLevel, 0, {{"sauthlevel", "3"}}),         "3",                   {}},
      {level, reply(kLevel, 0),                                "0",                   {}},
      {level, reply(kLevel, 1, {{"sauthlevel", "3"}}),         "-1",                  {}},
      {level, reply(kLevel, kNoResult, {{"sauthlevel", "3"}}), "-1",                  {}},
      {level, reply("GetHostInfo", 0, {{"sauthlevel", "3"}}),  "-1",                  {}},
  };
  // clang-format on
  for (const auto& row : cases) {
    SCOPED_TRACE(&row - cases);
    const auto& [lookup, answer, outcome, shown] = row;
    login_.userNo = "77";
    login_.disks.assign(5, disk("old", "old"));
    lookups_.setErrorText("before");
    QString got;
    exchange(answer, [&] { got = lookup(); });
    EXPECT_EQ(got, outcome);
    EXPECT_EQ(prompter_.texts(), shown);
    for (const auto& p : prompter_.prompts()) EXPECT_EQ(p.icon, PromptIcon::kStop);
  }
}

TEST_F(LookupTest, TransportFailuresEndTheLookupWithinTheBound) {
  lookups_.setBoundedWaitMs(300);
  // The lookup, whether it failed, whether it shows the transport message boxes.
  const std::tuple<const char*, std::function<bool()>, bool> lookups[] = {
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
  for (const auto& [name, fails, tells] : lookups) {
    for (const auto& [what, script] : faults) {
      SCOPED_TRACE(std::string(name) + ": " + what);
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
      EXPECT_TRUE(fails());
      EXPECT_LT(clock.elapsed(), 10000);
      const char* shown = script ? text::kCommunicationError : text::kCannotConnect;
      EXPECT_EQ(prompter_.texts(), tells ? QStringList{text::tr(shown)} : QStringList());
    }
  }
}

TEST_F(LookupTest, TextOver511BytesIsNeverSent) {
  const QString korean_501_bytes(167, u'가');
  // The id, the user number, the disk list (else the user-number lookup), whether it went.
  const std::tuple<QString, QString, bool, bool> cases[] = {
      {"user1", QString(511, 'a'), true, true},
      {"user1", QString(512, 'a'), true, false},
      {korean_501_bytes, "77", false, true},  // siddomain of 511 bytes
      {korean_501_bytes + u'가', "77", false, false},
  };
  for (const auto& [id, user_no, disk_list, sent] : cases) {
    SCOPED_TRACE(id.size() + user_no.size());
    login_.id = id;
    login_.userNo = user_no;
    FakeServer server;
    server.answer(reply("getdisklist", 0));
    lookups_.setPortalServer({"127.0.0.1", server.port()});
    server.start();
    prompter_.clear();
    disk_list ? void(lookups_.diskList()) : void(lookups_.userByIdDomain());
    EXPECT_EQ(prompter_.texts(), disk_list && !sent
                                     ? QStringList{text::tr(text::kCommunicationError)}
                                     : QStringList());
    if (!sent) {
      EXPECT_EQ(server.connectionsAccepted(), 0);
      continue;
    }
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(typedText(server.requests().at(0).record, disk_list ? "suserno" : "suserid"),
              (disk_list ? user_no : id).toStdString());
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
  const std::vector<std::string> expected[2] = {{"0", "P", "N", "#2"}, {"5001", "O", "Y", "#0"}};
  for (size_t i = 0; i < 2; ++i) {
    const ParamRecord& r = sent[i].record;
    EXPECT_EQ(typedText(r, "_cmd"), "insertconnectlog");
    EXPECT_EQ(typedText(r, "suserno"), "77");
    EXPECT_EQ((std::vector<std::string>{typedText(r, "sclubno"), typedText(r, "stype"),
                                        typedText(r, "sissuc"), typedText(r, "ierrcode")}),
              expected[i]);
    const QString sip = QString::fromStdString(typedText(r, "sip"));
    EXPECT_TRUE(sip.isEmpty() || QHostAddress(sip).protocol() == QHostAddress::IPv4Protocol);
  }
  EXPECT_EQ(prompter_.texts(), QStringList());
}

}  // namespace
}  // namespace zavel::app
