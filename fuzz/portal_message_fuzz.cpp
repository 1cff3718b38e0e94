// Reads the input as a stream of sign-in messages: every whole frame is parsed as header,
// text body and value body, until the stream is out of step. The raw input also goes to the
// value-map decoder and the form parser; whatever they accept must encode and read back.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "protocol/portal/portal_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zavel::portal;
  size_t at = 0;
  size_t length = 0;
  while (checkFrame(data + at, size - at, &length) == FrameStatus::kComplete) {
    if (length < 16 || length > size - at) __builtin_trap();
    const PortalMessage message(std::vector<uint8_t>(data + at, data + at + length));
    at += length;
    FormMap header, text;
    ValueMap values;
    if (!message.parseHeader(&header)) __builtin_trap();  // a whole frame's header always parses
    message.bodyType();
    message.parseTextBody(&text);
    message.parseValueBody(&values);
  }

  ValueMap values;
  if (values.decode(data, size)) {
    const std::vector<uint8_t> again = values.encode(values.wasScrambled());
    ValueMap back;
    if (!back.decode(again.data(), again.size()) || back.size() != values.size()) __builtin_trap();
  }
  FormMap form;
  if (form.parse(std::string_view(reinterpret_cast<const char*>(data), size))) {
    FormMap back;
    if (!back.parse(form.encode()) || back.pairs() != form.pairs()) __builtin_trap();
  }
  return 0;
}
