// Paths as clients send them, and their resolution inside a disk's folder. Nothing a client
// sends can name or reach anything outside the folder: ".." and foreign absolute paths are
// refused, and symbolic links are followed only while they stay beneath it.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "devserver/unique_fd.h"

namespace zavel::devserver {

inline constexpr size_t kMaxPathBytes = 4096;
inline constexpr size_t kMaxNameBytes = 255;
inline constexpr int kMaxLinkHops = 40;

// Splits a client path into the folder names below the disk's root. The path is either the
// disk's base path followed by "/name/..." or relative to the root; "\" counts as "/".
// Returns 0, or 23009 for "..", a NUL byte, an over-long path or name, or an absolute
// path outside the base path.
int32_t splitClientPath(std::string_view text, std::string_view base_path,
                        std::vector<std::string>* parts);

// The path clients see for names below the root: base + "/" + each name.
std::string displayPath(std::string_view base_path, const std::vector<std::string>& parts);

// Where a client path leads inside a disk.
struct Resolved {
  UniqueFd dir;                    // folder holding the leaf; the root itself when leaf is ""
  std::string leaf;                // the last name, "" for the root
  std::vector<std::string> parts;  // names from the root to the leaf, links followed
  bool exists = false;
  struct stat st {};  // the leaf's status when it exists (a final link itself when not followed)

  bool isRoot() const { return leaf.empty(); }
  bool isDir() const { return exists && S_ISDIR(st.st_mode); }
  bool isFile() const { return exists && S_ISREG(st.st_mode); }
  // The leaf's name for *at calls relative to dir ("." for the root).
  const char* name() const { return isRoot() ? "." : leaf.c_str(); }
  // Reads the leaf's status again, for a request that waited while another wrote it.
  void refresh();
  // Opens the leaf (the root when leaf is ""), never through a final symbolic link.
  UniqueFd open(int flags, mode_t mode = 0) const;
};

// Walks the names from root_fd, following symbolic links only while they stay beneath it.
// follow_last: a final link is followed as well. A missing last name is not an error
// (exists = false). Returns 0 or an errno value: EXDEV when a link leads out.
int resolveBeneath(int root_fd, const std::vector<std::string>& parts, bool follow_last,
                   Resolved* out);

// True when a symbolic link with this target text, placed in the folder named by
// link_folder (names below the root), would stay beneath the root.
bool linkTargetStaysInside(std::string_view target, const std::vector<std::string>& link_folder);

}  // namespace zavel::devserver
