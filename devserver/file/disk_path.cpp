#include "devserver/file/disk_path.h"

#include <fcntl.h>
#include <limits.h>

#include <cerrno>
#include <deque>

#include "devserver/server_errors.h"

namespace zavel::devserver {

namespace {

bool isSeparator(char c) {
  return c == '/' || c == '\\';
}

// Splits on the given separator test, dropping empty pieces.
template <typename IsSep>
std::vector<std::string> splitOn(std::string_view text, IsSep is_sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || is_sep(text[i])) {
      if (i > start) out.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return out;
}

}  // namespace

int32_t splitClientPath(std::string_view text, std::string_view base_path,
                        std::vector<std::string>* parts) {
  parts->clear();
  if (text.size() > kMaxPathBytes || text.find('\0') != std::string_view::npos)
    return kErrPermission;
  std::string_view rest = text;
  const bool under_base = !base_path.empty() && text.substr(0, base_path.size()) == base_path &&
                          (text.size() == base_path.size() || isSeparator(text[base_path.size()]));
  if (under_base) {
    rest = text.substr(base_path.size());
  } else if (!text.empty() && isSeparator(text[0])) {
    return kErrPermission;  // absolute, but not on this disk
  }
  for (std::string& name : splitOn(rest, isSeparator)) {
    if (name == ".") continue;
    if (name == ".." || name.size() > kMaxNameBytes) {
      parts->clear();
      return kErrPermission;
    }
    parts->push_back(std::move(name));
  }
  return kErrNone;
}

std::string displayPath(std::string_view base_path, const std::vector<std::string>& parts) {
  std::string out(base_path);
  for (const std::string& p : parts) {
    out += '/';
    out += p;
  }
  return out;
}

void Resolved::refresh() {
  exists = ::fstatat(dir.get(), name(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

UniqueFd Resolved::open(int flags, mode_t mode) const {
  if (isRoot()) return UniqueFd(::openat(dir.get(), ".", flags | O_CLOEXEC, mode));
  return UniqueFd(::openat(dir.get(), leaf.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
}

namespace {

// The walk's state: the open folders from the root down, and their names.
struct Walk {
  std::vector<UniqueFd> dirs;
  std::vector<std::string> names;  // names[i] is the name of dirs[i + 1]

  // Finishes with the folder on top of the stack as the result.
  int finishAtTop(Resolved* out) {
    if (dirs.size() == 1) {
      out->dir = std::move(dirs[0]);
      out->leaf.clear();
      out->parts.clear();
      out->exists = ::fstat(out->dir.get(), &out->st) == 0;
      return out->exists ? 0 : errno;
    }
    out->leaf = names.back();
    out->parts = names;
    dirs.pop_back();
    out->dir = std::move(dirs.back());
    out->exists = ::fstatat(out->dir.get(), out->leaf.c_str(), &out->st, AT_SYMLINK_NOFOLLOW) == 0;
    return out->exists ? 0 : errno;
  }

  // Finishes with a name inside the folder on top of the stack.
  void finishLeaf(std::string leaf, bool exists, const struct stat& st, Resolved* out) {
    out->parts = names;
    out->parts.push_back(leaf);
    out->leaf = std::move(leaf);
    out->exists = exists;
    out->st = st;
    out->dir = std::move(dirs.back());
  }
};

}  // namespace

int resolveBeneath(int root_fd, const std::vector<std::string>& parts, bool follow_last,
                   Resolved* out) {
  Walk walk;
  walk.dirs.emplace_back(::fcntl(root_fd, F_DUPFD_CLOEXEC, 0));
  if (!walk.dirs[0].valid()) return errno;
  std::deque<std::string> todo(parts.begin(), parts.end());
  int hops = 0;
  while (!todo.empty()) {
    std::string name = std::move(todo.front());
    todo.pop_front();
    if (name.empty() || name == ".") continue;
    if (name == "..") {  // only link targets bring these
      if (walk.dirs.size() == 1) return EXDEV;
      walk.dirs.pop_back();
      walk.names.pop_back();
      continue;
    }
    if (name.size() > kMaxNameBytes) return ENAMETOOLONG;
    const bool last = todo.empty();
    const int top = walk.dirs.back().get();
    struct stat st {};
    if (last && !follow_last) {
      if (::fstatat(top, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        walk.finishLeaf(std::move(name), true, st, out);
        return 0;
      }
      if (errno != ENOENT) return errno;
      walk.finishLeaf(std::move(name), false, st, out);
      return 0;
    }
    UniqueFd fd(::openat(top, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
      const int err = errno;
      if (err == ENOENT && last) {
        walk.finishLeaf(std::move(name), false, st, out);
        return 0;
      }
      return err;
    }
    if (::fstat(fd.get(), &st) != 0) return errno;
    if (S_ISLNK(st.st_mode)) {
      if (++hops > kMaxLinkHops) return ELOOP;
      char target[PATH_MAX];
      const ssize_t n = ::readlinkat(fd.get(), "", target, sizeof target);
      if (n < 0) return errno;
      if (n == 0 || static_cast<size_t>(n) >= sizeof target) return ENOENT;
      if (target[0] == '/') return EXDEV;
      const auto pieces = splitOn(std::string_view(target, static_cast<size_t>(n)),
                                  [](char c) { return c == '/'; });
      todo.insert(todo.begin(), pieces.begin(), pieces.end());
      continue;
    }
    if (last) {
      walk.finishLeaf(std::move(name), true, st, out);
      return 0;
    }
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    walk.dirs.push_back(std::move(fd));
    walk.names.push_back(std::move(name));
  }
  return walk.finishAtTop(out);
}

bool linkTargetStaysInside(std::string_view target, const std::vector<std::string>& link_folder) {
  if (target.empty() || target[0] == '/' || target.size() > kMaxPathBytes ||
      target.find('\0') != std::string_view::npos)
    return false;
  size_t depth = link_folder.size();
  for (const std::string& name : splitOn(target, [](char c) { return c == '/'; })) {
    if (name == ".") continue;
    if (name == "..") {
      if (depth == 0) return false;
      --depth;
    } else {
      ++depth;
    }
  }
  return true;
}

}  // namespace zavel::devserver
