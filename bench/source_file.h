// The transfer benchmarks' large file: reproducible bytes, no two megabytes alike.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace zavel::bench {

inline bool writeSource(const std::filesystem::path& path, uint64_t size) {
  std::ofstream out(path, std::ios::binary);
  std::vector<char> block(1 << 20);
  uint32_t x = 12345;
  for (char& b : block) b = static_cast<char>((x = x * 1103515245 + 12345) >> 16);
  for (uint64_t left = size; left > 0;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
    out.write(block.data(), static_cast<std::streamsize>(n));
    block[0]++;
    left -= n;
  }
  return static_cast<bool>(out);
}

}  // namespace zavel::bench
