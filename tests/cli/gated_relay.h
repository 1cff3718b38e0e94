// A loopback relay in front of a server that holds back what the server sends once a
// number of bytes have passed, until it is opened: a transfer stands still at a known
// point for as long as a test needs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zavel::testing {

class GatedRelay {
 public:
  // Forwards connections made to port() to 127.0.0.1:upstream_port; bytes from the server
  // stop after `limit` of them (over all connections) until open().
  GatedRelay(uint16_t upstream_port, uint64_t limit);
  ~GatedRelay();
  GatedRelay(const GatedRelay&) = delete;
  GatedRelay& operator=(const GatedRelay&) = delete;

  uint16_t port() const { return port_; }
  // Waits until bytes are being held back; false when that did not happen in time.
  bool waitUntilHeld(std::chrono::milliseconds limit);
  void open();

 private:
  void acceptLoop();
  void pump(int client, int server);
  // Lets up to n server bytes through, waiting at the gate; how many may go now.
  size_t admit(size_t n);

  uint16_t upstream_port_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t passed_ = 0;
  uint64_t limit_;
  bool held_ = false;
  bool open_ = false;
  std::thread accept_thread_;
  std::vector<std::thread> pumps_;
};

}  // namespace zavel::testing
