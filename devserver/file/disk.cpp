#include "devserver/file/disk.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "devserver/server_errors.h"

namespace zavel::devserver {

SpaceReservation::SpaceReservation(SpaceReservation&& other) noexcept
    : disk_(std::exchange(other.disk_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}

SpaceReservation& SpaceReservation::operator=(SpaceReservation&& other) noexcept {
  if (this != &other) {
    release();
    disk_ = std::exchange(other.disk_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

void SpaceReservation::release() {
  if (disk_ != nullptr) disk_->giveBack(bytes_);
  disk_ = nullptr;
  bytes_ = 0;
}

void SpaceReservation::consumed(uint64_t bytes) {
  if (bytes > bytes_) bytes = bytes_;
  if (disk_ != nullptr && bytes > 0) disk_->giveBack(bytes);
  bytes_ -= bytes;
}

Disk::Disk(const DiskConfig& config, std::filesystem::path folder, UniqueFd root)
    : config_(config), folder_(std::move(folder)), root_(std::move(root)) {}

std::unique_ptr<Disk> Disk::open(const DiskConfig& config, const std::filesystem::path& folder,
                                 std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  UniqueFd root(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!root.valid()) {
    if (error) *error = "cannot open disk folder " + folder.string() + ": " + strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<Disk>(new Disk(config, folder, std::move(root)));
}

int32_t Disk::resolve(std::string_view client_path, bool follow_last, Resolved* out) const {
  std::vector<std::string> parts;
  const int32_t status = splitClientPath(client_path, basePath(), &parts);
  if (status != 0) return status;
  const int err = resolveBeneath(rootFd(), parts, follow_last, out);
  return err == 0 ? kErrNone : errorFromErrno(err);
}

uint64_t Disk::usedBytes() const {
  // Iterative walk; links are not followed and hard-linked files count once.
  uint64_t total = 0;
  std::set<std::pair<dev_t, ino_t>> seen;
  std::vector<UniqueFd> pending;
  pending.emplace_back(::openat(rootFd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  while (!pending.empty()) {
    UniqueFd fd = std::move(pending.back());
    pending.pop_back();
    if (!fd.valid()) continue;
    DIR* dir = ::fdopendir(fd.get());
    if (dir == nullptr) continue;
    const int dir_fd = fd.release();
    while (const dirent* e = ::readdir(dir)) {
      if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
      struct stat st {};
      if (::fstatat(dir_fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      if (S_ISDIR(st.st_mode)) {
        pending.emplace_back(
            ::openat(dir_fd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      } else if (S_ISREG(st.st_mode)) {
        if (st.st_nlink > 1 && !seen.insert({st.st_dev, st.st_ino}).second) continue;
        total += static_cast<uint64_t>(st.st_size);
      }
    }
    ::closedir(dir);
  }
  return total;
}

int32_t Disk::reserve(uint64_t growth, SpaceReservation* out) {
  out->release();
  std::lock_guard lock(mutex_);
  const uint64_t used = usedBytes();
  const uint64_t quota = quotaBytes();
  if (used > quota || reserved_ > quota - used || growth > quota - used - reserved_)
    return kErrDiskFull;
  reserved_ += growth;
  out->disk_ = this;
  out->bytes_ = growth;
  return kErrNone;
}

void Disk::giveBack(uint64_t bytes) {
  std::lock_guard lock(mutex_);
  reserved_ -= bytes < reserved_ ? bytes : reserved_;
}

}  // namespace zavel::devserver
