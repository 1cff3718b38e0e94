// One file moved whole despite the network: a transfer that fails because the connection
// dropped or timed out signs on again and continues from what the target holds, after a
// growing wait, a bounded number of times; a refusal (no such file, no space, no rights) is
// final at once. Before any continuation the bytes just before the point are compared on
// both sides, so a part that came from some other file is never continued: the file then
// goes again from its start.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "zavelsdk.h"

namespace zavel::client {

struct RetryPolicy {
  int retries = 5;         // after the first attempt; 0 turns retrying off
  int firstWaitMs = 1000;  // doubled before each further retry
  int maxWaitMs = 30000;
  // The wait before retry n (1 for the first).
  int waitBeforeMs(int retry) const;
};

// Whether a failure's error number says the connection was lost or never came, which a
// retry may mend, rather than that the server refused.
bool connectionLost(int32_t error);

// The bytes compared before a continuation, at most.
inline constexpr uint32_t kVerifyBytes = 65536;

struct FileTransfer {
  bool upload = false;
  std::string remote;  // path or club key
  std::string local;   // the local file
  uint64_t start = 0;  // where to begin: 0, or a resume point the caller chose
  uint64_t end = 0;    // the source's size
  // Passed on to the library for its progress reports.
  ZavelWindow* window = nullptr;
  uint32_t message = 0;
  ZavelProgressCallback progressCallback = nullptr;
  void* userValue = nullptr;
};

struct RetryEvents {
  // A retry is coming: its number, of how many, after how long, and how far the transfer
  // had got when the connection was lost.
  std::function<void(int retry, int of, int waitMs, uint64_t position, int32_t error)> retrying;
  // The part at the target is not the start of the source: the file goes again from 0.
  std::function<void(uint64_t position)> restarted;
  // Waits unless cancelled; false when cancelled. By default sleeps in short steps that
  // watch the cancel flag.
  std::function<bool(int ms)> wait;
};

// Moves the file. Like the library's transfers: true on success and after a cancel, false
// with the thread's error number (the last attempt's) on failure.
bool transferFile(ZavelSession* session, const FileTransfer& transfer, int32_t* cancel,
                  const RetryPolicy& policy, const RetryEvents& events = {});

// Whether the target's first `position` bytes end as the source's do (up to kVerifyBytes
// before position): kFailed when either side could not be read.
enum class Prefix { kSame, kDiffers, kFailed };
Prefix comparePrefix(ZavelSession* session, const FileTransfer& transfer, uint64_t position);

}  // namespace zavel::client
