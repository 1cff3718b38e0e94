#include "client/rate_limiter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <thread>

namespace zavel::client {
namespace {

constexpr std::chrono::seconds kBurst{1};

}  // namespace

RateLimiter::RateLimiter(uint64_t bytesPerSecond, Now now, Sleep sleep)
    : rate_(bytesPerSecond),
      now_(now ? std::move(now) : Now(Clock::now)),
      sleep_(sleep ? std::move(sleep)
                   : Sleep([](Clock::duration d) { std::this_thread::sleep_for(d); })) {}

void RateLimiter::take(uint64_t bytes) {
  if (rate_ == 0 || bytes == 0) return;
  Clock::duration wait{};
  {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = now_();
    // The time since the last report is the time its bytes took; a longer idle stretch earns
    // at most a second's worth of bytes at once.
    if (!started_) due_ = now;
    due_ = std::max(due_, now - kBurst);
    started_ = true;
    due_ += std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) / static_cast<double>(rate_)));
    wait = due_ - now;
  }
  if (wait > Clock::duration::zero()) sleep_(wait);
}

bool parseRate(const std::string& text, uint64_t* bytesPerSecond) {
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  const std::from_chars_result read = std::from_chars(text.data(), end, value);
  if (read.ec != std::errc() || value == 0) return false;
  int shift = 0;
  if (read.ptr != end) {
    if (read.ptr + 1 != end) return false;
    switch (std::tolower(static_cast<unsigned char>(*read.ptr))) {
      case 'k':
        shift = 10;
        break;
      case 'm':
        shift = 20;
        break;
      case 'g':
        shift = 30;
        break;
      default:
        return false;
    }
  }
  if (value > (UINT64_MAX >> shift)) return false;
  *bytesPerSecond = value << shift;
  return true;
}

}  // namespace zavel::client
