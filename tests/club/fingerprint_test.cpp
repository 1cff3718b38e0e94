#include "club/fingerprint.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/club/club_test_support.h"

namespace zavel::testing {
namespace {

TEST(Fingerprint, SmallFilesWholeLargeFilesByThousandSamples) {
  TempFolder temp;
  for (size_t size : {0, 10241, 1048576, 1048577, 5000000}) {
    const std::string bytes = patterned(size);
    writeFile(temp.file("f"), bytes);
    std::string expected_input = size <= 1048576 ? bytes : "";
    for (size_t k = 0; size > 1048576 && k < 1000; ++k)
      expected_input += bytes.substr(k * (size / 1000), 1048);
    EXPECT_EQ(fileFingerprint(temp.file("f").c_str()), md5Hex(expected_input)) << size;
  }
  // A file that cannot be opened has none.
  EXPECT_EQ(fileFingerprint(temp.file("missing").c_str()), "");
  EXPECT_EQ(fileFingerprint(nullptr), "");
  EXPECT_EQ(fileFingerprint(""), "");
}

}  // namespace
}  // namespace zavel::testing
