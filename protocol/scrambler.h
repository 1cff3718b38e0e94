// The body scrambler: a byte-wise XOR walk whose state is fed by the scrambled bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zavel {

class BodyScrambler {
 public:
  // Both ends of every conversation use these two values; the seed is restored at the
  // start of every body.
  static constexpr uint16_t kSeed = 0x5A76;
  static constexpr uint16_t kIncrement = 0x3C1D;

  static void scramble(uint8_t* data, size_t size);
  static void unscramble(uint8_t* data, size_t size);
  // Unscrambles while copying, for a receive path that needs a fresh buffer anyway.
  static void unscrambleCopy(const uint8_t* in, uint8_t* out, size_t size);
};

}  // namespace zavel
