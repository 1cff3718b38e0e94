// The launch text of the command line, as UTF-16 units.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/signin/launch_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  const auto keys = zavel::app::parseLaunchText(text);
  if (keys && keys->id.empty()) __builtin_trap();  // a found id is never empty
  return 0;
}
