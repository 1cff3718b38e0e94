// The launch text a web portal hands the program: 11 characters of scheme ("zavel-auth:")
// and then name=value pairs separated by ";", of which u_id and u_sessionkey count.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zavel::app {

inline constexpr size_t kLaunchPrefixLength = 11;

struct LaunchKeys {
  std::u16string id;
  std::optional<std::u16string> sessionKey;
};

// The keys of a launch text, or none when it is shorter than 12 characters or names no
// non-empty u_id. Names are matched in lower case; names and values are trimmed.
std::optional<LaunchKeys> parseLaunchText(std::u16string_view text);

}  // namespace zavel::app
