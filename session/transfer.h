// Downloads and uploads of a byte range on a standard session: an opening request, the raw
// bytes on the same stream, then a final reply.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "session/standard_session.h"
#include "zavelsdk.h"

namespace zavel {

// Largest step of a transfer: one buffer, one receive or send.
inline constexpr size_t kTransferStep = 65536;

// The cancel flag, read once per step; a null flag is never set.
inline bool cancelRequested(int32_t* cancel) {
  return cancel != nullptr && std::atomic_ref<int32_t>(*cancel).load(std::memory_order_relaxed);
}

// Fills a TransferProgress and hands it to the transfer's window and progress callback.
class ProgressReporter {
 public:
  ProgressReporter(Session& session, TransferSpec* spec, int32_t direction, void* user_value);

  // Elapsed time counts from here.
  void restartClock() { began_ = std::chrono::steady_clock::now(); }
  void report(uint64_t position, int32_t status);

 private:
  TransferSpec* const spec_;
  TransferProgress progress_{};
  std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
};

// What another session kind adds to the standard upload when it runs one on a file server
// of its own (the club disk keeps its list server informed).
class UploadHooks {
 public:
  virtual ~UploadHooks() = default;
  // The opening "upload" request was refused or failed.
  virtual void requestFailed(const TransferSpec& spec) = 0;
  // After each progress report of the data phase, with the position sent so far.
  virtual void stepped(uint64_t position) = 0;
  // After the data phase and its final reply, with the position reached and the status.
  virtual void finished(uint64_t position, int32_t status) = 0;
  // Whether a chunk the socket would not take waits 100 ms before the next attempt.
  virtual bool pauseWhenBlocked() const = 0;
};

// The download and upload of a standard session; true on success and after a
// cancellation. The thread's error number is the transfer's status on return.
bool downloadRange(StandardSession& session, TransferSpec* spec, int32_t* cancel);
bool uploadRange(StandardSession& session, TransferSpec* spec, int32_t* cancel,
                 UploadHooks* hooks = nullptr);

}  // namespace zavel
