#include "devserver/peer.h"

#include <sys/socket.h>

#include <vector>

#include "protocol/framing.h"
#include "protocol/socket_io.h"

namespace zavel::devserver {

bool SocketPeer::sendReply(const ParamRecord& reply, bool more) {
  std::vector<uint8_t> message(encodedSize(reply));
  const int64_t n = encodeMessage(reply, message.data(), message.size());
  return n > 0 && sendBytes(message.data(), static_cast<size_t>(n), more);
}

bool SocketPeer::sendBytes(const void* data, size_t size, bool more) {
  return sendAll(handle_, data, size, kSendTimeoutMs, more ? MSG_MORE : 0) == size;
}

int64_t SocketPeer::receiveBytes(void* data, size_t size, int timeout_ms) {
  const ssize_t n = receiveSome(handle_, data, size, timeout_ms);
  return n < 0 ? -1 : static_cast<int64_t>(n);
}

}  // namespace zavel::devserver
