#include "protocol/framing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/scrambler.h"

namespace zavel {
namespace {

std::vector<uint8_t> encode(const ParamRecord& r) {
  std::vector<uint8_t> out(encodedSize(r));
  EXPECT_EQ(encodeMessage(r, out.data(), out.size()), static_cast<int64_t>(out.size()));
  return out;
}

// Builds a header by hand, in either byte order, with a correct checksum.
std::vector<uint8_t> header(uint16_t format, uint32_t flags, uint32_t length, bool big) {
  std::vector<uint8_t> h(16, 0);
  auto put = [&](size_t at, uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i)
      h[at + (big ? n - 1 - i : i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  h[0] = 'z';
  h[1] = 'v';
  put(2, format, 2);
  put(4, flags, 4);
  put(8, length, 4);
  ParamRecord fmt;
  fmt.setBodyFormat(big ? kBodyTypedNetwork : kBodyTypedLittle);
  put(12, headerChecksum(fmt, h.data()), 4);
  return h;
}

TEST(Framing, SetuserRequestEncodesTo35ExactBytes) {
  ParamRecord r;
  r.setString("_cmd", "setuser");
  const std::vector<uint8_t> m = encode(r);
  ASSERT_EQ(m.size(), 35u);
  const uint8_t body[] = {0x00, 0x04, '_', 'c', 'm', 'd', 0x1E, 0x00, 0x00, 0x00,
                          0x08, 's',  'e', 't', 'u', 's', 'e',  'r',  0x00};
  EXPECT_EQ(std::vector<uint8_t>(m.begin() + 16, m.end()),
            std::vector<uint8_t>(body, body + sizeof body));
  const uint8_t head[] = {'z', 'v', 0, 3, 0, 0, 0, 0, 0, 0, 0, 19};
  EXPECT_EQ(std::vector<uint8_t>(m.begin(), m.begin() + 12), std::vector<uint8_t>(head, head + 12));
  // ~(0x7A76 + 0x0003 + 0x0013) = ~0x7A8C
  EXPECT_EQ(m[12], 0);
  EXPECT_EQ(m[13], 0);
  EXPECT_EQ(m[14], 0x85);
  EXPECT_EQ(m[15], 0x73);
}

TEST(Framing, EncodedSizeCountsEveryEntryAndRejectsShortCapacity) {
  ParamRecord r;
  r.setString("s", "abc");    // 7 + 1 + 4
  r.setBinary("b", "xy", 2);  // 7 + 1 + 2
  r.setInt64("i", 1);         // 3 + 1 + 8
  r.setUInt32("u", 1);        // 3 + 1 + 4
  EXPECT_EQ(encodedSize(r), 16u + 12 + 10 + 12 + 8);
  std::vector<uint8_t> out(encodedSize(r) - 1);
  EXPECT_EQ(encodeMessage(r, out.data(), out.size()), -1);
}

TEST(Framing, EveryTypeSurvivesARoundTripInBothByteOrders) {
  for (uint16_t format : {kBodyTypedNetwork, kBodyTypedLittle}) {
    ParamRecord r(kFlagScramble);
    r.setBodyFormat(format);
    int8_t s8 = -3;
    uint16_t u16 = 0xBEEF;
    r.set("s8", &s8, 1, kTypeInt8);
    r.set("u16", &u16, 2, kTypeUInt16);
    r.setInt32("i32", -123456);
    r.setUInt64("u64", 0x0102030405060708ULL);
    r.setString("str", "\xEB\x8B\xA4 x");
    r.setBinary("bin", "\0\1\2", 3);
    const std::vector<uint8_t> m = encode(r);

    ParamRecord back;
    ASSERT_EQ(decodeMessage(back, m.data(), m.size()), static_cast<int64_t>(m.size()));
    EXPECT_EQ(back.bodyFormat(), format);
    EXPECT_TRUE(back.scrambled());
    ASSERT_EQ(back.size(), r.size());
    for (const auto& [name, v] : r.entries()) {
      const void* data = nullptr;
      uint32_t length = 0, type = 0;
      ASSERT_TRUE(back.find(name.c_str(), &data, &length, &type)) << name;
      EXPECT_EQ(type, v.type()) << name;
      ASSERT_EQ(length, v.length()) << name;
      EXPECT_EQ(memcmp(data, v.data(), length), 0) << name;
    }
  }
}

TEST(Framing, LittleEndianHeaderIsAcceptedByANetworkOrderRecord) {
  ParamRecord src;
  src.setBodyFormat(kBodyTypedLittle);
  src.setInt32("n", 7);
  const std::vector<uint8_t> m = encode(src);
  ParamRecord r;  // body format 3
  ASSERT_GT(decodeMessage(r, m.data(), m.size()), 0);
  EXPECT_EQ(r.bodyFormat(), kBodyTypedLittle);
  int32_t n = 0;
  ASSERT_TRUE(r.getInt32("n", &n));
  EXPECT_EQ(n, 7);
  EXPECT_EQ(peekBodyLength(m.data()), static_cast<int64_t>(m.size() - 16));
}

TEST(Framing, HeaderFaultsAreRejectedWithTheirCodes) {
  ParamRecord r;
  r.setString("_cmd", "setuser");
  const std::vector<uint8_t> good = encode(r);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int64_t expected;
  };
  std::vector<Case> cases;
  auto mutate = [&](const char* what, auto change, int64_t expected) {
    std::vector<uint8_t> m = good;
    change(m);
    cases.push_back({what, m, expected});
  };
  mutate(
      "swapped magic", [](auto& m) { std::swap(m[0], m[1]); }, kFrameBadMagic);
  mutate(
      "flag bit flipped", [](auto& m) { m[7] ^= 0x04; }, kFrameBadChecksum);
  mutate(
      "length bit flipped", [](auto& m) { m[11] ^= 0x01; }, kFrameBadChecksum);
  mutate(
      "checksum high half set", [](auto& m) { m[12] = 1; }, kFrameBadChecksum);
  cases.push_back({"length above 16 MiB", header(3, 0, kMaxBodyLength + 1, true), kFrameBadLength});
  cases.push_back({"negative length", header(3, 0, 0x80000000u, true), kFrameBadLength});
  cases.push_back({"short of the header", std::vector<uint8_t>(good.begin(), good.begin() + 15),
                   kFrameTooShort});
  cases.push_back(
      {"body cut short", std::vector<uint8_t>(good.begin(), good.end() - 1), kFrameTruncated});
  for (const Case& c : cases) {
    ParamRecord out;
    EXPECT_EQ(decodeMessage(out, c.bytes.data(), c.bytes.size()), c.expected) << c.what;
  }
}

TEST(Framing, EmptyBodyYieldsEmptyRecordAndSixteen) {
  const std::vector<uint8_t> h = header(3, kFlagScramble, 0, true);
  ParamRecord r;
  r.setInt32("old", 1);
  EXPECT_EQ(decodeMessage(r, h.data(), h.size()), 16);
  EXPECT_TRUE(r.empty());
  EXPECT_TRUE(r.scrambled());
}

std::vector<uint8_t> textMessage(const std::string& body, uint32_t flags) {
  std::vector<uint8_t> m =
      header(3, flags | kFlagTextBody, static_cast<uint32_t>(body.size()), true);
  m.insert(m.end(), body.begin(), body.end());
  if (flags & kFlagScramble) BodyScrambler::scramble(m.data() + 16, body.size());
  return m;
}

TEST(Framing, TextBodyDecodesPairsAndDropsTheUnterminatedLast) {
  for (uint32_t flags : {0u, kFlagScramble}) {
    const std::vector<uint8_t> m = textMessage(std::string("a=1&b=x%41y+z&c=3\0", 18), flags);
    ParamRecord r;
    ASSERT_EQ(decodeMessage(r, m.data(), m.size()), static_cast<int64_t>(m.size()));
    const char* a = nullptr;
    const char* b = nullptr;
    ASSERT_TRUE(r.getString("a", &a));
    ASSERT_TRUE(r.getString("b", &b));
    EXPECT_STREQ(a, "1");
    EXPECT_STREQ(b, "xAy z");
    EXPECT_FALSE(r.has("c"));
  }
}

TEST(Framing, TextBodyFaultsAndOddEscapes) {
  const struct {
    std::string body;
    bool ok;
    const char* name;
    const char* value;
  } cases[] = {
      {std::string("novalue&\0", 9), false, nullptr, nullptr},
      {std::string("a=1&", 4), false, nullptr, nullptr},  // last byte is not NUL
      {std::string("n=%6a%4A&\0", 10), true, "n", "jJ"},
      {std::string("n=ab%&\0", 7), true, "n", "ab%"},  // "%" at the end stays literal
      {std::string("n=ab%4&\0", 8), true, "n", "ab%4"},
      {std::string("n=a%00b&\0", 9), true, "n", "a"},       // a decoded text ends at its NUL
      {std::string("k%3D=v=w&\0", 10), true, "k=", "v=w"},  // split at the first raw "="
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> m = textMessage(c.body, 0);
    ParamRecord r;
    const int64_t rc = decodeMessage(r, m.data(), m.size());
    if (!c.ok) {
      EXPECT_EQ(rc, kFrameBadBody) << c.body;
      continue;
    }
    ASSERT_GT(rc, 0) << c.body;
    const char* v = nullptr;
    ASSERT_TRUE(r.getString(c.name, &v)) << c.body;
    EXPECT_STREQ(v, c.value) << c.body;
  }
}

TEST(Framing, BinaryBodyFaultsFailAndKeepEarlierEntries) {
  const struct {
    const char* what;
    std::vector<uint8_t> body;
  } cases[] = {
      {"type code 0", {0, 1, 'a', 0, 1}},
      {"type code 50", {0, 1, 'a', 50, 1}},
      {"zero name length", {0, 0, 12, 0, 0, 0, 1}},
      {"negative name length", {0x80, 0x00, 'a'}},
      {"name past the end", {0, 9, 'a', 'b'}},
      {"int32 past the end", {0, 1, 'a', 12, 0, 0}},
      {"string length past the end", {0, 1, 'a', 30, 0, 0, 0, 9, 'x', 0}},
      {"huge string length", {0, 1, 'a', 30, 0xFF, 0xFF, 0xFF, 0xFF, 'x'}},
      {"NUL in a name", {0, 2, 'a', 0, 20, 1}},
  };
  const uint8_t first[] = {0, 1, 'k', 20, 9};  // k = 9, parsed before the fault
  for (const auto& c : cases) {
    std::vector<uint8_t> body(first, first + sizeof first);
    body.insert(body.end(), c.body.begin(), c.body.end());
    std::vector<uint8_t> m = header(3, 0, static_cast<uint32_t>(body.size()), true);
    m.insert(m.end(), body.begin(), body.end());
    ParamRecord r;
    EXPECT_EQ(decodeMessage(r, m.data(), m.size()), kFrameBadBody) << c.what;
    int32_t k = 0;
    EXPECT_TRUE(r.getInt32("k", &k)) << c.what;
    EXPECT_EQ(k, 9) << c.what;
  }
}

TEST(Framing, UntypedBodyStoresRawBytesAndZeroLengthStringIsSkipped) {
  const uint8_t untyped[] = {1, 0, 'a', 3, 0, 0, 0, 'x', 'y', 'z'};
  std::vector<uint8_t> m = header(1, 0, sizeof untyped, false);
  m.insert(m.end(), untyped, untyped + sizeof untyped);
  ParamRecord r;
  ASSERT_GT(decodeMessage(r, m.data(), m.size()), 0);
  EXPECT_EQ(r.bodyFormat(), kBodyUntyped);
  const char* text = nullptr;
  ASSERT_TRUE(r.getString("a", &text));
  EXPECT_STREQ(text, "xyz");

  const uint8_t empty_string[] = {0, 1, 's', 30, 0, 0, 0, 0, 0, 1, 't', 20, 1};
  m = header(3, 0, sizeof empty_string, true);
  m.insert(m.end(), empty_string, empty_string + sizeof empty_string);
  ASSERT_GT(decodeMessage(r, m.data(), m.size()), 0);
  EXPECT_FALSE(r.has("s"));
  EXPECT_TRUE(r.has("t"));
}

TEST(Framing, ScramblerRoundTripsAndChangesTheBytes) {
  std::vector<uint8_t> data(70000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  std::vector<uint8_t> work = data;
  BodyScrambler::scramble(work.data(), work.size());
  EXPECT_NE(work, data);
  BodyScrambler::unscramble(work.data(), work.size());
  EXPECT_EQ(work, data);
}

TEST(Framing, ScrambledRequestKeepsItsHeaderPlain) {
  ParamRecord r(kFlagScramble);
  r.setString("_cmd", "setuser");
  const std::vector<uint8_t> m = encode(r);
  EXPECT_EQ(m[0], 'z');
  EXPECT_EQ(m[7], kFlagScramble);
  EXPECT_NE(m[17], 0x04);  // name length 00 04, scrambled
  ParamRecord back;
  ASSERT_EQ(decodeMessage(back, m.data(), m.size()), 35);
  const char* cmd = nullptr;
  ASSERT_TRUE(back.getString("_cmd", &cmd));
  EXPECT_STREQ(cmd, "setuser");
}

}  // namespace
}  // namespace zavel
