#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "zavelsdk.h"

namespace {

TEST(ErrorState, EachThreadStartsClearAndNeverSeesAnothersState) {
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &mismatches] {
      if (zavel_GetLastError() != 0 || std::string(zavel_GetLastErrStr()) != "") ++mismatches;
      const std::string mine = "thread " + std::to_string(t);
      for (int i = 0; i < 2000; ++i) {
        zavel_SetLastError(t * 10000 + i);
        zavel_SetLastErrStr(mine.c_str());
        const char* msg = zavel_FormatMessage(t % 2 ? 21002 : 23005);
        if (zavel_GetLastError() != t * 10000 + i || mine != zavel_GetLastErrStr() ||
            std::string(msg) != (t % 2 ? "socket error" : "file or directory exist")) {
          ++mismatches;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(ErrorState, NumberAndTextAreIndependentAndAliasesShareTheNumber) {
  zavel_SetLastErrStr("text stays");
  RSet_LastErrorNo(23007);
  EXPECT_EQ(zavel_GetLastError(), 23007);
  EXPECT_STREQ(zavel_GetLastErrStr(), "text stays");
  zavel_SetLastError(21002);
  EXPECT_EQ(RGet_LastErrorNo(), 21002);
  std::string copy = "copied";
  zavel_SetLastErrStr(copy.c_str());
  copy[0] = 'X';
  EXPECT_STREQ(zavel_GetLastErrStr(), "copied");
}

TEST(ErrorState, FormatMessageCoversTheTableAndNothingElseInOneBufferPerThread) {
  // clang-format off
  const struct { int32_t number; const char* message; } cases[] = {
      {0, "no error"}, {-1, "unknown error"}, {21001, "connect fail"},
       {21004, "server operation error"},
      {22002, "wrong passwd"}, {22007, "upload limit error"}, {23004, "get disk infomation fail"},
      {23006, "file or directory not exist"}, {23009, "permission deny"},
       {24004, "not allow command"}};
  // clang-format on
  const char* buffer = zavel_FormatMessage(0);
  for (const auto& c : cases) {
    EXPECT_EQ(zavel_FormatMessage(c.number), buffer) << c.number;
    EXPECT_STREQ(buffer, c.message) << c.number;
  }
  // Numbers beside and between the table's runs have no message.
  for (int32_t number : {-2, 1, 6, 22003, 23010, 24005}) {
    EXPECT_EQ(zavel_FormatMessage(number), buffer) << number;
    EXPECT_STREQ(buffer, "") << number;
  }
}

}  // namespace
