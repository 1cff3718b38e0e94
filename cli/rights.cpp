#include "cli/rights.h"

#include <array>

#include "client/disk_opener.h"

namespace zavel::cli {

std::string rightsRefusal(std::string_view command, int32_t mode) {
  constexpr std::array<std::string_view, 3> kAdding = {"put", "mkdir", "cp"};
  constexpr std::array<std::string_view, 2> kChanging = {"rm", "mv"};
  const auto among = [&](const auto& commands) {
    for (std::string_view c : commands)
      if (c == command) return true;
    return false;
  };
  const bool adds = among(kAdding), changes = among(kChanging);
  if ((adds || changes) && !client::mayCreate(mode))
    return "this disk is read-only for you: nothing on it can be added, changed or deleted";
  if (changes && !client::mayChange(mode))
    return std::string("your rights on this disk are ") + client::rightsName(mode) +
           ": you may add to it, but not delete, move or rename";
  return {};
}

}  // namespace zavel::cli
