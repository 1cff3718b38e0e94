#include "devserver/portal/auth_server.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "protocol/socket_io.h"

namespace zavel::devserver {

using portal::FormMap;
using portal::PortalMessage;
using portal::ValueMap;

namespace {

// Refusals: a result number and the service's own text, shown to the user as it stands.
struct Refusal {
  const char* result;
  const char* text;
};
constexpr Refusal kUnknownUser = {"1", "등록되지 않은 아이디입니다."};
constexpr Refusal kWrongPassword = {"2", "비밀번호가 일치하지 않습니다."};
constexpr Refusal kWrongSessionKey = {"3", "인증키가 올바르지 않습니다. 다시 로그인해 주십시오."};
constexpr Refusal kNoCredentials = {"4", "인증 정보가 올바르지 않습니다."};

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string value(const FormMap& map, const char* key) {
  std::string v;
  map.get(key, &v);
  return v;
}

}  // namespace

std::optional<PortalMessage> AuthExchange::answer(const PortalMessage& message) {
  FormMap header;
  if (!message.parseHeader(&header)) return std::nullopt;
  std::string ctrl;
  if (!header.get("ctrl", &ctrl)) return authenticate(header, message);
  if (!equalsIgnoringCase(ctrl, "general") ||
      !equalsIgnoringCase(value(header, "general"), "queryNode"))
    return std::nullopt;
  // Each connection is one child of the root; asking again keeps the same place.
  node_ = std::string(kAuthRootNode) + "/" + child_;
  FormMap reply;
  reply.set("ctrl", "general");
  reply.set("general", "queryNodeAns");
  reply.set("parentName", kAuthRootNode);
  reply.set("childName", child_);
  reply.set("yourNodeAddr", node_);
  return PortalMessage::build(reply, FormMap());
}

std::optional<PortalMessage> AuthExchange::authenticate(const FormMap& header,
                                                        const PortalMessage& message) {
  if (node_.empty() || value(header, "from") != node_ ||
      !equalsIgnoringCase(value(header, "to"), kAuthRootNode) ||
      !equalsIgnoringCase(value(header, "svc"), kAuthService))
    return std::nullopt;
  ValueMap body;
  std::string cmd, user_id;
  if (!message.parseValueBody(&body) || !body.getText("cmd", &cmd) || cmd != "auth" ||
      !body.getText("userid", &user_id))
    return std::nullopt;

  FormMap answer;
  answer.set("inform", "auth");
  const auto refuse = [&](const Refusal& r) {
    answer.set("result", r.result);
    answer.set("errmsg", r.text);
  };
  const size_t at = user_id.rfind('@');
  const AccountConfig* account =
      at == std::string::npos ? nullptr : config_.account(user_id.substr(0, at));
  std::string password, session_key;
  const bool has_key = body.getText("tovian_sessionkey2", &session_key);
  const bool has_password = body.getText("passwd", &password);
  if (account == nullptr || account->user_number <= 0 ||
      !equalsIgnoringCase(account->domain, user_id.substr(at + 1))) {
    refuse(kUnknownUser);
  } else if (has_key) {
    const auto& keys = account->session_keys;
    if (session_key.empty() || std::find(keys.begin(), keys.end(), session_key) == keys.end())
      refuse(kWrongSessionKey);
  } else if (!has_password) {
    refuse(kNoCredentials);
  } else if (password != account->password) {
    refuse(kWrongPassword);
  }
  if (!answer.exists("result")) {
    answer.set("result", "0");
    answer.set("errmsg", "");
    answer.set("name", account->name.empty() ? account->id : account->name);
    answer.set("userno", std::to_string(account->user_number));
    answer.set("kid", account->id);
    answer.set("eid", user_id);
  }
  FormMap reply_header;
  reply_header.set("to", node_);
  reply_header.set("from", std::string(kAuthRootNode) + "/" + kAuthService);
  return PortalMessage::build(reply_header, answer);
}

AuthServer::AuthServer(const Config& config, size_t max_connections)
    : config_(config), listener_(max_connections, [this](ACE_HANDLE handle, bool over_limit) {
        serve(handle, over_limit);
      }) {}

AuthServer::~AuthServer() {
  stop();
}

bool AuthServer::listen(const std::string& host, uint16_t port, std::string* error) {
  return listener_.listen(host, port, error);
}

void AuthServer::serve(ACE_HANDLE handle, bool over_limit) {
  if (over_limit) return;
  AuthExchange exchange(config_, "c" + std::to_string(next_child_++));
  std::vector<uint8_t> buffer;
  uint8_t chunk[16384];
  while (!listener_.stopping()) {
    const ssize_t n = receiveSome(handle, chunk, sizeof chunk, kIdleTimeoutMs);
    if (n <= 0) return;
    buffer.insert(buffer.end(), chunk, chunk + n);
    for (;;) {
      size_t length = 0;
      const portal::FrameStatus status = portal::checkFrame(buffer.data(), buffer.size(), &length);
      // A stream that is out of step can never be read on: hang up.
      if (status == portal::FrameStatus::kError) return;
      if (status == portal::FrameStatus::kIncomplete) break;
      PortalMessage message(std::vector<uint8_t>(buffer.begin(), buffer.begin() + length));
      buffer.erase(buffer.begin(), buffer.begin() + length);
      if (std::optional<PortalMessage> reply = exchange.answer(message)) {
        const std::vector<uint8_t>& bytes = reply->bytes();
        if (sendAll(handle, bytes.data(), bytes.size(), kIdleTimeoutMs) != bytes.size()) return;
      }
    }
  }
}

}  // namespace zavel::devserver
