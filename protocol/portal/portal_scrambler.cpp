#include "protocol/portal/portal_scrambler.h"

namespace zavel::portal {

namespace {

inline uint32_t advance(uint32_t state, uint32_t c) {
  return (state + c) * PortalScrambler::kMultiplier + PortalScrambler::kIncrement;
}

// A scrambled byte feeds the state as a signed 8-bit number, sign-extended.
inline uint32_t byteFeed(uint8_t scrambled) {
  return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(scrambled)));
}

}  // namespace

void PortalScrambler::scramble(uint8_t* data, size_t size) {
  uint32_t state = kSeed;
  for (size_t i = 0; i < size; ++i) {
    data[i] = static_cast<uint8_t>(data[i] ^ (state >> 8));
    state = advance(state, byteFeed(data[i]));
  }
}

void PortalScrambler::unscramble(uint8_t* data, size_t size) {
  uint32_t state = kSeed;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t scrambled = data[i];
    data[i] = static_cast<uint8_t>(scrambled ^ (state >> 8));
    state = advance(state, byteFeed(scrambled));
  }
}

void PortalScrambler::scrambleUnits(char16_t* units, size_t count) {
  uint32_t state = kSeed;
  for (size_t i = 0; i < count; ++i) {
    units[i] = static_cast<char16_t>(units[i] ^ (state >> 8));
    state = advance(state, units[i]);
  }
}

void PortalScrambler::unscrambleUnits(char16_t* units, size_t count) {
  uint32_t state = kSeed;
  for (size_t i = 0; i < count; ++i) {
    const char16_t scrambled = units[i];
    units[i] = static_cast<char16_t>(scrambled ^ (state >> 8));
    state = advance(state, scrambled);
  }
}

}  // namespace zavel::portal
