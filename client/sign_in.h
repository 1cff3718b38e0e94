// Signing in from a program without an event loop, as the explorer signs in: the
// authentication exchange on a blocking socket, then the user number and the disk list,
// each attempt reported to the log server as the explorer reports it. Every wait is
// bounded by the time-out given, so a silent or endless server ends in an error.
#pragma once

#include <string>
#include <vector>

#include "client/auth_exchange.h"
#include "client/portal_client.h"

namespace zavel::client {

struct Credentials {
  std::string id;          // without the domain
  std::string domain;      // one of the portal domains, without "@"
  std::string password;    // used when there is no session key
  std::string sessionKey;  // sent instead of the password when not empty
};

struct Servers {
  Endpoint auth{"127.0.0.1", kAuthServerPort};
  Endpoint portal{"127.0.0.1", kPortalPort};
  Endpoint club{"127.0.0.1", kPortalPort};
};

struct Account {
  std::string userNo;
  std::vector<DiskRecord> disks;
};

// "ID@DOMAIN" with a domain among the portal domains (compared ignoring case, kept in lower
// case). False with a message naming the domains otherwise.
bool splitAccount(const std::string& text, Credentials* credentials, std::string* error);

// Runs the authentication exchange with the server within timeoutMs. The outcome, and for
// anything but kAccepted a message in *error (the server's own text for a refusal).
AuthExchange::Outcome authenticate(const Endpoint& server, AuthExchange& exchange, int timeoutMs,
                                   std::string* error);

class SignIn {
 public:
  SignIn(const Servers& servers, int timeoutMs);

  // Authenticates, then reads the user number and the disk list. False with a message.
  bool run(const Credentials& credentials, Account* account, std::string* error);

  PortalClient& portal() { return portal_; }
  const Servers& servers() const { return servers_; }
  int timeoutMs() const { return timeout_ms_; }

 private:
  Servers servers_;
  int timeout_ms_;
  PortalClient portal_;
};

// What a lookup failure reads as on a terminal.
std::string describe(const LookupFailure& failure, const std::string& what);

}  // namespace zavel::client
