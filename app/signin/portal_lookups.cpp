#include "app/signin/portal_lookups.h"

#include <QHostAddress>
#include <QHostInfo>
#include <optional>
#include <string_view>
#include <vector>

#include "app/signin/disk_table.h"
#include "app/signin/texts.h"
#include "protocol/connection.h"
#include "protocol/param_record.h"

namespace zavel::app {
namespace {

constexpr int kLookupSendMs = 10000;
constexpr int kLogSendMs = 2000;
constexpr int kNoTimeout = -1;
// The servers read a text parameter into a 512-byte buffer with its terminating NUL.
constexpr qsizetype kMaxTextBytes = 511;

const char* const kOwnDiskName = "My zavel";
const char* const kClientVersion = "4.6.30.1";
const char* const kClientType = "pda";

// The handheld's own address as the connect log reports it: the first IPv4 address of the
// local host name, looked up once per run; empty when the name does not resolve.
const QString& ownAddress() {
  static const QString address = [] {
    const QHostInfo info = QHostInfo::fromName(QHostInfo::localHostName());
    for (const QHostAddress& a : info.addresses())
      if (a.protocol() == QAbstractSocket::IPv4Protocol) return a.toString();
    return QString();
  }();
  return address;
}

}  // namespace

// One request and its reply.
struct PortalLookups::Exchange {
  Exchange(const char* name, int send_ms) : command(name), send_timeout_ms(send_ms) {
    request.setString("_cmd", command);
  }

  // A text parameter in the local 8-bit form. One that the server could not hold whole is
  // refused rather than cut, so that a lookup never asks about some other id or disk: the
  // whole lookup then fails before anything is sent.
  void text(const char* name, const QString& value) {
    const QByteArray bytes = value.toLocal8Bit();
    if (bytes.size() > kMaxTextBytes)
      oversized = true;
    else
      request.setString(name, bytes.constData());
  }
  void number(const char* name, int32_t value) { request.setInt32(name, value); }

  std::string_view replyBytes(const char* name) const {
    const char* value = "";
    reply.getString(name, &value);
    return value;
  }
  QString replyText(const char* name) const {
    const std::string_view bytes = replyBytes(name);
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  // The reply answers this request only when it names the same command.
  bool informs() const { return replyBytes("inform") == command; }
  bool succeeded() const {
    int32_t result = -1;
    return reply.getInt32("result", &result) && result == 0;
  }

  const char* command;
  int send_timeout_ms;
  bool read_reply = true;
  int blocking = 1;
  bool oversized = false;
  ParamRecord request{kFlagScramble};
  ParamRecord reply{kFlagScramble};
};

PortalLookups::PortalLookups(Prompter& prompter, LoginInfo& login)
    : prompter_(prompter), login_(login) {}

PortalLookups::Outcome PortalLookups::run(const ServerEndpoint& server, Exchange& x) {
  if (x.oversized) return Outcome::kSendFailed;
  Connection connection;  // closed when the lookup ends, whatever happened
  if (!connection.connect(server.host.toLocal8Bit().constData(), server.port, x.blocking))
    return Outcome::kNoConnection;
  if (connection.sendRecord(x.request, wait(x.send_timeout_ms)) <= 0) return Outcome::kSendFailed;
  if (!x.read_reply) return Outcome::kDone;
  if (connection.receiveRecord(x.reply, wait(kNoTimeout)) <= 0) return Outcome::kReceiveFailed;
  return Outcome::kDone;
}

bool PortalLookups::reportTransport(Outcome outcome) {
  if (outcome == Outcome::kDone) return false;
  prompter_.inform(text::tr(outcome == Outcome::kNoConnection ? text::kCannotConnect
                                                              : text::kCommunicationError),
                   PromptIcon::kStop);
  return true;
}

QString PortalLookups::userByIdDomain() {
  const QString domain = login_.domain.startsWith(u'@') ? login_.domain.mid(1) : login_.domain;
  Exchange x("vemar_get_userbyiddomain", kLookupSendMs);
  x.text("suserid", login_.id);
  x.text("siddomain", login_.id + u'@' + domain);
  if (run(portal_, x) != Outcome::kDone || !x.informs()) return {};
  if (!x.succeeded()) {
    error_text_ = x.replyText("errormsg");
    return {};
  }
  login_.userNo = x.replyText("suserno");
  return login_.userNo;
}

int PortalLookups::diskList() {
  Exchange x("getdisklist", kLookupSendMs);
  x.text("suserno", login_.userNo);
  x.text("sverinfo", QString::fromLatin1(kClientVersion));
  x.text("stype", QString::fromLatin1(kClientType));
  if (reportTransport(run(portal_, x))) return -1;
  if (!x.informs()) {
    error_text_ = x.replyText("errormsg");
    if (error_text_.isEmpty()) error_text_ = text::tr(text::kWrongInformation);
    prompter_.inform(error_text_, PromptIcon::kStop);
    return -1;
  }
  DiskTable table;
  if (!table.parse(x.replyBytes("szavelinfofield"), x.replyBytes("szavelinfo"))) return -1;
  auto text = [](const std::string& bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
  };
  // One entry per row; a row without all three columns keeps an empty entry.
  std::vector<DiskEntry> disks(table.rows());
  for (size_t row = 0; row < disks.size(); ++row) {
    const auto uid = table.cell("uid", row);
    const auto name = table.cell("diskname", row);
    const auto type = table.cell("disktype", row);
    if (!uid || !name || !type) continue;
    disks[row].uid = text(*uid);
    disks[row].diskname = text(*name);
    disks[row].disktype = text(*type);
  }
  login_.disks = std::move(disks);
  return login_.diskCount();
}

bool PortalLookups::hostInfo(const DiskEntry& disk, HostInfo* out) {
  Exchange x("GetHostInfo", kNoTimeout);
  x.text("suserno", login_.userNo);
  x.text("sclubno", disk.uid);
  x.text("isclub",
         disk.diskname == QLatin1String(kOwnDiskName) ? QStringLiteral("0") : QStringLiteral("1"));
  if (reportTransport(run(portal_, x))) return false;
  const QString message = x.replyText("errormsg");
  // A refusal counts only with a reason: a failed result without one is still read.
  if (!x.informs() || (!x.succeeded() && !message.isEmpty())) {
    if (!message.isEmpty()) prompter_.inform(message, PromptIcon::kStop);
    return false;
  }
  DiskTable table;
  if (!table.parse(x.replyBytes("szavelinfofield"), x.replyBytes("szavelinfo"))) return false;
  HostInfo info;
  const std::pair<const char*, QString*> cells[] = {{"diskid", &info.diskid},
                                                    {"publicip", &info.publicip},
                                                    {"privateip", &info.privateip},
                                                    {"loginid", &info.loginid},
                                                    {"diskstatus", &info.diskstatus}};
  for (const auto& [column, field] : cells) {
    const std::optional<std::string> value = table.cell(column, 0);
    if (!value) return false;
    *field = QString::fromLocal8Bit(value->data(), static_cast<qsizetype>(value->size()));
  }
  if (out != nullptr) *out = info;
  return true;
}

int PortalLookups::clubAuthLevel(const DiskEntry& disk) {
  Exchange x("getclubauthlevel", kLookupSendMs);
  x.number("iclubno", disk.uid.toInt());
  x.text("suserno", login_.userNo);
  if (run(octa_, x) != Outcome::kDone || !x.informs() || !x.succeeded()) return -1;
  int32_t level = 0;  // absent reads as 0; a text reads as a decimal number
  x.reply.getInt32("sauthlevel", &level);
  return level;
}

bool PortalLookups::logServerInfo() {
  Exchange x("getlogserverinfo", kLookupSendMs);
  if (run(portal_, x) != Outcome::kDone || !x.informs() || !x.succeeded()) return false;
  int32_t port = 0;
  x.reply.getInt32("iserverport", &port);
  log_host_ = x.replyText("sserverip");
  log_port_ = port >= 0 && port <= 65535 ? static_cast<uint16_t>(port) : 0;
  // Without a host the next connect log asks again.
  log_known_ = !log_host_.isEmpty();
  return true;
}

void PortalLookups::insertConnectLog(const QString& clubNo, const QString& type, bool success,
                                     int errorCode) {
  if (!log_known_) {
    logServerInfo();
    if (!log_known_) return;
  }
  Exchange x("insertconnectlog", kLogSendMs);
  x.read_reply = false;
  x.blocking = 0;
  x.text("suserno", login_.userNo);
  x.text("sclubno", clubNo);
  x.text("stype", type);
  x.text("sip", ownAddress());
  x.text("sissuc", success ? QStringLiteral("Y") : QStringLiteral("N"));
  x.number("ierrcode", errorCode);
  run({log_host_, log_port_}, x);  // the outcome does not matter to the sign-in
}

}  // namespace zavel::app
