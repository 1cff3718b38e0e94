// One personal disk as the file server serves it: its folder, the path clients see for its
// root, and its capacity.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "devserver/config.h"
#include "devserver/file/disk_path.h"
#include "devserver/unique_fd.h"

namespace zavel::devserver {

class Disk;

// Space set aside for bytes that are about to be written; given back when destroyed.
class SpaceReservation {
 public:
  SpaceReservation() = default;
  ~SpaceReservation() { release(); }
  SpaceReservation(SpaceReservation&& other) noexcept;
  SpaceReservation& operator=(SpaceReservation&& other) noexcept;
  SpaceReservation(const SpaceReservation&) = delete;
  SpaceReservation& operator=(const SpaceReservation&) = delete;
  void release();
  // Written bytes now count as used space: hands that much of the reservation back.
  void consumed(uint64_t bytes);

 private:
  friend class Disk;
  Disk* disk_ = nullptr;
  uint64_t bytes_ = 0;
};

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

  uint64_t quotaBytes() const { return config_.quota_mb << 20; }
  // Bytes held by the disk's files (each file once, however many names it has).
  uint64_t usedBytes() const;

  // Sets aside room for growth bytes: 0, or 23007 when used plus reserved space would pass
  // the quota.
  int32_t reserve(uint64_t growth, SpaceReservation* out);

 private:
  friend class SpaceReservation;
  Disk(const DiskConfig& config, std::filesystem::path folder, UniqueFd root);
  void giveBack(uint64_t bytes);

  DiskConfig config_;
  std::filesystem::path folder_;
  UniqueFd root_;
  std::mutex mutex_;
  uint64_t reserved_ = 0;
};

}  // namespace zavel::devserver
