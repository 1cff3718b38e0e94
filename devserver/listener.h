// A TCP listener: one thread accepting on an address, and one thread per accepted
// connection running the owner's serve function. Shared by every server of the program.
#pragma once

#include <ace/SOCK_Acceptor.h>
#include <ace/SOCK_Stream.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "devserver/unique_fd.h"

namespace zavel::devserver {

class Listener {
 public:
  // Serves one connection until it ends; over_limit when more than the allowed number of
  // connections are open, so the function can answer once and hang up. The listener
  // closes the socket afterwards.
  using Serve = std::function<void(ACE_HANDLE handle, bool over_limit)>;

  Listener(size_t max_connections, Serve serve);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Binds the address (port 0 picks a free port). False with a reason on failure.
  bool listen(const std::string& host, uint16_t port, std::string* error);
  const std::string& host() const { return host_; }
  uint16_t port() const { return port_; }

  void start();
  // Stops accepting, shuts every connection down and waits for their threads.
  void stop();
  bool stopping() const { return stopping_; }

 private:
  struct Worker {
    ACE_SOCK_Stream stream;
    std::thread thread;
    bool done = false;
  };

  void acceptLoop();
  void run(Worker* worker, bool over_limit);
  void reapFinished();

  size_t max_connections_;
  Serve serve_;
  std::string host_;
  uint16_t port_ = 0;
  ACE_SOCK_Acceptor acceptor_;
  UniqueFd wake_read_, wake_write_;
  std::thread accept_thread_;
  std::mutex mutex_;
  std::list<std::unique_ptr<Worker>> workers_;
  bool stopped_ = false;
  std::atomic<bool> stopping_{false};
};

}  // namespace zavel::devserver
