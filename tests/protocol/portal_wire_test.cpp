// What the round trips elsewhere cannot show: the scrambler's exact output (a peer with other
// constants or an unsigned byte feed would still round-trip), key order beyond ASCII, and the
// limits of the value map's length fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/portal/portal_scrambler.h"
#include "protocol/portal/value_map.h"

namespace zavel::portal {
namespace {

TEST(PortalScrambler, MatchesKnownOutputForBytesAndUnits) {
  // 0xCB is negative as a signed byte, so the second byte pins the sign extension.
  std::vector<uint8_t> bytes = {0, 0, 0, 0};
  PortalScrambler::scramble(bytes.data(), bytes.size());
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xCB, 0x41, 0x76, 0x48}));

  struct Case {
    std::u16string plain;
    std::u16string scrambled;
  } cases[] = {
      {{0, 0, 0}, {0x04CB, 0x8682, 0x137A}},
      {{0x04CB, 0, 0}, {0, 0xCA62, 0xDE0E}},  // a zero unit inside the stored form
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.plain));
    std::u16string units = c.plain;
    PortalScrambler::scrambleUnits(units.data(), units.size());
    EXPECT_EQ(units, c.scrambled);
    PortalScrambler::unscrambleUnits(units.data(), units.size());
    EXPECT_EQ(units, c.plain);
  }
}

TEST(PortalValueMap, SortsKeysByUtf16UnitsAndTakesAnyFlagAsScrambled) {
  ValueMap m;
  // U+FF21 comes before U+1F600 in UTF-8 bytes, after it in UTF-16 units (D83D DE00).
  for (const char* key : {"\xEF\xBC\xA1", "z", "\xF0\x9F\x98\x80", "a"}) m.putText(key, "v");
  std::vector<uint8_t> wire = m.encode(true);
  wire[4] = 0x7F;
  ValueMap back;
  ASSERT_TRUE(back.decode(wire.data(), wire.size()));
  EXPECT_TRUE(back.wasScrambled());
  // Decoding keeps the keys in the order they arrived.
  EXPECT_EQ(back.keys(), (std::vector<std::string>{"a", "z", "\xF0\x9F\x98\x80", "\xEF\xBC\xA1"}));
}

TEST(PortalValueMap, RefusesKeysLongerThanTheirSixteenBitLength) {
  ValueMap m;
  EXPECT_FALSE(m.putText(std::string(65536, 'k'), "v"));
  EXPECT_FALSE(m.putText("", "v"));
  const std::string longest(65535, 'k');
  ASSERT_TRUE(m.putText(longest, "v"));
  const std::vector<uint8_t> wire = m.encode(false);
  EXPECT_EQ(wire[5], 0xFF);
  EXPECT_EQ(wire[6], 0xFF);
  ValueMap back;
  std::string v;
  ASSERT_TRUE(back.decode(wire.data(), wire.size()));
  EXPECT_TRUE(back.getText(longest, &v) && v == "v");
}

}  // namespace
}  // namespace zavel::portal
