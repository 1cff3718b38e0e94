#include "cli/human_units.h"

#include <cmath>
#include <cstdio>

namespace zavel::cli {

std::string humanBytes(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  unsigned __int128 unit = 1024;
  size_t u = 0;
  for (;;) {
    // Tenths of the unit, rounded half up; 128 bits so that 10 * bytes cannot overflow.
    const unsigned __int128 tenths = (static_cast<unsigned __int128>(bytes) * 10 + unit / 2) / unit;
    if (tenths < 10240 || u + 1 == std::size(kUnits)) {
      const auto t = static_cast<unsigned long long>(tenths);
      char text[48];
      std::snprintf(text, sizeof text, "%llu.%llu %s", t / 10, t % 10, kUnits[u]);
      return text;
    }
    unit *= 1024;
    ++u;
  }
}

std::string humanRate(double bytes_per_second) {
  if (!(bytes_per_second > 0)) return "0 B/s";
  if (bytes_per_second >= 1.8e19) return humanBytes(UINT64_MAX) + "/s";
  return humanBytes(static_cast<uint64_t>(bytes_per_second)) + "/s";
}

std::string clockDuration(uint64_t seconds) {
  char text[48];
  if (seconds < 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60),
                  static_cast<unsigned long long>(seconds % 60));
  }
  return text;
}

std::string secondsText(uint64_t milliseconds) {
  std::string text = std::to_string(milliseconds / 1000);
  if (const uint64_t rest = milliseconds % 1000; rest != 0) {
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03llu", static_cast<unsigned long long>(rest));
    text += fraction;
    while (text.back() == '0') text.pop_back();
  }
  return text + " s";
}

}  // namespace zavel::cli
