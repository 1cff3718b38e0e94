#include "devserver/listener.h"

#include <ace/INET_Addr.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zavel::devserver {

namespace {

constexpr int kListenBacklog = 128;

}  // namespace

Listener::Listener(size_t max_connections, Serve serve)
    : max_connections_(max_connections), serve_(std::move(serve)) {}

Listener::~Listener() {
  stop();
}

bool Listener::listen(const std::string& host, uint16_t port, std::string* error) {
  ACE_INET_Addr address;
  if (address.set(port, host.c_str(), 1, AF_INET) != 0) {
    if (error) *error = "cannot resolve " + host;
    return false;
  }
  if (acceptor_.open(address, 1, PF_INET, kListenBacklog) != 0) {
    if (error)
      *error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + strerror(errno);
    return false;
  }
  ACE_INET_Addr bound;
  acceptor_.get_local_addr(bound);
  host_ = host;
  port_ = bound.get_port_number();
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    if (error) *error = std::string("cannot make a pipe: ") + strerror(errno);
    acceptor_.close();
    return false;
  }
  wake_read_.reset(fds[0]);
  wake_write_.reset(fds[1]);
  return true;
}

void Listener::start() {
  accept_thread_ = std::thread([this] { acceptLoop(); });
}

void Listener::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
  }
  stopping_ = true;
  if (wake_write_.valid()) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_write_.get(), &byte, 1);
  }
  if (accept_thread_.joinable()) accept_thread_.join();
  acceptor_.close();
  std::list<std::unique_ptr<Worker>> workers;
  {
    // Shutting a socket down wakes its thread wherever it waits on it.
    std::lock_guard lock(mutex_);
    for (auto& w : workers_)
      if (!w->done) ::shutdown(w->stream.get_handle(), SHUT_RDWR);
    workers.swap(workers_);
  }
  for (auto& w : workers)
    if (w->thread.joinable()) w->thread.join();
}

void Listener::reapFinished() {
  std::list<std::unique_ptr<Worker>> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      if ((*it)->done) {
        finished.splice(finished.end(), workers_, it++);
      } else {
        ++it;
      }
    }
  }
  for (auto& w : finished)
    if (w->thread.joinable()) w->thread.join();
}

void Listener::acceptLoop() {
  for (;;) {
    pollfd fds[2] = {{acceptor_.get_handle(), POLLIN, 0}, {wake_read_.get(), POLLIN, 0}};
    const int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || fds[1].revents != 0 || stopping_) return;
    if (!(fds[0].revents & POLLIN)) continue;
    auto worker = std::make_unique<Worker>();
    ACE_Time_Value no_wait(0);
    if (acceptor_.accept(worker->stream, nullptr, &no_wait) != 0) continue;
    worker->stream.disable(ACE_NONBLOCK);
    int one = 1;
    ::setsockopt(worker->stream.get_handle(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    reapFinished();
    std::lock_guard lock(mutex_);
    if (stopped_) {
      worker->stream.close();
      return;
    }
    if (workers_.size() >= 2 * max_connections_) {
      worker->stream.close();  // far over the limit: not even a reply
      continue;
    }
    const bool over_limit = workers_.size() >= max_connections_;
    Worker* w = worker.get();
    workers_.push_back(std::move(worker));
    w->thread = std::thread([this, w, over_limit] { run(w, over_limit); });
  }
}

void Listener::run(Worker* worker, bool over_limit) {
  serve_(worker->stream.get_handle(), over_limit);
  std::lock_guard lock(mutex_);
  worker->stream.close_writer();
  worker->stream.close();
  worker->done = true;
}

}  // namespace zavel::devserver
