#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zavel::cli {
namespace {

TEST(ProgressLine, WidthCountsWideCharactersTwice) {
  EXPECT_EQ(displayWidth("abc"), 3u);
  EXPECT_EQ(displayWidth("사진"), 4u);
  EXPECT_EQ(displayWidth("사진/a.jpg"), 10u);
  EXPECT_EQ(displayWidth("\xff\xfe"), 2u);  // malformed bytes: one column each
}

TEST(ProgressLine, FitLeftKeepsTheEndOfALongNameAndPadsToTheWidth) {
  const struct {
    const char* text;
    size_t width;
    const char* fitted;
  } cases[] = {
      {"a.txt", 8, "a.txt   "},
      {"folder/a.txt", 8, "…r/a.txt"},
      {"사진/바다.jpg", 8, "…다.jpg "},  // a wide character never gets cut in half
      {"사진/바다.jpg", 9, "…바다.jpg"},
      {"abc", 1, "…"},
      {"abc", 0, ""},
  };
  for (const auto& c : cases) {
    const std::string fitted = fitLeft(c.text, c.width);
    EXPECT_EQ(fitted, c.fitted) << c.text << " in " << c.width;
    EXPECT_EQ(displayWidth(fitted), c.width) << c.text << " in " << c.width;
  }
}

TEST(ProgressLine, SpeedAndTimeLeftCountOnlyThisRunsBytes) {
  // Resumed at 1 MiB; 2 MiB more in 2 s: 1 MiB/s, 1 MiB to go.
  const ProgressState resumed{1u << 20, 3u << 20, 4u << 20, 2000};
  const std::string line = formatProgressLine("", "movie.bin", resumed, 100);
  EXPECT_NE(line.find("3.0 MiB / 4.0 MiB"), std::string::npos) << line;
  EXPECT_NE(line.find(" 75%"), std::string::npos) << line;
  EXPECT_NE(line.find("1.0 MiB/s"), std::string::npos) << line;
  EXPECT_NE(line.find("0:01 left"), std::string::npos) << line;
  EXPECT_EQ(line.rfind("movie.bin", 0), 0u) << line;
}

TEST(ProgressLine, PercentIsTruncatedAndSafeAtTheExtremes) {
  const struct {
    ProgressState state;
    const char* percent;
  } cases[] = {
      {{0, 1, 3, 10}, " 33%"},
      {{0, 0, 0, 0}, "100%"},  // an empty file is done at once
      {{0, UINT64_MAX / 2, UINT64_MAX, 10}, " 49%"},
      {{0, 999, 1000, 10}, " 99%"},
  };
  for (const auto& c : cases) {
    const std::string line = formatProgressLine("", "f", c.state, 120);
    EXPECT_NE(line.find(c.percent), std::string::npos) << line;
  }
  // Nothing moved yet: no speed and no guess at the time left.
  const std::string start = formatProgressLine("", "f", {0, 0, 100, 0}, 120);
  EXPECT_NE(start.find("--  --:-- left"), std::string::npos) << start;
}

TEST(ProgressLine, ALongNameIsShortenedToTheTerminalWidthButTheCounterIsNot) {
  const std::string name = std::string(200, 'x') + "/끝.bin";
  const std::string line = formatProgressLine("[12/345] ", name, {0, 512, 1024, 100}, 79);
  EXPECT_EQ(displayWidth(line), 79u) << line;
  EXPECT_EQ(line.rfind("[12/345] …x", 0), 0u) << line;
  EXPECT_NE(line.find("끝.bin"), std::string::npos);
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
