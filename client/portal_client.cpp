#include "client/portal_client.h"

#include <netdb.h>
#include <unistd.h>

#include <charconv>
#include <string_view>

#include "client/disk_table.h"
#include "protocol/connection.h"
#include "protocol/param_record.h"

namespace zavel::client {
namespace {

constexpr int kLookupSendMs = 10000;
constexpr int kLogSendMs = 2000;
constexpr int kNoTimeout = -1;

const char* const kClientVersion = "4.6.30.1";
const char* const kClientType = "pda";

}  // namespace

int32_t DiskRecord::clubNumber() const {
  int32_t number = 0;
  const char* end = uid.data() + uid.size();
  const std::from_chars_result read = std::from_chars(uid.data(), end, number);
  return read.ec == std::errc() && read.ptr == end ? number : 0;
}

int32_t modeForLevel(int32_t level) {
  if (level == 1) return 1;
  if (level == 2 || level == 4) return 2;
  return 3;
}

const std::string& ownAddress() {
  static const std::string address = [] {
    char name[257] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return std::string();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return std::string();
    char text[NI_MAXHOST] = {};
    const int rc = ::getnameinfo(found->ai_addr, found->ai_addrlen, text, sizeof text, nullptr, 0,
                                 NI_NUMERICHOST);
    ::freeaddrinfo(found);
    return rc == 0 ? std::string(text) : std::string();
  }();
  return address;
}

// One request and its reply.
struct PortalClient::Exchange {
  Exchange(const char* name, int send_ms) : command(name), send_timeout_ms(send_ms) {
    request.setString("_cmd", command);
  }

  void text(const char* name, const std::string& value) {
    if (value.size() > kMaxTextBytes)
      oversized = true;
    else
      request.setString(name, value.c_str());
  }
  void number(const char* name, int32_t value) { request.setInt32(name, value); }

  std::string replyText(const char* name) const {
    const char* value = "";
    reply.getString(name, &value);
    return value;
  }
  // The reply answers this request only when it names the same command.
  bool informs() const { return replyText("inform") == command; }
  bool succeeded() const {
    int32_t result = -1;
    return reply.getInt32("result", &result) && result == 0;
  }
  bool table(DiskTable* out) const {
    return out->parse(replyText("szavelinfofield"), replyText("szavelinfo"));
  }

  const char* command;
  int send_timeout_ms;
  bool read_reply = true;
  int blocking = 1;
  bool oversized = false;
  ParamRecord request{kFlagScramble};
  ParamRecord reply{kFlagScramble};
};

LookupFailure::Kind PortalClient::run(const Endpoint& server, Exchange& x) const {
  if (x.oversized) return LookupFailure::kCommunication;
  Connection connection;  // closed when the lookup ends, whatever happened
  if (!connection.connect(server.host.c_str(), server.port, x.blocking, bounded_wait_ms_))
    return LookupFailure::kCannotConnect;
  if (connection.sendRecord(x.request, wait(x.send_timeout_ms)) <= 0)
    return LookupFailure::kCommunication;
  if (!x.read_reply) return LookupFailure::kNone;
  if (connection.receiveRecord(x.reply, wait(kNoTimeout)) <= 0)
    return LookupFailure::kCommunication;
  return LookupFailure::kNone;
}

namespace {

template <typename T>
std::optional<T> fail(LookupFailure* failure, LookupFailure::Kind kind, std::string text = {}) {
  if (failure != nullptr) *failure = {kind, std::move(text)};
  return std::nullopt;
}

}  // namespace

std::optional<std::string> PortalClient::userByIdDomain(const std::string& id,
                                                        const std::string& domain,
                                                        LookupFailure* failure) {
  Exchange x("vemar_get_userbyiddomain", kLookupSendMs);
  x.text("suserid", id);
  x.text("siddomain", id + '@' + domain);
  if (const LookupFailure::Kind kind = run(portal_, x); kind != LookupFailure::kNone)
    return fail<std::string>(failure, kind);
  if (!x.informs()) return fail<std::string>(failure, LookupFailure::kSilent);
  if (!x.succeeded())
    return fail<std::string>(failure, LookupFailure::kServerText, x.replyText("errormsg"));
  return x.replyText("suserno");
}

std::optional<std::vector<DiskRecord>> PortalClient::diskList(const std::string& userNo,
                                                              LookupFailure* failure) {
  using Disks = std::vector<DiskRecord>;
  Exchange x("getdisklist", kLookupSendMs);
  x.text("suserno", userNo);
  x.text("sverinfo", kClientVersion);
  x.text("stype", kClientType);
  if (const LookupFailure::Kind kind = run(portal_, x); kind != LookupFailure::kNone)
    return fail<Disks>(failure, kind);
  if (!x.informs()) {
    const std::string reason = x.replyText("errormsg");
    return fail<Disks>(
        failure, reason.empty() ? LookupFailure::kWrongInformation : LookupFailure::kServerText,
        reason);
  }
  DiskTable table;
  if (!x.table(&table)) return fail<Disks>(failure, LookupFailure::kSilent);
  // One record per row; a row without all three columns keeps an empty record.
  Disks disks(table.rows());
  for (size_t row = 0; row < disks.size(); ++row) {
    const auto uid = table.cell("uid", row);
    const auto name = table.cell("diskname", row);
    const auto type = table.cell("disktype", row);
    if (uid && name && type) disks[row] = {*uid, *name, *type};
  }
  return disks;
}

std::optional<HostInfo> PortalClient::hostInfo(const std::string& userNo, const DiskRecord& disk,
                                               LookupFailure* failure) {
  Exchange x("GetHostInfo", kNoTimeout);
  x.text("suserno", userNo);
  x.text("sclubno", disk.uid);
  x.text("isclub", disk.diskname == kOwnDiskName ? "0" : "1");
  if (const LookupFailure::Kind kind = run(portal_, x); kind != LookupFailure::kNone)
    return fail<HostInfo>(failure, kind);
  const std::string message = x.replyText("errormsg");
  // A refusal counts only with a reason: a failed result without one is still read.
  if (!x.informs() || (!x.succeeded() && !message.empty()))
    return fail<HostInfo>(
        failure, message.empty() ? LookupFailure::kSilent : LookupFailure::kServerText, message);
  DiskTable table;
  if (!x.table(&table)) return fail<HostInfo>(failure, LookupFailure::kSilent);
  HostInfo info;
  const std::pair<const char*, std::string*> cells[] = {{"diskid", &info.diskid},
                                                        {"publicip", &info.publicip},
                                                        {"privateip", &info.privateip},
                                                        {"loginid", &info.loginid},
                                                        {"diskstatus", &info.diskstatus}};
  for (const auto& [column, field] : cells) {
    std::optional<std::string> value = table.cell(column, 0);
    if (!value) return fail<HostInfo>(failure, LookupFailure::kSilent);
    *field = std::move(*value);
  }
  return info;
}

std::optional<int32_t> PortalClient::clubAuthLevel(const std::string& userNo,
                                                   const DiskRecord& disk) {
  Exchange x("getclubauthlevel", kLookupSendMs);
  x.number("iclubno", disk.clubNumber());
  x.text("suserno", userNo);
  if (run(octa_, x) != LookupFailure::kNone || !x.informs() || !x.succeeded()) return std::nullopt;
  int32_t level = 0;  // absent reads as 0; a text reads as a decimal number
  x.reply.getInt32("sauthlevel", &level);
  return level;
}

bool PortalClient::logServerInfo() {
  Exchange x("getlogserverinfo", kLookupSendMs);
  if (run(portal_, x) != LookupFailure::kNone || !x.informs() || !x.succeeded()) return false;
  int32_t port = 0;
  x.reply.getInt32("iserverport", &port);
  log_.host = x.replyText("sserverip");
  log_.port = port >= 0 && port <= 65535 ? static_cast<uint16_t>(port) : 0;
  // Without a host the next connect log asks again.
  log_known_ = !log_.host.empty();
  return true;
}

void PortalClient::insertConnectLog(const std::string& userNo, const std::string& clubNo,
                                    const std::string& type, bool success, int32_t errorCode) {
  if (!log_known_) {
    logServerInfo();
    if (!log_known_) return;
  }
  Exchange x("insertconnectlog", kLogSendMs);
  x.read_reply = false;
  x.blocking = 0;
  x.text("suserno", userNo);
  x.text("sclubno", clubNo);
  x.text("stype", type);
  x.text("sip", ownAddress());
  x.text("sissuc", success ? "Y" : "N");
  x.number("ierrcode", errorCode);
  run(log_, x);  // the outcome does not matter to the sign-in
}

}  // namespace zavel::client
