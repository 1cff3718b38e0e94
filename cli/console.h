// Where a command writes, and what it may do on a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>

#include "cli/conflict.h"

namespace zavel::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

struct Console {
  std::ostream& out;          // what a command produces (listings, file bytes)
  std::ostream& err;          // errors, and on a terminal progress and notes
  bool progress = false;      // draw progress lines on err
  bool notes = false;         // tell about skipped and left-out items on err
  bool warnings = false;      // tell about lost connections and files sent again on err,
                              // on a terminal or not
  Asker* asker = nullptr;     // asks about existing targets; null when nobody can answer
  int32_t* cancel = nullptr;  // set non-zero by Ctrl-C while a transfer runs
  std::function<size_t()> width = [] { return size_t{80}; };
  std::function<uint64_t()> clock = [] {  // monotonic milliseconds, for the progress line
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  };

  bool cancelled() const {
    return cancel != nullptr && std::atomic_ref<int32_t>(*cancel).load() != 0;
  }
};

}  // namespace zavel::cli
