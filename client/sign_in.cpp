#include "client/sign_in.h"

#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>
#include <ace/SOCK_Stream.h>

#include <algorithm>
#include <cctype>
#include <chrono>

#include "protocol/portal/service_domains.h"

namespace zavel::client {
namespace {

using Clock = std::chrono::steady_clock;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string where(const Endpoint& server) {
  return server.host + ":" + std::to_string(server.port);
}

// The time left before the deadline, as ACE takes it; zero once it has passed.
ACE_Time_Value left(Clock::time_point deadline) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  const long count = std::max<long>(0, static_cast<long>(ms.count()));
  return ACE_Time_Value(count / 1000, (count % 1000) * 1000);
}

// Closes the stream when the exchange ends, however it ends.
struct StreamCloser {
  ACE_SOCK_Stream& stream;
  ~StreamCloser() { stream.close(); }
};

}  // namespace

bool splitAccount(const std::string& text, Credentials* credentials, std::string* error) {
  const size_t at = text.rfind('@');
  if (at == std::string::npos || at == 0 || at + 1 == text.size()) {
    *error = "an account is ID@DOMAIN, for example demo@zavel.net";
    return false;
  }
  const std::string domain = lower(text.substr(at + 1));
  if (std::find(kPortalDomains.begin(), kPortalDomains.end(), domain) == kPortalDomains.end()) {
    std::string known;
    for (std::string_view d : kPortalDomains) known += (known.empty() ? "" : ", ") + std::string(d);
    *error = "'" + domain + "' is not a domain of this service (" + known + ")";
    return false;
  }
  credentials->id = text.substr(0, at);
  credentials->domain = domain;
  return true;
}

AuthExchange::Outcome authenticate(const Endpoint& server, AuthExchange& exchange, int timeoutMs,
                                   std::string* error) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const std::string name = "the authentication server " + where(server);
  ACE_INET_Addr address;
  if (address.set(server.port, server.host.c_str(), 1, AF_INET) != 0) {
    *error = "cannot find " + name;
    return AuthExchange::Outcome::kPending;
  }
  ACE_SOCK_Stream stream;
  ACE_SOCK_Connector connector;
  ACE_Time_Value limit = left(deadline);
  if (connector.connect(stream, address, &limit) != 0) {
    *error = "cannot connect to " + name;
    return AuthExchange::Outcome::kPending;
  }
  const StreamCloser closer{stream};
  auto send = [&](const portal::PortalMessage& message) {
    ACE_Time_Value wait = left(deadline);
    const std::vector<uint8_t>& bytes = message.bytes();
    return stream.send_n(bytes.data(), bytes.size(), &wait) == static_cast<ssize_t>(bytes.size());
  };
  if (!send(exchange.connected())) {
    *error = "cannot send to " + name;
    return AuthExchange::Outcome::kPending;
  }
  uint8_t buffer[16384];
  while (!exchange.finished()) {
    ACE_Time_Value wait = left(deadline);
    const ssize_t got =
        wait == ACE_Time_Value::zero ? -1 : stream.recv(buffer, sizeof buffer, &wait);
    if (got <= 0) {
      *error = got == 0 ? name + " closed the connection before it answered"
                        : name + " did not answer within " + std::to_string(timeoutMs) + " ms";
      return AuthExchange::Outcome::kPending;
    }
    for (const portal::PortalMessage& reply : exchange.received(buffer, static_cast<size_t>(got)))
      if (!send(reply)) {
        *error = "cannot send to " + name;
        return AuthExchange::Outcome::kPending;
      }
  }
  switch (exchange.outcome()) {
    case AuthExchange::Outcome::kRefused:
      *error = exchange.refusal().empty() ? "the sign-in was refused" : exchange.refusal();
      break;
    case AuthExchange::Outcome::kIncomplete:
      *error = name + " accepted the sign-in but sent incomplete user information";
      break;
    case AuthExchange::Outcome::kBroken:
      *error = name + " sent something that is not a message of this service";
      break;
    case AuthExchange::Outcome::kPending:
    case AuthExchange::Outcome::kAccepted:
      break;
  }
  return exchange.outcome();
}

std::string describe(const LookupFailure& failure, const std::string& what) {
  switch (failure.kind) {
    case LookupFailure::kCannotConnect:
      return "cannot connect to the server for " + what;
    case LookupFailure::kCommunication:
      return "the server did not answer " + what + " (or it could not be asked)";
    case LookupFailure::kServerText:
      if (!failure.text.empty()) return failure.text;
      return what + " was refused";
    case LookupFailure::kWrongInformation:
    case LookupFailure::kSilent:
      return "the server's answer to " + what + " could not be read";
    case LookupFailure::kNone:
      break;
  }
  return {};
}

SignIn::SignIn(const Servers& servers, int timeoutMs) : servers_(servers), timeout_ms_(timeoutMs) {
  portal_.setPortalServer(servers.portal);
  portal_.setOctaServer(servers.club);
  portal_.setBoundedWaitMs(timeoutMs);
}

bool SignIn::run(const Credentials& credentials, Account* account, std::string* error) {
  AuthExchange exchange(credentials.id + "@" + credentials.domain, credentials.password,
                        credentials.sessionKey);
  if (authenticate(servers_.auth, exchange, timeout_ms_, error) != AuthExchange::Outcome::kAccepted)
    return false;
  // The log lines are the explorer's: 1 without a user number, then 2 for the failed
  // sign-in, and success only once the disk list is read.
  LookupFailure failure;
  const std::optional<std::string> user =
      portal_.userByIdDomain(credentials.id, credentials.domain, &failure);
  if (!user || user->empty()) {
    portal_.insertConnectLog(user.value_or(""), "0", "P", false, 1);
    portal_.insertConnectLog(user.value_or(""), "0", "P", false, 2);
    *error = failure.kind == LookupFailure::kServerText && !failure.text.empty()
                 ? failure.text
                 : describe(failure, "the user number lookup at " + where(servers_.portal));
    return false;
  }
  std::optional<std::vector<DiskRecord>> disks = portal_.diskList(*user, &failure);
  if (!disks) {
    portal_.insertConnectLog(*user, "0", "P", false, 2);
    *error = describe(failure, "the disk list lookup at " + where(servers_.portal));
    return false;
  }
  portal_.insertConnectLog(*user, "0", "P", true, 0);
  account->userNo = *user;
  account->disks = std::move(*disks);
  return true;
}

}  // namespace zavel::client
