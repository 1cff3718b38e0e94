// The authentication router, the portal lookups and the connect log of zavel-devserver,
// over loopback against the demo data.
#include <ace/ACE.h>
#include <ace/SOCK_Connector.h>
#include <sys/socket.h>
#include <zavelsdk.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "devserver/dev_server.h"
#include "devserver/portal/connect_log.h"
#include "protocol/portal/portal_message.h"
#include "protocol/portal/service_domains.h"
#include "tests/devserver/test_client.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;
using portal::FormMap;
using portal::PortalMessage;
using portal::ValueMap;

constexpr const char* kDemoId = "demo@zavel.net";

// A connection to the authentication router that sends and receives whole messages.
class AuthLine {
 public:
  explicit AuthLine(uint16_t port) {
    ACE_INET_Addr address(port, "127.0.0.1");
    ACE_Time_Value tv(5);
    ACE_SOCK_Connector().connect(stream_, address, &tv);
  }
  ~AuthLine() { stream_.close(); }

  bool sendBytes(const std::vector<uint8_t>& bytes) {
    ACE_Time_Value tv(5);
    size_t sent = 0;
    ACE::send_n(stream_.get_handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL, &tv, &sent);
    return sent == bytes.size();
  }
  bool send(const PortalMessage& m) { return sendBytes(m.bytes()); }

  // The next whole message; none when the line closed or nothing came within wait_ms.
  std::optional<PortalMessage> receive(int wait_ms = 10000) {
    for (;;) {
      size_t length = 0;
      if (portal::checkFrame(buffer_.data(), buffer_.size(), &length) ==
          portal::FrameStatus::kComplete) {
        PortalMessage m(std::vector<uint8_t>(buffer_.begin(), buffer_.begin() + length));
        buffer_.erase(buffer_.begin(), buffer_.begin() + length);
        return m;
      }
      if (!fill(wait_ms)) return std::nullopt;
    }
  }
  // True when the server hung up (reading gives end of stream).
  bool closedByServer() {
    while (fill(10000)) {
    }
    return closed_;
  }

  // queryNode, and the node address the answer gives.
  std::string queryNode() {
    FormMap header;
    header.set("ctrl", "general");
    header.set("general", "queryNode");
    if (!send(PortalMessage::build(header, FormMap()))) return {};
    std::optional<PortalMessage> answer = receive();
    FormMap h;
    std::string node;
    if (answer && answer->parseHeader(&h)) h.get("yournodeaddr", &node);
    return node;
  }

 private:
  bool fill(int wait_ms) {
    uint8_t chunk[4096];
    ACE_Time_Value tv(wait_ms / 1000, (wait_ms % 1000) * 1000);
    const ssize_t n = ACE::recv(stream_.get_handle(), chunk, sizeof chunk, &tv);
    if (n == 0) closed_ = true;
    if (n <= 0) return false;
    buffer_.insert(buffer_.end(), chunk, chunk + n);
    return true;
  }

  ACE_SOCK_Stream stream_;
  std::vector<uint8_t> buffer_;
  bool closed_ = false;
};

PortalMessage authRequest(const std::string& node, const ValueMap& body, bool scramble = true) {
  FormMap header;
  header.set("from", node);
  header.set("to", node.substr(0, node.find('/')));
  header.set("svc", "authsvr");
  return PortalMessage::build(header, body, scramble);
}

ValueMap credentials(const std::string& user, const char* key, const std::string& secret) {
  ValueMap body;
  body.putText("cmd", "auth");
  body.putText("userid", user);
  if (key != nullptr) body.putText(key, secret);
  return body;
}

std::vector<uint8_t> frameWithLengths(uint32_t header, uint32_t body) {
  auto word = [](std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
  };
  std::vector<uint8_t> out(portal::kPortalMagic, portal::kPortalMagic + 4);
  word(out, 8 + header + body);
  word(out, header);
  out.resize(out.size() + std::min<uint32_t>(header, 64), 'a');
  word(out, body);
  return out;
}

class DemoService : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/zavel-portal-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    data_ = new fs::path(pattern);
    devserver::DevServerOptions options;
    options.data_dir = *data_ / "data";
    options.seed_demo = true;
    options.useFreePorts();
    server_ = new devserver::DevServer(options);
    std::string error;
    ASSERT_TRUE(server_->start(&error)) << error;
  }
  static void TearDownTestSuite() {
    delete server_;
    fs::remove_all(*data_);
    delete data_;
  }
  static ParamRecord portal(const ParamRecord& request) {
    return ask("127.0.0.1", server_->portalPort(), request);
  }

  static devserver::DevServer* server_;
  static fs::path* data_;
};

devserver::DevServer* DemoService::server_ = nullptr;
fs::path* DemoService::data_ = nullptr;

TEST_F(DemoService, AuthenticationAnswersEachCredentialAsTheAccountSays) {
  struct Case {
    const char* user;
    const char* key;
    std::string secret;
    bool scramble;
    const char* result;
  } cases[] = {
      {kDemoId, "passwd", "demo", true, "0"},
      {kDemoId, "passwd", "demo", false, "0"},
      {"demo@ZAVEL.NET", "passwd", "demo", true, "0"},
      {kDemoId, "tovian_sessionkey2", "demo-session-key", true, "0"},
      {kDemoId, "passwd", "Demo", true, "2"},
      {kDemoId, "passwd", "", true, "2"},
      {kDemoId, "tovian_sessionkey2", "demo", true, "3"},
      {kDemoId, "tovian_sessionkey2", "", true, "3"},
      {kDemoId, nullptr, "", true, "4"},
      {"demo@vemar.net", "passwd", "demo", true, "1"},
      {"nobody@zavel.net", "passwd", "demo", true, "1"},
      {"demo", "passwd", "demo", true, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + " " + (c.key ? c.key : "-") + "=" + c.secret);
    AuthLine line(server_->authPort());
    const std::string node = line.queryNode();
    ASSERT_EQ(node.rfind("root/", 0), 0u) << node;
    ASSERT_TRUE(line.send(authRequest(node, credentials(c.user, c.key, c.secret), c.scramble)));
    const std::optional<PortalMessage> answer = line.receive();
    ASSERT_TRUE(answer);
    FormMap header, body;
    ASSERT_TRUE(answer->parseHeader(&header));
    ASSERT_TRUE(answer->parseTextBody(&body));
    std::string to, value;
    EXPECT_FALSE(header.exists("ctrl"));
    EXPECT_TRUE(header.get("to", &to) && to == node);
    EXPECT_TRUE(body.get("inform", &value) && value == "auth");
    EXPECT_TRUE(body.get("result", &value) && value == c.result);
    const bool ok = std::string(c.result) == "0";
    for (const char* field : {"name", "userno", "kid", "eid"})
      EXPECT_EQ(body.exists(field), ok) << field;
    body.get("errmsg", &value);
    EXPECT_EQ(value.empty(), ok) << "refusals explain themselves";
    if (ok) {
      EXPECT_TRUE(body.get("userno", &value) && value == "1001");
    }
  }
}

TEST_F(DemoService, NodesAreFreshPerConnectionAndStrayMessagesAreDropped) {
  AuthLine first(server_->authPort()), second(server_->authPort());
  const std::string a = first.queryNode(), b = second.queryNode();
  EXPECT_NE(a, b);
  const ValueMap good = credentials(kDemoId, "passwd", "demo");
  // Claiming another connection's node, naming another root or service, or a text body:
  // none is answered, and the line stays usable.
  FormMap wrong_svc;
  wrong_svc.set("from", a);
  wrong_svc.set("to", "root");
  wrong_svc.set("svc", "mailsvr");
  FormMap text_body;
  text_body.set("cmd", "auth");
  for (const PortalMessage& stray :
       {authRequest(b, good), authRequest("elsewhere/" + a, good),
        PortalMessage::build(wrong_svc, good, true), PortalMessage::build(wrong_svc, text_body)}) {
    ASSERT_TRUE(first.send(stray));
    EXPECT_FALSE(first.receive(300)) << "a stray message got an answer";
  }
  ASSERT_TRUE(first.send(authRequest(a, good)));
  EXPECT_TRUE(first.receive());
}

TEST_F(DemoService, BrokenFramesCloseOnlyTheirOwnConnection) {
  const std::vector<std::vector<uint8_t>> broken = {
      {0x01, 0x31, 0x30, 0xF3, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0},
      frameWithLengths(portal::kMaxPortalPart + 1, 0),
      frameWithLengths(10, portal::kMaxPortalPart + 1),
      frameWithLengths(10, 0xFFFFFFFF),
  };
  AuthLine bystander(server_->authPort());
  const std::string node = bystander.queryNode();
  for (const auto& bytes : broken) {
    AuthLine line(server_->authPort());
    ASSERT_TRUE(line.sendBytes(bytes));
    EXPECT_TRUE(line.closedByServer());
  }
  ASSERT_TRUE(bystander.send(authRequest(node, credentials(kDemoId, "passwd", "demo"))));
  EXPECT_TRUE(bystander.receive());
}

TEST_F(DemoService, UserNumberAndDiskListFollowTheAccount) {
  struct Case {
    const char* id;
    const char* id_domain;
    int32_t result;
  } users[] = {
      {"demo", "demo@zavel.net", 0},     {"demo", "demo@Zavel.Net", 0},
      {"demo", "demo@vemar.net", 1},     {"demo", "other@zavel.net", 1},
      {"nobody", "nobody@zavel.net", 1},
  };
  for (const Case& c : users) {
    SCOPED_TRACE(c.id_domain);
    const ParamRecord r =
        portal(Req("vemar_get_userbyiddomain").s("suserid", c.id).s("siddomain", c.id_domain));
    EXPECT_EQ(textOf(r, "inform"), "vemar_get_userbyiddomain");
    EXPECT_EQ(resultOf(r), c.result);
    EXPECT_EQ(textOf(r, "suserno"), c.result == 0 ? "1001" : "<absent>");
    EXPECT_EQ(textOf(r, "errormsg").empty(), c.result == 0);
  }
  const ParamRecord disks =
      portal(Req("getdisklist").s("suserno", "1001").s("sverinfo", "4.6.30.1").s("stype", "pda"));
  EXPECT_EQ(textOf(disks, "inform"), "getdisklist");
  EXPECT_EQ(textOf(disks, "szavelinfofield"),
            "uid\x02"
            "diskname\x02"
            "disktype\x02");
  EXPECT_EQ(textOf(disks, "szavelinfo"),
            "1001\x02My zavel\x02personal\x02"
            "5001\x02데모 클럽\x02octa\x02"
            "5002\x02사진 동호회\x02octa\x02");
  EXPECT_NE(resultOf(portal(Req("getdisklist").s("suserno", "999"))), 0);
  // Every domain the program offers is served by the same portal; the demo uses one.
  EXPECT_NE(std::find(kPortalDomains.begin(), kPortalDomains.end(), "zavel.net"),
            kPortalDomains.end());
}

TEST_F(DemoService, HostInfoOpensThePersonalDiskWithoutAPassword) {
  const ParamRecord r =
      portal(Req("GetHostInfo").s("suserno", "1001").s("sclubno", "1001").s("isclub", "0"));
  ASSERT_EQ(resultOf(r), 0) << textOf(r, "errormsg");
  EXPECT_EQ(textOf(r, "szavelinfofield"),
            "diskid\x02publicip\x02privateip\x02loginid\x02"
            "diskstatus\x02");
  EXPECT_EQ(textOf(r, "szavelinfo"),
            "demo\x02"
            "127.0.0.1\x02"
            "127.0.0.1\x02"
            "demo\x02"
            "0\x02");
  ZavelSession* session =
      zavel_CreateSession("127.0.0.1", server_->filePort(), "demo", nullptr, 10000);
  ASSERT_NE(session, nullptr) << zavel_GetLastErrStr();
  EXPECT_STREQ(zavel_GetSessionPath(session), "/demo");
  zavel_DestroySession(session);

  struct Case {
    const char* user;
    const char* disk;
    const char* is_club;
    int32_t result;
  } cases[] = {
      {"1001", "5001", "1", 0}, {"1001", "5002", "1", 0}, {"1001", "5001", "0", 1},
      {"1001", "1001", "1", 1}, {"1001", "7777", "1", 1}, {"999", "1001", "0", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.disk) + "/" + c.is_club);
    const ParamRecord h =
        portal(Req("GetHostInfo").s("suserno", c.user).s("sclubno", c.disk).s("isclub", c.is_club));
    EXPECT_EQ(textOf(h, "inform"), "GetHostInfo");
    EXPECT_EQ(resultOf(h), c.result);
    EXPECT_EQ(textOf(h, "errormsg").empty(), c.result == 0);
  }
}

TEST_F(DemoService, ClubAuthorityLevelsAreTheMembers) {
  struct Case {
    int32_t club;
    const char* user;
    int32_t result;
    const char* level;
  } cases[] = {
      {5001, "1001", 0, "1"},
      {5002, "1001", 0, "3"},
      {6000, "1001", 1, "<absent>"},
      {5001, "999", 1, "<absent>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.club);
    const ParamRecord r =
        portal(Req("getclubauthlevel").i32("iclubno", c.club).s("suserno", c.user));
    EXPECT_EQ(textOf(r, "inform"), "getclubauthlevel");
    EXPECT_EQ(resultOf(r), c.result);
    EXPECT_EQ(textOf(r, "sauthlevel"), c.level);
  }
}

TEST_F(DemoService, SignInsAreLoggedWhereTheLogServerInfoPoints) {
  const ParamRecord where = portal(Req("getlogserverinfo"));
  ASSERT_EQ(resultOf(where), 0);
  EXPECT_EQ(textOf(where, "sserverip"), "127.0.0.1");
  ASSERT_EQ(numberOf(where, "iserverport"), server_->logPort());

  Connection c;
  ASSERT_TRUE(c.connect("127.0.0.1", server_->logPort(), 0));
  ASSERT_GT(c.sendRecord(Req("insertconnectlog")
                             .s("suserno", "1001")
                             .s("sclubno", "0")
                             .s("stype", "P")
                             .s("sip", "127.0.0.1")
                             .s("sissuc", "N")
                             .i32("ierrcode", 2),
                         2000),
            0);
  c.close();
  const fs::path log = *data_ / "data" / devserver::kConnectLogFileName;
  std::string line;
  for (int i = 0; i < 200 && line.empty(); ++i) {
    std::ifstream in(log);
    std::getline(in, line);
    if (line.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  ASSERT_FALSE(line.empty()) << "nothing logged";
  const nlohmann::json entry = nlohmann::json::parse(line);
  EXPECT_EQ(entry["suserno"], "1001");
  EXPECT_EQ(entry["sclubno"], "0");
  EXPECT_EQ(entry["stype"], "P");
  EXPECT_EQ(entry["sip"], "127.0.0.1");
  EXPECT_EQ(entry["sissuc"], "N");
  EXPECT_EQ(entry["ierrcode"], 2);
  EXPECT_EQ(entry["peer"], "127.0.0.1");
  EXPECT_TRUE(entry.contains("time"));
}

TEST(PortalListener, AGivenPortalEndpointTakesThePortalOffTheListServer) {
  DevServerFixture data;
  devserver::DevServerOptions options;
  options.data_dir = data.dataPath();
  options.useFreePorts();
  options.portal = devserver::Endpoint{"127.0.0.1", 0};
  devserver::DevServer server(options);
  std::string error;
  ASSERT_TRUE(server.start(&error)) << error;
  ASSERT_NE(server.portalPort(), server.listPort());
  const ParamRecord lookup = Req("getdisklist").s("suserno", "1001");
  EXPECT_EQ(resultOf(ask("127.0.0.1", server.portalPort(), lookup)), 0);
  EXPECT_NE(resultOf(ask("127.0.0.1", server.listPort(), lookup)), 0);
  EXPECT_NE(
      resultOf(ask("127.0.0.1", server.portalPort(), Req("getclubinfo").i32("iclubno", 7001))), 0);
}

}  // namespace
}  // namespace zavel::testing
