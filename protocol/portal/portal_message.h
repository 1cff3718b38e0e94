// One framed message of the sign-in transport:
//   magic 01 31 30 F2 | total - 8 | H | header (form text) | B | body
// with every number a big-endian 32-bit word. The header's "bodytype" says whether the
// body is form text ("0") or a value map without its own length word ("1").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/portal/form_map.h"
#include "protocol/portal/value_map.h"

namespace zavel::portal {

inline constexpr uint8_t kPortalMagic[4] = {0x01, 0x31, 0x30, 0xF2};
// Longest header or body the servers accept; anything larger is a broken peer.
inline constexpr uint32_t kMaxPortalPart = 65536;
// Longest header or body the program takes from a server.
inline constexpr uint32_t kMaxReceivedPart = 1u << 20;

enum class FrameStatus { kIncomplete, kComplete, kError };

// Looks at the front of a receive buffer. kComplete sets *length to the bytes of the first
// whole message (H + B + 16). kError: wrong magic, or a header or body longer than
// max_part; such a stream can never be read on.
FrameStatus checkFrame(const uint8_t* data, size_t size, size_t* length,
                       uint32_t max_part = kMaxPortalPart);

class PortalMessage {
 public:
  PortalMessage() = default;
  // Takes the bytes of one whole message, as checkFrame measured them.
  explicit PortalMessage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  // Sets header["bodytype"] to "0" or "1" (it stays on the caller's map) and frames.
  static PortalMessage build(FormMap& header, const FormMap& body);
  static PortalMessage build(FormMap& header, const ValueMap& body, bool scramble);

  const std::vector<uint8_t>& bytes() const { return bytes_; }

  // False when the message is not a whole frame.
  bool parseHeader(FormMap* header) const;
  // The header's bodytype, cached after the first read; empty when absent or unreadable.
  const std::string& bodyType() const;
  // Only for bodytype "0" and "1" respectively; false otherwise or when the body is bad.
  bool parseTextBody(FormMap* body) const;
  bool parseValueBody(ValueMap* body) const;

 private:
  // The header and body bytes; false when the frame does not hold together.
  bool parts(const uint8_t** header, size_t* header_size, const uint8_t** body,
             size_t* body_size) const;

  std::vector<uint8_t> bytes_;
  mutable std::string body_type_;
};

}  // namespace zavel::portal
