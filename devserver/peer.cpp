#include "devserver/peer.h"

#include <ace/ACE.h>
#include <sys/socket.h>

#include <vector>

#include "protocol/connection.h"
#include "protocol/framing.h"

namespace zavel::devserver {

bool SocketPeer::sendReply(const ParamRecord& reply) {
  std::vector<uint8_t> message(encodedSize(reply));
  const int64_t n = encodeMessage(reply, message.data(), message.size());
  return n > 0 && sendBytes(message.data(), static_cast<size_t>(n));
}

bool SocketPeer::sendBytes(const void* data, size_t size) {
  ACE_Time_Value tv = timeoutValue(kSendTimeoutMs);
  size_t sent = 0;
  ACE::send_n(handle_, data, size, MSG_NOSIGNAL, &tv, &sent);
  return sent == size;
}

int64_t SocketPeer::receiveBytes(void* data, size_t size, int timeout_ms) {
  ACE_Time_Value tv = timeoutValue(timeout_ms);
  const ssize_t n = ACE::recv(handle_, data, size, timeout_ms < 0 ? nullptr : &tv);
  return n < 0 ? -1 : static_cast<int64_t>(n);
}

}  // namespace zavel::devserver
