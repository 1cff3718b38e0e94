#include "client/retry.h"

#include <sys/stat.h>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "protocol/error_numbers.h"

namespace zavel::client {
namespace {

// The local file's size, or none when it cannot be read.
std::optional<uint64_t> localSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

// Where the target stands now: the local file's size, or the remote file's (which signs on
// again after a lost connection). None when it cannot be told.
std::optional<uint64_t> targetSize(ZavelSession* session, const FileTransfer& t) {
  if (!t.upload) return localSize(t.local).value_or(0);
  const int64_t size = zavel_GetFileSize(t.remote.c_str(), session);
  if (size >= 0) return static_cast<uint64_t>(size);
  // A remote file that is not there yet holds nothing.
  return zavel_GetLastError() == kErrNotExists ? std::optional<uint64_t>(0) : std::nullopt;
}

// Collects a ranged download in memory.
int32_t collect(void* buffer, uint32_t count, uint64_t /*position*/, void* userValue) {
  auto* out = static_cast<std::vector<uint8_t>*>(userValue);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  out->insert(out->end(), bytes, bytes + count);
  return 0;
}

// The furthest position a transfer's reports reached, so that a retry can say where the
// connection was lost; the caller's own progress callback still hears each report. The
// library reports on the calling thread, during the call.
struct Tracked {
  ZavelProgressCallback chained = nullptr;
  uint64_t position = 0;
};
thread_local Tracked* t_tracked = nullptr;

void track(const TransferProgress* progress) {
  if (t_tracked == nullptr) return;
  t_tracked->position = std::max(t_tracked->position, progress->position);
  if (t_tracked->chained != nullptr) t_tracked->chained(progress);
}

bool sleepWatching(int ms, const int32_t* cancel) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (cancel != nullptr && *cancel != 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return cancel == nullptr || *cancel == 0;
}

}  // namespace

int RetryPolicy::waitBeforeMs(int retry) const {
  int64_t wait = firstWaitMs;
  for (int n = 1; n < retry && wait < maxWaitMs; ++n) wait *= 2;
  return static_cast<int>(std::min<int64_t>(wait, maxWaitMs));
}

bool connectionLost(int32_t error) {
  return error == kErrConnectFail || error == kErrSocket || error == kErrWrongPacket;
}

Prefix comparePrefix(ZavelSession* session, const FileTransfer& t, uint64_t position) {
  const uint64_t from = position - std::min<uint64_t>(position, kVerifyBytes);
  std::vector<uint8_t> remote;
  remote.reserve(position - from);
  TransferSpec spec{};
  spec.source = t.remote.c_str();
  spec.start = from;
  spec.end = position;
  spec.dataCallback = collect;
  spec.userValue = &remote;
  if (!zavel_Download(session, &spec, nullptr)) return Prefix::kFailed;
  if (remote.size() != position - from) return Prefix::kDiffers;  // the remote side is shorter
  std::vector<uint8_t> local(position - from);
  std::ifstream in(t.local, std::ios::binary);
  // A local side that cannot be read to the point holds no prefix worth keeping.
  if (!in.seekg(static_cast<std::streamoff>(from)) ||
      !in.read(reinterpret_cast<char*>(local.data()), static_cast<std::streamsize>(local.size())))
    return Prefix::kDiffers;
  return local == remote ? Prefix::kSame : Prefix::kDiffers;
}

bool transferFile(ZavelSession* session, const FileTransfer& t, int32_t* cancel,
                  const RetryPolicy& policy, const RetryEvents& events) {
  const auto cancelled = [cancel] { return cancel != nullptr && *cancel != 0; };
  const auto wait = [&](int ms) {
    return events.wait ? events.wait(ms) : sleepWatching(ms, cancel);
  };
  const auto fail = [](int32_t error) {
    zavel_SetLastError(error);
    return false;
  };
  uint64_t start = t.start;
  bool known = true;         // where the target stands
  bool verify = start > 0;   // whether the part there still has to be compared
  uint64_t reached = start;  // how far the last attempt got
  for (int retry = 0;; ++retry) {
    if (!known) {
      if (const std::optional<uint64_t> now = targetSize(session, t)) {
        start = std::min(*now, t.end);
        known = true;
        verify = start > 0;
      } else if (!connectionLost(zavel_GetLastError())) {
        // A target that cannot be read back (a club file named under its folder's key)
        // goes again whole rather than being continued blindly.
        start = 0;
        known = true;
        verify = false;
      }
    }
    if (known && verify) {
      Prefix prefix = comparePrefix(session, t, start);
      // A part that cannot be compared for any other reason than the network is never
      // continued: it goes again from the start.
      if (prefix == Prefix::kFailed && !connectionLost(zavel_GetLastError()))
        prefix = Prefix::kDiffers;
      if (prefix == Prefix::kDiffers) {
        if (events.restarted) events.restarted(start);
        start = 0;
      }
      verify = prefix == Prefix::kFailed;
    }
    if (known && !verify) {
      Tracked tracked{t.progressCallback, start};
      TransferSpec spec{};
      spec.source = t.upload ? t.local.c_str() : t.remote.c_str();
      spec.destination = t.upload ? t.remote.c_str() : t.local.c_str();
      spec.start = start;
      spec.end = t.end;
      spec.truncate = start == 0 ? 1 : 0;
      spec.window = t.window;
      spec.message = t.message;
      spec.progressCallback = track;
      spec.userValue = t.userValue;
      Tracked* const outer = std::exchange(t_tracked, &tracked);
      const int32_t done =
          t.upload ? zavel_Upload(session, &spec, cancel) : zavel_Download(session, &spec, cancel);
      t_tracked = outer;
      if (done) return true;
      reached = tracked.position;
    }
    const int32_t error = zavel_GetLastError();
    if (cancelled()) return true;
    // A refusal is final, whether it answered the transfer or the questions before it.
    if (!connectionLost(error)) return fail(error);
    if (retry >= policy.retries) return fail(error);
    const int ms = policy.waitBeforeMs(retry + 1);
    if (events.retrying) events.retrying(retry + 1, policy.retries, ms, reached, error);
    if (!wait(ms)) return true;
    known = false;  // read again once the connection may be back
  }
}

}  // namespace zavel::client
