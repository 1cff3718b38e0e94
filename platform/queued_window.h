// A window served by the thread that made it, for programs without a GUI event loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/window.h"

namespace zavel::platform {

// Messages sent or posted from other threads wait in a queue until the owning thread calls
// dispatch(); a sender waits until its message has been handled. A message sent on the
// owning thread is handled at once, inside send().
class QueuedWindow : public ZavelWindow {
 public:
  using Handler = std::function<intptr_t(uint32_t message, uintptr_t wparam, intptr_t lparam)>;

  explicit QueuedWindow(Handler handler);
  // Releases senders still waiting (their result is 0) and waits until they have left.
  ~QueuedWindow() override;
  QueuedWindow(const QueuedWindow&) = delete;
  QueuedWindow& operator=(const QueuedWindow&) = delete;

  intptr_t send(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  bool post(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

  // On the owning thread: handles every queued message in arrival order, first waiting up
  // to `wait` for one when none is queued. Returns how many were handled.
  size_t dispatch(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
  // Takes no more messages; waiting senders return 0 and queued posts are dropped.
  void close();

  std::thread::id owner() const { return owner_; }
  // Messages waiting for dispatch().
  size_t queued() const;

 private:
  struct Message {
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
    bool sent;  // a sender waits for it
    bool done = false;
    intptr_t result = 0;
  };

  const Handler handler_;
  const std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::condition_variable handled_;
  std::deque<std::shared_ptr<Message>> queue_;
  size_t waiting_senders_ = 0;
  bool closed_ = false;
};

}  // namespace zavel::platform
