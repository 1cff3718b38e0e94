#include "protocol/connection.h"

#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>

#include "protocol/framing.h"
#include "protocol/socket_io.h"

namespace zavel {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

ACE_Time_Value timeoutValue(int32_t timeout_ms) {
  ACE_Time_Value tv(timeout_ms / 1000, (timeout_ms % 1000) * 1000);
  return tv;
}

Connection::~Connection() {
  close();
}

bool Connection::connect(const char* host, uint16_t port, int /*blocking*/, int32_t timeout_ms) {
  if (host == nullptr || *host == '\0') return false;
  close();
  ACE_INET_Addr address;
  if (address.set(port, host, 1, AF_INET) != 0) return false;
  ACE_SOCK_Connector connector;
  ACE_Time_Value limit(timeout_ms / 1000, (timeout_ms % 1000) * 1000);
  if (connector.connect(stream_, address, timeout_ms < 0 ? nullptr : &limit) != 0) {
    close();
    return false;
  }
  // Non-blocking once, for good: each wait of this class is a poll() within the caller's
  // time-out, so the mode is never switched around a send or a receive.
  if (stream_.enable(ACE_NONBLOCK) != 0) {
    close();
    return false;
  }
  return true;
}

void Connection::close() {
  if (!connected()) return;
  stream_.close_writer();
  stream_.close();
  stream_.set_handle(ACE_INVALID_HANDLE);
}

int64_t Connection::sendRecord(const ParamRecord& record, int32_t timeout_ms) {
  if (!connected()) return kSendIncomplete;
  const size_t size = encodedSize(record);
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
  if (!buffer) {
    close();
    return kSendNoMemory;
  }
  const int64_t encoded = encodeMessage(record, buffer.get(), size);
  if (encoded <= 0) {
    close();
    return kSendEncode;
  }
  const auto length = static_cast<size_t>(encoded);
  if (sendAll(stream_.get_handle(), buffer.get(), length, timeout_ms) != length) {
    close();
    return kSendIncomplete;
  }
  return encoded;
}

int64_t Connection::receiveRecord(ParamRecord& record, int32_t timeout_ms) {
  if (!connected()) return kRecvIncomplete;
  const ACE_HANDLE handle = stream_.get_handle();
  const auto started = Clock::now();

  // The header is peeked while none of it is taken: once it tells the message's length, a
  // message that is here whole is taken by one recv, and never a byte past its end (a
  // transfer's raw data follows its reply at once). A header that comes in pieces is read as
  // it comes.
  uint8_t header[kHeaderSize];
  size_t taken = 0;  // header bytes read from the socket
  bool peeked = false;
  while (taken < kHeaderSize) {
    if (!waitReady(handle, POLLIN, timeout_ms)) break;
    if (taken == 0) {
      const ssize_t n = recvNow(handle, header, kHeaderSize, MSG_PEEK);
      if (n == static_cast<ssize_t>(kHeaderSize)) {
        peeked = true;
        break;
      }
      if (n < 0 && wouldBlock()) continue;
      // Part of a header, a close or an error: the recv below takes or reports it.
    }
    const ssize_t n = recvNow(handle, header + taken, kHeaderSize - taken, 0);
    if (n > 0) {
      taken += static_cast<size_t>(n);
    } else if (n == 0 || !wouldBlock()) {
      break;
    }
  }
  if (!peeked && taken != kHeaderSize) {
    close();
    return kRecvIncomplete;
  }
  if (timeout_ms != -1) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    if (elapsed.count() > timeout_ms) {
      close();
      return kRecvLate;
    }
  }
  const int64_t body_length = peekBodyLength(header);
  if (body_length < 0 || body_length > static_cast<int64_t>(kMaxBodyLength)) {
    close();
    return kRecvBadHeader;
  }
  const size_t total = kHeaderSize + static_cast<size_t>(body_length);
  if (body_length == 0) {
    // A peeked header is still in the socket; take it so the stream stays in step.
    if (peeked && receiveAll(handle, header, kHeaderSize, timeout_ms) != kHeaderSize) {
      close();
      return kRecvIncomplete;
    }
    return static_cast<int64_t>(total);
  }

  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[total]);
  if (!buffer) {
    close();
    return kRecvNoMemory;
  }
  if (!peeked) memcpy(buffer.get(), header, kHeaderSize);
  const size_t have = peeked ? 0 : kHeaderSize;
  if (receiveAll(handle, buffer.get() + have, total - have, timeout_ms) != total - have) {
    close();
    return kRecvIncomplete;
  }
  // A body that does not parse was still consumed whole: the stream stays usable.
  decodeMessage(record, buffer.get(), total);
  return static_cast<int64_t>(total);
}

size_t Connection::receiveBytes(void* data, size_t size, int32_t timeout_ms) {
  if (!connected()) return 0;
  return receiveAll(stream_.get_handle(), static_cast<uint8_t*>(data), size, timeout_ms);
}

}  // namespace zavel
