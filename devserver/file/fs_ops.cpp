#include "devserver/file/fs_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "devserver/unique_fd.h"

namespace zavel::devserver {

namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

DirPtr openDir(int dir_fd, const char* name) {
  const int fd = ::openat(dir_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return nullptr;
  DIR* d = ::fdopendir(fd);
  if (d == nullptr) ::close(fd);
  return DirPtr(d);
}

int removeTreeAt(int dir_fd, const char* name, int depth, const RemoveEntry& remove_entry) {
  struct stat st {};
  if (::fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) {
    if (remove_entry) return remove_entry(dir_fd, name);
    return ::unlinkat(dir_fd, name, 0) == 0 ? 0 : errno;
  }
  if (depth > kMaxTreeDepth) return ELOOP;
  {
    DirPtr d = openDir(dir_fd, name);
    if (!d) return errno;
    const int fd = ::dirfd(d.get());
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d.get())) {
      if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
        names.emplace_back(e->d_name);
    }
    for (const std::string& n : names) {
      const int err = removeTreeAt(fd, n.c_str(), depth + 1, remove_entry);
      if (err != 0) return err;
    }
  }
  return ::unlinkat(dir_fd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

uint64_t treeBytesAt(int dir_fd, const char* name, int depth) {
  struct stat st {};
  if (::fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
  if (S_ISREG(st.st_mode)) return static_cast<uint64_t>(st.st_size);
  if (!S_ISDIR(st.st_mode) || depth > kMaxTreeDepth) return 0;
  DirPtr d = openDir(dir_fd, name);
  if (!d) return 0;
  uint64_t total = 0;
  while (const dirent* e = ::readdir(d.get())) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    total += treeBytesAt(::dirfd(d.get()), e->d_name, depth + 1);
  }
  return total;
}

int copyFile(int src_dir, const char* src_name, const struct stat& st, int dst_dir,
             const char* dst_name, const std::atomic<bool>& stop, uint64_t* copied) {
  UniqueFd in(::openat(src_dir, src_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in.valid()) return errno;
  UniqueFd out(::openat(dst_dir, dst_name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        st.st_mode & 0777));
  if (!out.valid()) return errno;
  std::vector<char> buffer(1 << 20);
  int err = 0;
  for (;;) {
    if (stop) {
      err = ECANCELED;
      break;
    }
    const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    ssize_t done = 0;
    while (done < n) {
      const ssize_t w = ::write(out.get(), buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        err = w < 0 ? errno : EIO;
        break;
      }
      done += w;
    }
    if (err != 0) break;
    *copied += static_cast<uint64_t>(n);
  }
  if (err == 0) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
  }
  if (err != 0) ::unlinkat(dst_dir, dst_name, 0);
  return err;
}

// Adds to *copied the bytes written, even of a copy that fails and is removed again.
int copyTreeAt(int src_dir, const char* src_name, int dst_dir, const char* dst_name, int depth,
               const std::atomic<bool>& stop, uint64_t* copied) {
  struct stat st {};
  if (::fstatat(src_dir, src_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (S_ISREG(st.st_mode)) return copyFile(src_dir, src_name, st, dst_dir, dst_name, stop, copied);
  if (S_ISLNK(st.st_mode)) {
    char target[PATH_MAX];
    const ssize_t n = ::readlinkat(src_dir, src_name, target, sizeof target - 1);
    if (n < 0) return errno;
    target[n] = '\0';
    return ::symlinkat(target, dst_dir, dst_name) == 0 ? 0 : errno;
  }
  if (!S_ISDIR(st.st_mode)) return 0;  // devices, sockets and pipes are not copied
  if (depth > kMaxTreeDepth) return ELOOP;
  std::vector<std::string> names;
  int err = readNames(src_dir, src_name, &names);
  if (err != 0) return err;
  if (::mkdirat(dst_dir, dst_name, st.st_mode & 0777) != 0) return errno;
  {
    UniqueFd from(::openat(src_dir, src_name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    UniqueFd to(::openat(dst_dir, dst_name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!from.valid() || !to.valid()) err = errno;
    for (size_t i = 0; err == 0 && i < names.size(); ++i) {
      err = copyTreeAt(from.get(), names[i].c_str(), to.get(), names[i].c_str(), depth + 1, stop,
                       copied);
    }
  }
  if (err != 0) removeTreeAt(dst_dir, dst_name, 0, {});
  return err;
}

}  // namespace

int readNames(int dir_fd, const char* name, std::vector<std::string>* names) {
  names->clear();
  DirPtr d = openDir(dir_fd, name);
  if (!d) return errno;
  while (const dirent* e = ::readdir(d.get())) {
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names->emplace_back(e->d_name);
  }
  std::sort(names->begin(), names->end());
  return 0;
}

int removeTree(int dir_fd, const char* name, const RemoveEntry& remove_entry) {
  return removeTreeAt(dir_fd, name, 0, remove_entry);
}

uint64_t treeBytes(int dir_fd, const char* name) {
  return treeBytesAt(dir_fd, name, 0);
}

int copyTree(int src_dir, const char* src_name, int dst_dir, const char* dst_name,
             const std::atomic<bool>& stop, uint64_t* copied) {
  uint64_t bytes = 0;
  const int err = copyTreeAt(src_dir, src_name, dst_dir, dst_name, 0, stop, &bytes);
  if (copied != nullptr) *copied = err == 0 ? bytes : 0;
  return err;
}

std::string dateText(const struct tm& t) {
  const bool pm = t.tm_hour > 12;
  char text[64];
  snprintf(text, sizeof text, "%04d-%02d-%02d %s %02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
           t.tm_mday, pm ? "PM" : "AM", pm ? t.tm_hour - 12 : t.tm_hour, t.tm_min);
  return text;
}

std::string dateText(time_t seconds) {
  struct tm t {};
  localtime_r(&seconds, &t);
  return dateText(t);
}

int32_t wireTime(int64_t seconds) {
  return static_cast<int32_t>(std::clamp<int64_t>(seconds, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace zavel::devserver
