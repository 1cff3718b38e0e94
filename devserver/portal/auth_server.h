// The authentication router. A client asks for its place in the routing tree (queryNode),
// gets a node address below the root, and sends its credentials to the authentication
// service at the root; the answer comes back addressed to the client's node.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "devserver/config.h"
#include "devserver/listener.h"
#include "protocol/portal/portal_message.h"

namespace zavel::devserver {

inline constexpr uint16_t kAuthServerPort = 10020;
inline constexpr const char* kAuthRootNode = "root";
inline constexpr const char* kAuthService = "authsvr";

// Answers for one connection: the routing, and the account checks of an auth request.
// Free of sockets, so tests and the fuzzer drive it directly.
class AuthExchange {
 public:
  AuthExchange(const Config& config, std::string child_name)
      : config_(config), child_(std::move(child_name)) {}

  // The answer to one message, or none when the message is dropped (malformed, out of
  // order, or addressed elsewhere).
  std::optional<portal::PortalMessage> answer(const portal::PortalMessage& message);
  // The client's node address once assigned, else empty.
  const std::string& node() const { return node_; }

 private:
  std::optional<portal::PortalMessage> authenticate(const portal::FormMap& header,
                                                    const portal::PortalMessage& message);

  const Config& config_;
  std::string child_;
  std::string node_;
};

class AuthServer {
 public:
  // A connection with nothing arriving for this long is closed.
  static constexpr int kIdleTimeoutMs = 120000;

  AuthServer(const Config& config, size_t max_connections);
  ~AuthServer();
  AuthServer(const AuthServer&) = delete;
  AuthServer& operator=(const AuthServer&) = delete;

  bool listen(const std::string& host, uint16_t port, std::string* error);
  const std::string& host() const { return listener_.host(); }
  uint16_t port() const { return listener_.port(); }
  void start() { listener_.start(); }
  void stop() { listener_.stop(); }

 private:
  void serve(ACE_HANDLE handle, bool over_limit);

  const Config& config_;
  std::atomic<uint64_t> next_child_{1};
  Listener listener_;
};

}  // namespace zavel::devserver
