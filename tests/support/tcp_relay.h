// A loopback relay in front of a server that can cut the connection after a number of bytes,
// to interrupt a transfer midway as a dropped network would.
#pragma once

#include <ace/SOCK_Acceptor.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
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

  // The next connection forwards `bytes` from the client, keeps the next `kept` bytes it
  // sends, then drops the client's side while the server's side stays open, as a link
  // that lost its client with data still on the way. release() delivers the kept bytes
  // and closes the server's side in order.
  void holdNextAfter(uint64_t bytes, uint64_t kept);
  // Waits until the client's side is dropped and the bytes are kept; false when that did
  // not happen in time.
  bool waitUntilHolding(std::chrono::milliseconds limit);
  void release();

 private:
  struct Plan {
    bool armed = false;
    Direction direction = Direction::kToClient;
    uint64_t bytes = 0;
    uint64_t kept = 0;  // held back after the cut, until release()
  };

  void acceptLoop();
  void pump(int client, int server, Plan plan);
  void holdingPump(int client, int server, Plan plan);

  std::string host_;
  uint16_t upstream_port_;
  ACE_SOCK_Acceptor acceptor_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> cut_{false};
  std::mutex mutex_;
  Plan next_;
  std::condition_variable changed_;
  bool holding_ = false;
  bool released_ = false;
  std::thread accept_thread_;
  std::vector<std::thread> pumps_;
};

}  // namespace zavel::testing
