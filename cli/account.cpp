#include "cli/account.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "cli/progress_line.h"
#include "cli/remote_path.h"
#include "client/disk_opener.h"

namespace zavel::cli {
namespace {

// Objects keep their keys in the order written: name, kind, number, rights.
using Json = nlohmann::ordered_json;

const char* kindOf(const client::DiskRecord& disk) {
  return disk.isClub() ? "club" : "personal";
}

std::string rightsOf(const DiskRights& d) {
  return d.mode ? client::rightsName(*d.mode) : "unknown";
}

std::string quotedNames(const std::vector<client::DiskRecord>& disks) {
  std::string names;
  for (const client::DiskRecord& d : disks)
    names += (names.empty() ? "'" : ", '") + printable(d.diskname) + "'";
  return names.empty() ? "none" : names;
}

}  // namespace

bool splitEndpoint(const std::string& text, std::string* host, uint16_t* port,
                   uint16_t default_port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos && default_port != 0 && !text.empty()) {
    *host = text;
    *port = default_port;
    return true;
  }
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  const std::string digits = text.substr(colon + 1);
  if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const unsigned long value = std::stoul(digits);
  if (value == 0 || value > 65535) return false;
  *host = text.substr(0, colon);
  *port = static_cast<uint16_t>(value);
  return true;
}

std::string disksTable(const std::vector<DiskRights>& disks) {
  size_t name_width = 0;
  for (const DiskRights& d : disks)
    name_width = std::max(name_width, displayWidth(printable(d.disk.diskname)));
  std::string out;
  for (const DiskRights& d : disks) {
    const std::string name = printable(d.disk.diskname);
    const std::string kind = kindOf(d.disk);
    out += name + std::string(name_width - displayWidth(name) + 2, ' ');
    out += kind + std::string(sizeof "personal" - 1 - kind.size() + 2, ' ');
    out += rightsOf(d) + "\n";
  }
  return out;
}

std::string disksJson(const std::vector<DiskRights>& disks) {
  Json list = Json::array();
  for (const DiskRights& d : disks) {
    Json number = d.disk.uid;
    // A decimal number as a JSON number; anything else as the portal gave it.
    int64_t value = 0;
    const char* end = d.disk.uid.data() + d.disk.uid.size();
    if (const auto [at, ec] = std::from_chars(d.disk.uid.data(), end, value);
        !d.disk.uid.empty() && ec == std::errc() && at == end)
      number = value;
    list.push_back({{"name", d.disk.diskname},
                    {"kind", kindOf(d.disk)},
                    {"number", number},
                    {"rights", d.mode ? Json(rightsOf(d)) : Json()}});
  }
  // The portal's texts are not checked as UTF-8: a bad byte becomes U+FFFD, not an error.
  return list.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::unique_ptr<AccountSession> AccountSession::prepare(const AccountOptions& options,
                                                        const ProgramServers& settings,
                                                        std::string* error) {
  client::Credentials credentials;
  if (!client::splitAccount(options.account, &credentials, error)) return nullptr;
  credentials.sessionKey = options.session_key;
  client::Servers servers;
  servers.portal = settings.portal;
  servers.club = settings.club;
  const auto endpoint = [&](const char* option, const std::string& text, client::Endpoint* server,
                            uint16_t default_port = 0) {
    if (text.empty() || splitEndpoint(text, &server->host, &server->port, default_port))
      return true;
    *error = std::string(option) + " takes HOST:PORT" + (default_port != 0 ? " or HOST" : "") +
             ", not '" + text + "'";
    return false;
  };
  if (!endpoint("--auth-server", options.auth_server, &servers.auth, client::kAuthServerPort) ||
      !endpoint("--portal", options.portal, &servers.portal) ||
      !endpoint("--club-server", options.club_server, &servers.club))
    return nullptr;
  return std::make_unique<AccountSession>(servers, credentials, options);
}

AccountSession::AccountSession(client::Servers servers, client::Credentials credentials,
                               const AccountOptions& options)
    : credentials_(std::move(credentials)),
      sign_in_(servers, options.timeout_ms),
      file_port_(options.file_port) {}

std::string AccountSession::name() const {
  return credentials_.id + "@" + credentials_.domain;
}

bool AccountSession::signIn(const std::string& password, std::string* error) {
  credentials_.password = password;
  return sign_in_.run(credentials_, &account_, error);
}

std::vector<DiskRights> AccountSession::disks() {
  std::vector<DiskRights> out;
  for (const client::DiskRecord& disk : account_.disks) {
    std::optional<int32_t> mode = 1;
    if (disk.isClub()) {
      const std::optional<int32_t> level = sign_in_.portal().clubAuthLevel(account_.userNo, disk);
      mode = level ? std::optional(client::modeForLevel(*level)) : std::nullopt;
    }
    out.push_back({disk, mode});
  }
  return out;
}

std::unique_ptr<Disk> AccountSession::open(const std::string& diskname, std::string* error) {
  client::DiskOpener opener(sign_in_, account_);
  opener.setFileServerPort(file_port_);
  const client::DiskRecord* disk = opener.find(diskname);
  if (disk == nullptr) {
    *error = name() + " has no disk named '" + printable(diskname) +
             "'; its disks: " + quotedNames(account_.disks);
    return nullptr;
  }
  client::OpenedDisk opened;
  if (!opener.open(*disk, &opened, error)) return nullptr;
  return Disk::adopt(opened.session, opened.club, opened.mode);
}

}  // namespace zavel::cli
