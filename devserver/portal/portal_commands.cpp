#include "devserver/portal/portal_commands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace zavel::devserver {

namespace {

// The service's own refusal texts, shown to the user as they stand.
constexpr const char* kNoSuchUser = "등록되지 않은 사용자입니다.";
constexpr const char* kNoSuchDisk = "디스크 정보를 찾을 수 없습니다.";
constexpr const char* kBadRequest = "요청 정보가 올바르지 않습니다.";
constexpr const char* kUnknownRequest = "지원하지 않는 요청입니다.";
constexpr const char* kBusy = "접속자가 많아 잠시 후 다시 시도해 주십시오.";

// Longest text parameter a lookup reads.
constexpr size_t kMaxText = 511;

bool text(const ParamRecord& in, const char* name, std::string* value) {
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  if (!in.find(name, &data, &length, &type) || type != kTypeString) return false;
  const char* bytes = static_cast<const char*>(data);
  const char* end = std::find(bytes, bytes + length, '\0');
  if (static_cast<size_t>(end - bytes) > kMaxText) return false;
  value->assign(bytes, end);
  return true;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A cell of a tabular reply: the separators cannot appear inside one.
std::string cell(std::string value) {
  std::replace_if(
      value.begin(), value.end(), [](char c) { return c == '\x02' || c == '\x03'; }, ' ');
  return value;
}

void putTable(ParamRecord& out, const std::vector<std::string>& columns,
              const std::vector<std::vector<std::string>>& rows) {
  std::string field, values;
  for (const std::string& c : columns) field += c + kTableSeparator;
  for (const auto& row : rows)
    for (const std::string& v : row) values += cell(v) + kTableSeparator;
  out.setString("szavelinfofield", field.c_str());
  out.setString("szavelinfo", values.c_str());
}

struct Lookup {
  const Config& config;
  const ParamRecord& in;
  ParamRecord& out;

  bool fail(const char* message) {
    out.setInt32("result", 1);
    out.setString("errormsg", message);
    return true;
  }
  bool succeed() {
    out.setInt32("result", 0);
    out.setString("errormsg", "");
    return true;
  }
  // The account whose user number the request names in "suserno".
  const AccountConfig* user() const {
    std::string number;
    if (!text(in, "suserno", &number)) return nullptr;
    for (const AccountConfig& a : config.accounts)
      if (a.user_number > 0 && std::to_string(a.user_number) == number) return &a;
    return nullptr;
  }
};

bool userByIdDomain(Lookup& l) {
  std::string id, id_domain;
  if (!text(l.in, "suserid", &id) || !text(l.in, "siddomain", &id_domain))
    return l.fail(kBadRequest);
  const size_t at = id_domain.rfind('@');
  if (at == std::string::npos || id_domain.substr(0, at) != id) return l.fail(kBadRequest);
  const AccountConfig* a = l.config.account(id);
  if (a == nullptr || a->user_number <= 0 ||
      !equalsIgnoringCase(a->domain, id_domain.substr(at + 1)))
    return l.fail(kNoSuchUser);
  l.out.setString("suserno", std::to_string(a->user_number).c_str());
  return l.succeed();
}

bool diskList(Lookup& l) {
  const AccountConfig* a = l.user();
  if (a == nullptr) return l.fail(kNoSuchUser);
  std::vector<std::vector<std::string>> rows;
  for (const DiskConfig& d : a->disks) rows.push_back({d.number, d.name, d.kind});
  putTable(l.out, {"uid", "diskname", "disktype"}, rows);
  return l.succeed();
}

bool hostInfo(Lookup& l) {
  const AccountConfig* a = l.user();
  std::string number, is_club;
  if (a == nullptr) return l.fail(kNoSuchUser);
  if (!text(l.in, "sclubno", &number) || !text(l.in, "isclub", &is_club))
    return l.fail(kBadRequest);
  const bool club = is_club != "0";
  for (const DiskConfig& d : a->disks) {
    if (d.number != number || d.personal() == club) continue;
    std::string host = d.host, diskid = d.diskid;
    if (club) {
      // A club's bytes sit on the storage account of the club's file server.
      int64_t club_number = 0;
      std::from_chars(number.data(), number.data() + number.size(), club_number);
      const ClubConfig* c = l.config.club(club_number);
      if (c == nullptr) break;
      host = c->host;
      diskid = kClubStorageAccount;
    }
    putTable(l.out, {"diskid", "publicip", "privateip", "loginid", "diskstatus"},
             {{diskid, host, host, a->id, "0"}});
    return l.succeed();
  }
  return l.fail(kNoSuchDisk);
}

}  // namespace

bool PortalDispatcher::serves(const std::string& command) const {
  return command == "vemar_get_userbyiddomain" || command == "getdisklist" ||
         command == "GetHostInfo" || command == "getlogserverinfo";
}

bool PortalDispatcher::handle(const ParamRecord& request, ParamRecord& reply, const std::string&) {
  std::string command;
  text(request, "_cmd", &command);
  reply.setString("inform", command.c_str());
  Lookup l{config_, request, reply};
  if (command == "vemar_get_userbyiddomain") return userByIdDomain(l);
  if (command == "getdisklist") return diskList(l);
  if (command == "GetHostInfo") return hostInfo(l);
  if (command == "getlogserverinfo") {
    if (log_host_.empty()) return l.fail(kUnknownRequest);
    reply.setString("sserverip", log_host_.c_str());
    reply.setInt32("iserverport", log_port_);
    reply.setInt32("errorcode", 0);
    return l.succeed();
  }
  return l.fail(kUnknownRequest);
}

void PortalDispatcher::reject(ParamRecord& reply, Refusal why) const {
  reply.clear();
  reply.setInt32("result", 1);
  reply.setString("errormsg", why == Refusal::kBusy        ? kBusy
                              : why == Refusal::kMalformed ? kBadRequest
                                                           : kUnknownRequest);
}

}  // namespace zavel::devserver
