#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "zavelsdk.h"

namespace {

TEST(ErrorState, FreshThreadReadsZeroAndEmptyText) {
  int32_t error = -7;
  std::string text = "unset";
  std::thread([&] {
    error = zavel_GetLastError();
    text = zavel_GetLastErrStr();
  }).join();
  EXPECT_EQ(error, 0);
  EXPECT_EQ(text, "");
}

TEST(ErrorState, EachThreadKeepsItsOwnNumberAndText) {
  zavel_SetLastError(23007);
  zavel_SetLastErrStr("mine");
  std::thread([] {
    zavel_SetLastError(24002);
    zavel_SetLastErrStr("theirs");
  }).join();
  EXPECT_EQ(zavel_GetLastError(), 23007);
  EXPECT_STREQ(zavel_GetLastErrStr(), "mine");
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

TEST(ErrorState, FormatMessageCoversTheTableAndNothingElse) {
  const struct {
    int32_t number;
    const char* message;
  } cases[] = {
      {0, "no error"},
      {-1, "unknown error"},
      {-2, ""},
      {1, ""},
      {21001, "connect fail"},
      {21004, "server operation error"},
      {22002, "wrong passwd"},
      {22003, ""},
      {22007, "upload limit error"},
      {23004, "get disk infomation fail"},
      {23009, "permission deny"},
      {23010, ""},
      {24004, "not allow command"},
      {24005, ""},
      {6, ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(zavel_FormatMessage(c.number), c.message) << c.number;
}

TEST(ErrorState, FormatMessageReusesOneBufferPerThread) {
  const char* first = zavel_FormatMessage(0);
  const char* second = zavel_FormatMessage(23006);
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "file or directory not exist");
}

TEST(ErrorState, ConcurrentThreadsNeverSeeEachOthersState) {
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &mismatches] {
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

}  // namespace
