// A loopback relay in front of a server that can cut the connection after a number of bytes,
// to interrupt a transfer midway as a dropped network would.
#pragma once

#include <ace/SOCK_Acceptor.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zavel::testing {

class TcpRelay {
 public:
  enum class Direction { kToClient, kToServer };

  // Forwards every connection made to port() to host:port.
  TcpRelay(const std::string& host, uint16_t port);
  ~TcpRelay();
  TcpRelay(const TcpRelay&) = delete;
  TcpRelay& operator=(const TcpRelay&) = delete;

  uint16_t port() const { return port_; }

  // The next connection is dropped, both ends at once, once `bytes` have passed in the
  // given direction; later connections are forwarded whole.
  void cutNextAfter(Direction direction, uint64_t bytes);
  // Whether a cut has happened.
  bool cut() const { return cut_.load(); }

 private:
  struct Plan {
    bool armed = false;
    Direction direction = Direction::kToClient;
    uint64_t bytes = 0;
  };

  void acceptLoop();
  void pump(int client, int server, Plan plan);

  std::string host_;
  uint16_t upstream_port_;
  ACE_SOCK_Acceptor acceptor_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> cut_{false};
  std::mutex mutex_;
  Plan next_;
  std::thread accept_thread_;
  std::vector<std::thread> pumps_;
};

}  // namespace zavel::testing
