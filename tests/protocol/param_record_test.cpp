#include "protocol/param_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zavel {
namespace {

TEST(ParamRecord, SettingANameTwiceKeepsOneEntryWithTheSecondValue) {
  ParamRecord r;
  r.setInt32("n", 1);
  r.setString("n", "two");
  ASSERT_EQ(r.size(), 1u);
  const char* text = nullptr;
  ASSERT_TRUE(r.getString("n", &text));
  EXPECT_STREQ(text, "two");
}

TEST(ParamRecord, RejectedSetLeavesTheEarlierEntry) {
  ParamRecord r;
  r.setString("k", "kept");
  r.setBinary("k", "x", 0);
  r.set("k", nullptr, 4, kTypeBinary);
  r.set(nullptr, "x", 1, kTypeBinary);
  r.set("", "x", 1, kTypeBinary);
  const std::string too_long(kMaxNameLength + 1, 'n');
  r.setString(too_long.c_str(), "x");
  ASSERT_EQ(r.size(), 1u);
  const char* text = nullptr;
  ASSERT_TRUE(r.getString("k", &text));
  EXPECT_STREQ(text, "kept");
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
  int32_t i32 = 77;
  int64_t i64 = 77;
  const char* text = "kept";
  std::vector<uint8_t> bytes{1, 2};
  EXPECT_FALSE(r.getInt32("x", &i32));
  EXPECT_FALSE(r.getInt64("x", &i64));
  EXPECT_FALSE(r.getString("x", &text));
  EXPECT_FALSE(r.getBinaryVector("x", &bytes));
  EXPECT_EQ(i32, 77);
  EXPECT_EQ(i64, 77);
  EXPECT_STREQ(text, "kept");
  EXPECT_EQ(bytes.size(), 2u);
}

TEST(ParamRecord, StringsReadAsNumbersOnlyWhenAllDigits) {
  const struct {
    const char* text;
    int64_t expected;
  } cases[] = {
      {"123", 123},
      {"007", 7},
      {"", 0},
      {" 123", 0},
      {"-5", 0},
      {"0x10", 0},
      {"12a", 0},
      {"1.5", 0},
      {"4294967301", 4294967301LL},  // beyond 32 bits: the 64-bit getter sees all of it
      {"18446744073709551615", -1},  // UINT64_MAX
      {"99999999999999999999", -1},  // too long for 64 bits: saturates at UINT64_MAX
  };
  for (const auto& c : cases) {
    ParamRecord r;
    r.setString("v", c.text);
    int64_t v64 = 42;
    int32_t v32 = 42;
    ASSERT_TRUE(r.getInt64("v", &v64)) << c.text;
    ASSERT_TRUE(r.getInt32("v", &v32)) << c.text;
    EXPECT_EQ(v64, c.expected) << c.text;
    EXPECT_EQ(v32, static_cast<int32_t>(c.expected)) << c.text;
  }
}

TEST(ParamRecord, IntegerGettersConvertByStoredType) {
  ParamRecord r;
  int8_t s8 = -2;
  uint16_t u16 = 0xFFFE;
  r.set("s8", &s8, 1, kTypeInt8);
  r.set("u16", &u16, 2, kTypeUInt16);
  r.setInt64("s64", 4294967301LL);
  r.setInt32("m1", -1);
  r.setUInt32("umax", 0xFFFFFFFFu);

  int32_t i32 = 0;
  int64_t i64 = 0;
  uint64_t u64 = 0;
  ASSERT_TRUE(r.getInt32("s8", &i32));
  EXPECT_EQ(i32, -2);
  ASSERT_TRUE(r.getInt64("s8", &i64));
  EXPECT_EQ(i64, -2);
  ASSERT_TRUE(r.getInt64("u16", &i64));
  EXPECT_EQ(i64, 0xFFFE);
  ASSERT_TRUE(r.getInt32("s64", &i32));
  EXPECT_EQ(i32, 5);
  ASSERT_TRUE(r.getInt64("m1", &i64));
  EXPECT_EQ(i64, -1);
  ASSERT_TRUE(r.getUInt64("umax", &u64));
  EXPECT_EQ(u64, 4294967295u);
}

TEST(ParamRecord, ShortRawValuesReadZeroFilledNeverPastTheirBytes) {
  ParamRecord typed;
  const uint8_t two[] = {0x34, 0x12};
  typed.set("b", two, 2, kTypeBinary);
  int32_t i32 = -1;
  int64_t i64 = -1;
  ASSERT_TRUE(typed.getInt32("b", &i32));
  ASSERT_TRUE(typed.getInt64("b", &i64));
  EXPECT_EQ(i32, 0x1234);
  EXPECT_EQ(i64, 0x1234);

  ParamRecord untyped;
  untyped.setBodyFormat(kBodyUntyped);
  const uint8_t neg[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01};
  untyped.set("u", neg, 5, kTypeUntyped);
  ASSERT_TRUE(untyped.getInt64("u", &i64));
  EXPECT_EQ(i64, -1);  // first four bytes, sign-extended
}

TEST(ParamRecord, NonStringValueReadsAsTextOnlyInUntypedRecords) {
  ParamRecord typed;
  typed.setInt32("n", 0x00434241);  // "ABC\0" in host order
  const char* text = nullptr;
  ASSERT_TRUE(typed.getString("n", &text));
  EXPECT_STREQ(text, "");

  ParamRecord untyped;
  untyped.setBodyFormat(kBodyUntyped);
  untyped.setInt32("n", 0x44434241);  // no NUL among the four bytes
  ASSERT_TRUE(untyped.getString("n", &text));
  EXPECT_EQ(std::string(text), "ABCD");
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
  EXPECT_TRUE(r.remove("x") == false);
}

}  // namespace
}  // namespace zavel
