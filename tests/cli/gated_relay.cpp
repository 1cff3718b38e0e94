#include "tests/cli/gated_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace zavel::testing {

namespace {

bool sendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

sockaddr_in loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

}  // namespace

GatedRelay::GatedRelay(uint16_t upstream_port, uint64_t limit)
    : upstream_port_(upstream_port), limit_(limit) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopback(0);
  socklen_t length = sizeof a;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
    throw std::runtime_error("relay: cannot listen");
  port_ = ntohs(a.sin_port);
  accept_thread_ = std::thread([this] { acceptLoop(); });
}

GatedRelay::~GatedRelay() {
  stop_ = true;
  open();
  accept_thread_.join();
  for (std::thread& t : pumps_) t.join();
  ::close(listener_);
}

bool GatedRelay::waitUntilHeld(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [this] { return held_; });
}

void GatedRelay::open() {
  std::lock_guard lock(mutex_);
  open_ = true;
  changed_.notify_all();
}

size_t GatedRelay::admit(size_t n) {
  std::unique_lock lock(mutex_);
  if (!open_ && passed_ >= limit_) {
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  const size_t now = open_ ? n : static_cast<size_t>(std::min<uint64_t>(n, limit_ - passed_));
  passed_ += now;
  return now;
}

void GatedRelay::acceptLoop() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(upstream_port_);
    if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(client);
      if (server >= 0) ::close(server);
      continue;
    }
    pumps_.emplace_back([this, client, server] { pump(client, server); });
  }
}

void GatedRelay::pump(int client, int server) {
  char buffer[16384];
  pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
  while (!stop_) {
    if (::poll(fds, 2, 50) <= 0) continue;
    if (fds[0].revents != 0) {
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0 || !sendAll(server, buffer, static_cast<size_t>(n))) break;
    }
    if (fds[1].revents != 0) {
      const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      size_t sent = 0;
      while (sent < static_cast<size_t>(n)) {
        const size_t now = admit(static_cast<size_t>(n) - sent);
        if (!sendAll(client, buffer + sent, now)) break;
        sent += now;
      }
      if (sent < static_cast<size_t>(n)) break;
    }
  }
  ::close(client);
  ::close(server);
}

}  // namespace zavel::testing
