// Feeds arbitrary folder listings to the reader that turns a server's listing into the items
// zavel-cli and zavel-mount show. The first line is the listed path; each further line one
// entry: a byte of flags, then its name (a club entry: its club name after a '|').
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/remote_listing.h"
#include "cli/remote_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zavel::cli;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> lines;
  for (size_t at = 0; at <= text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  const std::string listed(lines.front());
  std::vector<RemoteEntry> entries;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const auto flags = static_cast<uint8_t>(lines[i][0]);
    const std::string_view rest = lines[i].substr(1);
    RemoteEntry e;
    e.folder = (flags & 1) != 0;
    e.size = static_cast<int8_t>(flags);
    const size_t bar = rest.find('|');
    e.name = std::string(rest.substr(0, bar));
    e.date = e.name;
    if ((flags & 2) != 0) {
      ClubDetail club;
      club.index = (flags >> 3) - 4;
      club.kind = (flags >> 2) & 3;
      club.name = bar == std::string_view::npos ? "" : std::string(rest.substr(bar + 1));
      club.time = club.name;
      e.club = club;
    }
    listedTime(e);
    entries.push_back(std::move(e));
  }
  const Listing listing = splitListing(listed, std::move(entries));
  for (const ListedChild& child : listing.children) {
    // Whatever the server sent, what is shown is one plain name inside the listed folder.
    if (!isSafeName(child.name)) __builtin_trap();
    if (!child.entry.club && child.address != joinRemote(listed, child.name)) __builtin_trap();
  }
  return 0;
}
