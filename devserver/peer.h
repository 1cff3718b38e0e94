// The client's end of a connection as the command handlers see it: replies, and the raw
// bytes of a transfer's data phase.
#pragma once

#include <ace/SOCK_Stream.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "protocol/param_record.h"

namespace zavel::devserver {

class Peer {
 public:
  virtual ~Peer() = default;
  // Sends one framed reply; false when the peer is gone. With `more`, what is sent may wait
  // for the next send, so a reply and the bytes right behind it travel together.
  virtual bool sendReply(const ParamRecord& reply, bool more = false) = 0;
  // Sends every byte; false when the peer is gone or stopped reading for too long.
  virtual bool sendBytes(const void* data, size_t size, bool more = false) = 0;
  // Receives at most size bytes: the count, 0 when the peer closed, -1 on an error or when
  // nothing came within the time-out.
  virtual int64_t receiveBytes(void* data, size_t size, int timeout_ms) = 0;
};

// A peer on an accepted TCP stream. Sends never raise SIGPIPE.
class SocketPeer : public Peer {
 public:
  static constexpr int kSendTimeoutMs = 60000;

  explicit SocketPeer(ACE_HANDLE handle) : handle_(handle) {}
  bool sendReply(const ParamRecord& reply, bool more = false) override;
  bool sendBytes(const void* data, size_t size, bool more = false) override;
  int64_t receiveBytes(void* data, size_t size, int timeout_ms) override;

 private:
  ACE_HANDLE handle_;
};

}  // namespace zavel::devserver
