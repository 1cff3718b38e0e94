// The file server: a listener whose connections run their requests through the dispatcher.
#pragma once

#include <cstdint>
#include <string>

#include "devserver/file/dispatcher.h"
#include "devserver/listener.h"
#include "devserver/file/server_context.h"

namespace zavel::devserver {

class FileServer {
 public:
  // Time a request's header and body may take once their first byte arrived.
  static constexpr int kRequestTimeoutMs = 30000;

  FileServer(ServerContext& context, size_t max_connections);
  ~FileServer();
  FileServer(const FileServer&) = delete;
  FileServer& operator=(const FileServer&) = delete;

  // Binds the address (port 0 picks a free port). False with a reason on failure.
  bool listen(const std::string& host, uint16_t port, std::string* error);
  const std::string& host() const { return listener_.host(); }
  uint16_t port() const { return listener_.port(); }

  void start();
  // Stops accepting, ends every connection (transfers included) and waits for them.
  void stop();

 private:
  void serve(ACE_HANDLE handle, bool over_limit);

  ServerContext& context_;
  Dispatcher dispatcher_;
  Listener listener_;
};

// Reads one framed request. The results tell the connection loop what to do next.
enum class ReceiveResult { kRequest, kMalformed, kClosed };
ReceiveResult receiveRequest(ACE_HANDLE handle, ParamRecord& request, int timeout_ms);

}  // namespace zavel::devserver
