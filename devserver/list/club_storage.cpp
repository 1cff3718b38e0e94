#include "devserver/list/club_storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace zavel::devserver {

namespace {

std::string folderName(int64_t folder) {
  return "b" + std::to_string(folder);
}

// A storage folder, opened beneath the disk's root without following links.
UniqueFd openFolder(const Disk& disk, int64_t folder) {
  return UniqueFd(::openat(disk.rootFd(), folderName(folder).c_str(),
                           O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

int writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

std::string ClubStorage::folderPath(int64_t folder) const {
  return disk_.basePath() + "/" + folderName(folder);
}

std::string ClubStorage::filePath(int64_t folder, int64_t index) const {
  return folderPath(folder) + "/" + std::to_string(index);
}

bool ClubStorage::folderExists(int64_t folder) const {
  return openFolder(disk_, folder).valid();
}

int ClubStorage::makeFolder(int64_t folder) const {
  if (::mkdirat(disk_.rootFd(), folderName(folder).c_str(), 0755) == 0 || errno == EEXIST)
    return folderExists(folder) ? 0 : ENOTDIR;
  return errno;
}

int64_t ClubStorage::storedBytes(int64_t folder, int64_t index) const {
  const UniqueFd dir = openFolder(disk_, folder);
  struct stat st {};
  if (!dir.valid() ||
      ::fstatat(dir.get(), std::to_string(index).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(st.st_mode))
    return 0;
  return static_cast<int64_t>(st.st_size);
}

void ClubStorage::remove(int64_t folder, int64_t index) const {
  const UniqueFd dir = openFolder(disk_, folder);
  if (dir.valid()) disk_.removeFile(dir.get(), std::to_string(index).c_str());
}

// Opens a file to be replaced and empties it, counting what that frees.
UniqueFd ClubStorage::replace(int dir_fd, int64_t index) const {
  // Not O_TRUNC: the file is measured before it is emptied.
  UniqueFd out(::openat(dir_fd, std::to_string(index).c_str(),
                        O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (!out.valid()) return out;
  int err = 0;
  {
    FileChange change(disk_.space(), out.get());
    if (::ftruncate(out.get(), 0) != 0) err = errno;
  }
  if (err != 0) {
    out.reset();
    errno = err;
  }
  return out;
}

int ClubStorage::copy(int64_t from_folder, int64_t from_index, int64_t to_folder,
                      int64_t to_index) const {
  const UniqueFd from_dir = openFolder(disk_, from_folder);
  if (int e = makeFolder(to_folder)) return e;
  const UniqueFd to_dir = openFolder(disk_, to_folder);
  if (!to_dir.valid()) return errno;
  // A file whose upload has not stored anything yet copies as an empty file.
  UniqueFd in;
  if (from_dir.valid())
    in.reset(::openat(from_dir.get(), std::to_string(from_index).c_str(),
                      O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in.valid() && errno != ENOENT) return errno;
  UniqueFd out = replace(to_dir.get(), to_index);
  if (!out.valid()) return errno;
  if (!in.valid()) return 0;
  std::vector<char> buffer(1u << 20);
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    // Counted a block at a time, so a long copy never keeps the file's lock for long.
    FileChange change(disk_.space(), out.get());
    if (int e = writeAll(out.get(), buffer.data(), static_cast<size_t>(n))) return e;
  }
}

int ClubStorage::write(int64_t folder, int64_t index, std::string_view bytes) const {
  if (int e = makeFolder(folder)) return e;
  const UniqueFd dir = openFolder(disk_, folder);
  if (!dir.valid()) return errno;
  UniqueFd out = replace(dir.get(), index);
  if (!out.valid()) return errno;
  FileChange change(disk_.space(), out.get());
  return writeAll(out.get(), bytes.data(), bytes.size());
}

}  // namespace zavel::devserver
