#include "protocol/connection.h"

#include <ace/ACE.h>
#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <new>

#include "protocol/framing.h"

namespace zavel {

ACE_Time_Value timeoutValue(int32_t timeout_ms) {
  ACE_Time_Value tv(timeout_ms / 1000, (timeout_ms % 1000) * 1000);
  return tv;
}

Connection::~Connection() {
  close();
}

bool Connection::connect(const char* host, uint16_t port, int blocking, int32_t timeout_ms) {
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
  const int rc = blocking ? stream_.disable(ACE_NONBLOCK) : stream_.enable(ACE_NONBLOCK);
  if (rc != 0) {
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
  ACE_Time_Value tv = timeoutValue(timeout_ms);
  size_t sent = 0;
  // MSG_NOSIGNAL: a peer that went away is a failed send, never a SIGPIPE.
  ACE::send_n(stream_.get_handle(), buffer.get(), static_cast<size_t>(encoded), MSG_NOSIGNAL,
              timeout_ms == -1 ? nullptr : &tv, &sent);
  if (sent != static_cast<size_t>(encoded)) {
    close();
    return kSendIncomplete;
  }
  return encoded;
}

int64_t Connection::receiveRecord(ParamRecord& record, int32_t timeout_ms) {
  if (!connected()) return kRecvIncomplete;
  const auto started = std::chrono::steady_clock::now();
  uint8_t header[kHeaderSize];
  ACE_Time_Value tv = timeoutValue(timeout_ms);
  size_t got = 0;
  ACE::recv_n(stream_.get_handle(), header, kHeaderSize, timeout_ms == -1 ? nullptr : &tv, &got);
  if (got != kHeaderSize) {
    close();
    return kRecvIncomplete;
  }
  if (timeout_ms != -1) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
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
  if (body_length == 0) return static_cast<int64_t>(total);

  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[total]);
  if (!buffer) {
    close();
    return kRecvNoMemory;
  }
  tv = timeoutValue(timeout_ms);
  got = 0;
  ACE::recv_n(stream_.get_handle(), buffer.get() + kHeaderSize, static_cast<size_t>(body_length),
              timeout_ms == -1 ? nullptr : &tv, &got);
  if (got != static_cast<size_t>(body_length)) {
    close();
    return kRecvIncomplete;
  }
  memcpy(buffer.get(), header, kHeaderSize);
  // A body that does not parse was still consumed whole: the stream stays usable.
  decodeMessage(record, buffer.get(), total);
  return static_cast<int64_t>(total);
}

}  // namespace zavel
