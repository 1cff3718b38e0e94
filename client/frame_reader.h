// The receive side of the sign-in transport: bytes in, whole messages out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/portal/portal_message.h"

namespace zavel::client {

class FrameReader {
 public:
  enum class Next { kMessage, kNone, kBroken };

  void append(const uint8_t* data, size_t size);
  // The next whole message from the front of the buffer. kBroken: wrong magic, or a header or
  // body over kMaxReceivedPart; nothing more can be read from this stream.
  Next next(portal::PortalMessage* message);
  size_t buffered() const { return buffer_.size() - start_; }
  void clear();

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;  // bytes at the front already handed out
};

}  // namespace zavel::client
