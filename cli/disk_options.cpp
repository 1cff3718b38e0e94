#include "cli/disk_options.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

#include "cli/console.h"
#include "cli/program_settings.h"
#include "cli/remote_path.h"
#include "cli/terminal.h"
#include "protocol/error_numbers.h"

namespace zavel::cli {

namespace {

std::string passwordFromUser(const std::string& prompt) {
  std::string password;
  if (const char* env = std::getenv("ZAVEL_PASSWORD")) {
    password = env;
  } else if (isTerminal(0)) {
    promptPassword(prompt, &password);
  }
  return password;
}

}  // namespace

DiskOptions::DiskOptions(CLI::App& app, std::string program) : program_(std::move(program)) {
  c_.auth_server = "127.0.0.1:" + std::to_string(client::kAuthServerPort);
  c_.disk = client::kOwnDiskName;
  // An option given twice (say, once in an alias) takes its last value.
  const CLI::MultiOptionPolicy before = app.option_defaults()->get_multi_option_policy();
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  CLI::Option* account =
      app.add_option("--account", c_.account, "sign in as ID@DOMAIN and use its disks")
          ->envname("ZAVEL_ACCOUNT");
  app.add_option("--session-key", c_.session_key,
                 "with --account: sign in with this session key instead of a password")
      ->envname("ZAVEL_SESSION_KEY");
  app.add_option("--disk", c_.disk, "the account's disk, by its name")
      ->needs(account)
      ->capture_default_str();
  app.add_option("--auth-server", c_.auth_server, "the authentication server, HOST[:PORT]")
      ->needs(account)
      ->capture_default_str();
  app.add_option("--portal", c_.portal, "the portal, HOST:PORT (default: the program's settings)")
      ->needs(account);
  app.add_option("--club-server", c_.club_server,
                 "the club list server, HOST:PORT (default: the program's settings)")
      ->needs(account);
  // ZAVEL_HOST and ZAVEL_USER are read after parsing, only where a personal disk is named
  // that way: exported for that, they do not get in the way of --club or --account.
  host_ = app.add_option("--host", c_.host, "the personal disk's file server (or ZAVEL_HOST)");
  app.add_option("--port", c_.port, "the file server's port")
      ->envname("ZAVEL_PORT")
      ->check(CLI::Range(1, 65535))
      ->capture_default_str();
  user_ =
      app.add_option("--user", c_.user, "the account whose personal disk it is (or ZAVEL_USER)");
  CLI::Option* club =
      app.add_option("--club", c_.club, "this club's shared disk")->check(CLI::Range(1, INT32_MAX));
  account->excludes(host_, user_, club);
  app.add_option("--list-server", c_.list_server, "the club list server, HOST:PORT")->needs(club);
  app.add_option("--mode", c_.mode,
                 "your rights on the club's disk: 1 all, 2 no delete or rename, 3 read only")
      ->needs(club)
      ->capture_default_str();
  app.add_option("--timeout", c_.timeout_ms, "milliseconds each exchange may take")
      ->check(CLI::Range(1, INT32_MAX))
      ->capture_default_str();
  app.option_defaults()->multi_option_policy(before);
}

std::string DiskOptions::finish() {
  if (c_.club != 0 && (host_->count() > 0 || user_->count() > 0))
    return "--host and --user name a personal disk, --club a club's: give one of them";
  if (c_.account.empty() && c_.club == 0) {
    const char* env_host = std::getenv("ZAVEL_HOST");
    const char* env_user = std::getenv("ZAVEL_USER");
    if (c_.host.empty() && env_host != nullptr) c_.host = env_host;
    if (c_.user.empty() && env_user != nullptr) c_.user = env_user;
  }
  return "";
}

int DiskOptions::usage(const std::string& text) const {
  std::cerr << program_ << ": " << text << "\n(--help shows the options)\n";
  return kExitUsage;
}

std::unique_ptr<AccountSession> DiskOptions::signIn(int* status) const {
  AccountOptions options{c_.account,     c_.session_key, c_.auth_server, c_.portal,
                         c_.club_server, c_.port,        c_.timeout_ms};
  const ProgramServers settings = c_.portal.empty() || c_.club_server.empty()
                                      ? readProgramSettings(programSettingsPath())
                                      : ProgramServers{};
  std::string error;
  std::unique_ptr<AccountSession> session = AccountSession::prepare(options, settings, &error);
  if (!session) {
    *status = usage(error);
    return nullptr;
  }
  std::string password;
  if (!session->hasSessionKey()) {
    password = passwordFromUser("Password for " + session->name() + ": ");
    if (password.empty()) {
      *status = usage("no password for " + session->name() +
                      ": set ZAVEL_PASSWORD, run on a terminal, or give --session-key");
      return nullptr;
    }
  }
  if (!session->signIn(password, &error)) {
    std::cerr << program_ << ": cannot sign in as " << session->name() << ": " << printable(error)
              << "\n";
    *status = kExitFailed;
    return nullptr;
  }
  return session;
}

std::unique_ptr<Disk> DiskOptions::open(int* status) const {
  LibraryError error;
  std::unique_ptr<Disk> disk;
  std::string where;
  if (!c_.account.empty()) {
    std::unique_ptr<AccountSession> account = signIn(status);
    if (!account) return nullptr;
    std::string why;
    disk = account->open(c_.disk, &why);
    if (!disk) {
      std::cerr << program_ << ": " << printable(why) << "\n";
      *status = kExitFailed;
    }
    return disk;
  }
  if (c_.club != 0) {
    std::string host;
    uint16_t port = 0;
    if (!splitEndpoint(c_.list_server, &host, &port)) {
      *status = usage("--club needs --list-server HOST:PORT");
      return nullptr;
    }
    where = "club " + std::to_string(c_.club) + " at " + c_.list_server;
    disk = Disk::openClub(host, port, c_.timeout_ms, c_.mode, c_.club, &error);
    // The list server is first asked at the first listing: ask now, to say which club.
    if (disk && !disk->look(disk->home(), &error)) {
      disk.reset();
      if (error.number == kErrNoShareDirectory)
        where += " (the list server has no club of that number, or it has no disk)";
    }
  } else {
    if (c_.host.empty() || c_.user.empty()) {
      *status = usage("a personal disk needs --host and --user (or --club for a club disk)");
      return nullptr;
    }
    const std::string password = passwordFromUser("Password for " + c_.user + "@" + c_.host + ": ");
    where = c_.user + "@" + c_.host + ":" + std::to_string(c_.port);
    disk = Disk::openPersonal(c_.host, c_.port, c_.user, password, c_.timeout_ms, &error);
  }
  if (!disk) {
    std::cerr << program_ << ": cannot open the disk of " << where << ": " << error.describe()
              << "\n";
    *status = kExitFailed;
  }
  return disk;
}

}  // namespace zavel::cli
