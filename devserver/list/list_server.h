// The club list server's listener. Clients open a connection per request and close it
// after the reply; a connection may also carry several requests in a row.
#pragma once

#include <cstdint>
#include <string>

#include "devserver/list/list_commands.h"
#include "devserver/listener.h"

namespace zavel::devserver {

class ListServer {
 public:
  // Time a request's header and body may take once their first byte arrived.
  static constexpr int kRequestTimeoutMs = 30000;
  // A connection with no request for this long is closed.
  static constexpr int kIdleTimeoutMs = 120000;

  ListServer(ListDispatcher& dispatcher, size_t max_connections);
  ~ListServer();
  ListServer(const ListServer&) = delete;
  ListServer& operator=(const ListServer&) = delete;

  bool listen(const std::string& host, uint16_t port, std::string* error);
  const std::string& host() const { return listener_.host(); }
  uint16_t port() const { return listener_.port(); }
  void start() { listener_.start(); }
  void stop() { listener_.stop(); }

 private:
  void serve(ACE_HANDLE handle, bool over_limit);

  ListDispatcher& dispatcher_;
  Listener listener_;
};

}  // namespace zavel::devserver
