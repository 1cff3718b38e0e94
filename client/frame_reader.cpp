#include "client/frame_reader.h"

namespace zavel::client {

void FrameReader::append(const uint8_t* data, size_t size) {
  if (start_ > 0 && start_ == buffer_.size()) clear();
  buffer_.insert(buffer_.end(), data, data + size);
}

FrameReader::Next FrameReader::next(portal::PortalMessage* message) {
  size_t length = 0;
  const uint8_t* front = buffer_.data() + start_;
  switch (portal::checkFrame(front, buffered(), &length, portal::kMaxReceivedPart)) {
    case portal::FrameStatus::kIncomplete:
      // Keep the unread tail only; what was handed out goes.
      if (start_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(start_));
        start_ = 0;
      }
      return Next::kNone;
    case portal::FrameStatus::kError:
      return Next::kBroken;
    case portal::FrameStatus::kComplete:
      break;
  }
  *message = portal::PortalMessage(std::vector<uint8_t>(front, front + length));
  start_ += length;
  return Next::kMessage;
}

void FrameReader::clear() {
  buffer_.clear();
  start_ = 0;
}

}  // namespace zavel::client
