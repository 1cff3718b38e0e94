// One TCP stream to a server, carrying framed records.
#pragma once

#include <ace/SOCK_Stream.h>
#include <ace/Time_Value.h>

#include <cstdint>

#include "protocol/param_record.h"

namespace zavel {

// Time-outs are milliseconds; -1 waits without limit.
ACE_Time_Value timeoutValue(int32_t timeout_ms);

class Connection {
 public:
  // Result codes of sendRecord and receiveRecord.
  enum : int64_t {
    kRecvIncomplete = -1,  // header or body did not arrive whole
    kRecvLate = -2,        // the header came after the time-out
    kRecvBadHeader = -3,   // wrong magic or body length out of range
    kRecvNoMemory = -4,
    kSendNoMemory = -1,
    kSendEncode = -3,
    kSendIncomplete = -4,
  };

  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Resolves the host (a name or dotted address) and connects, within timeout_ms when it is
  // not -1. True when connected. The socket is non-blocking from then on, whatever `blocking`
  // says: sendRecord and receiveRecord wait by poll() within their time-out either way, which
  // is what a caller asking for blocking calls expects, and the mode is never switched again.
  bool connect(const char* host, uint16_t port, int blocking = 1, int32_t timeout_ms = -1);

  // Each wait for room or for bytes lasts at most timeout_ms. Any failure closes the stream.
  int64_t sendRecord(const ParamRecord& record, int32_t timeout_ms);
  // Takes exactly one message and nothing after it: raw bytes that follow stay for stream().
  int64_t receiveRecord(ParamRecord& record, int32_t timeout_ms);

  // Reads exactly `size` raw bytes, each wait for more lasting at most timeout_ms: the count
  // read, short when the peer closed, failed or went quiet. For data between framed messages.
  size_t receiveBytes(void* data, size_t size, int32_t timeout_ms);

  // Shuts down the sending direction and closes; nothing when already closed.
  void close();

  bool connected() const { return stream_.get_handle() != ACE_INVALID_HANDLE; }

  // The raw stream, for the data phase of transfers between framed messages. It is
  // non-blocking: a raw recv or send must cope with EWOULDBLOCK.
  ACE_SOCK_Stream& stream() { return stream_; }

 private:
  ACE_SOCK_Stream stream_;
};

}  // namespace zavel
