#include "cli/remote_listing.h"

#include "cli/remote_path.h"
#include "zavelsdk.h"

namespace zavel::cli {

std::string LibraryError::describe() const {
  std::string message = zavel_FormatMessage(number);
  if (message.empty()) message = printable(text);
  if (message.empty()) message = "failed";
  return message + " (" + std::to_string(number) + ")";
}

Listing splitListing(const std::string& listed, std::vector<RemoteEntry> entries) {
  Listing out;
  for (size_t i = 0; i < entries.size(); ++i) {
    RemoteEntry& e = entries[i];
    if (!out.self && e.name == listed && (!e.club || i == 0)) {
      out.self = std::move(e);
      continue;
    }
    if (e.club) {
      if (!isSafeName(e.club->name) || e.club->index <= 0) {
        out.strays.push_back(e.name);
        continue;
      }
      std::string name = e.club->name;
      std::string key = clubKey(e.club->index, e.folder);
      out.children.push_back(ListedChild{std::move(name), std::move(key), std::move(e)});
      continue;
    }
    if (std::optional<std::string> name = childOf(listed, e.name)) {
      std::string address = joinRemote(listed, *name);
      out.children.push_back(ListedChild{std::move(*name), std::move(address), std::move(e)});
      continue;
    }
    out.strays.push_back(e.name);
  }
  return out;
}

}  // namespace zavel::cli
