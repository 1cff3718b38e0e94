// Holds the bytes of all transfers that share it to one rate: each transfer reports what it
// moved and is kept waiting until the bytes so far fit the rate. Several threads may report
// at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace zavel::client {

class RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;
  using Sleep = std::function<void(Clock::duration)>;

  // bytesPerSecond 0 means no limit. now and sleep are the clock's; tests give their own.
  explicit RateLimiter(uint64_t bytesPerSecond, Now now = {}, Sleep sleep = {});

  // Counts bytes moved and waits, when they came too fast, until they fit the rate.
  void take(uint64_t bytes);

  uint64_t rate() const { return rate_; }

 private:
  uint64_t rate_;
  Now now_;
  Sleep sleep_;
  std::mutex mutex_;
  bool started_ = false;
  Clock::time_point due_;  // when the bytes counted so far are due at the rate
};

// "2M", "512k", "10M", "1G" (powers of 1024) or a plain number of bytes a second. False
// when unreadable or 0.
bool parseRate(const std::string& text, uint64_t* bytesPerSecond);

}  // namespace zavel::client
