#include "devserver/file_server.h"

#include <ace/ACE.h>
#include <ace/INET_Addr.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "devserver/server_errors.h"
#include "protocol/connection.h"
#include "protocol/framing.h"

namespace zavel::devserver {

namespace {

// Bodies are read in steps, so a length that is claimed but never sent costs no memory.
constexpr size_t kBodyStep = 1u << 20;
constexpr int kListenBacklog = 128;

}  // namespace

ReceiveResult receiveRequest(ACE_HANDLE handle, ParamRecord& request, int timeout_ms) {
  uint8_t header[kHeaderSize];
  ACE_Time_Value tv = timeoutValue(timeout_ms);
  size_t got = 0;
  ACE::recv_n(handle, header, kHeaderSize, &tv, &got);
  if (got != kHeaderSize) return ReceiveResult::kClosed;
  const int64_t body_length = peekBodyLength(header);
  // Without a trustworthy length the stream cannot be followed any further.
  if (body_length < 0 || body_length > static_cast<int64_t>(kMaxBodyLength))
    return ReceiveResult::kClosed;
  std::vector<uint8_t> message(header, header + kHeaderSize);
  size_t remaining = static_cast<size_t>(body_length);
  while (remaining > 0) {
    const size_t step = remaining < kBodyStep ? remaining : kBodyStep;
    const size_t at = message.size();
    message.resize(at + step);
    tv = timeoutValue(timeout_ms);
    got = 0;
    ACE::recv_n(handle, message.data() + at, step, &tv, &got);
    if (got != step) return ReceiveResult::kClosed;
    remaining -= step;
  }
  const int64_t decoded = decodeMessage(request, message.data(), message.size());
  if (decoded == kFrameBadBody) return ReceiveResult::kMalformed;
  return decoded > 0 ? ReceiveResult::kRequest : ReceiveResult::kClosed;
}

FileServer::FileServer(ServerContext& context, size_t max_connections)
    : context_(context), dispatcher_(context), max_connections_(max_connections) {}

FileServer::~FileServer() {
  stop();
}

bool FileServer::listen(const std::string& host, uint16_t port, std::string* error) {
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
  context_.file_port = port_;
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

void FileServer::start() {
  accept_thread_ = std::thread([this] { acceptLoop(); });
}

void FileServer::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
  }
  context_.stopping = true;
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

void FileServer::reapFinished() {
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

void FileServer::acceptLoop() {
  for (;;) {
    pollfd fds[2] = {{acceptor_.get_handle(), POLLIN, 0}, {wake_read_.get(), POLLIN, 0}};
    const int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || fds[1].revents != 0 || context_.stopping) return;
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
    w->thread = std::thread([this, w, over_limit] { serve(w, over_limit); });
  }
}

void FileServer::serve(Worker* worker, bool over_limit) {
  const ACE_HANDLE handle = worker->stream.get_handle();
  SocketPeer peer(handle);
  ++context_.stats.connections;
  ConnectionState conn;
  if (over_limit) {
    // Answer the first request (normally the sign-on) with the limit, then hang up.
    ParamRecord request;
    if (receiveRequest(handle, request, kRequestTimeoutMs) != ReceiveResult::kClosed) {
      ParamRecord reply(kFlagScramble);
      setReplyError(reply, kErrSessionLimit);
      peer.sendReply(reply);
    }
  } else {
    while (!context_.stopping) {
      // Between requests a client may stay idle as long as it likes.
      if (ACE::handle_read_ready(handle, nullptr) <= 0) break;
      ParamRecord request;
      const ReceiveResult got = receiveRequest(handle, request, kRequestTimeoutMs);
      if (got == ReceiveResult::kClosed) break;
      const bool keep = got == ReceiveResult::kMalformed ? dispatcher_.rejectMalformed(peer)
                                                         : dispatcher_.handle(conn, request, peer);
      if (!keep) break;
    }
  }
  if (conn.disk != nullptr) --context_.stats.signed_on;
  --context_.stats.connections;
  conn = ConnectionState();  // the connection's descriptors close with it
  std::lock_guard lock(mutex_);
  worker->stream.close_writer();
  worker->stream.close();
  worker->done = true;
}

}  // namespace zavel::devserver
