// The service's state as the devserver's servers see it: accounts, their disks, clubs.
// Read from <data>/config.json; every server of the program reads the same file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zavel::devserver {

inline constexpr const char* kConfigFileName = "config.json";
inline constexpr const char* kDisksFolderName = "disks";
// The file-server account that holds every club's file bytes.
inline constexpr const char* kClubStorageAccount = "octa";

// One disk of an account's disk list.
struct DiskConfig {
  std::string name;                // display name; the personal disk is "My zavel"
  std::string kind;                // "personal", or "octa" for a club's shared disk
  std::string host = "127.0.0.1";  // file server host the portal hands out for the disk
  std::string number;              // the disk's number as text (a club disk: the club number)
  std::string diskid;              // account a personal disk is signed on with ("id" of setuser)
  std::string folder;              // personal disk: its folder under <data>/disks
  std::string base_path;           // personal disk: the path clients see for the disk's root
  uint64_t quota_mb = 1024;        // personal disk: capacity in MiB
  int32_t mode = 1;                // rights handed out at sign-on: 1 and 4 all, 2 no delete, 3 read
  std::string open_url;            // handed out at sign-on
  std::string message;             // handed out at sign-on

  bool personal() const { return kind == "personal"; }
};

struct AccountConfig {
  std::string id;
  std::string domain;  // the portal domain the id signs in with
  std::string name;    // display name the authentication server hands out (the id when empty)
  std::string password;
  std::vector<std::string> session_keys;
  int64_t user_number = 0;
  std::vector<DiskConfig> disks;
};

struct ClubMember {
  std::string id;
  int32_t level = 3;  // authority level within the club
};

struct ClubConfig {
  int64_t number = 0;  // the club number clients send as "iclubno"
  std::string name;
  std::string host;  // file server holding the club's bytes, as clients reach it
  uint64_t quota_mb = 100;
  std::vector<ClubMember> members;

  const ClubMember* member(const std::string& id) const;
};

struct Config {
  std::vector<AccountConfig> accounts;
  std::vector<ClubConfig> clubs;

  const AccountConfig* account(const std::string& id) const;
  // The personal disk signed on with this id, or null.
  const DiskConfig* personalDisk(const std::string& diskid) const;
  std::vector<const DiskConfig*> personalDisks() const;
  const ClubConfig* club(int64_t number) const;
};

// Parses and checks a configuration text. False with a one-line reason on failure.
bool parseConfig(const std::string& text, Config* config, std::string* error);
bool loadConfig(const std::filesystem::path& file, Config* config, std::string* error);
std::string configToJson(const Config& config);
bool saveConfig(const std::filesystem::path& file, const Config& config, std::string* error);

// Adds the club storage account (kClubStorageAccount, signed on without a password) with a
// personal disk of that name unless the configuration has one. False with a reason when
// its folder or base path is already taken.
bool addClubStorage(Config* config, std::string* error);

}  // namespace zavel::devserver
