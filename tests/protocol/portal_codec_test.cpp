// The sign-in transport's message format: escaping, key folding, value maps (key order beyond
// ASCII, the limits of their length fields), the scrambler and the frame check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/portal/portal_message.h"
#include "protocol/portal/portal_scrambler.h"

namespace zavel::portal {
namespace {

std::vector<uint8_t> bytesOf(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(FormMap, EscapesSeparatorsAndFoldsKeys) {
  FormMap m;
  ASSERT_TRUE(m.set("a b", "x&y=z%"));
  EXPECT_EQ(m.encode(), "a+b=x%26y%3Dz%25");
  FormMap back;
  ASSERT_TRUE(back.parse(m.encode()));
  std::string v;
  ASSERT_TRUE(back.get("a b", &v));
  EXPECT_EQ(v, "x&y=z%");

  // Each text parses to the pairs written after it.
  const struct {
    const char* text;
    const char* pairs;
  } cases[] = {
      {"BODYTYPE=1", "bodytype=1"},
      {"k=%7c%7C", "k=||"},
      {"k=100%%", "k=100%"},
      {"k=%zz+%4", "k=%zz %4"},
      {"flag", "flag="},
      {"k=a=b", "k=a=b"},
      {"k=1&k=2", "k=2"},
      {"k=line%0Aend", "k=line\nend"},
      {"k=a%20b%30", "k=a b0"},  // a second digit of 0
      {"", ""},
      {"=v&&", ""},  // tokens with an empty key are dropped
  };
  for (const auto& c : cases) {
    FormMap p;
    ASSERT_TRUE(p.parse(c.text)) << c.text;
    std::string pairs;
    for (const auto& [key, value] : p.pairs())
      pairs += (pairs.empty() ? "" : "&") + key + "=" + value;
    EXPECT_EQ(pairs, c.pairs) << c.text;
  }
  FormMap f;
  EXPECT_TRUE(f.set("BodyType ", "0"));
  EXPECT_FALSE(f.set("bodytype", "1", false)) << "one key, kept without overwrite";
  EXPECT_TRUE(f.get("BODYTYPE", &v) && v == "0");
  EXPECT_FALSE(f.set("  ", "x")) << "an empty key is refused";
  EXPECT_EQ(f.encode(), "bodytype=0");
  EXPECT_TRUE(f.parse(std::string(FormMap::kMaxText, 'a')));
  EXPECT_FALSE(f.parse(std::string(FormMap::kMaxText + 1, 'a')));
}

TEST(ValueMap, EncodesSortedEntriesWithNulCountingLengths) {
  ValueMap m;
  m.putText("userId", "u");
  m.putText("cmd", "auth");
  const std::vector<uint8_t> plain = m.encode(false);
  const std::vector<uint8_t> expected = {
      0, 0, 0,   33,  0,                                                   // L, flag
      0, 3, 'c', 'm', 'd', 0,   4,   0,   0, 0, 5, 'a', 'u', 't', 'h', 0,  // cmd first
      0, 6, 'u', 's', 'e', 'r', 'i', 'd', 0, 4, 0, 0,   0,   2,   'u', 0};
  EXPECT_EQ(plain, expected);
  const std::vector<uint8_t> scrambled = m.encode(true);
  ASSERT_EQ(scrambled.size(), plain.size());
  EXPECT_EQ(scrambled[4], 1);
  EXPECT_NE(std::vector<uint8_t>(scrambled.begin() + 5, scrambled.end()),
            std::vector<uint8_t>(plain.begin() + 5, plain.end()));
  for (const auto& encoded : {plain, scrambled}) {
    ValueMap back;
    ASSERT_TRUE(back.decode(encoded.data(), encoded.size()));
    std::string v;
    EXPECT_TRUE(back.getText("USERID", &v) && v == "u");
    EXPECT_TRUE(back.getText("cmd", &v) && v == "auth");
    EXPECT_EQ(back.wasScrambled(), encoded[4] != 0);
  }
}

TEST(ValueMap, LengthsThatDoNotFitFailTheDecode) {
  ValueMap m;
  m.putText("cmd", "auth");
  const std::vector<uint8_t> good = m.encode(false);
  auto with = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> b = good;
    b[at] = value;
    return b;
  };
  const std::vector<std::vector<uint8_t>> bad = {
      {},
      {0, 0, 0},
      std::vector<uint8_t>(good.begin(), good.end() - 1),  // L + 4 is one more than the bytes
      [&] {
        std::vector<uint8_t> b = good;
        b.push_back(0);
        return b;
      }(),
      with(6, 200),  // key length past the end
      with(14, 99),  // data length past the end
      with(3, 0xFF),
      {0, 0, 0, 9, 0, 0, 1, 'a', 0, 1, 0, 0, 0},  // the only entry lacks its last length byte
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    ValueMap back;
    back.putText("stale", "x");
    EXPECT_FALSE(back.decode(bad[i].data(), bad[i].size()));
    EXPECT_EQ(back.size(), 0u);
  }
  // The shortest encoding, L and the flag byte, holds no entries.
  const uint8_t empty[] = {0, 0, 0, 1, 0};
  ValueMap back;
  back.putText("stale", "x");
  EXPECT_TRUE(back.decode(empty, sizeof empty));
  EXPECT_EQ(back.size(), 0u);
}

// Exact outputs, which a peer with other constants or an unsigned byte feed would not match
// though it round-trips; rows without one only round-trip.
TEST(PortalScrambler, MatchesKnownOutputForBytesAndUnitsAndRoundTrips) {
  const struct {
    std::string plain;
    std::vector<uint8_t> scrambled;
  } bytes[] = {
      // 0xCB is negative as a signed byte, so the second byte pins the sign extension.
      {std::string(4, '\0'), {0xCB, 0x41, 0x76, 0x48}},
      {std::string(), {}},
      {std::string("a"), {}},
      {std::string(1000, '\0'), {}},
      {std::string("\xFF\x80\x7F passwd=demo 한글"), {}},
  };
  for (const auto& c : bytes) {
    SCOPED_TRACE(testing::PrintToString(c.plain));
    std::vector<uint8_t> b = bytesOf(c.plain);
    PortalScrambler::scramble(b.data(), b.size());
    if (!c.scrambled.empty()) {
      EXPECT_EQ(b, c.scrambled);
    }
    EXPECT_TRUE(c.plain.empty() || b != bytesOf(c.plain));
    PortalScrambler::unscramble(b.data(), b.size());
    EXPECT_EQ(b, bytesOf(c.plain));
  }
  const struct {
    std::u16string plain;
    std::u16string scrambled;
  } units[] = {
      {{0, 0, 0}, {0x04CB, 0x8682, 0x137A}},
      // The first unit is XORed with bits 8 to 23 of the seed: this one scrambles to zero.
      {{0x04CB, 0, 0}, {0, 0xCA62, 0xDE0E}},
      {u"비밀번호 pass\xFFFF\x8000", {}},
  };
  for (const auto& c : units) {
    SCOPED_TRACE(testing::PrintToString(c.plain));
    std::u16string u = c.plain;
    PortalScrambler::scrambleUnits(u.data(), u.size());
    if (!c.scrambled.empty()) {
      EXPECT_EQ(u, c.scrambled);
    }
    EXPECT_NE(u, c.plain);
    PortalScrambler::unscrambleUnits(u.data(), u.size());
    EXPECT_EQ(u, c.plain);
  }
}

TEST(PortalMessage, FramesBothBodyTypesAndParsesThemBack) {
  FormMap header, body;
  header.set("ctrl", "general");
  body.set("k", "v");
  const PortalMessage text = PortalMessage::build(header, body);
  const std::string h = "bodytype=0&ctrl=general";
  std::vector<uint8_t> expected = {0x01, 0x31, 0x30, 0xF2,
                                   0,    0,    0,    static_cast<uint8_t>(8 + h.size() + 3),
                                   0,    0,    0,    static_cast<uint8_t>(h.size())};
  expected.insert(expected.end(), h.begin(), h.end());
  for (int b : {0, 0, 0, 3, int{'k'}, int{'='}, int{'v'}})
    expected.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(text.bytes(), expected);
  EXPECT_TRUE(header.exists("bodytype")) << "the caller's header keeps bodytype";
  EXPECT_EQ(text.bodyType(), "0");
  FormMap read;
  ValueMap values;
  EXPECT_TRUE(text.parseTextBody(&read) && read.exists("k"));
  EXPECT_FALSE(text.parseValueBody(&values));

  ValueMap map;
  map.putText("cmd", "auth");
  FormMap auth_header;
  const PortalMessage binary = PortalMessage::build(auth_header, map, true);
  EXPECT_EQ(binary.bodyType(), "1");
  EXPECT_FALSE(binary.parseTextBody(&read));
  std::string cmd;
  ASSERT_TRUE(binary.parseValueBody(&values));
  EXPECT_TRUE(values.getText("cmd", &cmd) && cmd == "auth");
  const std::vector<uint8_t> encoded = map.encode(true);
  EXPECT_TRUE(
      std::equal(encoded.begin() + 4, encoded.end(), binary.bytes().end() - (encoded.size() - 4)))
      << "the body is the map without its length word";
}

TEST(PortalMessage, FrameCheckFindsWholeMessagesAndRefusesBrokenOnes) {
  FormMap h1, h2, empty;
  h2.set("general", "queryNode");
  std::vector<uint8_t> stream = PortalMessage::build(h1, empty).bytes();
  const size_t first = stream.size();
  const std::vector<uint8_t> second = PortalMessage::build(h2, empty).bytes();
  stream.insert(stream.end(), second.begin(), second.end());
  size_t length = 0;
  for (size_t n = 0; n < first; ++n)
    EXPECT_EQ(checkFrame(stream.data(), n, &length), FrameStatus::kIncomplete) << n;
  ASSERT_EQ(checkFrame(stream.data(), stream.size(), &length), FrameStatus::kComplete);
  EXPECT_EQ(length, first) << "two messages in one buffer: the first alone";
  ASSERT_EQ(checkFrame(stream.data() + first, second.size(), &length), FrameStatus::kComplete);
  EXPECT_EQ(length, second.size());
  // A message with a body is whole only with its last byte.
  FormMap body;
  body.set("k", "v");
  const std::vector<uint8_t> full = PortalMessage::build(h2, body).bytes();
  EXPECT_EQ(checkFrame(full.data(), full.size() - 1, &length), FrameStatus::kIncomplete);

  auto frame = [](uint32_t header, uint32_t body) {
    std::vector<uint8_t> f = {0x01, 0x31, 0x30, 0xF2, 0, 0, 0, 0};
    for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<uint8_t>(header >> s));
    f.resize(f.size() + std::min<uint32_t>(header, 100));
    for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<uint8_t>(body >> s));
    return f;
  };
  struct Case {
    std::vector<uint8_t> bytes;
    FrameStatus status;
  } cases[] = {
      {{0x01, 0x31, 0x30, 0xF3}, FrameStatus::kError},
      {frame(kMaxPortalPart + 1, 0), FrameStatus::kError},
      {frame(kMaxPortalPart, 0), FrameStatus::kIncomplete},
      {frame(10, kMaxPortalPart + 1), FrameStatus::kError},
      {frame(10, 0xFFFFFFFF), FrameStatus::kError},
      {frame(10, kMaxPortalPart), FrameStatus::kIncomplete},
      {frame(10, 0), FrameStatus::kComplete},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(checkFrame(c.bytes.data(), c.bytes.size(), &length), c.status);
  }
  // A message whose lengths run past its bytes never parses.
  PortalMessage cut(std::vector<uint8_t>(stream.begin(), stream.begin() + first - 1));
  EXPECT_FALSE(cut.parseHeader(&h1));
  EXPECT_EQ(cut.bodyType(), "");
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
