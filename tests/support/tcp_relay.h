// A loopback relay in front of a server that interrupts the next connection at a chosen
// byte: it cuts it as a dropped network would, loses its client with data still on the way,
// or stands it still until the test lets it go on.
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

  // Forwards every connection made to port() to host:port. It listens on a free port of
  // 127.0.0.1 unless told where (a fixed port on a loopback address of its own, say).
  TcpRelay(const std::string& host, uint16_t port, const std::string& listenHost = "127.0.0.1",
           uint16_t listenPort = 0);
  ~TcpRelay();
  TcpRelay(const TcpRelay&) = delete;
  TcpRelay& operator=(const TcpRelay&) = delete;

  uint16_t port() const { return port_; }

  // Each plan below applies to the next connection only (cutEachAfter: to the next `times`);
  // later ones are forwarded whole.

  // Drops the connection, both ends at once, once `bytes` have passed in `direction`.
  void cutNextAfter(Direction direction, uint64_t bytes);
  // The same for each of the next `times` connections, counted from each one's start: a
  // client that connects again by itself meets the same cut again.
  void cutEachAfter(Direction direction, uint64_t bytes, int times);
  // Drops each connection that reaches `bytes`, until `times` have been dropped; those that
  // end sooner (a short question between transfers) are left alone and do not count.
  void cutEveryReaching(Direction direction, uint64_t bytes, int times);
  // Whether a cut (or a hold's drop of the client) has happened.
  bool cut() const { return cut_.load(); }

  // Forwards `bytes` from the client, keeps the next `kept` bytes it sends, then drops the
  // client's side while the server's side stays open, as a link that lost its client with
  // data still on the way. release() delivers the kept bytes and closes the server's side
  // in order.
  void holdNextAfter(uint64_t bytes, uint64_t kept);
  // Forwards `bytes` from the server, then holds back the rest until release(): a transfer
  // stands still at a known point for as long as a test needs.
  void gateNextAfter(uint64_t bytes);

  // Holds every chunk this long before passing it on, in either direction, as a link with
  // that much latency would (for every connection from now on).
  void setDelay(std::chrono::microseconds delay) { delay_us_ = delay.count(); }

  // Waits until a hold or a gate is holding bytes back; false when that did not happen in
  // time.
  bool waitUntilHolding(std::chrono::milliseconds limit);
  void release();

 private:
  enum class Action { kNone, kCut, kHold, kGate };
  struct Plan {
    Action action = Action::kNone;
    Direction direction = Direction::kToClient;  // the bytes counted
    uint64_t bytes = 0;
    uint64_t kept = 0;    // kHold: client bytes kept back until release()
    bool shared = false;  // kCut: counted against cuts_left_, across connections
  };

  void acceptLoop();
  void pump(int client, int server, Plan plan);
  // Reports holding and waits for release(); false when the relay stops first.
  bool holdUntilReleased();

  std::string host_;
  uint16_t upstream_port_;
  ACE_SOCK_Acceptor acceptor_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> cut_{false};
  std::mutex mutex_;
  Plan next_;
  int next_times_ = 0;  // connections next_ still applies to; -1 every one
  std::atomic<int> cuts_left_{0};
  std::atomic<int64_t> delay_us_{0};
  std::condition_variable changed_;
  bool holding_ = false;
  bool released_ = false;
  std::thread accept_thread_;
  std::vector<std::thread> pumps_;
};

}  // namespace zavel::testing
