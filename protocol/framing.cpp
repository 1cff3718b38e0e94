#include "protocol/framing.h"

#include <cstring>
#include <memory>
#include <string>

#include "protocol/scrambler.h"

namespace zavel {

namespace {

// Byte order helpers: big-endian for the network body format, little-endian otherwise.
uint16_t load16(const uint8_t* p, bool big) {
  return big ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t load32(const uint8_t* p, bool big) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p[big ? i : 3 - i]) << (8 * (3 - i));
  return v;
}

uint64_t loadN(const uint8_t* p, size_t n, bool big) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i)
    v |= static_cast<uint64_t>(p[big ? i : n - 1 - i]) << (8 * (n - 1 - i));
  return v;
}

void storeN(uint8_t* p, uint64_t v, size_t n, bool big) {
  for (size_t i = 0; i < n; ++i) p[big ? n - 1 - i : i] = static_cast<uint8_t>(v >> (8 * i));
}

bool bigEndian(uint16_t body_format) {
  return body_format == kBodyTypedNetwork;
}

// Size of the fixed-size integer types; 0 for the length-prefixed and unknown ones.
size_t fixedSize(uint32_t type) {
  switch (type) {
    case kTypeInt8:
    case kTypeUInt8:
      return 1;
    case kTypeInt16:
    case kTypeUInt16:
      return 2;
    case kTypeInt32:
    case kTypeUInt32:
      return 4;
    case kTypeInt64:
    case kTypeUInt64:
      return 8;
    default:
      return 0;
  }
}

size_t entrySize(const std::string& name, const ParamValue& v, uint16_t format) {
  if (format == kBodyUntyped) return 2 + name.size() + 4 + v.length();
  const size_t fixed = fixedSize(v.type());
  if (fixed) return 2 + name.size() + 1 + fixed;
  return 2 + name.size() + 1 + 4 + v.length();
}

uint64_t hostValue(const ParamValue& v, size_t n) {
  uint64_t out = 0;
  // Host order is little-endian; take the low n bytes of what is stored.
  memcpy(&out, v.data(), v.length() < n ? v.length() : n);
  return out;
}

}  // namespace

size_t encodedSize(const ParamRecord& record) {
  size_t total = kHeaderSize;
  for (const auto& [name, value] : record.entries()) {
    total += entrySize(name, value, record.bodyFormat());
  }
  return total;
}

uint16_t headerChecksum(const ParamRecord& record, const uint8_t* header12) {
  const bool big = bigEndian(record.bodyFormat());
  uint32_t sum = 0;
  for (int i = 0; i < 6; ++i) sum += load16(header12 + 2 * i, big);
  sum = (sum & 0xFFFF) + (sum >> 16);
  sum += sum >> 16;
  return static_cast<uint16_t>(~sum);
}

int64_t encodeMessage(const ParamRecord& record, uint8_t* out, size_t capacity) {
  const size_t total = encodedSize(record);
  if (out == nullptr || capacity < total || total - kHeaderSize > kMaxBodyLength) return -1;
  const uint16_t format = record.bodyFormat();
  const bool big = bigEndian(format);

  uint8_t* p = out + kHeaderSize;
  for (const auto& [name, value] : record.entries()) {
    storeN(p, name.size(), 2, big);
    p += 2;
    memcpy(p, name.data(), name.size());
    p += name.size();
    if (format == kBodyUntyped) {
      storeN(p, value.length(), 4, false);
      p += 4;
      memcpy(p, value.data(), value.length());
      p += value.length();
      continue;
    }
    const size_t fixed = fixedSize(value.type());
    if (fixed) {
      *p++ = static_cast<uint8_t>(value.type());
      storeN(p, hostValue(value, fixed), fixed, big);
      p += fixed;
    } else {
      // Strings and binary keep their code; anything else goes out as binary.
      *p++ = static_cast<uint8_t>(value.type() == kTypeString ? kTypeString : kTypeBinary);
      storeN(p, value.length(), 4, big);
      p += 4;
      memcpy(p, value.data(), value.length());
      p += value.length();
    }
  }

  const size_t body_length = total - kHeaderSize;
  out[0] = 'z';
  out[1] = 'v';
  storeN(out + 2, format, 2, big);
  storeN(out + 4, record.flags(), 4, big);
  storeN(out + 8, body_length, 4, big);
  storeN(out + 12, headerChecksum(record, out), 4, big);
  if (record.scrambled()) BodyScrambler::scramble(out + kHeaderSize, body_length);
  return static_cast<int64_t>(total);
}

int64_t peekBodyLength(const uint8_t* header) {
  if (header[0] != 'z' || header[1] != 'v') return -1;
  const uint16_t format = load16(header + 2, false);
  const bool big = format == 3 || static_cast<uint16_t>(format << 8 | format >> 8) == 3;
  return load32(header + 8, big);
}

int readHeader(ParamRecord& record, const uint8_t* header, uint32_t* body_length) {
  if (header[0] != 'z' || header[1] != 'v') return kFrameBadMagic;
  uint16_t format = load16(header + 2, bigEndian(record.bodyFormat()));
  if (format < 1 || format > 3) format = static_cast<uint16_t>(format << 8 | format >> 8);
  record.setBodyFormat(format);
  const bool big = bigEndian(format);
  record.setFlags(load32(header + 4, big));
  const uint32_t length = load32(header + 8, big);
  if (body_length) *body_length = length;
  if (static_cast<int32_t>(length) < 0 || length > kMaxBodyLength) return kFrameBadLength;
  if (load32(header + 12, big) != headerChecksum(record, header)) return kFrameBadChecksum;
  return 0;
}

bool parseBinaryBody(ParamRecord& record, const uint8_t* body, size_t size) {
  const uint16_t format = record.bodyFormat();
  if (format < kBodyUntyped || format > kBodyTypedNetwork) return false;
  const bool big = bigEndian(format);
  size_t pos = 0;
  while (pos < size) {
    auto remaining = [&] { return size - pos; };
    if (remaining() < 2) return false;
    const int16_t name_length = static_cast<int16_t>(load16(body + pos, big));
    pos += 2;
    if (name_length < 1 || remaining() < static_cast<size_t>(name_length)) return false;
    std::string name(reinterpret_cast<const char*>(body + pos), static_cast<size_t>(name_length));
    pos += static_cast<size_t>(name_length);
    if (name.find('\0') != std::string::npos) return false;

    uint32_t type = kTypeUntyped;
    uint64_t value_length = 0;
    if (format == kBodyUntyped) {
      if (remaining() < 4) return false;
      value_length = load32(body + pos, false);
      pos += 4;
      if (value_length < 1 || value_length > kMaxBodyLength) return false;
    } else {
      if (remaining() < 1) return false;
      type = body[pos++];
      if (type == kTypeString || type == kTypeBinary) {
        if (remaining() < 4) return false;
        value_length = load32(body + pos, big);
        pos += 4;
      } else if (const size_t fixed = fixedSize(type)) {
        if (remaining() < fixed) return false;
        const uint64_t host = loadN(body + pos, fixed, big);
        pos += fixed;
        record.set(name.c_str(), &host, static_cast<uint32_t>(fixed), type);
        continue;
      } else {
        return false;
      }
    }
    if (remaining() < value_length) return false;
    record.set(name.c_str(), body + pos, static_cast<uint32_t>(value_length), type);
    pos += value_length;
  }
  return true;
}

namespace {

int hexDigit(uint8_t c) {
  return c < 'A' ? c - '0' : (c & ~0x20) - 55;
}

// URL-decodes one name or value. A "%" without two characters after it stays as it is.
std::string urlDecode(const uint8_t* p, size_t n) {
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == '%' && n - i > 2) {
      out.push_back(static_cast<char>((16 * hexDigit(p[i + 1]) + hexDigit(p[i + 2])) & 0xFF));
      i += 2;
    } else if (p[i] == '+') {
      out.push_back(' ');
    } else {
      out.push_back(static_cast<char>(p[i]));
    }
  }
  // A decoded text ends at its first NUL.
  out.resize(strnlen(out.c_str(), out.size()));
  return out;
}

}  // namespace

bool parseTextBody(ParamRecord& record, const uint8_t* body, size_t size) {
  if (size == 0 || body[size - 1] != '\0') return false;
  size_t pos = 0;
  while (pos < size) {
    const void* amp = memchr(body + pos, '&', size - pos);
    if (amp == nullptr) return true;
    const size_t end = static_cast<const uint8_t*>(amp) - body;
    const void* eq = memchr(body + pos, '=', end - pos);
    if (eq == nullptr) return false;
    const size_t split = static_cast<const uint8_t*>(eq) - body;
    const std::string name = urlDecode(body + pos, split - pos);
    const std::string value = urlDecode(body + split + 1, end - split - 1);
    record.setString(name.c_str(), value.c_str());
    pos = end + 1;
  }
  return true;
}

int64_t decodeMessage(ParamRecord& record, const uint8_t* buffer, size_t size) {
  record.clear();
  if (buffer == nullptr || size < kHeaderSize) return kFrameTooShort;
  uint32_t body_length = 0;
  if (const int rc = readHeader(record, buffer, &body_length); rc != 0) return rc;
  if (size - kHeaderSize < body_length) return kFrameTruncated;
  if (body_length == 0) return kHeaderSize;

  auto body = std::make_unique_for_overwrite<uint8_t[]>(body_length);
  if (record.scrambled()) {
    BodyScrambler::unscrambleCopy(buffer + kHeaderSize, body.get(), body_length);
  } else {
    memcpy(body.get(), buffer + kHeaderSize, body_length);
  }
  const bool ok = record.textBody() ? parseTextBody(record, body.get(), body_length)
                                    : parseBinaryBody(record, body.get(), body_length);
  if (!ok) return kFrameBadBody;
  return static_cast<int64_t>(kHeaderSize + body_length);
}

}  // namespace zavel
