#include "protocol/scrambler.h"

namespace zavel {

namespace {

inline uint32_t advance(uint32_t s, uint8_t scrambled) {
  const uint32_t c = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(scrambled)));
  return (s + c) * 0xD7A3Bu + BodyScrambler::kIncrement;
}

}  // namespace

void BodyScrambler::scramble(uint8_t* data, size_t size) {
  uint32_t s = kSeed;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t out = data[i] ^ static_cast<uint8_t>(s >> 8);
    data[i] = out;
    s = advance(s, out);
  }
}

void BodyScrambler::unscramble(uint8_t* data, size_t size) {
  unscrambleCopy(data, data, size);
}

void BodyScrambler::unscrambleCopy(const uint8_t* in, uint8_t* out, size_t size) {
  uint32_t s = kSeed;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t c = in[i];
    out[i] = c ^ static_cast<uint8_t>(s >> 8);
    s = advance(s, c);
  }
}

}  // namespace zavel
