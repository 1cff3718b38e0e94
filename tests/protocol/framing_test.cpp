#include "protocol/framing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/scrambler.h"
#include "tests/support/fake_server.h"

namespace zavel {
namespace {

using namespace std::literals;
using testing::entryTexts;
using testing::headerBytes;
using Bytes = std::vector<uint8_t>;

Bytes encode(const ParamRecord& r) {
  Bytes out(encodedSize(r));
  EXPECT_EQ(encodeMessage(r, out.data(), out.size()), static_cast<int64_t>(out.size()));
  return out;
}

// Every entry as "name:type=hex bytes", in wire order.
std::string dump(const ParamRecord& r) {
  std::string out;
  char hex[3];
  for (const auto& [name, v] : r.entries()) {
    out += name + ":" + std::to_string(v.type()) + "=";
    for (uint32_t i = 0; i < v.length(); ++i)
      out.append(hex, snprintf(hex, 3, "%02x", v.data()[i]));
    out += " ";
  }
  return out;
}

Bytes message(Bytes header, const Bytes& body) {
  header.insert(header.end(), body.begin(), body.end());
  return header;
}

TEST(Framing, SetuserRequestEncodesTo35ExactBytes) {
  ParamRecord r;
  r.setString("_cmd", "setuser");
  // Checksum ~(0x7A76 + 0x0003 + 0x0013) = ~0x7A8C.
  const Bytes expected = {'z',  'v',  0,    3,    0,    0,    0,   0,   0,   0,   0,    19,
                          0,    0,    0x85, 0x73, 0x00, 0x04, '_', 'c', 'm', 'd', 0x1E, 0x00,
                          0x00, 0x00, 0x08, 's',  'e',  't',  'u', 's', 'e', 'r', 0x00};
  EXPECT_EQ(encode(r), expected);
}

TEST(Framing, EncodedSizeCountsEveryEntryAndEncodeRefusesWhatCannotGo) {
  ParamRecord r;
  r.setString("s", "abc");    // 7 + 1 + 4
  r.setBinary("b", "xy", 2);  // 7 + 1 + 2
  r.setInt64("i", 1);         // 3 + 1 + 8
  r.setUInt32("u", 1);        // 3 + 1 + 4
  EXPECT_EQ(encodedSize(r), 16u + 12 + 10 + 12 + 8);
  Bytes out(encodedSize(r));
  EXPECT_EQ(encodeMessage(r, out.data(), out.size() - 1), -1);
  EXPECT_EQ(encodeMessage(r, nullptr, out.size()), -1);
  // A body of exactly 16 MiB goes out; one byte more no peer could accept.
  ParamRecord big;
  Bytes blob(kMaxBodyLength - 8);
  big.setBinary("b", blob.data(), static_cast<uint32_t>(blob.size()));
  out.resize(encodedSize(big) + 1);
  EXPECT_EQ(encodeMessage(big, out.data(), out.size()), int64_t{kMaxBodyLength} + 16);
  blob.push_back(0);
  big.setBinary("b", blob.data(), static_cast<uint32_t>(blob.size()));
  EXPECT_EQ(encodeMessage(big, out.data(), out.size()), -1);
}

TEST(Framing, EveryTypeSurvivesARoundTripInBothByteOrdersScrambledOrNot) {
  for (const uint16_t format : {kBodyTypedNetwork, kBodyTypedLittle}) {
    for (const uint32_t flags : {kFlagScramble, 0u}) {
      SCOPED_TRACE(std::to_string(format) + " flags " + std::to_string(flags));
      ParamRecord r(flags);
      r.setBodyFormat(format);
      int8_t s8 = -3;
      uint16_t u16 = 0xBEEF;
      r.set("s8", &s8, 1, kTypeInt8);
      r.set("u16", &u16, 2, kTypeUInt16);
      r.setInt32("i32", -123456);
      r.setUInt64("u64", 0x0102030405060708ULL);
      r.setString("str", "\xEB\x8B\xA4 x");
      r.setBinary("bin", "\0\1\2", 3);
      Bytes m = encode(r);

      ParamRecord back;  // network order until the header says otherwise
      ASSERT_EQ(decodeMessage(back, m.data(), m.size()), static_cast<int64_t>(m.size()));
      EXPECT_EQ(back.bodyFormat(), format);
      EXPECT_EQ(back.scrambled(), flags != 0);
      EXPECT_EQ(peekBodyLength(m.data()), static_cast<int64_t>(m.size() - 16));
      EXPECT_EQ(dump(back), dump(r));
      // Only the body is scrambled: the header stays readable.
      EXPECT_EQ(m[0], 'z');
      EXPECT_EQ(m[format == kBodyTypedNetwork ? 7 : 4], flags);
      ParamRecord plain = r;
      plain.setFlags(0);
      const Bytes p = encode(plain);
      EXPECT_EQ(Bytes(m.begin() + 16, m.end()) == Bytes(p.begin() + 16, p.end()), flags == 0);
      if (flags) BodyScrambler::unscramble(m.data() + 16, m.size() - 16);
      EXPECT_EQ(Bytes(m.begin() + 16, m.end()), Bytes(p.begin() + 16, p.end()));
    }
  }
}

TEST(Framing, HeaderFaultsAreRejectedWithTheirCodes) {
  ParamRecord r;
  r.setString("_cmd", "setuser");
  const Bytes good = encode(r);
  auto with = [&](size_t at, uint8_t bits, uint8_t next_bits = 0) {
    Bytes m = good;
    m[at] ^= bits;
    m[at + 1] ^= next_bits;
    return m;
  };
  Bytes little_bad_sum = headerBytes(kBodyTypedLittle, 0, 0, false);
  little_bad_sum[12] ^= 1;
  const struct {
    const char* what;
    Bytes bytes;
    int64_t expected;
  } cases[] = {
      {"swapped magic", with(0, 'z' ^ 'v', 'z' ^ 'v'), kFrameBadMagic},
      {"second magic byte wrong", with(1, 1), kFrameBadMagic},
      {"flag bit flipped", with(7, 0x04), kFrameBadChecksum},
      {"length bit flipped", with(11, 0x01), kFrameBadChecksum},
      {"checksum high half set", with(12, 1), kFrameBadChecksum},
      {"little-endian checksum off", little_bad_sum, kFrameBadChecksum},
      {"length above 16 MiB", headerBytes(3, 0, kMaxBodyLength + 1, true), kFrameBadLength},
      {"negative length", headerBytes(3, 0, 0x80000000u, true), kFrameBadLength},
      {"16 MiB announced, none there", headerBytes(3, 0, kMaxBodyLength, true), kFrameTruncated},
      {"short of the header", Bytes(good.begin(), good.begin() + 15), kFrameTooShort},
      {"nothing", Bytes(), kFrameTooShort},
      {"body cut short", Bytes(good.begin(), good.end() - 1), kFrameTruncated},
  };
  for (const auto& c : cases) {
    ParamRecord out;
    EXPECT_EQ(decodeMessage(out, c.bytes.data(), c.bytes.size()), c.expected) << c.what;
  }
}

TEST(Framing, EmptyBodyYieldsEmptyRecordAndSixteen) {
  const Bytes h = headerBytes(3, kFlagScramble, 0, true);
  ParamRecord r;
  r.setInt32("old", 1);
  EXPECT_EQ(decodeMessage(r, h.data(), h.size()), 16);
  EXPECT_TRUE(r.empty());
  EXPECT_TRUE(r.scrambled());
  // The parsers themselves: an empty binary body is fine, a text body needs its NUL.
  EXPECT_TRUE(parseBinaryBody(r, nullptr, 0));
  EXPECT_FALSE(parseTextBody(r, nullptr, 0));
  // A name longer than what is left of the body is not read from the bytes beyond it.
  const Bytes beyond = {0, 9, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 20, 9};
  EXPECT_FALSE(parseBinaryBody(r, beyond.data(), 4));
}

TEST(Framing, TextBodiesDecodeTheirTerminatedPairsPlainOrScrambled) {
  const struct {
    std::string_view body;
    bool ok;
    const char* pairs;
  } cases[] = {
      {"a=1&b=x%41y+z&c=3\0"sv, true, "a=1 b=xAy z"},  // the unterminated last is dropped
      {"\0"sv, true, ""},
      {"a=&\0"sv, true, "a="},
      {"=v&\0"sv, true, ""},  // an empty name is no entry
      {"novalue&\0"sv, false, ""},
      {"a=1&"sv, false, ""},  // last byte is not NUL
      {"n=%6a%4A&\0"sv, true, "n=jJ"},
      {"n=ab%&\0"sv, true, "n=ab%"},  // "%" at the end stays literal
      {"n=ab%4&\0"sv, true, "n=ab%4"},
      {"n=a%00b&\0"sv, true, "n=a"},      // a decoded text ends at its NUL
      {"k%3D=v=w&\0"sv, true, "k==v=w"},  // split at the first raw "="
  };
  for (const auto& c : cases) {
    for (const uint32_t flags : {0u, kFlagScramble}) {
      SCOPED_TRACE(::testing::PrintToString(std::string(c.body)) + (flags ? " scrambled" : ""));
      Bytes m = message(headerBytes(3, flags | kFlagTextBody, c.body.size(), true),
                        Bytes(c.body.begin(), c.body.end()));
      if (flags) BodyScrambler::scramble(m.data() + 16, c.body.size());
      ParamRecord r;
      EXPECT_EQ(decodeMessage(r, m.data(), m.size()),
                c.ok ? static_cast<int64_t>(m.size()) : int64_t{kFrameBadBody});
      EXPECT_EQ(entryTexts(r), c.pairs);
    }
  }
}

TEST(Framing, BinaryBodyFaultsFailAndKeepEarlierEntries) {
  const struct {
    const char* what;
    uint16_t format;
    Bytes body;
  } cases[] = {
      {"type code 0", 3, {0, 1, 'a', 0, 1}},
      {"type code 50", 3, {0, 1, 'a', 50, 1}},
      {"zero name length", 3, {0, 0, 12, 0, 0, 0, 1}},
      {"negative name length", 3, {0x80, 0x00, 'a'}},
      {"one byte of a name length", 3, {0}},
      {"name past the end", 3, {0, 9, 'a', 'b'}},
      {"type byte missing", 3, {0, 1, 'a'}},
      {"int32 past the end", 3, {0, 1, 'a', 12, 0, 0}},
      {"string length cut short", 3, {0, 1, 'a', 30, 0, 0}},
      {"string length past the end", 3, {0, 1, 'a', 30, 0, 0, 0, 9, 'x', 0}},
      {"huge string length", 3, {0, 1, 'a', 30, 0xFF, 0xFF, 0xFF, 0xFF, 'x'}},
      {"NUL in a name", 3, {0, 2, 'a', 0, 20, 1}},
      {"untyped: zero value length", 1, {1, 0, 'a', 0, 0, 0, 0}},
      {"untyped: value length cut short", 1, {1, 0, 'a', 3, 0}},
      {"untyped: value past the end", 1, {1, 0, 'a', 5, 0, 0, 0, 'x'}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // k = 9, parsed before the fault.
    Bytes body = c.format == 1 ? Bytes{1, 0, 'k', 1, 0, 0, 0, 9} : Bytes{0, 1, 'k', 20, 9};
    body.insert(body.end(), c.body.begin(), c.body.end());
    const Bytes m = message(headerBytes(c.format, 0, body.size(), c.format != 1), body);
    ParamRecord r;
    EXPECT_EQ(decodeMessage(r, m.data(), m.size()), kFrameBadBody);
    EXPECT_EQ(dump(r), c.format == 1 ? "k:0=09 " : "k:20=09 ");
  }
}

TEST(Framing, UntypedBodyStoresRawBytesAndZeroLengthStringIsSkipped) {
  Bytes m = message(headerBytes(1, 0, 10, false), {1, 0, 'a', 3, 0, 0, 0, 'x', 'y', 'z'});
  ParamRecord r;
  ASSERT_GT(decodeMessage(r, m.data(), m.size()), 0);
  EXPECT_EQ(r.bodyFormat(), kBodyUntyped);
  EXPECT_EQ(entryTexts(r), "a=xyz");

  m = message(headerBytes(3, 0, 13, true), {0, 1, 's', 30, 0, 0, 0, 0, 0, 1, 't', 20, 1});
  ASSERT_GT(decodeMessage(r, m.data(), m.size()), 0);
  EXPECT_EQ(dump(r), "t:20=01 ");
}

TEST(Framing, ScramblerRoundTripsAndChangesTheBytes) {
  Bytes data(70000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  Bytes work = data;
  BodyScrambler::scramble(work.data(), work.size());
  EXPECT_NE(work, data);
  BodyScrambler::unscramble(work.data(), work.size());
  EXPECT_EQ(work, data);
  // The exact output, which a peer with other constants would not match; 0xD4 is negative as a
  // signed byte, so the last pins the sign extension.
  Bytes zeros(4);
  BodyScrambler::scramble(zeros.data(), zeros.size());
  EXPECT_EQ(zeros, (Bytes{0x5A, 0x4A, 0xD4, 0x23}));
}

}  // namespace
}  // namespace zavel
