#include "club/fingerprint.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/club/club_test_support.h"

namespace zavel {
namespace {

using testing::md5Hex;
using testing::TempFolder;
using testing::writeFile;

// Bytes that differ from place to place, so a sample read at the wrong offset shows.
std::string patterned(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 2463534242u;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

TEST(Fingerprint, SmallFilesWholeLargeFilesByThousandSamples) {
  TempFolder temp;
  for (size_t size :
       {size_t{0}, size_t{10241}, size_t{1048576}, size_t{1048577}, size_t{5000000}}) {
    const std::string bytes = patterned(size);
    const std::string name = temp.file("f");
    writeFile(name, bytes);
    std::string expected_input;
    if (size <= 1048576) {
      expected_input = bytes;
    } else {
      const size_t step = size / 1000;
      for (size_t k = 0; k < 1000; ++k) expected_input += bytes.substr(k * step, 1048);
    }
    EXPECT_EQ(fileFingerprint(name.c_str()), md5Hex(expected_input)) << size;
  }
}

TEST(Fingerprint, AFileThatCannotBeOpenedHasNone) {
  TempFolder temp;
  EXPECT_EQ(fileFingerprint(temp.file("missing").c_str()), "");
  EXPECT_EQ(fileFingerprint(nullptr), "");
  EXPECT_EQ(fileFingerprint(""), "");
}

}  // namespace
}  // namespace zavel
