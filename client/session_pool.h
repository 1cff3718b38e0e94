// Several sessions on one disk, for work that overlaps: a session runs one call at a time,
// so each worker of a batch takes a session of its own and the next item of the batch.
// The first session is the caller's; the others are duplicates, made when the pool is, and
// a server that refuses one leaves the batch to the sessions that opened.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "zavelsdk.h"

namespace zavel::client {

class SessionPool {
 public:
  // Up to `size` sessions, the first of them `first` (kept by the caller).
  SessionPool(ZavelSession* first, int size);
  ~SessionPool();
  SessionPool(const SessionPool&) = delete;
  SessionPool& operator=(const SessionPool&) = delete;

  // The sessions that opened, the caller's first.
  int size() const { return static_cast<int>(sessions_.size()); }
  ZavelSession* session(int worker) const { return sessions_[static_cast<size_t>(worker)]; }

  // Runs job(index, worker, session) for every index below count, each index once, on up to
  // size() threads (the calling thread is worker 0). Once *stop is non-zero no further index
  // starts; the running ones finish as their job decides.
  void run(size_t count, const std::function<void(size_t, int, ZavelSession*)>& job,
           const int32_t* stop = nullptr);

  // One session for the length of a call, for callers on threads of their own (a mount's
  // workers): waits until a session is free, and gives it back when it goes.
  class Lease {
   public:
    explicit Lease(SessionPool& pool);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ZavelSession* session() const { return session_; }

   private:
    SessionPool& pool_;
    ZavelSession* session_;
  };

 private:
  std::vector<ZavelSession*> sessions_;
  // Leases: the sessions nobody holds.
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<ZavelSession*> free_;
};

}  // namespace zavel::client
