#include "devserver/file/file_server.h"

#include <ace/ACE.h>

#include <vector>

#include "devserver/server_errors.h"
#include "protocol/connection.h"
#include "protocol/framing.h"
#include "protocol/socket_io.h"

namespace zavel::devserver {

namespace {

// Bodies are read in steps, so a length that is claimed but never sent costs no memory.
constexpr size_t kBodyStep = 1u << 20;

}  // namespace

ReceiveResult receiveRequest(ACE_HANDLE handle, ParamRecord& request, int timeout_ms) {
  uint8_t header[kHeaderSize];
  if (receiveAll(handle, header, kHeaderSize, timeout_ms) != kHeaderSize)
    return ReceiveResult::kClosed;
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
    if (receiveAll(handle, message.data() + at, step, timeout_ms) != step)
      return ReceiveResult::kClosed;
    remaining -= step;
  }
  const int64_t decoded = decodeMessage(request, message.data(), message.size());
  if (decoded == kFrameBadBody) return ReceiveResult::kMalformed;
  return decoded > 0 ? ReceiveResult::kRequest : ReceiveResult::kClosed;
}

FileServer::FileServer(ServerContext& context, size_t max_connections)
    : context_(context),
      dispatcher_(context),
      listener_(max_connections,
                [this](ACE_HANDLE handle, bool over_limit) { serve(handle, over_limit); }) {}

FileServer::~FileServer() {
  stop();
}

bool FileServer::listen(const std::string& host, uint16_t port, std::string* error) {
  if (!listener_.listen(host, port, error)) return false;
  context_.file_port = listener_.port();
  return true;
}

void FileServer::start() {
  listener_.start();
}

void FileServer::stop() {
  context_.stopping = true;
  listener_.stop();
}

void FileServer::serve(ACE_HANDLE handle, bool over_limit) {
  SocketPeer peer(handle);
  ++context_.stats.connections;
  ConnectionState conn;
  conn.socket = handle;
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
}

}  // namespace zavel::devserver
