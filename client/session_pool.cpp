#include "client/session_pool.h"

#include <algorithm>
#include <thread>

namespace zavel::client {

SessionPool::SessionPool(ZavelSession* first, int size) {
  sessions_.push_back(first);
  for (int i = 1; i < size; ++i) {
    ZavelSession* copy = zavel_DuplicateSession(first);
    if (copy == nullptr) break;  // the server takes no more: the batch runs on fewer
    sessions_.push_back(copy);
  }
  free_ = sessions_;
}

SessionPool::~SessionPool() {
  for (size_t i = 1; i < sessions_.size(); ++i) zavel_DestroySession(sessions_[i]);
}

void SessionPool::run(size_t count, const std::function<void(size_t, int, ZavelSession*)>& job,
                      const int32_t* stop) {
  std::atomic<size_t> next{0};
  auto work = [&](int worker) {
    for (;;) {
      if (stop != nullptr && __atomic_load_n(stop, __ATOMIC_RELAXED) != 0) return;
      const size_t index = next.fetch_add(1);
      if (index >= count) return;
      job(index, worker, sessions_[static_cast<size_t>(worker)]);
    }
  };
  std::vector<std::thread> helpers;
  const int workers = static_cast<int>(std::min<size_t>(sessions_.size(), count));
  for (int worker = 1; worker < workers; ++worker) helpers.emplace_back(work, worker);
  work(0);
  for (std::thread& t : helpers) t.join();
}

SessionPool::Lease::Lease(SessionPool& pool) : pool_(pool) {
  std::unique_lock lock(pool_.mutex_);
  pool_.returned_.wait(lock, [&] { return !pool_.free_.empty(); });
  session_ = pool_.free_.back();
  pool_.free_.pop_back();
}

SessionPool::Lease::~Lease() {
  {
    std::lock_guard lock(pool_.mutex_);
    pool_.free_.push_back(session_);
  }
  pool_.returned_.notify_one();
}

}  // namespace zavel::client
