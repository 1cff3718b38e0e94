// The authentication router, the portal lookups and the connect log of zavel-devserver,
// over loopback against the demo data.
#include <ace/ACE.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "devserver/dev_server.h"
#include "devserver/portal/connect_log.h"
#include "protocol/portal/portal_message.h"
#include "tests/devserver/test_client.h"

namespace zavel::testing {
namespace {

using portal::FormMap;
using portal::PortalMessage;
using portal::ValueMap;

constexpr const char* kDemoId = "demo@zavel.net";

FormMap form(std::initializer_list<std::pair<const char*, std::string>> pairs) {
  FormMap map;
  for (const auto& [key, value] : pairs) map.set(key, value);
  return map;
}
std::string valueOf(const FormMap& map, const char* key) {
  std::string value = "<absent>";
  map.get(key, &value);
  return value;
}

// A connection to the authentication router that sends and receives whole messages.
class AuthLine : public TestClient {
 public:
  explicit AuthLine(uint16_t port) : TestClient("127.0.0.1", port) {}

  bool send(const std::vector<uint8_t>& b) { return sendRaw(b.data(), b.size()); }
  bool send(const PortalMessage& m) { return send(m.bytes()); }
  // The next whole message (magic, the length of the rest, the rest); none when the line
  // closed or nothing came within wait_ms.
  std::optional<PortalMessage> message(int32_t wait_ms = 10000) {
    std::string bytes = receiveRaw(8, wait_ms);
    uint32_t rest = 0;
    for (size_t i = 4; i < bytes.size(); ++i) rest = (rest << 8) | static_cast<uint8_t>(bytes[i]);
    if (bytes.size() == 8) bytes += receiveRaw(rest, wait_ms);
    size_t length = 0;
    if (portal::checkFrame(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &length) !=
        portal::FrameStatus::kComplete)
      return std::nullopt;
    return PortalMessage(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  // True when the server hung up: reading gives end of stream, not a timeout.
  bool closedByServer() {
    char byte;
    ACE_Time_Value tv(10);
    return ACE::recv(handle(), &byte, 1, &tv) == 0;
  }
  // queryNode, and the node address the answer gives.
  std::string queryNode() {
    FormMap header = form({{"ctrl", "general"}, {"general", "queryNode"}}), answer;
    std::optional<PortalMessage> reply;
    if (send(PortalMessage::build(header, FormMap()))) reply = message();
    return reply && reply->parseHeader(&answer) ? valueOf(answer, "yournodeaddr") : "";
  }
};

PortalMessage authRequest(const std::string& node, const ValueMap& body, bool scramble = true) {
  FormMap header =
      form({{"from", node}, {"to", node.substr(0, node.find('/'))}, {"svc", "authsvr"}});
  return PortalMessage::build(header, body, scramble);
}

ValueMap credentials(const std::string& user, const char* key, const std::string& secret) {
  ValueMap body;
  body.putText("cmd", "auth");
  body.putText("userid", user);
  if (key != nullptr) body.putText(key, secret);
  return body;
}

// A frame header claiming the given part lengths, with at most 64 bytes of header after it.
std::vector<uint8_t> frameWithLengths(uint32_t header, uint32_t body) {
  std::vector<uint8_t> out(portal::kPortalMagic, portal::kPortalMagic + 4);
  auto word = [&out](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
  };
  word(8 + header + body);
  word(header);
  out.resize(out.size() + std::min<uint32_t>(header, 64), 'a');
  word(body);
  return out;
}

class DemoService : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    server_ = startServer(dir_->path / "data", [](auto& o) { o.seed_demo = true; });
  }
  static void TearDownTestSuite() {
    server_.reset();
    dir_.reset();
  }
  static ParamRecord portal(const ParamRecord& request) {
    return ask("127.0.0.1", server_->portalPort(), request);
  }

  static inline std::unique_ptr<TempDir> dir_;
  static inline std::unique_ptr<devserver::DevServer> server_;
};

TEST_F(DemoService, AuthenticationAnswersEachCredentialAsTheAccountSays) {
  const char* kKey = "tovian_sessionkey2";
  const std::tuple<const char*, const char*, const char*, bool, const char*> cases[] = {
      {kDemoId, "passwd", "demo", true, "0"},
      {kDemoId, "passwd", "demo", false, "0"},
      {"demo@ZAVEL.NET", "passwd", "demo", true, "0"},
      {kDemoId, kKey, "demo-session-key", true, "0"},
      {kDemoId, "passwd", "Demo", true, "2"},
      {kDemoId, "passwd", "", true, "2"},
      {kDemoId, kKey, "demo", true, "3"},
      {kDemoId, kKey, "", true, "3"},
      {kDemoId, nullptr, "", true, "4"},
      {"demo@vemar.net", "passwd", "demo", true, "1"},
      {"nobody@zavel.net", "passwd", "demo", true, "1"},
      {"demo", "passwd", "demo", true, "1"},
      {"", "passwd", "demo", true, "1"},
  };
  for (const auto& [user, key, secret, scramble, result] : cases) {
    SCOPED_TRACE(std::string(user) + " " + (key ? key : "-") + "=" + secret);
    AuthLine line(server_->authPort());
    const std::string node = line.queryNode();
    ASSERT_TRUE(line.send(authRequest(node, credentials(user, key, secret), scramble)));
    const std::optional<PortalMessage> answer = line.message();
    FormMap header, body;
    ASSERT_TRUE(answer && answer->parseHeader(&header) && answer->parseTextBody(&body));
    EXPECT_TRUE(!header.exists("ctrl") && valueOf(header, "to") == node) << valueOf(header, "to");
    EXPECT_EQ(valueOf(body, "inform"), "auth");
    EXPECT_EQ(valueOf(body, "result"), result);
    const bool ok = std::string(result) == "0";
    for (const char* field : {"name", "kid", "eid"}) EXPECT_EQ(body.exists(field), ok) << field;
    EXPECT_EQ(valueOf(body, "errmsg").empty(), ok) << "refusals explain themselves";
    EXPECT_EQ(valueOf(body, "userno"), ok ? "1001" : "<absent>");
  }
}

TEST_F(DemoService, NodesAreFreshPerConnectionAndStrayMessagesAreDropped) {
  AuthLine first(server_->authPort()), second(server_->authPort());
  const std::string a = first.queryNode(), b = second.queryNode();
  EXPECT_EQ(a.rfind("root/", 0), 0u) << a;
  EXPECT_NE(a, b);
  const ValueMap good = credentials(kDemoId, "passwd", "demo");
  // Claiming another connection's node, naming another root or service, or a text body:
  // none is answered, and the line stays usable.
  FormMap wrong_svc = form({{"from", a}, {"to", "root"}, {"svc", "mailsvr"}});
  for (const PortalMessage& stray : {authRequest(b, good), authRequest("elsewhere/" + a, good),
                                     PortalMessage::build(wrong_svc, good, true),
                                     PortalMessage::build(wrong_svc, form({{"cmd", "auth"}}))}) {
    ASSERT_TRUE(first.send(stray));
    EXPECT_FALSE(first.message(300)) << "a stray message got an answer";
  }
  ASSERT_TRUE(first.send(authRequest(a, good)));
  EXPECT_TRUE(first.message());
  // Broken frames close only their own connection.
  const std::vector<uint8_t> broken[] = {
      {0x01, 0x31, 0x30, 0xF3, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0},
      frameWithLengths(portal::kMaxPortalPart + 1, 0),
      frameWithLengths(10, portal::kMaxPortalPart + 1),
      frameWithLengths(10, 0xFFFFFFFF),
  };
  for (const auto& bytes : broken) {
    AuthLine line(server_->authPort());
    ASSERT_TRUE(line.send(bytes));
    EXPECT_TRUE(line.closedByServer());
  }
  ASSERT_TRUE(second.send(authRequest(b, good)));
  EXPECT_TRUE(second.message());
}

// Each text followed by the separator the portal's tables use.
std::string row(std::initializer_list<const char*> texts) {
  std::string joined;
  for (const char* text : texts) joined += std::string(text) + '\x02';
  return joined;
}
Req user(const char* id, const char* id_domain) {
  return Req("vemar_get_userbyiddomain").s("suserid", id).s("siddomain", id_domain);
}
Req hostInfo(const char* user, const char* disk, const char* is_club) {
  return Req("GetHostInfo").s("suserno", user).s("sclubno", disk).s("isclub", is_club);
}
Req clubLevel(int32_t club, const char* user) {
  return Req("getclubauthlevel").i32("iclubno", club).s("suserno", user);
}

// Every lookup answers with its own name, and a refusal says why.
TEST_F(DemoService, LookupsFollowTheAccountsAndClubs) {
  const Fields no_user = {{"suserno", "<absent>"}}, no_level = {{"sauthlevel", "<absent>"}};
  const Fields disks = {{"szavelinfofield", row({"uid", "diskname", "disktype"})},
                        {"szavelinfo", row({"1001", "My zavel", "personal", "5001", "데모 클럽",
                                            "octa", "5002", "사진 동호회", "octa"})}};
  const Fields personal_host = {
      {"szavelinfofield", row({"diskid", "publicip", "privateip", "loginid", "diskstatus"})},
      {"szavelinfo", row({"demo", "127.0.0.1", "127.0.0.1", "demo", "0"})}};
  const Req disk_list = Req("getdisklist").s("suserno", "1001").s("sverinfo", "4.6.30.1");
  const std::tuple<ParamRecord, int32_t, Fields> cases[] = {
      {user("demo", "demo@zavel.net"), 0, {{"suserno", "1001"}}},
      {user("demo", "demo@Zavel.Net"), 0, {{"suserno", "1001"}}},
      {user("demo", "demo@vemar.net"), 1, no_user},
      {user("demo", "other@zavel.net"), 1, no_user},
      {user("nobody", "nobody@zavel.net"), 1, no_user},
      {user("demo", ""), 1, no_user},
      {Req(disk_list).s("stype", "pda"), 0, disks},
      {Req("getdisklist").s("suserno", "999"), 1, {}},
      {Req("getdisklist"), 1, {}},
      {hostInfo("1001", "1001", "0"), 0, personal_host},
      {hostInfo("1001", "5001", "1"), 0, {}},
      {hostInfo("1001", "5001", "0"), 1, {}},
      {hostInfo("1001", "1001", "1"), 1, {}},
      {hostInfo("1001", "7777", "1"), 1, {}},
      {hostInfo("999", "1001", "0"), 1, {}},
      {clubLevel(5001, "1001"), 0, {{"sauthlevel", "1"}}},
      {clubLevel(5002, "1001"), 0, {{"sauthlevel", "3"}}},
      {clubLevel(6000, "1001"), 1, no_level},
      {clubLevel(5001, "999"), 1, no_level},
  };
  for (const auto& [request, result, fields] : cases) {
    SCOPED_TRACE(textOf(request, "_cmd") + " " + textOf(request, "suserid") + " " +
                 textOf(request, "siddomain") + " " + textOf(request, "sclubno"));
    const ParamRecord reply = portal(request);
    EXPECT_EQ(textOf(reply, "inform"), textOf(request, "_cmd"));
    EXPECT_EQ(resultOf(reply), result);
    EXPECT_EQ(textOf(reply, "errormsg").empty(), result == 0);
    expectFields(reply, fields);
  }
}

TEST_F(DemoService, SignInsAreLoggedWhereTheLogServerInfoPoints) {
  const ParamRecord where = portal(Req("getlogserverinfo"));
  ASSERT_EQ(resultOf(where), 0);
  EXPECT_EQ(textOf(where, "sserverip"), "127.0.0.1");
  ASSERT_EQ(numberOf(where, "iserverport"), server_->logPort());

  const std::pair<const char*, const char*> texts[] = {
      {"suserno", "1001"}, {"sclubno", "0"}, {"stype", "P"}, {"sip", "127.0.0.1"}, {"sissuc", "N"}};
  Req entry_sent("insertconnectlog");
  for (const auto& [key, value] : texts) entry_sent.s(key, value);
  Connection c;
  ASSERT_TRUE(c.connect("127.0.0.1", server_->logPort(), 0));
  ASSERT_GT(c.sendRecord(entry_sent.i32("ierrcode", 2), 2000), 0);
  c.close();
  std::string line;
  for (int i = 0; i < 200 && line.empty(); ++i) {
    std::ifstream in(dir_->path / "data" / devserver::kConnectLogFileName);
    std::getline(in, line);
    if (line.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  ASSERT_FALSE(line.empty()) << "nothing logged";
  const nlohmann::json entry = nlohmann::json::parse(line);
  for (const auto& [key, value] : texts) EXPECT_EQ(entry[key], value) << key;
  EXPECT_TRUE(entry["peer"] == "127.0.0.1" && entry["ierrcode"] == 2 && entry.contains("time"))
      << line;
}

// The demo club's photos are listed by the list server, their bytes held by the file server.
TEST_F(DemoService, TheDemoClubHoldsItsPhotos) {
  const ParamRecord photo = ask("127.0.0.1", server_->listPort(),
                                Req("getfileinfofrompath")
                                    .i32("iclubno", 5001)
                                    .s("spath", "/사진/2004 정기 모임/단체 사진.jpg")
                                    .i32("ioption", 0x1e4040 | 0x200));
  expectFields(photo, {{"result", 0}, {"jsize", 180000}});
  TestClient c("127.0.0.1", server_->filePort());
  c.signOn(textOf(photo, "suserid").c_str());
  EXPECT_EQ(download(c, textOf(photo, "spath"), 0, 180000).data.size(), 180000u);
}

TEST(PortalListener, AGivenPortalEndpointTakesThePortalOffTheListServer) {
  DevServerFixture data;
  auto server = startServer(data.dataPath(), [](auto& o) {
    o.portal = devserver::Endpoint{"127.0.0.1", 0};
  });
  ASSERT_NE(server->portalPort(), server->listPort());
  const ParamRecord lookup = Req("getdisklist").s("suserno", "1001");
  EXPECT_EQ(resultOf(ask("127.0.0.1", server->portalPort(), lookup)), 0);
  EXPECT_NE(resultOf(ask("127.0.0.1", server->listPort(), lookup)), 0);
  EXPECT_NE(
      resultOf(ask("127.0.0.1", server->portalPort(), Req("getclubinfo").i32("iclubno", 7001))), 0);
}

}  // namespace
}  // namespace zavel::testing
