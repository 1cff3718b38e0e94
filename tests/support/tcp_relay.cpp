#include "tests/support/tcp_relay.h"

#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>
#include <ace/SOCK_Stream.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace zavel::testing {

namespace {

// Sends every byte; false when the peer is gone.
bool sendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Closes with a reset, as a connection torn down by the network looks to its ends.
void drop(int fd) {
  linger hard{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::close(fd);
}

}  // namespace

TcpRelay::TcpRelay(const std::string& host, uint16_t port, const std::string& listenHost,
                   uint16_t listenPort)
    : host_(host), upstream_port_(port) {
  ACE_INET_Addr where(listenPort, listenHost.c_str());
  if (acceptor_.open(where, 1) != 0) throw std::runtime_error("relay: cannot listen");
  ACE_INET_Addr bound;
  acceptor_.get_local_addr(bound);
  port_ = bound.get_port_number();
  accept_thread_ = std::thread([this] { acceptLoop(); });
}

TcpRelay::~TcpRelay() {
  stop_ = true;
  accept_thread_.join();
  for (std::thread& t : pumps_) t.join();
  acceptor_.close();
}

void TcpRelay::cutNextAfter(Direction direction, uint64_t bytes) {
  cutEachAfter(direction, bytes, 1);
}

void TcpRelay::cutEachAfter(Direction direction, uint64_t bytes, int times) {
  std::lock_guard lock(mutex_);
  next_ = Plan{Action::kCut, direction, bytes};
  next_times_ = times;
}

void TcpRelay::cutEveryReaching(Direction direction, uint64_t bytes, int times) {
  std::lock_guard lock(mutex_);
  next_ = Plan{Action::kCut, direction, bytes, 0, true};
  next_times_ = -1;  // every connection, until the cuts are spent
  cuts_left_ = times;
}

void TcpRelay::holdNextAfter(uint64_t bytes, uint64_t kept) {
  std::lock_guard lock(mutex_);
  next_ = Plan{Action::kHold, Direction::kToServer, bytes, kept};
  next_times_ = 1;
}

void TcpRelay::gateNextAfter(uint64_t bytes) {
  std::lock_guard lock(mutex_);
  next_ = Plan{Action::kGate, Direction::kToClient, bytes};
  next_times_ = 1;
}

bool TcpRelay::waitUntilHolding(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [this] { return holding_; });
}

void TcpRelay::release() {
  std::lock_guard lock(mutex_);
  released_ = true;
  changed_.notify_all();
}

bool TcpRelay::holdUntilReleased() {
  std::unique_lock lock(mutex_);
  holding_ = true;
  changed_.notify_all();
  while (!released_ && !stop_) changed_.wait_for(lock, std::chrono::milliseconds(50));
  return released_;
}

void TcpRelay::acceptLoop() {
  while (!stop_) {
    ACE_Time_Value tv(0, 50000);
    ACE_SOCK_Stream client;
    if (acceptor_.accept(client, nullptr, &tv) != 0) continue;
    ACE_SOCK_Stream server;
    ACE_SOCK_Connector connector;
    ACE_INET_Addr upstream(upstream_port_, host_.c_str());
    if (connector.connect(server, upstream) != 0) {
      client.close();
      continue;
    }
    Plan plan;
    {
      std::lock_guard lock(mutex_);
      plan = next_;
      if (next_times_ > 0 && --next_times_ == 0) next_ = Plan{};
    }
    // Each chunk goes on as it came, as a router would pass it: no coalescing of small writes
    // behind an unacknowledged one.
    const int on = 1;
    for (ACE_HANDLE h : {client.get_handle(), server.get_handle()})
      ::setsockopt(h, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    pumps_.emplace_back(
        [this, c = client.get_handle(), s = server.get_handle(), plan] { pump(c, s, plan); });
  }
}

void TcpRelay::pump(int client, int server, Plan plan) {
  char buffer[16384];
  uint64_t passed = 0;  // in the plan's direction
  std::string kept;
  pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
  bool open = true;
  while (open && !stop_) {
    if (::poll(fds, 2, 50) < 0) break;
    for (int i = 0; i < 2 && open; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
      open = got > 0;
      if (!open) break;
      const size_t n = static_cast<size_t>(got);
      // Held in short steps, so that a long delay does not outlast the relay.
      for (auto until = std::chrono::steady_clock::now() +
                        std::chrono::microseconds(std::max<int64_t>(delay_us_.load(), 0));
           !stop_ && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            until - std::chrono::steady_clock::now(), std::chrono::milliseconds(20)));
      const int to = i == 0 ? server : client;
      const bool counted =
          plan.action != Action::kNone && (i == 0) == (plan.direction == Direction::kToServer);
      const size_t forward = counted ? std::min<uint64_t>(n, plan.bytes - passed) : n;
      open = sendAll(to, buffer, forward);
      if (!counted || (passed += forward) < plan.bytes) continue;
      if (plan.action == Action::kCut && plan.shared && cuts_left_.fetch_sub(1) <= 0) {
        // The cuts are spent: this connection goes on whole.
        open = sendAll(to, buffer + forward, n - forward);
        plan.action = Action::kNone;
      } else if (plan.action == Action::kCut) {
        cut_ = true;
        open = false;
      } else if (plan.action == Action::kGate) {
        open = holdUntilReleased() && sendAll(to, buffer + forward, n - forward);
        plan.action = Action::kNone;
      } else {
        kept.append(buffer + forward, std::min<size_t>(n - forward, plan.kept - kept.size()));
        open = open && kept.size() < plan.kept;
      }
    }
  }
  drop(client);
  if (plan.action != Action::kHold) return drop(server);
  cut_ = true;
  holdUntilReleased();
  // An orderly end after the late bytes, so the server reads every one of them.
  sendAll(server, kept.data(), kept.size());
  ::shutdown(server, SHUT_WR);
  ::close(server);
}

}  // namespace zavel::testing
