#include "devserver/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>

namespace zavel::devserver {

bool isLoopbackHost(const std::string& host) {
  if (::strcasecmp(host.c_str(), "localhost") == 0) return true;
  in_addr v4{};
  if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (::inet_pton(AF_INET6, host.c_str(), &v6) != 1) return false;
  if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
  return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

std::vector<std::string> remoteEndpoints(const DevServerOptions& options) {
  std::vector<std::string> remote;
  auto check = [&](const char* role, const Endpoint& e) {
    if (!isLoopbackHost(e.host))
      remote.push_back(std::string(role) + " " + e.host + ":" + std::to_string(e.port));
  };
  check("file", options.file);
  check("list", options.list);
  // Without a listener of its own the portal answers on the list server's, checked above.
  if (options.portal) check("portal", *options.portal);
  check("log", options.log);
  check("auth", options.auth);
  return remote;
}

}  // namespace zavel::devserver
