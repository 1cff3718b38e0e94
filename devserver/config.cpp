#include "devserver/config.h"

#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace zavel::devserver {

using nlohmann::json;

namespace {

// A single folder name: not empty, no separator, not "." or "..".
bool plainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos && name.size() <= 255;
}

// "/a" or "/a/b": absolute, no empty, "." or ".." part, no trailing slash.
bool plainBasePath(const std::string& path) {
  if (path.size() < 2 || path[0] != '/' || path.back() == '/') return false;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (!plainName(path.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

DiskConfig diskFromJson(const json& j, const std::string& account_id) {
  DiskConfig d;
  d.kind = j.value("kind", std::string("personal"));
  d.name = j.value("name", std::string(d.kind == "personal" ? "My zavel" : ""));
  d.host = j.value("host", std::string("127.0.0.1"));
  d.number = j.value("number", std::string());
  d.diskid = j.value("diskid", account_id);
  d.folder = j.value("folder", d.diskid);
  d.base_path = j.value("base_path", "/" + d.diskid);
  d.quota_mb = j.value("quota_mb", d.quota_mb);
  d.mode = j.value("mode", d.mode);
  d.open_url = j.value("open_url", std::string());
  d.message = j.value("message", std::string());
  return d;
}

json diskToJson(const DiskConfig& d) {
  json j = {{"name", d.name},
            {"kind", d.kind},
            {"host", d.host},
            {"number", d.number},
            {"diskid", d.diskid}};
  if (d.personal()) {
    j["folder"] = d.folder;
    j["base_path"] = d.base_path;
    j["quota_mb"] = d.quota_mb;
    j["mode"] = d.mode;
    j["open_url"] = d.open_url;
    j["message"] = d.message;
  }
  return j;
}

bool check(bool ok, const std::string& what, std::string* error) {
  if (!ok && error) *error = what;
  return ok;
}

bool validate(const Config& c, std::string* error) {
  std::set<std::string> ids, diskids, folders;
  for (const AccountConfig& a : c.accounts) {
    if (!check(!a.id.empty(), "an account has no id", error)) return false;
    if (!check(ids.insert(a.id).second, "account id '" + a.id + "' appears twice", error))
      return false;
    for (const DiskConfig& d : a.disks) {
      const std::string where = "disk '" + d.name + "' of account '" + a.id + "': ";
      if (!check(d.kind == "personal" || d.kind == "octa", where + "kind must be personal or octa",
                 error))
        return false;
      if (!d.personal()) continue;
      if (!check(!d.diskid.empty(), where + "empty diskid", error)) return false;
      if (!check(diskids.insert(d.diskid).second, where + "diskid used twice", error)) return false;
      if (!check(plainName(d.folder), where + "folder must be a single folder name", error))
        return false;
      if (!check(folders.insert(d.folder).second, where + "folder used twice", error)) return false;
      if (!check(plainBasePath(d.base_path), where + "base_path must look like /name", error))
        return false;
      if (!check(d.mode >= 1 && d.mode <= 4, where + "mode must be 1 to 4", error)) return false;
      if (!check(d.quota_mb <= (uint64_t{1} << 40), where + "quota_mb is too large", error))
        return false;
    }
  }
  std::set<int64_t> clubs;
  for (const ClubConfig& club : c.clubs) {
    const std::string where = "club " + std::to_string(club.number) + ": ";
    if (!check(clubs.insert(club.number).second, where + "number appears twice", error))
      return false;
    // Clients send the club number as a signed 32-bit value.
    if (!check(club.number > 0 && club.number <= INT32_MAX, where + "number must be 1 to 2^31-1",
               error))
      return false;
    if (!check(!club.host.empty(), where + "empty host", error)) return false;
    if (!check(club.quota_mb <= (uint64_t{1} << 40), where + "quota_mb is too large", error))
      return false;
  }
  return true;
}

}  // namespace

const AccountConfig* Config::account(const std::string& id) const {
  for (const AccountConfig& a : accounts)
    if (a.id == id) return &a;
  return nullptr;
}

const DiskConfig* Config::personalDisk(const std::string& diskid) const {
  for (const AccountConfig& a : accounts)
    for (const DiskConfig& d : a.disks)
      if (d.personal() && d.diskid == diskid) return &d;
  return nullptr;
}

std::vector<const DiskConfig*> Config::personalDisks() const {
  std::vector<const DiskConfig*> out;
  for (const AccountConfig& a : accounts)
    for (const DiskConfig& d : a.disks)
      if (d.personal()) out.push_back(&d);
  return out;
}

const ClubConfig* Config::club(int64_t number) const {
  for (const ClubConfig& c : clubs)
    if (c.number == number) return &c;
  return nullptr;
}

const ClubMember* ClubConfig::member(const std::string& id) const {
  for (const ClubMember& m : members)
    if (m.id == id) return &m;
  return nullptr;
}

bool parseConfig(const std::string& text, Config* config, std::string* error) {
  Config c;
  try {
    const json root = json::parse(text);
    for (const json& ja : root.value("accounts", json::array())) {
      AccountConfig a;
      a.id = ja.at("id").get<std::string>();
      a.domain = ja.value("domain", std::string());
      a.name = ja.value("name", std::string());
      a.password = ja.value("password", std::string());
      a.session_keys = ja.value("session_keys", std::vector<std::string>());
      a.user_number = ja.value("user_number", int64_t{0});
      for (const json& jd : ja.value("disks", json::array()))
        a.disks.push_back(diskFromJson(jd, a.id));
      c.accounts.push_back(std::move(a));
    }
    for (const json& jc : root.value("clubs", json::array())) {
      ClubConfig club;
      club.number = jc.at("number").get<int64_t>();
      club.name = jc.value("name", std::string());
      club.host = jc.value("host", std::string("127.0.0.1"));
      club.quota_mb = jc.value("quota_mb", club.quota_mb);
      for (const json& jm : jc.value("members", json::array()))
        club.members.push_back({jm.at("id").get<std::string>(), jm.value("level", 3)});
      c.clubs.push_back(std::move(club));
    }
  } catch (const json::exception& e) {
    if (error) *error = e.what();
    return false;
  }
  if (!validate(c, error)) return false;
  *config = std::move(c);
  return true;
}

bool loadConfig(const std::filesystem::path& file, Config* config, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read " + file.string();
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string reason;
  if (!parseConfig(text.str(), config, &reason)) {
    if (error) *error = file.string() + ": " + reason;
    return false;
  }
  return true;
}

std::string configToJson(const Config& c) {
  json root = {{"accounts", json::array()}, {"clubs", json::array()}};
  for (const AccountConfig& a : c.accounts) {
    json ja = {{"id", a.id},
               {"domain", a.domain},
               {"name", a.name},
               {"password", a.password},
               {"session_keys", a.session_keys},
               {"user_number", a.user_number},
               {"disks", json::array()}};
    for (const DiskConfig& d : a.disks) ja["disks"].push_back(diskToJson(d));
    root["accounts"].push_back(std::move(ja));
  }
  for (const ClubConfig& club : c.clubs) {
    json jc = {{"number", club.number},
               {"name", club.name},
               {"host", club.host},
               {"quota_mb", club.quota_mb},
               {"members", json::array()}};
    for (const ClubMember& m : club.members)
      jc["members"].push_back({{"id", m.id}, {"level", m.level}});
    root["clubs"].push_back(std::move(jc));
  }
  return root.dump(2) + "\n";
}

bool saveConfig(const std::filesystem::path& file, const Config& config, std::string* error) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << configToJson(config);
  out.close();
  if (!out) {
    if (error) *error = "cannot write " + file.string();
    return false;
  }
  return true;
}

bool addClubStorage(Config* config, std::string* error) {
  if (config->account(kClubStorageAccount) != nullptr) return true;
  AccountConfig a;
  a.id = kClubStorageAccount;
  DiskConfig d;
  d.name = kClubStorageAccount;
  d.kind = "personal";
  d.diskid = kClubStorageAccount;
  d.folder = kClubStorageAccount;
  d.base_path = std::string("/") + kClubStorageAccount;
  // Each club keeps to its own quota; the storage disk only bounds them all together.
  d.quota_mb = uint64_t{1} << 40;
  a.disks.push_back(d);
  Config with = *config;
  with.accounts.push_back(std::move(a));
  std::string reason;
  if (!validate(with, &reason)) {
    if (error)
      *error = "club storage account '" + std::string(kClubStorageAccount) + "': " + reason;
    return false;
  }
  *config = std::move(with);
  return true;
}

}  // namespace zavel::devserver
