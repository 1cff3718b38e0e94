// The settings file and the remembered accounts in it; the portal lookups: the tabular reply,
// and each lookup's request and reply rules against a scripted server (the sign-in and
// explorer suites run them against the demo devserver).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>
#include <tuple>

#include "app/signin/account_store.h"
#include "client/disk_table.h"
#include "app/signin/portal_lookups.h"
#include "app/signin/texts.h"
#include "protocol/portal/portal_scrambler.h"
#include "tests/app/support/app_test.h"
#include "tests/support/fake_server.h"

namespace zavel::app {
namespace {

LoginInfo account(const QString& id, const QString& password = "pw", bool save = true) {
  LoginInfo info = testing::user(id, "@vemar.net");
  info.password = password;
  info.savePassword = save;
  return info;
}

QByteArray scrambled(std::u16string units) {
  portal::PortalScrambler::scrambleUnits(units.data(), units.size());
  QByteArray bytes;
  for (char16_t u : units) bytes.append(char(u & 0xFF)).append(char(u >> 8));
  return bytes;
}

mode_t modeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class AccountStoreTest : public ::testing::Test {
 protected:
  QTemporaryDir dir_;
  QString path_ = dir_.filePath("config/zavel.conf");
  SettingsStore store_{path_};
  AccountStore accounts_{store_};
};

TEST_F(AccountStoreTest, LoadsTheLastAccountAndOnlyAPasswordChosenToBeSaved) {
  LoginInfo loaded;
  loaded.password = "left over";
  accounts_.loadAccount(loaded);  // an empty store: the defaults
  EXPECT_EQ(loaded.id, "");
  EXPECT_EQ(loaded.domain, "@vemar.net");
  EXPECT_EQ(loaded.password, "");
  EXPECT_FALSE(loaded.autoConnect);
  EXPECT_TRUE(loaded.savePassword);

  // Saving without the password stores only the choice.
  LoginInfo first = account("user1", "first");
  first.autoConnect = true;
  accounts_.saveAccount(first);
  accounts_.saveAccount(account("kim", "second", false));
  accounts_.loadAccount(loaded);
  EXPECT_EQ(loaded.id, "user1");
  EXPECT_EQ(loaded.password, "first");
  EXPECT_TRUE(loaded.autoConnect);
  EXPECT_FALSE(loaded.savePassword);
  EXPECT_EQ(accounts_.accounts(), QStringList{"user1@vemar.net"});
}

TEST_F(AccountStoreTest, SavesAndDeletesKeepTheListItemByItem) {
  // "+id" saves id@vemar.net, "-id" deletes it; the list and the last account after.
  const std::tuple<QString, QString, QString> cases[] = {
      {"+user1 +kim", "user1@vemar.net,kim@vemar.net", "kim@vemar.net"},
      {"+user1 +user1", "user1@vemar.net", "user1@vemar.net"},
      {"+User1 +user1", "User1@vemar.net", "user1@vemar.net"},
      {"+user1 +ser1", "user1@vemar.net,ser1@vemar.net", "ser1@vemar.net"},
      {"+user1 +ser1 -ser1", "user1@vemar.net", ""},
      {"+user1 -user1", "", ""},
      {"+user1 +kim -user1", "kim@vemar.net", "kim@vemar.net"},
      {"+user1 -USER1", "", ""},
  };
  for (const auto& [script, all, last] : cases) {
    SCOPED_TRACE(script.toStdString());
    const QStringList steps = script.split(' ');
    for (const QString& step : steps)
      step[0] == '+' ? accounts_.saveAccount(account(step.mid(1)))
                     : accounts_.deleteAccount(account(step.mid(1)));
    EXPECT_EQ(store_.getText("user", "ALL"), all);
    EXPECT_EQ(store_.getText("user", "id"), last);
    for (const QString& step : steps) {
      const QString key = step.mid(1) + "@vemar.net";
      const bool kept = all.split(',').contains(key, Qt::CaseInsensitive);
      EXPECT_EQ(store_.getText(key, "Id").compare(step.mid(1), Qt::CaseInsensitive) == 0, kept);
      EXPECT_EQ(store_.getText(key, "sitename"), kept ? "@vemar.net" : "");
    }
    for (const QString& step : steps) store_.deleteSection(step.mid(1) + "@vemar.net");
    store_.deleteSection("user");
  }
}

TEST_F(AccountStoreTest, ASignInFromTheMenuWithoutAPasswordKeepsTheRememberedOne) {
  // The sign-in's password, whether it asked to forget, from the menu; the password then
  // remembered ("-" when the account is forgotten).
  const std::tuple<QString, bool, bool, QString> cases[] = {
      {"new", false, false, "new"}, {"new", false, true, "new"}, {"", false, false, ""},
      {"", false, true, "old"},     {"", true, true, "-"},       {"new", true, false, "-"},
  };
  for (const auto& [password, forget, from_menu, remembered] : cases) {
    SCOPED_TRACE(password.toStdString() + (forget ? " forget" : "") + (from_menu ? " menu" : ""));
    accounts_.saveAccount(account("kim", "old"));
    LoginInfo signed_in = account("kim", password);
    signed_in.deleteInfo = forget;
    accounts_.storeSignIn(signed_in, from_menu);
    EXPECT_EQ(accounts_.accounts().contains("kim@vemar.net")
                  ? accounts_.restorePassword("kim@vemar.net")
                  : QString("-"),
              remembered);
  }
}

TEST_F(AccountStoreTest, PasswordsComeBackAsSavedUpTo80Characters) {
  const QString passwords[] = {"", "비밀번호", QChar(0x04CB) + QString("abc"),  // scrambles to 0
                               QString(80, 'x'), QString(81, 'x')};
  for (const QString& password : passwords) {
    SCOPED_TRACE(password.toStdString());
    accounts_.saveAccount(account("user1", "older"));
    accounts_.saveAccount(account("user1", password));
    const QString expected = password.size() <= 80 ? password : "";
    EXPECT_EQ(store_.getBinary("user1@vemar.net", "password").has_value(), password.size() <= 80);
    EXPECT_EQ(accounts_.restorePassword("user1@vemar.net"), expected);
    LoginInfo loaded;
    accounts_.loadAccount(loaded);
    EXPECT_EQ(loaded.password, expected);
    EXPECT_EQ(accounts_.accounts(), QStringList{"user1@vemar.net"});
  }
  // Scrambled UTF-16 units, little-endian, no terminator.
  accounts_.saveAccount(account("user1", "pw"));
  EXPECT_EQ(store_.getBinary("user1@vemar.net", "password"), QByteArray("\xbb\x04\x55\xf0", 4));
}

TEST_F(AccountStoreTest, RestoresOnlyListedAccountsUpToAZeroUnit) {
  // The account list, the stored bytes of user1@x, the password restored.
  const std::tuple<QString, QByteArray, QString> cases[] = {
      {"user1@x", scrambled(u"ab\0cd"), "ab"},
      {"user1@x", scrambled(u"ab").left(3), "a"},
      {"kim@x,USER1@X", scrambled(u"secret"), "secret"},
      {"xuser1@x,user1@xy", scrambled(u"secret"), ""},
      {"", scrambled(u"secret"), ""},
  };
  store_.writeText("user", "id", "user1@x");
  for (const auto& [all, bytes, restored] : cases) {
    SCOPED_TRACE(all.toStdString());
    store_.writeText("user", "ALL", all);
    store_.writeBinary("user1@x", "password", bytes);
    EXPECT_EQ(accounts_.restorePassword("user1@x"), restored);
  }
  LoginInfo loaded;  // the last account's password, whether listed or not
  accounts_.loadAccount(loaded);
  EXPECT_EQ(loaded.password, "secret");
}

TEST_F(AccountStoreTest, NamesIgnoreCaseAndSlashesMakeNoNestedSections) {
  store_.writeText("Server", "IP", "10.0.0.1");
  store_.writeText("SERVER", "ip", "10.0.0.2");
  store_.writeText("server", "port", "70000");
  store_.writeText("a/b", "c\\d", "inner");
  store_.writeText("a", "b/c", "outer");
  EXPECT_EQ(portalServer(store_).host, "10.0.0.2");
  EXPECT_EQ(portalServer(store_).port, 22222);
  EXPECT_EQ(store_.getText("A/B", "C\\D"), "inner");
  EXPECT_EQ(store_.getText("a", "b"), "");
  store_.deleteSection("a/b");
  store_.deleteSection("");  // names nothing; must not empty the file
  EXPECT_EQ(store_.getText("a/b", "c\\d"), "");
  EXPECT_EQ(store_.getText("a", "b/c"), "outer");

  QSettings raw(path_, QSettings::IniFormat);
  EXPECT_EQ(raw.childGroups(), (QStringList{"Server", "a"}));
  EXPECT_EQ(raw.value("Server/IP").toString(), "10.0.0.2");
  raw.beginGroup("a");
  EXPECT_TRUE(raw.childGroups().isEmpty());
}

TEST_F(AccountStoreTest, FileIsPrivateFromItsFirstWrite) {
  const mode_t old_mask = ::umask(0);
  accounts_.saveAccount(account("user1", "secret"));
  EXPECT_EQ(modeOf(path_), 0600u);
  // A file left readable by others is closed again, on opening and on writing.
  ::chmod(QFile::encodeName(path_).constData(), 0644);
  SettingsStore reopened(path_);
  EXPECT_EQ(modeOf(path_), 0600u);
  ::chmod(QFile::encodeName(path_).constData(), 0644);
  reopened.writeInt("user", "Auto", 1);
  EXPECT_EQ(modeOf(path_), 0600u);
  ::umask(old_mask);
}

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
    client::DiskTable t;
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

  // Starts server as both the portal and the OCTA server, nothing told yet.
  void serve(FakeServer& server) {
    lookups_.setPortalServer({"127.0.0.1", server.port()});
    lookups_.setOctaServer({"127.0.0.1", server.port()});
    server.start();
    prompter_.clear();
  }

  // Serves one reply to one lookup (on either server) and gives the request it sent.
  ParamRecord exchange(const ParamRecord& answer, const std::function<void()>& lookup) {
    FakeServer server;
    server.answer(answer);
    serve(server);
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
      {"never answers", [](FakeServer& s) { s.receive().stall(20000).close(); }},
      {"not a record reply", [&](FakeServer& s) { s.receive().raw(bad_header); }},
  };
  for (const auto& [name, fails, tells] : lookups) {
    for (const auto& [what, script] : faults) {
      SCOPED_TRACE(std::string(name) + ": " + what);
      FakeServer server;
      nowhere();
      prompter_.clear();
      if (script) {
        script(server);
        serve(server);
      }
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
    serve(server);
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
  serve(portal);

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
