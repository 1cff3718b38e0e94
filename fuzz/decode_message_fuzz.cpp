// Feeds arbitrary bytes to the message decoder. The first input byte picks the shape of
// the header (body format, text-body and scramble flags) so that every body parser is
// reached with a valid header; the rest is the body.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/framing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zavel;
  if (size == 0) return 0;
  const uint8_t shape = data[0];
  const uint8_t* body = data + 1;
  const size_t body_size = size - 1;

  ParamRecord record;
  if (shape & 0x80) {
    // Raw: the input is the whole message, header included.
    decodeMessage(record, body, body_size);
    return 0;
  }
  if (body_size > kMaxBodyLength) return 0;
  const uint16_t format = static_cast<uint16_t>(1 + (shape & 0x03) % 3);
  const uint32_t flags = (shape >> 2) & 0x07;
  const bool big = format == kBodyTypedNetwork;
  std::vector<uint8_t> message(kHeaderSize + body_size);
  auto put = [&](size_t at, uint32_t v, size_t n) {
    for (size_t i = 0; i < n; ++i)
      message[at + (big ? n - 1 - i : i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  message[0] = 'z';
  message[1] = 'v';
  put(2, format, 2);
  put(4, flags, 4);
  put(8, static_cast<uint32_t>(body_size), 4);
  ParamRecord fmt;
  fmt.setBodyFormat(format);
  put(12, headerChecksum(fmt, message.data()), 4);
  if (body_size) memcpy(message.data() + kHeaderSize, body, body_size);

  record.setBodyFormat(format);
  const int64_t rc = decodeMessage(record, message.data(), message.size());
  if (rc > 0 && !record.textBody()) {
    // Whatever decoded must encode again and decode to the same entries.
    std::vector<uint8_t> again(encodedSize(record));
    if (encodeMessage(record, again.data(), again.size()) > 0) {
      ParamRecord back;
      back.setBodyFormat(format);
      if (decodeMessage(back, again.data(), again.size()) <= 0) __builtin_trap();
      if (back.size() != record.size()) __builtin_trap();
    }
  }
  // Exercise the getters on whatever arrived.
  for (const auto& [name, value] : record.entries()) {
    int64_t n64 = 0;
    int32_t n32 = 0;
    const char* text = nullptr;
    record.getInt64(name.c_str(), &n64);
    record.getInt32(name.c_str(), &n32);
    record.getString(name.c_str(), &text);
    if (text == nullptr || strlen(text) > value.length()) __builtin_trap();
  }
  return 0;
}
