#include "client/auth_exchange.h"

#include <algorithm>
#include <cctype>

namespace zavel::client {
namespace {

bool sameText(const std::string& a, const char* b) {
  const std::string_view other(b);
  return a.size() == other.size() &&
         std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Whether `to` begins with the node address, ignoring case; an empty node matches every to.
bool addressedTo(const std::string& to, const std::string& node) {
  return to.size() >= node.size() && sameText(to.substr(0, node.size()), node.c_str());
}

}  // namespace

AuthExchange::AuthExchange(std::string userId, std::string password, std::string sessionKey,
                           std::function<void(int)> progress)
    : user_id_(std::move(userId)),
      password_(std::move(password)),
      session_key_(std::move(sessionKey)),
      progress_(std::move(progress)) {}

portal::PortalMessage AuthExchange::connected() {
  step(30);
  portal::FormMap header;
  header.set("ctrl", "general");
  header.set("general", "queryNode");
  step(35);
  portal::PortalMessage question = portal::PortalMessage::build(header, portal::FormMap());
  step(45);
  return question;
}

bool AuthExchange::handle(const portal::PortalMessage& message, portal::PortalMessage* reply) {
  if (finished()) return false;
  portal::FormMap header;
  if (!message.parseHeader(&header)) return false;
  if (header.exists("ctrl")) return routed(header, reply);
  answered(header, message);
  return false;
}

std::vector<portal::PortalMessage> AuthExchange::received(const uint8_t* data, size_t size) {
  std::vector<portal::PortalMessage> replies;
  reader_.append(data, size);
  portal::PortalMessage message;
  while (!finished()) {
    const FrameReader::Next next = reader_.next(&message);
    if (next == FrameReader::Next::kNone) break;
    if (next == FrameReader::Next::kBroken) {
      outcome_ = Outcome::kBroken;
      break;
    }
    portal::PortalMessage reply;
    if (handle(message, &reply)) replies.push_back(std::move(reply));
  }
  return replies;
}

// The router's answer to the node question: our node address, then the credentials go out.
bool AuthExchange::routed(const portal::FormMap& header, portal::PortalMessage* reply) {
  std::string ctrl, general, parent, child, node;
  header.get("ctrl", &ctrl);
  step(60);
  if (!sameText(ctrl, "general") || !header.get("general", &general)) return false;
  step(70);
  if (!sameText(general, "queryNodeAns")) return false;
  if (!header.get("parentname", &parent) || !header.get("childname", &child) ||
      !header.get("yournodeaddr", &node))
    return false;

  node_ = node;
  portal::FormMap request;
  request.set("from", node_);
  request.set("to", node_.substr(0, node_.find('/')));
  request.set("svc", "authsvr");
  portal::ValueMap body;
  body.putText("cmd", "auth");
  body.putText("userid", user_id_);
  if (session_key_.empty())
    body.putText("passwd", password_);
  else
    body.putText("tovian_sessionkey2", session_key_);
  *reply = portal::PortalMessage::build(request, body, true);
  return true;
}

// A message without ctrl: the authentication service's answer, if it is addressed to us.
void AuthExchange::answered(const portal::FormMap& header, const portal::PortalMessage& message) {
  std::string to, from;
  if (!header.get("to", &to) || !header.get("from", &from)) return;
  if (!addressedTo(to, node_)) return;
  step(80);

  portal::FormMap text;
  portal::ValueMap values;
  const bool is_text = message.parseTextBody(&text);
  if (!is_text && !message.parseValueBody(&values)) return;
  std::string inform;
  if (!text.get("inform", &inform)) values.getText("inform", &inform);
  if (!sameText(inform, "auth")) return;
  step(90);

  // The result is only ever read from a text body.
  if (!is_text) return;
  std::string result;
  if (!text.get("result", &result)) return;
  text.get("errmsg", &refusal_);
  if (result != "0") {
    outcome_ = Outcome::kRefused;
    return;
  }
  if (!text.exists("name") || !text.exists("userno") || !text.exists("kid") ||
      !text.exists("eid")) {
    outcome_ = Outcome::kIncomplete;
    return;
  }
  step(100);
  outcome_ = Outcome::kAccepted;
}

}  // namespace zavel::client
