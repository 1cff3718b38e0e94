#include "platform/queued_window.h"

#include <utility>

namespace zavel::platform {

QueuedWindow::QueuedWindow(Handler handler)
    : handler_(std::move(handler)), owner_(std::this_thread::get_id()) {}

QueuedWindow::~QueuedWindow() {
  close();
  std::unique_lock lock(mutex_);
  handled_.wait(lock, [this] { return waiting_senders_ == 0; });
}

intptr_t QueuedWindow::send(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (std::this_thread::get_id() == owner_) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return 0;
    }
    return handler_(message, wparam, lparam);
  }
  auto queued = std::make_shared<Message>(Message{message, wparam, lparam, true});
  std::unique_lock lock(mutex_);
  if (closed_) return 0;
  queue_.push_back(queued);
  ++waiting_senders_;
  arrived_.notify_all();
  handled_.wait(lock, [&] { return queued->done; });
  --waiting_senders_;
  handled_.notify_all();  // the destructor may be waiting for the last sender to leave
  return queued->result;
}

bool QueuedWindow::post(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  queue_.push_back(std::make_shared<Message>(Message{message, wparam, lparam, false}));
  arrived_.notify_all();
  return true;
}

size_t QueuedWindow::dispatch(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  arrived_.wait_for(lock, wait, [this] { return closed_ || !queue_.empty(); });
  size_t handled = 0;
  while (!closed_ && !queue_.empty()) {
    std::shared_ptr<Message> next = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    const intptr_t result = handler_(next->message, next->wparam, next->lparam);
    lock.lock();
    ++handled;
    if (next->sent) {
      next->result = result;
      next->done = true;
      handled_.notify_all();
    }
  }
  return handled;
}

size_t QueuedWindow::queued() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

void QueuedWindow::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  for (const auto& m : queue_) m->done = true;
  queue_.clear();
  arrived_.notify_all();
  handled_.notify_all();
}

}  // namespace zavel::platform
