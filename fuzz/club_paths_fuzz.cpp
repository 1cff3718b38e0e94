// Feeds arbitrary texts to the club-disk path and time helpers, which read names, index
// paths and time texts that come from list-server replies and from callers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "club/octa_paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zavel::club_path;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  normalize(text);
  split(text, true);
  split(text, false);
  bool is_file = true;
  if (parseIndex(text, &is_file) < 0) __builtin_trap();
  const std::string shown = displayTime(text);
  if (!shown.empty() && text.size() != 14) __builtin_trap();
  if (auto seconds = timeSeconds(text)) {
    if (timeSeconds(timeText(*seconds)) != seconds) __builtin_trap();
  }
  return 0;
}
