// The flat list of folders to make and files to move for a get or a put, built before
// anything moves. Folders come before their contents. Remote names come from the server
// and are checked before they become local paths: a listing can name nothing outside the
// folder it lists.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/remote_listing.h"

namespace zavel::cli {

struct PlanItem {
  bool folder = false;
  std::string relative;             // names from the transfer's top, "/"-separated; shown to people
  std::string remote;               // get: the source, a path or a club key
  std::filesystem::path local;      // get: the target; put: the source
  uint64_t size = 0;                // files: the size when planned
  std::optional<int64_t> modified;  // get: the remote item's time, seconds since 1970
  bool sized = true;                // get: the listing told the file's size
};

struct Plan {
  std::vector<PlanItem> items;
  uint64_t bytes = 0;
};

// Nesting and size limits: a server cannot keep a walk going for ever.
inline constexpr size_t kMaxDepth = 128;
inline constexpr size_t kMaxItems = 1000000;

// Remote sources (resolved paths or club keys) into a local destination. With one source
// and a destination that is not an existing folder, the destination is the target's own
// name; otherwise each source goes into the destination folder under its own name. A
// destination that cannot be made (its folder missing, or a missing folder named with a
// trailing "/") fails before the disk is asked anything.
bool planDownload(RemoteLister& lister, const std::vector<std::string>& sources,
                  const std::filesystem::path& destination, Plan* plan, std::string* error);

// Local sources, each under its own name, or under `name` when there is one source and
// name is given. Every name that would be made on the disk must pass nameProblem(). Links to
// folders inside a walked folder are not followed; they and anything that is neither a file nor a
// folder are left out with a note.
bool planUpload(const std::vector<std::filesystem::path>& sources,
                const std::optional<std::string>& name, Plan* plan, std::vector<std::string>* notes,
                std::string* error);

// The name a local path goes by: its last name, also for "dir/" and ".".
std::string localName(const std::filesystem::path& path);

}  // namespace zavel::cli
