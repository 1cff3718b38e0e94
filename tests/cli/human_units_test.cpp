#include "cli/human_units.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace zavel::cli {
namespace {

TEST(HumanUnits, BytesRoundToTenthsAndCarryIntoTheNextUnit) {
  const struct {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {1024, "1.0 KiB"},
      {1535, "1.5 KiB"},
      {1587, "1.5 KiB"},  // 1.5498 KiB
      {1588, "1.6 KiB"},
      {150000, "146.5 KiB"},
      {1048524, "1023.9 KiB"},
      {1048525, "1.0 MiB"},  // 1023.95 KiB would print as 1024.0 KiB
      {1048575, "1.0 MiB"},
      {1073741824, "1.0 GiB"},
      {5000000000ull, "4.7 GiB"},
      {UINT64_MAX, "16.0 EiB"},
  };
  for (const auto& c : cases) EXPECT_EQ(humanBytes(c.bytes), c.text) << c.bytes;
}

TEST(HumanUnits, RatesAndDurations) {
  EXPECT_EQ(humanRate(0), "0 B/s");
  EXPECT_EQ(humanRate(-5), "0 B/s");
  EXPECT_EQ(humanRate(2.5 * 1048576), "2.5 MiB/s");
  EXPECT_EQ(humanRate(1e30), "16.0 EiB/s");
  const struct {
    uint64_t seconds;
    const char* text;
  } cases[] = {{0, "0:00"},     {59, "0:59"},      {61, "1:01"},
               {3599, "59:59"}, {3600, "1:00:00"}, {90061, "25:01:01"}};
  for (const auto& c : cases) EXPECT_EQ(clockDuration(c.seconds), c.text) << c.seconds;
}

}  // namespace
}  // namespace zavel::cli
