#include "app/signin/auth_client.h"

#include "app/signin/texts.h"

namespace zavel::app {
namespace {

std::string wire(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

QString local(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

bool sameText(const std::string& a, const char* b) {
  return QString::fromLatin1(a.data(), static_cast<qsizetype>(a.size()))
             .compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

AuthClient::AuthClient(QString userId, QString password, QString sessionKey, Prompter& prompter,
                       QObject* parent)
    : SockHandler(prompter, parent),
      user_id_(std::move(userId)),
      password_(std::move(password)),
      session_key_(std::move(sessionKey)) {}

void AuthClient::onConnected() {
  SockHandler::onConnected();
  emit progress(30);
  portal::FormMap header;
  header.set("ctrl", "general");
  header.set("general", "queryNode");
  emit progress(35);
  send(portal::PortalMessage::build(header, portal::FormMap()));
  emit progress(45);
}

// A closed connection changes nothing in the exchange: the dialog's watchdog ends it.
void AuthClient::onClosed() {
  SockHandler::onClosed();
}

void AuthClient::onMessage(const portal::PortalMessage& message) {
  if (finished_) return;
  portal::FormMap header;
  if (!message.parseHeader(&header)) return;
  if (header.exists("ctrl"))
    routed(header);
  else
    answered(header, message);
}

// The router's answer to queryNode: our node address, then the credentials go out.
void AuthClient::routed(const portal::FormMap& header) {
  std::string ctrl, general, parent, child, node;
  header.get("ctrl", &ctrl);
  emit progress(60);
  if (!sameText(ctrl, "general") || !header.get("general", &general)) return;
  emit progress(70);
  if (!sameText(general, "queryNodeAns")) return;
  if (!header.get("parentname", &parent) || !header.get("childname", &child) ||
      !header.get("yournodeaddr", &node))
    return;

  node_ = local(node);
  const std::string from = wire(node_);
  portal::FormMap request;
  request.set("from", from);
  request.set("to", from.substr(0, from.find('/')));
  request.set("svc", "authsvr");
  portal::ValueMap body;
  body.putText("cmd", "auth");
  body.putText("userid", wire(user_id_));
  if (session_key_.isEmpty())
    body.putText("passwd", wire(password_));
  else
    body.putText("tovian_sessionkey2", wire(session_key_));
  send(portal::PortalMessage::build(request, body, true));
}

// A message without ctrl: the authentication service's answer, if it is addressed to us.
void AuthClient::answered(const portal::FormMap& header, const portal::PortalMessage& message) {
  std::string to, from;
  if (!header.get("to", &to) || !header.get("from", &from)) return;
  if (!local(to).startsWith(node_, Qt::CaseInsensitive)) return;
  emit progress(80);

  portal::FormMap text;
  portal::ValueMap values;
  const bool is_text = message.parseTextBody(&text);
  if (!is_text && !message.parseValueBody(&values)) return;
  std::string inform;
  if (!text.get("inform", &inform)) values.getText("inform", &inform);
  if (!sameText(inform, "auth")) return;
  emit progress(90);

  // The result is only ever read from a text body.
  if (!is_text) return;
  std::string result, errmsg;
  if (!text.get("result", &result)) return;
  text.get("errmsg", &errmsg);
  if (result != "0") {
    finish(false, local(errmsg));
    return;
  }
  if (!text.exists("name") || !text.exists("userno") || !text.exists("kid") ||
      !text.exists("eid")) {
    finish(false, text::tr(text::kBadAuthInfo));
    return;
  }
  emit progress(100);
  finish(true, QString());
}

void AuthClient::finish(bool success, const QString& message) {
  finished_ = true;
  if (!success) prompter().inform(message, PromptIcon::kStop);
  emit finished(success);
}

}  // namespace zavel::app
