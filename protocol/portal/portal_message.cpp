#include "protocol/portal/portal_message.h"

#include <cstring>

namespace zavel::portal {

namespace {

uint32_t read32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

PortalMessage frame(const FormMap& header, const uint8_t* body, size_t body_size) {
  const std::string h = header.encode();
  std::vector<uint8_t> out;
  out.reserve(16 + h.size() + body_size);
  out.assign(kPortalMagic, kPortalMagic + 4);
  put32(out, static_cast<uint32_t>(8 + h.size() + body_size));
  put32(out, static_cast<uint32_t>(h.size()));
  out.insert(out.end(), h.begin(), h.end());
  put32(out, static_cast<uint32_t>(body_size));
  out.insert(out.end(), body, body + body_size);
  return PortalMessage(std::move(out));
}

}  // namespace

FrameStatus checkFrame(const uint8_t* data, size_t size, size_t* length, uint32_t max_part) {
  if (size < 4) return FrameStatus::kIncomplete;
  if (std::memcmp(data, kPortalMagic, 4) != 0) return FrameStatus::kError;
  if (size < 12) return FrameStatus::kIncomplete;
  const uint64_t header = read32(data + 8);
  if (header > max_part) return FrameStatus::kError;
  if (size < header + 16) return FrameStatus::kIncomplete;
  const uint64_t body = read32(data + 12 + header);
  if (body > max_part) return FrameStatus::kError;
  if (size < header + body + 16) return FrameStatus::kIncomplete;
  *length = static_cast<size_t>(header + body + 16);
  return FrameStatus::kComplete;
}

PortalMessage PortalMessage::build(FormMap& header, const FormMap& body) {
  header.set("bodytype", "0");
  const std::string b = body.encode();
  return frame(header, reinterpret_cast<const uint8_t*>(b.data()), b.size());
}

PortalMessage PortalMessage::build(FormMap& header, const ValueMap& body, bool scramble) {
  header.set("bodytype", "1");
  const std::vector<uint8_t> b = body.encode(scramble);
  // The map's own length word is the frame's body length.
  return frame(header, b.data() + 4, b.size() - 4);
}

bool PortalMessage::parts(const uint8_t** header, size_t* header_size, const uint8_t** body,
                          size_t* body_size) const {
  size_t length = 0;
  // The receiver has measured the message against its own limit already.
  if (checkFrame(bytes_.data(), bytes_.size(), &length, kMaxReceivedPart) !=
          FrameStatus::kComplete ||
      length != bytes_.size())
    return false;
  *header_size = read32(bytes_.data() + 8);
  *header = bytes_.data() + 12;
  *body_size = read32(bytes_.data() + 12 + *header_size);
  *body = bytes_.data() + 16 + *header_size;
  return true;
}

bool PortalMessage::parseHeader(FormMap* header) const {
  const uint8_t *h = nullptr, *b = nullptr;
  size_t hs = 0, bs = 0;
  if (!parts(&h, &hs, &b, &bs)) return false;
  return header->parse(std::string_view(reinterpret_cast<const char*>(h), hs));
}

const std::string& PortalMessage::bodyType() const {
  if (body_type_.empty()) {
    FormMap header;
    std::string value;
    if (parseHeader(&header) && header.get("bodytype", &value)) body_type_ = value.substr(0, 31);
  }
  return body_type_;
}

bool PortalMessage::parseTextBody(FormMap* body) const {
  const uint8_t *h = nullptr, *b = nullptr;
  size_t hs = 0, bs = 0;
  if (bodyType() != "0" || !parts(&h, &hs, &b, &bs)) return false;
  return body->parse(std::string_view(reinterpret_cast<const char*>(b), bs));
}

bool PortalMessage::parseValueBody(ValueMap* body) const {
  const uint8_t *h = nullptr, *b = nullptr;
  size_t hs = 0, bs = 0;
  if (bodyType() != "1" || !parts(&h, &hs, &b, &bs)) return false;
  // Put the length word back in front: it is the body length.
  std::vector<uint8_t> encoded;
  encoded.reserve(bs + 4);
  for (int shift = 24; shift >= 0; shift -= 8) encoded.push_back(static_cast<uint8_t>(bs >> shift));
  encoded.insert(encoded.end(), b, b + bs);
  return body->decode(encoded.data(), encoded.size());
}

}  // namespace zavel::portal
