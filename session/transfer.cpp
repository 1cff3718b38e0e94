#include "session/transfer.h"

#include <ace/ACE.h>
#include <ace/OS_NS_sys_socket.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/window.h"
#include "protocol/error_numbers.h"
#include "protocol/socket_io.h"
#include "session/error_state.h"
#include "session/local_file.h"

namespace zavel {

namespace {

// A download step waits this long for data; this many empty receives in a row end it.
constexpr int32_t kReceiveWaitMs = 5000;
constexpr int kMaxEmptyReceives = 6;
// An upload step waits this long for room to send, and pauses before retrying a chunk
// the socket did not take.
constexpr int kSendWaitSeconds = 10;
constexpr auto kBlockedPause = std::chrono::milliseconds(100);

// Failures found before anything is opened or sent: a transfer that names two sources of
// data for the local end, or a range that runs backwards.
bool specUsable(const TransferSpec* spec, const char* local_file) {
  return spec != nullptr && !(local_file != nullptr && spec->dataCallback != nullptr) &&
         spec->end >= spec->start;
}

// The send step passes MSG_DONTWAIT and waits by poll itself, whatever mode the socket
// is in.

// Sends once, waiting up to the step's time for room when the socket is full: the count
// sent, 0 when the wait ran out or the socket would still block, -1 on any other failure.
ssize_t sendOnce(ACE_HANDLE handle, const void* data, size_t size) {
  bool waited = false;
  for (;;) {
    const ssize_t n =
        ACE_OS::send(handle, static_cast<const char*>(data), size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK && errno != EAGAIN) return -1;
    if (waited) return 0;
    const ACE_Time_Value wait(kSendWaitSeconds);
    const int ready = ACE::handle_write_ready(handle, &wait);
    if (ready == 0) return 0;
    if (ready < 0) return errno == EINTR ? 0 : -1;
    waited = true;
  }
}

}  // namespace

ProgressReporter::ProgressReporter(Session& session, TransferSpec* spec, int32_t direction,
                                   void* user_value)
    : spec_(spec) {
  progress_.session = reinterpret_cast<ZavelSession*>(&session);
  progress_.spec = spec;
  progress_.direction = direction;
  progress_.userValue = user_value;
}

void ProgressReporter::report(uint64_t position, int32_t status) {
  if (spec_ == nullptr) return;
  progress_.position = position;
  progress_.status = status;
  progress_.elapsed = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now() - began_)
                                                .count());
  // Receivers get a fresh copy each time, whatever an earlier one wrote into it.
  TransferProgress shown = progress_;
  if (spec_->window != nullptr && spec_->message != 0)
    spec_->window->send(spec_->message, 0, reinterpret_cast<intptr_t>(&shown));
  if (spec_->progressCallback != nullptr) {
    shown = progress_;
    spec_->progressCallback(&shown);
  }
}

bool downloadRange(StandardSession& session, TransferSpec* spec, int32_t* cancel) {
  ProgressReporter progress(session, spec, ZAVEL_DIRECTION_DOWNLOAD,
                            spec != nullptr ? spec->userValue : nullptr);
  if (!specUsable(spec, spec != nullptr ? spec->destination : nullptr)) {
    setLastError(kErrWrongParameter);
    return false;
  }
  LocalFile file;
  if (spec->destination != nullptr &&
      !file.open(spec->destination,
                 spec->truncate != 0 ? LocalFile::Mode::kWriteTruncate : LocalFile::Mode::kWrite,
                 spec->start)) {
    setLastError(kErrLocalFile);
    return false;
  }
  std::vector<uint8_t> buffer(kTransferStep);

  session.begin("download");
  ParamRecord& request = session.request();
  request.setString("path", spec->source);
  request.setUInt64("startpos", spec->start);
  request.setUInt64("endpos", spec->end);
  if (!session.transact()) return false;

  uint64_t position = spec->start;
  int32_t status = 0;
  {
    std::lock_guard guard(session.lock());
    Connection& connection = session.connection();
    const ACE_HANDLE handle = connection.stream().get_handle();
    progress.report(position, status);
    bool reached_end = false;
    int empty_receives = 0;
    while (!cancelRequested(cancel)) {
      const size_t want =
          static_cast<size_t>(std::min<uint64_t>(spec->end - position, kTransferStep));
      if (want == 0) {
        reached_end = true;
        break;
      }
      const ssize_t n = receiveSome(handle, buffer.data(), want, kReceiveWaitMs);
      if (n < 0 || (n == 0 && ++empty_receives == kMaxEmptyReceives)) {
        status = kErrSocket;
        break;
      }
      if (n > 0) {
        const auto count = static_cast<uint32_t>(n);
        if (spec->dataCallback != nullptr) {
          if (spec->dataCallback(buffer.data(), count, position, spec->userValue) < 0) {
            status = kErrLocalFile;
            break;
          }
        } else if (file.isOpen() && !file.write(buffer.data(), count)) {
          status = kErrLocalFile;
          break;
        }
        position += count;
        empty_receives = 0;
      }
      progress.report(position, status);
    }
    if (reached_end) {
      ParamRecord final_reply(kFlagScramble);
      if (connection.receiveRecord(final_reply, session.timeout()) <= 0) {
        status = kErrSocket;
      } else {
        final_reply.getInt32("error", &status);
      }
    } else {
      // Failed or cancelled midway: the stream is out of step, so it goes.
      progress.report(position, status);
      connection.close();
    }
  }
  file.close();
  setLastError(status);
  return status == 0;
}

bool uploadRange(StandardSession& session, TransferSpec* spec, int32_t* cancel,
                 UploadHooks* hooks) {
  ProgressReporter progress(session, spec, ZAVEL_DIRECTION_UPLOAD,
                            spec != nullptr ? spec->userValue : nullptr);
  // Without a source nothing could ever fill the range.
  if (!specUsable(spec, spec != nullptr ? spec->source : nullptr) ||
      (spec->source == nullptr && spec->dataCallback == nullptr && spec->end > spec->start)) {
    setLastError(kErrWrongParameter);
    return false;
  }
  LocalFile file;
  if (spec->source != nullptr && !file.open(spec->source, LocalFile::Mode::kRead, spec->start)) {
    setLastError(kErrLocalFile);
    return false;
  }
  std::vector<uint8_t> buffer(kTransferStep);

  session.begin("upload");
  ParamRecord& request = session.request();
  request.setString("path", spec->destination);
  request.setUInt64("startpos", spec->start);
  request.setUInt64("endpos", spec->end);
  request.setInt32("istrunc", spec->truncate);
  if (!session.transact()) {
    if (hooks != nullptr) hooks->requestFailed(*spec);
    return false;
  }

  uint64_t position = spec->start;  // bytes sent, absolute
  int32_t status = 0;
  {
    std::lock_guard guard(session.lock());
    Connection& connection = session.connection();
    const ACE_HANDLE handle = connection.stream().get_handle();
    const bool pause_when_blocked = hooks == nullptr || hooks->pauseWhenBlocked();
    size_t pending = 0;  // read but not yet sent, at the front of the buffer
    bool source_ended = false;
    bool cancelled = false;
    while (position < spec->end) {
      const size_t want = static_cast<size_t>(
          std::min<uint64_t>(spec->end - position - pending, kTransferStep - pending));
      if (want > 0 && !source_ended) {
        int64_t got = 0;
        if (spec->dataCallback != nullptr) {
          got = spec->dataCallback(buffer.data() + pending, static_cast<uint32_t>(want), position,
                                   spec->userValue);
          // More than asked for would run past the buffer and the range.
          if (got < 0 || got > static_cast<int64_t>(want)) {
            status = kErrLocalFile;
            break;
          }
          source_ended = got == 0;
        } else if (file.isOpen()) {
          got = file.read(buffer.data() + pending, want);
          // A file that ends before the range does can never fill it.
          if (got < 0 || (got == 0 && pending == 0)) {
            status = kErrLocalFile;
            break;
          }
        }
        pending += static_cast<size_t>(got);
      }
      // A source that has no more data ends the data phase once what it gave is sent.
      if (source_ended && pending == 0) break;

      const ssize_t sent = pending > 0 ? sendOnce(handle, buffer.data(), pending) : 0;
      if (sent < 0) {
        status = kErrSocket;
        break;
      }
      if (sent > 0) {
        pending -= static_cast<size_t>(sent);
        memmove(buffer.data(), buffer.data() + sent, pending);
        position += static_cast<uint64_t>(sent);
      } else if (pause_when_blocked) {
        std::this_thread::sleep_for(kBlockedPause);
      }
      progress.report(position, status);
      if (hooks != nullptr) hooks->stepped(position);
      if (cancelRequested(cancel)) {
        cancelled = true;
        break;
      }
    }
    bool final_reply_lost = false;
    if (status == 0 && !cancelled) {
      ParamRecord final_reply(kFlagScramble);
      if (connection.receiveRecord(final_reply, session.timeout()) <= 0) {
        status = kErrSocket;
        final_reply_lost = true;
      } else {
        final_reply.getInt32("error", &status);
      }
    } else {
      connection.close();
    }
    if (!final_reply_lost) progress.report(position, status);
  }
  if (hooks != nullptr) hooks->finished(position, status);
  file.close();
  setLastError(status);
  return status == 0;
}

}  // namespace zavel
