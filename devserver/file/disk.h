// One personal disk as the file server serves it: its folder, the path clients see for its
// root, and its capacity.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "devserver/config.h"
#include "devserver/file/disk_path.h"
#include "devserver/file/disk_space.h"
#include "devserver/unique_fd.h"

namespace zavel::devserver {

class Disk {
 public:
  // Opens (creating when missing) the disk's folder.
  static std::unique_ptr<Disk> open(const DiskConfig& config, const std::filesystem::path& folder,
                                    std::string* error);

  const DiskConfig& config() const { return config_; }
  const std::string& basePath() const { return config_.base_path; }
  const std::filesystem::path& folder() const { return folder_; }
  int rootFd() const { return root_.get(); }

  // Resolves a client path inside the disk. 0 or a reply error number.
  int32_t resolve(std::string_view client_path, bool follow_last, Resolved* out) const;
  std::string display(const Resolved& r) const { return displayPath(basePath(), r.parts); }
  std::string display(const std::vector<std::string>& parts) const {
    return displayPath(basePath(), parts);
  }

  // The quota and the running total of the space used; see DiskSpace. Whatever changes the
  // bytes of the disk's files goes through space(): a FileChange around a write or a
  // truncation, or the calls below.
  DiskSpace& space() { return space_; }
  uint64_t quotaBytes() const { return space_.quotaBytes(); }
  uint64_t usedBytes() { return space_.usedBytes(); }
  int32_t reserve(uint64_t growth, SpaceReservation* out) { return space_.reserve(growth, out); }

  // Removals and copies inside the disk, counted in its used space. 0 or errno.
  int removeFile(int dir_fd, const char* name);
  int removeTree(int dir_fd, const char* name);  // a file, link or whole folder tree
  int copyTree(int src_dir, const char* src_name, int dst_dir, const char* dst_name,
               const std::atomic<bool>& stop);

 private:
  Disk(const DiskConfig& config, std::filesystem::path folder, UniqueFd root);

  DiskConfig config_;
  std::filesystem::path folder_;
  UniqueFd root_;
  DiskSpace space_;
};

}  // namespace zavel::devserver
