#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zavel::cli {
namespace {

// Wide characters take two columns, malformed bytes one each.
TEST(ProgressLine, FitLeftKeepsTheEndOfALongNameAndPadsToTheWidth) {
  const struct {
    const char* text;
    size_t width;
    const char* fitted;
  } cases[] = {
      {"abc", 3, "abc"},
      {"사진", 4, "사진"},
      {"사진/a.jpg", 10, "사진/a.jpg"},
      {"\xff\xfe", 2, "\xff\xfe"},
      {"a.txt", 8, "a.txt   "},
      {"folder/a.txt", 8, "…r/a.txt"},
      {"사진/바다.jpg", 8, "…다.jpg "},  // a wide character never gets cut in half
      {"사진/바다.jpg", 9, "…바다.jpg"},
      {"abcd", 3, "…cd"},  // one column too many
      {"", 3, "   "},
      {"abc", 1, "…"},
      {"abc", 0, ""},
  };
  for (const auto& c : cases) {
    const std::string fitted = fitLeft(c.text, c.width);
    EXPECT_EQ(fitted, c.fitted) << c.text << " in " << c.width;
    EXPECT_EQ(displayWidth(fitted), c.width) << c.text << " in " << c.width;
  }
}

// Each line starts with its first needle, holds the others and fills the width exactly.
TEST(ProgressLine, ShowsBytesPercentSpeedAndTimeLeftInTheWidth) {
  const struct {
    const char* prefix;
    std::string name;
    ProgressState state;
    size_t width;
    std::vector<std::string> needles;
  } cases[] = {
      // Resumed at 1 MiB; 2 MiB more in 2 s: 1 MiB/s, 1 MiB to go.
      {"",
       "movie.bin",
       {1u << 20, 3u << 20, 4u << 20, 2000},
       100,
       {"movie.bin", "3.0 MiB / 4.0 MiB", " 75%", "1.0 MiB/s", "0:01 left"}},
      // Percent is truncated and safe at the extremes.
      {"", "f", {0, 1, 3, 10}, 120, {"f", " 33%"}},
      {"", "f", {0, 0, 0, 0}, 120, {"f", "100%  --  0:00 left"}},  // an empty file is done at once
      {"", "f", {0, UINT64_MAX / 2, UINT64_MAX, 10}, 120, {"f", " 49%"}},
      {"", "f", {0, 999, 1000, 10}, 120, {"f", " 99%"}},
      // Nothing moved yet: no speed and no guess at the time left.
      {"", "f", {0, 0, 100, 0}, 120, {"f", "--  --:-- left"}},
      // A long name is shortened to the terminal's width, the counter is not.
      {"[12/345] ",
       std::string(200, 'x') + "/끝.bin",
       {0, 512, 1024, 100},
       79,
       {"[12/345] …x", "끝.bin"}},
  };
  for (const auto& c : cases) {
    const std::string line = formatProgressLine(c.prefix, c.name, c.state, c.width);
    SCOPED_TRACE(line);
    EXPECT_EQ(line.rfind(c.needles[0], 0), 0u);
    for (const std::string& n : c.needles) EXPECT_NE(line.find(n), std::string::npos) << n;
    EXPECT_EQ(displayWidth(line), c.width);
  }
  // Too narrow a terminal: the name keeps 12 columns and the line gets wider.
  EXPECT_EQ(formatProgressLine("", "abcdefghijklmnopqrstuvwxyz", {0, 0, 10, 0}, 20),
            "…pqrstuvwxyz  0 B / 10 B    0%  --  --:-- left");
}

class MeterTest : public ::testing::Test {
 protected:
  ProgressMeter meter_{[this](const std::string& s) { written_.push_back(s); },
                       [this] { return now_; }, [] { return size_t{100}; }};
  std::vector<std::string> written_;
  uint64_t now_ = 5000;
};

TEST_F(MeterTest, RedrawsAtMostTenTimesASecondAndFinishesTheLine) {
  meter_.begin("", "a.bin", 0, 1000);
  EXPECT_TRUE(written_.empty());
  for (uint32_t t = 0; t <= 1000; t += 10) {  // a report every 10 ms for a second
    now_ = 5000 + t;
    meter_.report(t, t);
  }
  EXPECT_GE(meter_.draws(), 10);
  EXPECT_LE(meter_.draws(), 11);
  meter_.finish();
  ASSERT_GE(written_.size(), 2u);
  EXPECT_EQ(written_.back(), "\n");
  const std::string& last = written_[written_.size() - 2];
  EXPECT_EQ(last.front(), '\r');
  EXPECT_NE(last.find("100%"), std::string::npos) << last;
  EXPECT_NE(last.find("\x1b[K"), std::string::npos);
}

TEST_F(MeterTest, TheLimitHoldsAcrossFilesButEveryFileEndsWithItsOwnLine) {
  for (int file = 0; file < 5; ++file) {
    meter_.begin("", "f" + std::to_string(file), 0, 10);
    meter_.report(5, 1);
    meter_.report(10, 2);
    meter_.finish();
    now_ += 1;
  }
  // Five final lines, and only the first file's first report got through in between.
  EXPECT_EQ(meter_.draws(), 6);
  int lines = 0;
  for (const std::string& w : written_) lines += w == "\n";
  EXPECT_EQ(lines, 5);
}

}  // namespace
}  // namespace zavel::cli
