// Signing in by account, as the explorer program signs in, and the account's disks: listed
// with the user's rights on each, or opened by name with the session mode that comes with
// it. Also the "HOST:PORT" texts the server options take.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/disk.h"
#include "cli/program_settings.h"
#include "client/sign_in.h"

namespace zavel::cli {

struct AccountOptions {
  std::string account;                           // ID@DOMAIN
  std::string session_key;                       // signs in instead of a password when not empty
  std::string auth_server;                       // HOST[:PORT], the port 10020 unless given
  std::string portal;                            // HOST:PORT; empty: the program's settings
  std::string club_server;                       // HOST:PORT; empty: the program's settings
  uint16_t file_port = client::kFileServerPort;  // where personal disks are served
  int32_t timeout_ms = 30000;                    // bounds every wait
};

// "HOST:PORT" with a port from 1 to 65535; "HOST" alone as well when a default port is given.
bool splitEndpoint(const std::string& text, std::string* host, uint16_t* port,
                   uint16_t default_port = 0);

// One disk of the account and the session mode the user has there; none when the club
// server would not say.
struct DiskRights {
  client::DiskRecord disk;
  std::optional<int32_t> mode;
};

// The disks as `disks` shows them: name, kind and rights in columns aligned for a terminal.
std::string disksTable(const std::vector<DiskRights>& disks);
// The same as one JSON array of objects with name, kind, number and rights.
std::string disksJson(const std::vector<DiskRights>& disks);

class AccountSession {
 public:
  // Checks the account's domain and the endpoints, taking the portal and the club server
  // from settings where the options name none. Null with a message for wrong usage.
  static std::unique_ptr<AccountSession> prepare(const AccountOptions& options,
                                                 const ProgramServers& settings,
                                                 std::string* error);

  // "id@domain", the domain in lower case.
  std::string name() const;
  bool hasSessionKey() const { return !credentials_.sessionKey.empty(); }

  // Signs in with the password, or with the session key when there is one. False with a
  // message: for a refusal, the authentication server's own text.
  bool signIn(const std::string& password, std::string* error);

  // After signing in: every disk of the account with the user's rights there. A club's
  // come from the club server; the personal disk, the user's own, is read-write.
  std::vector<DiskRights> disks();
  // After signing in: the disk of that name, opened. Null with a message, which names the
  // account's disks when none has that name.
  std::unique_ptr<Disk> open(const std::string& diskname, std::string* error);

  AccountSession(client::Servers servers, client::Credentials credentials,
                 const AccountOptions& options);

 private:
  client::Credentials credentials_;
  client::SignIn sign_in_;
  client::Account account_;
  uint16_t file_port_;
};

}  // namespace zavel::cli
