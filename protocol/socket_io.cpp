#include "protocol/socket_io.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace zavel {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

bool wouldBlock() {
  return errno == EAGAIN || errno == EWOULDBLOCK;
}

bool waitReady(int handle, short events, int32_t timeout_ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  int wait = timeout_ms < 0 ? -1 : timeout_ms;
  for (;;) {
    pollfd fd{handle, events, 0};
    const int n = ::poll(&fd, 1, wait);
    if (n > 0) return true;
    if (n == 0 || errno != EINTR) return false;
    if (wait >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      wait = static_cast<int>(std::max<int64_t>(left, 0));
    }
  }
}

ssize_t recvNow(int handle, void* data, size_t size, int flags) {
  ssize_t n;
  do {
    n = ::recv(handle, data, size, flags | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t sendNow(int handle, const void* data, size_t size, int flags) {
  ssize_t n;
  do {
    n = ::send(handle, data, size, flags | MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t receiveSome(int handle, void* data, size_t size, int32_t timeout_ms) {
  const ssize_t n = recvNow(handle, data, size, 0);
  if (n >= 0 || !wouldBlock()) return n;
  if (!waitReady(handle, POLLIN, timeout_ms)) return -1;
  return recvNow(handle, data, size, 0);
}

size_t receiveAll(int handle, void* data, size_t size, int32_t timeout_ms) {
  auto* bytes = static_cast<uint8_t*>(data);
  size_t got = 0;
  while (got < size) {
    const ssize_t n = recvNow(handle, bytes + got, size - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0 || !wouldBlock() || !waitReady(handle, POLLIN, timeout_ms)) {
      break;
    }
  }
  return got;
}

size_t sendAll(int handle, const void* data, size_t size, int32_t timeout_ms, int flags) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  size_t sent = 0;
  while (sent < size) {
    const ssize_t n = sendNow(handle, bytes + sent, size - sent, flags);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n == 0 || !wouldBlock() || !waitReady(handle, POLLOUT, timeout_ms)) {
      break;
    }
  }
  return sent;
}

}  // namespace zavel
