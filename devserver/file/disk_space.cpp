#include "devserver/file/disk_space.h"

#include <dirent.h>
#include <fcntl.h>

#include <cstring>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "devserver/server_errors.h"

namespace zavel::devserver {

namespace {

// What a file adds to the used space: a regular file's size while a name in the disk still
// leads to it (an open file whose last name was removed holds nothing the walk would find).
uint64_t countedBytes(const struct stat& st) {
  return S_ISREG(st.st_mode) && st.st_nlink > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace

SpaceReservation::SpaceReservation(SpaceReservation&& other) noexcept
    : space_(std::exchange(other.space_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}

SpaceReservation& SpaceReservation::operator=(SpaceReservation&& other) noexcept {
  if (this != &other) {
    release();
    space_ = std::exchange(other.space_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

void SpaceReservation::release() {
  if (space_ != nullptr) space_->giveBack(bytes_);
  space_ = nullptr;
  bytes_ = 0;
}

void DiskSpace::countOnce() {
  std::lock_guard lock(mutex_);
  if (counted_) return;
  used_ = countFileBytes(root_fd_);
  counted_ = true;
}

uint64_t DiskSpace::usedBytes() {
  countOnce();
  std::lock_guard lock(mutex_);
  return used_;
}

int32_t DiskSpace::reserve(uint64_t growth, SpaceReservation* out) {
  out->release();
  countOnce();
  std::lock_guard lock(mutex_);
  if (used_ > quota_ || reserved_ > quota_ - used_ || growth > quota_ - used_ - reserved_)
    return kErrDiskFull;
  reserved_ += growth;
  out->space_ = this;
  out->bytes_ = growth;
  return kErrNone;
}

void DiskSpace::add(uint64_t bytes) {
  apply(static_cast<int64_t>(bytes), nullptr);
}

void DiskSpace::giveBack(uint64_t bytes) {
  std::lock_guard lock(mutex_);
  reserved_ -= bytes < reserved_ ? bytes : reserved_;
}

void DiskSpace::apply(int64_t delta, SpaceReservation* reservation) {
  std::lock_guard lock(mutex_);
  if (delta < 0) {
    const uint64_t freed = static_cast<uint64_t>(-delta);
    used_ -= freed < used_ ? freed : used_;
    return;
  }
  const uint64_t grown = static_cast<uint64_t>(delta);
  used_ += grown;
  // In the same step as the growth, so a quota check never sees the bytes twice.
  if (reservation != nullptr && reservation->space_ == this) {
    const uint64_t taken = grown < reservation->bytes_ ? grown : reservation->bytes_;
    reservation->bytes_ -= taken;
    reserved_ -= taken < reserved_ ? taken : reserved_;
  }
}

std::mutex& DiskSpace::fileLock(const struct stat& st) {
  const size_t h = std::hash<uint64_t>{}(static_cast<uint64_t>(st.st_ino) * 31 + st.st_dev);
  return file_locks_[h % file_locks_.size()];
}

FileChange::FileChange(DiskSpace& space, int fd, SpaceReservation* reservation)
    : space_(space), reservation_(reservation), fd_(fd) {
  start();
}

FileChange::FileChange(DiskSpace& space, int dir_fd, const char* name)
    : space_(space),
      own_(::openat(dir_fd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC)),
      fd_(own_.get()) {
  start();
}

void FileChange::start() {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
    fd_ = -1;  // nothing there to measure: the change cannot touch a file's bytes
    return;
  }
  space_.countOnce();
  lock_ = std::unique_lock(space_.fileLock(st));
  // Measured again under the lock: another change of the file may have ended meanwhile.
  before_ = ::fstat(fd_, &st) == 0 ? countedBytes(st) : 0;
}

FileChange::~FileChange() {
  if (fd_ < 0) return;
  struct stat st {};
  const uint64_t after = ::fstat(fd_, &st) == 0 ? countedBytes(st) : before_;
  if (after != before_)
    space_.apply(static_cast<int64_t>(after) - static_cast<int64_t>(before_), reservation_);
}

uint64_t countFileBytes(int root_fd) {
  // Iterative walk; links are not followed and hard-linked files count once.
  uint64_t total = 0;
  std::set<std::pair<dev_t, ino_t>> seen;
  std::vector<UniqueFd> pending;
  pending.emplace_back(::openat(root_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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

}  // namespace zavel::devserver
