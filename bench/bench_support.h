// What the transfer benchmarks share: their large file (reproducible bytes, no two megabytes
// alike), the median of their rounds and their --name=N options.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
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

inline double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

inline uint64_t option(int argc, char** argv, const char* name, uint64_t fallback) {
  const std::string prefix = std::string("--") + name + "=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0)
      return std::strtoull(argv[i] + prefix.size(), nullptr, 10);
  }
  return fallback;
}

}  // namespace zavel::bench
