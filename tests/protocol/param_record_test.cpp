#include "protocol/param_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zavel {
namespace {

TEST(ParamRecord, ASecondSetReplacesAndRejectedSetsLeaveTheEntry) {
  ParamRecord r;
  r.setInt32("k", 1);
  r.setString("k", "kept");
  r.setBinary("k", "x", 0);
  r.set("k", nullptr, 4, kTypeBinary);
  r.set(nullptr, "x", 1, kTypeBinary);
  r.set("", "x", 1, kTypeBinary);
  r.setString("k", nullptr);
  r.setString(std::string(kMaxNameLength + 1, 'n').c_str(), "x");
  ASSERT_EQ(r.size(), 1u);
  const char* text = nullptr;
  ASSERT_TRUE(r.getString("k", &text));
  EXPECT_STREQ(text, "kept");
  // The longest name is still taken.
  r.setString(std::string(kMaxNameLength, 'n').c_str(), "x");
  EXPECT_EQ(r.size(), 2u);
}

TEST(ParamRecord, EmptyTextIsStoredAsOneNulByte) {
  ParamRecord r;
  r.setString("e", "");
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  ASSERT_TRUE(r.find("e", &data, &length, &type));
  EXPECT_EQ(length, 1u);
  EXPECT_EQ(type, kTypeString);
  const char* text = "unset";
  ASSERT_TRUE(r.getString("e", &text));
  EXPECT_STREQ(text, "");
}

TEST(ParamRecord, NamesSortAsUnsignedBytesCaseSensitively) {
  ParamRecord r;
  for (const char* n : {"b", "a", "A", "size", "Size", "\xC3\xA9", "ab"}) r.setInt32(n, 1);
  std::string order;
  for (const auto& [name, value] : r.entries()) order += name + ",";
  EXPECT_EQ(order, "A,Size,a,ab,b,size,\xC3\xA9,");
}

TEST(ParamRecord, GettersLeaveOutputsUntouchedWhenMissing) {
  ParamRecord r;
  r.setInt32("other", 1);
  int32_t i32 = 77;
  uint32_t u32 = 77;
  int64_t i64 = 77;
  uint64_t u64 = 77;
  const char* text = "kept";
  std::vector<uint8_t> bytes{1, 2};
  EXPECT_FALSE(r.getInt32("x", &i32) || r.getUInt32("x", &u32) || r.getInt64("x", &i64) ||
               r.getUInt64("x", &u64) || r.getString("x", &text) ||
               r.getBinaryVector("x", &bytes) || r.getString(nullptr, &text));
  EXPECT_TRUE(i32 == 77 && u32 == 77u && i64 == 77 && u64 == 77u);
  EXPECT_STREQ(text, "kept");
  EXPECT_EQ(bytes.size(), 2u);
}

// What each getter reads from a stored value, by its type and the record's body format.
TEST(ParamRecord, GettersConvertByStoredTypeAndBodyFormat) {
  const struct {
    uint16_t format;
    uint32_t type;
    std::string bytes;  // strings without their NUL
    int32_t i32;
    int64_t i64;
    std::string text;
  } cases[] = {
      {3, kTypeString, "123", 123, 123, "123"},
      {3, kTypeString, "007", 7, 7, "007"},
      {3, kTypeString, "", 0, 0, ""},
      {3, kTypeString, " 123", 0, 0, " 123"},
      {3, kTypeString, "-5", 0, 0, "-5"},
      {3, kTypeString, "0x10", 0, 0, "0x10"},
      {3, kTypeString, "12a", 0, 0, "12a"},
      {3, kTypeString, "1.5", 0, 0, "1.5"},
      // Beyond 32 bits: the 64-bit getters see all of it.
      {3, kTypeString, "4294967301", 5, 4294967301LL, "4294967301"},
      {3, kTypeString, "18446744073709551615", -1, -1, "18446744073709551615"},  // UINT64_MAX
      // Too long for 64 bits: saturates at UINT64_MAX.
      {3, kTypeString, "99999999999999999999", -1, -1, "99999999999999999999"},
      {3, kTypeInt8, "\xFE", -2, -2, ""},
      {3, kTypeUInt8, "\xFE", 0xFE, 0xFE, ""},
      {3, kTypeInt16, "\xFE\xFF", -2, -2, ""},
      {3, kTypeUInt16, "\xFE\xFF", 0xFFFE, 0xFFFE, ""},
      {3, kTypeInt32, "\xFF\xFF\xFF\xFF", -1, -1, ""},
      {3, kTypeUInt32, "\xFF\xFF\xFF\xFF", -1, 4294967295LL, ""},
      {3, kTypeInt64, {"\x05\0\0\0\x01\0\0\0", 8}, 5, 4294967301LL, ""},
      {3, kTypeInt32, {"ABC\0", 4}, 0x00434241, 0x00434241, ""},  // never text in typed records
      // Short raw values read zero-filled, never past their bytes.
      {3, kTypeBinary, "\x34\x12", 0x1234, 0x1234, ""},
      {1, kTypeInt32, "ABCD", 0x44434241, 0x44434241, "ABCD"},  // no NUL among the four
      // Untyped: the first four bytes, sign-extended.
      {1, kTypeUntyped, "\xFF\xFF\xFF\xFF\x01", -1, -1, "\xFF\xFF\xFF\xFF\x01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes) + " type " + std::to_string(c.type));
    ParamRecord r;
    r.setBodyFormat(c.format);
    if (c.type == kTypeString) {
      r.setString("v", c.bytes.c_str());
    } else {
      r.set("v", c.bytes.data(), static_cast<uint32_t>(c.bytes.size()), c.type);
    }
    int32_t i32 = 42;
    uint32_t u32 = 42;
    int64_t i64 = 42;
    uint64_t u64 = 42;
    const char* text = nullptr;
    ASSERT_TRUE(r.getInt32("v", &i32) && r.getUInt32("v", &u32) && r.getInt64("v", &i64) &&
                r.getUInt64("v", &u64) && r.getString("v", &text));
    EXPECT_EQ(i32, c.i32);
    EXPECT_EQ(u32, static_cast<uint32_t>(c.i32));
    EXPECT_EQ(i64, c.i64);
    EXPECT_EQ(u64, static_cast<uint64_t>(c.i64));
    EXPECT_EQ(std::string(text), c.text);
  }
}

TEST(ParamRecord, ClearKeepsBodyFormatAndFlags) {
  ParamRecord r(kFlagScramble);
  r.setBodyFormat(kBodyTypedLittle);
  r.setInt32("x", 1);
  r.clear();
  EXPECT_TRUE(r.empty());
  EXPECT_EQ(r.bodyFormat(), kBodyTypedLittle);
  EXPECT_TRUE(r.scrambled());
  EXPECT_FALSE(r.textBody());
  EXPECT_FALSE(r.remove("x"));
}

}  // namespace
}  // namespace zavel
