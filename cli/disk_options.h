// The options that name a disk and how to reach it, shared by zavel-cli and zavel-mount: an
// account's disk by name (--account, --session-key, --disk and the servers), a personal disk
// (--host, --user) or a club's disk (--club, --list-server, --mode), and the time-out. The
// password comes from ZAVEL_PASSWORD or is asked on the terminal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/account.h"
#include "cli/disk.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace zavel::cli {

struct ConnectionOptions {
  std::string host;
  uint16_t port = 9553;
  std::string user;
  int32_t club = 0;
  std::string list_server;
  int32_t mode = 1;
  int32_t timeout_ms = 30000;
  // Signing in by account instead.
  std::string account;
  std::string session_key;
  std::string auth_server;
  std::string portal;
  std::string club_server;
  std::string disk;
};

class DiskOptions {
 public:
  // Adds the options to app; `program` starts every message ("zavel-cli").
  DiskOptions(CLI::App& app, std::string program);

  // After parsing: what the parser cannot check, and ZAVEL_HOST and ZAVEL_USER where a
  // personal disk is named that way. A usage message, or "" when the options are fine.
  std::string finish();

  // Prints "PROGRAM: text" and how to get help; the usage exit status.
  int usage(const std::string& text) const;

  // Signs in by account. Null with the exit status when that fails.
  std::unique_ptr<AccountSession> signIn(int* status) const;
  // Opens the disk the options name. Null with the exit status, the reason printed.
  std::unique_ptr<Disk> open(int* status) const;

  const ConnectionOptions& values() const { return c_; }

 private:
  std::string program_;
  ConnectionOptions c_;
  CLI::Option* host_ = nullptr;
  CLI::Option* user_ = nullptr;
};

}  // namespace zavel::cli
