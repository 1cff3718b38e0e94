// The scrambler of the sign-in transport: a XOR walk whose 32-bit state is fed by the
// scrambled units. It hides value-map bodies on the wire and the passwords the program
// remembers (there on 16-bit units). Both ends use the three constants below.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zavel::portal {

class PortalScrambler {
 public:
  static constexpr uint32_t kSeed = 314159;
  static constexpr uint32_t kMultiplier = 1664525;
  static constexpr uint32_t kIncrement = 22307;

  // Bytes: each is XORed with bits 8 to 15 of the state; the state then takes in the
  // scrambled byte as a signed 8-bit number. The seed is restored at every call.
  static void scramble(uint8_t* data, size_t size);
  static void unscramble(uint8_t* data, size_t size);

  // 16-bit units: each is XORed with bits 8 to 23 of the state; the state takes in the
  // scrambled unit as an unsigned 16-bit number.
  static void scrambleUnits(char16_t* units, size_t count);
  static void unscrambleUnits(char16_t* units, size_t count);
};

}  // namespace zavel::portal
