// The file server's listener: one thread accepting on a loopback (or any) address, and one
// thread per client connection running requests through the dispatcher.
#pragma once

#include <ace/SOCK_Acceptor.h>
#include <ace/SOCK_Stream.h>

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "devserver/dispatcher.h"
#include "devserver/server_context.h"
#include "devserver/unique_fd.h"

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
  const std::string& host() const { return host_; }
  uint16_t port() const { return port_; }

  void start();
  // Stops accepting, ends every connection (transfers included) and waits for them.
  void stop();

 private:
  struct Worker {
    ACE_SOCK_Stream stream;
    std::thread thread;
    bool done = false;
  };

  void acceptLoop();
  void serve(Worker* worker, bool over_limit);
  void reapFinished();

  ServerContext& context_;
  Dispatcher dispatcher_;
  size_t max_connections_;
  std::string host_;
  uint16_t port_ = 0;
  ACE_SOCK_Acceptor acceptor_;
  UniqueFd wake_read_, wake_write_;
  std::thread accept_thread_;
  std::mutex mutex_;
  std::list<std::unique_ptr<Worker>> workers_;
  bool stopped_ = false;
};

// Reads one framed request. The results tell the connection loop what to do next.
enum class ReceiveResult { kRequest, kMalformed, kClosed };
ReceiveResult receiveRequest(ACE_HANDLE handle, ParamRecord& request, int timeout_ms);

}  // namespace zavel::devserver
