// The POSIX-like llf_ commands: descriptors, directories, streams and metadata on the
// signed-on disk. Descriptors are numbers private to their connection.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits.h>
#include <algorithm>
#include <cerrno>
#include <optional>
#include <random>
#include <vector>

#include "devserver/file/dispatcher.h"
#include "devserver/file/fs_ops.h"
#include "devserver/server_errors.h"

namespace zavel::devserver {

namespace {

// Largest read answered in one reply.
constexpr int64_t kMaxReadBytes = 4 << 20;

// Open flags a client may ask for (this platform's values); the server always adds
// O_NOFOLLOW and O_CLOEXEC.
constexpr int kClientOpenFlags = O_ACCMODE | O_CREAT | O_EXCL | O_TRUNC | O_APPEND;

int32_t newHandle(ConnectionState& c) {
  if (c.next_handle == std::numeric_limits<int32_t>::max()) c.next_handle = 1;
  return c.next_handle++;
}

void setStat(ParamRecord& out, const struct stat& st) {
  out.setUInt64("st_dev", static_cast<uint64_t>(st.st_dev));
  out.setUInt64("st_ino", static_cast<uint64_t>(st.st_ino));
  out.setUInt32("st_mode", static_cast<uint32_t>(st.st_mode));
  out.setUInt32("st_nlink", static_cast<uint32_t>(st.st_nlink));
  out.setUInt32("st_uid", static_cast<uint32_t>(st.st_uid));
  out.setUInt32("st_gid", static_cast<uint32_t>(st.st_gid));
  out.setUInt64("st_rdev", static_cast<uint64_t>(st.st_rdev));
  out.setInt64("st_size", static_cast<int64_t>(st.st_size));
  out.setInt32("st_blksize", static_cast<int32_t>(st.st_blksize));
  out.setInt64("st_blocks", static_cast<int64_t>(st.st_blocks));
  out.setInt32("st_atime", wireTime(st.st_atim.tv_sec));
  out.setInt32("st_mtime", wireTime(st.st_mtim.tv_sec));
  out.setInt32("st_ctime", wireTime(st.st_ctim.tv_sec));
}

// Opens a path for a descriptor or a stream: 0 and the descriptor, or an error number.
int32_t openPath(Request& r, const char* param, int flags, mode_t mode, UniqueFd* out,
                 std::string* path) {
  if (r.conn.openHandles() >= kMaxOpenHandles) return kErrRemoteFile;
  Resolved target;
  if (int32_t e = r.path(param, true, &target)) return e;
  if (!target.exists && !(flags & O_CREAT)) return kErrNotExists;
  if (target.exists && (flags & O_CREAT) && (flags & O_EXCL)) return kErrExists;
  // Truncating writes the file: an upload of it stops first.
  WriterHold hold;
  std::optional<FileChange> truncation;
  if (flags & O_TRUNC) {
    if (int32_t e = r.holdWriters({&target}, &hold)) return e;
    if (target.exists) truncation.emplace(r.disk().space(), target.dir.get(), target.name());
  }
  *out = target.open(flags, mode & 0777 & ~r.conn.umask);
  if (!out->valid()) return errorFromErrno(errno);
  *path = r.disk().display(target.parts);
  return kErrNone;
}

Outcome openFile(Request& r, bool with_mode) {
  int32_t flags = 0;
  uint32_t mode = 0666;
  if (!r.int32("flags", &flags)) return r.fail(kErrWrongParameter);
  if (with_mode && !r.uint32("mode", &mode)) return r.fail(kErrWrongParameter);
  OpenFile file;
  if (int32_t e = openPath(r, "filename", flags & kClientOpenFlags, mode, &file.fd, &file.path))
    return r.fail(e);
  const int32_t handle = newHandle(r.conn);
  r.conn.files[handle] = std::move(file);
  r.out.setInt32("fd", handle);
  return Outcome::kReply;
}

Outcome llfOpen1(Request& r) {
  return openFile(r, false);
}
Outcome llfOpen2(Request& r) {
  return openFile(r, true);
}

// The descriptor a request names in its handle parameter, or null.
OpenFile* handleOf(Request& r, std::map<int32_t, OpenFile>& table, const char* param) {
  int32_t handle = 0;
  if (!r.int32(param, &handle)) return nullptr;
  auto it = table.find(handle);
  return it == table.end() ? nullptr : &it->second;
}

// Writes "data" (at most "size" bytes of it) at the descriptor's position, within quota.
Outcome writeData(Request& r, OpenFile* file) {
  if (file == nullptr) return r.fail(kErrInvalidHandle);
  int64_t size = 0;
  const void* data = nullptr;
  uint32_t length = 0;
  if (!r.int64("size", &size) || size < 0) return r.fail(kErrWrongParameter);
  if (size == 0) {
    r.out.setInt32("size", 0);
    return Outcome::kReply;
  }
  if (!r.in.getBinary("data", &data, &length)) return r.fail(kErrWrongParameter);
  const size_t count = static_cast<size_t>(std::min<int64_t>(size, length));
  struct stat st {};
  if (::fstat(file->fd.get(), &st) != 0) return r.failErrno(errno);
  const int fl = ::fcntl(file->fd.get(), F_GETFL);
  if (fl < 0) return r.failErrno(errno);
  if ((fl & O_ACCMODE) == O_RDONLY) return r.fail(kErrPermission);
  const off_t position = (fl & O_APPEND) ? st.st_size : ::lseek(file->fd.get(), 0, SEEK_CUR);
  if (position < 0) return r.failErrno(errno);
  const uint64_t new_end = static_cast<uint64_t>(position) + count;
  const uint64_t old_end = static_cast<uint64_t>(st.st_size);
  SpaceReservation space;
  if (int32_t e = r.disk().reserve(new_end > old_end ? new_end - old_end : 0, &space))
    return r.fail(e);
  FileChange change(r.disk().space(), file->fd.get(), &space);
  ssize_t n;
  do {
    n = ::write(file->fd.get(), data, count);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return r.failErrno(errno);
  r.out.setInt32("size", static_cast<int32_t>(n));
  return Outcome::kReply;
}

// Reads up to "size" bytes at the descriptor's position into "size" and "data".
Outcome readData(Request& r, OpenFile* file) {
  if (file == nullptr) return r.fail(kErrInvalidHandle);
  int64_t size = 0;
  if (!r.int64("size", &size) || size < 0) return r.fail(kErrWrongParameter);
  std::vector<char> buffer(static_cast<size_t>(std::min(size, kMaxReadBytes)));
  ssize_t n = 0;
  if (!buffer.empty()) {
    do {
      n = ::read(file->fd.get(), buffer.data(), buffer.size());
    } while (n < 0 && errno == EINTR);
  }
  if (n < 0) return r.failErrno(errno);
  r.out.setInt32("size", static_cast<int32_t>(n));
  if (n > 0) r.out.setBinary("data", buffer.data(), static_cast<uint32_t>(n));
  return Outcome::kReply;
}

// Moves the position; the new position, or -1 with the reply failed.
off_t seekTo(Request& r, OpenFile* file) {
  int64_t offset = 0;
  int32_t whence = 0;
  if (!r.int64("offset", &offset) || !r.int32("whence", &whence) || whence < 0 || whence > 2) {
    r.fail(kErrWrongParameter);
    return -1;
  }
  const int how[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  const off_t to = ::lseek(file->fd.get(), static_cast<off_t>(offset), how[whence]);
  if (to < 0) r.failErrno(errno);
  return to;
}

Outcome llfWrite(Request& r) {
  return writeData(r, handleOf(r, r.conn.files, "fd"));
}

Outcome llfRead(Request& r) {
  return readData(r, handleOf(r, r.conn.files, "fd"));
}

Outcome llfSeek(Request& r) {
  OpenFile* file = handleOf(r, r.conn.files, "fd");
  if (file == nullptr) return r.fail(kErrInvalidHandle);
  const off_t to = seekTo(r, file);
  if (to >= 0) r.out.setInt64("size", static_cast<int64_t>(to));
  return Outcome::kReply;
}

Outcome closeHandle(Request& r, std::map<int32_t, OpenFile>& table, const char* param) {
  int32_t handle = 0;
  if (!r.int32(param, &handle) || table.erase(handle) == 0) return r.fail(kErrInvalidHandle);
  return Outcome::kReply;
}

Outcome llfClose(Request& r) {
  return closeHandle(r, r.conn.files, "fd");
}

Outcome llfFstat(Request& r) {
  OpenFile* file = handleOf(r, r.conn.files, "fd");
  if (file == nullptr) return r.fail(kErrInvalidHandle);
  struct stat st {};
  if (::fstat(file->fd.get(), &st) != 0) return r.failErrno(errno);
  setStat(r.out, st);
  return Outcome::kReply;
}

Outcome llfOpenDir(Request& r) {
  if (r.conn.openHandles() >= kMaxOpenHandles) return r.fail(kErrRemoteFile);
  Resolved folder;
  if (int32_t e = r.path("path", true, &folder)) return r.fail(e);
  if (!folder.exists) return r.fail(kErrNotExists);
  if (!folder.isDir()) return r.fail(kErrNotDirectory);
  OpenDir dir;
  if (int err = readNames(folder.dir.get(), folder.name(), &dir.names)) return r.failErrno(err);
  const int32_t handle = newHandle(r.conn);
  r.conn.dirs[handle] = std::move(dir);
  r.out.setInt32("hdir", handle);
  return Outcome::kReply;
}

Outcome llfReadDir(Request& r) {
  int32_t handle = 0, offset = 0;
  if (!r.int32("hdir", &handle)) return r.fail(kErrInvalidHandle);
  auto it = r.conn.dirs.find(handle);
  if (it == r.conn.dirs.end()) return r.fail(kErrInvalidHandle);
  r.int32("offset", &offset);
  // The client keeps the position: entry number "offset", and one step on. Past the end
  // the reply carries no "file".
  const std::vector<std::string>& names = it->second.names;
  if (offset >= 0 && static_cast<size_t>(offset) < names.size()) {
    r.out.setString("file", names[static_cast<size_t>(offset)].c_str());
    r.out.setInt32("offset", 1);
  } else {
    r.out.setInt32("offset", 0);
  }
  return Outcome::kReply;
}

Outcome llfCloseDir(Request& r) {
  int32_t handle = 0;
  if (!r.int32("hdir", &handle) || r.conn.dirs.erase(handle) == 0) return r.fail(kErrInvalidHandle);
  return Outcome::kReply;
}

Outcome statPath(Request& r, bool follow) {
  Resolved target;
  if (int32_t e = r.path("filename", follow, &target)) return r.fail(e);
  if (!target.exists) return r.fail(kErrNotExists);
  setStat(r.out, target.st);
  return Outcome::kReply;
}

Outcome llfStat(Request& r) {
  return statPath(r, true);
}
Outcome llfLstat(Request& r) {
  return statPath(r, false);
}

// Resolves a path parameter that must exist.
int32_t existing(Request& r, const char* name, bool follow, Resolved* out) {
  if (int32_t e = r.path(name, follow, out)) return e;
  return out->exists ? kErrNone : kErrNotExists;
}

Outcome llfChown(Request& r) {
  // Ownership stays the server's: only a change to what it already is succeeds.
  Resolved target;
  uint32_t owner = 0, group = 0;
  if (!r.uint32("owner", &owner) || !r.uint32("group", &group)) return r.fail(kErrWrongParameter);
  if (int32_t e = existing(r, "path", true, &target)) return r.fail(e);
  const bool same_owner = owner == 0xFFFFFFFFu || owner == target.st.st_uid;
  const bool same_group = group == 0xFFFFFFFFu || group == target.st.st_gid;
  return same_owner && same_group ? Outcome::kReply : r.fail(kErrPermission);
}

Outcome llfChmod(Request& r) {
  Resolved target;
  uint32_t mode = 0;
  if (!r.uint32("mode", &mode)) return r.fail(kErrWrongParameter);
  if (int32_t e = existing(r, "path", true, &target)) return r.fail(e);
  if (::fchmodat(target.dir.get(), target.name(), mode & 0777, AT_SYMLINK_NOFOLLOW) != 0)
    return r.failErrno(errno);
  return Outcome::kReply;
}

Outcome llfMkdir(Request& r) {
  Resolved target;
  uint32_t mode = 0777;
  r.uint32("mode", &mode);
  if (int32_t e = r.path("path", false, &target)) return r.fail(e);
  if (target.exists) return r.fail(kErrExists);
  if (::mkdirat(target.dir.get(), target.name(), mode & 0777 & ~r.conn.umask) != 0)
    return r.failErrno(errno);
  return Outcome::kReply;
}

Outcome llfLink(Request& r) {
  Resolved from, to;
  if (int32_t e = existing(r, "oldpath", false, &from)) return r.fail(e);
  if (int32_t e = r.path("newpath", false, &to)) return r.fail(e);
  if (to.exists) return r.fail(kErrExists);
  if (from.isDir()) return r.fail(kErrPermission);
  if (::linkat(from.dir.get(), from.name(), to.dir.get(), to.name(), 0) != 0)
    return r.failErrno(errno);
  return Outcome::kReply;
}

Outcome llfSymlink(Request& r) {
  std::string target_text;
  Resolved link;
  if (!r.text("oldpath", &target_text)) return r.fail(kErrWrongParameter);
  if (int32_t e = r.path("newpath", false, &link)) return r.fail(e);
  if (link.exists) return r.fail(kErrExists);
  std::vector<std::string> folder = link.parts;
  if (!folder.empty()) folder.pop_back();
  // A link may only point somewhere inside the disk, written relative to its folder.
  if (!linkTargetStaysInside(target_text, folder)) return r.fail(kErrPermission);
  if (::symlinkat(target_text.c_str(), link.dir.get(), link.name()) != 0) return r.failErrno(errno);
  return Outcome::kReply;
}

Outcome llfUnlink(Request& r) {
  Resolved target;
  if (int32_t e = existing(r, "path", false, &target)) return r.fail(e);
  if (target.isRoot()) return r.fail(kErrPermission);
  WriterHold hold;
  if (int32_t e = r.holdWriters({&target}, &hold)) return r.fail(e);
  if (int err = r.disk().removeFile(target.dir.get(), target.name())) return r.failErrno(err);
  return Outcome::kReply;
}

Outcome llfReadlink(Request& r) {
  Resolved target;
  if (int32_t e = existing(r, "path", false, &target)) return r.fail(e);
  if (!S_ISLNK(target.st.st_mode)) return r.fail(kErrWrongParameter);
  char text[PATH_MAX];
  const ssize_t n = ::readlinkat(target.dir.get(), target.name(), text, sizeof text - 1);
  if (n < 0) return r.failErrno(errno);
  text[n] = '\0';
  r.out.setString("data", text);
  return Outcome::kReply;
}

Outcome llfRename(Request& r) {
  Resolved from, to;
  if (int32_t e = existing(r, "oldpath", false, &from)) return r.fail(e);
  if (int32_t e = r.path("newpath", false, &to)) return r.fail(e);
  if (from.isRoot() || to.isRoot()) return r.fail(kErrPermission);
  const bool into_itself = to.parts.size() > from.parts.size() &&
                           std::equal(from.parts.begin(), from.parts.end(), to.parts.begin());
  if (into_itself) return r.fail(kErrPermission);
  WriterHold hold;
  if (int32_t e = r.holdWriters({&from, &to}, &hold)) return r.fail(e);
  // A file the rename replaces loses a name, and with its last one its bytes.
  std::optional<FileChange> replaced;
  if (to.exists) replaced.emplace(r.disk().space(), to.dir.get(), to.name());
  if (::renameat(from.dir.get(), from.name(), to.dir.get(), to.name()) != 0)
    return r.failErrno(errno);
  return Outcome::kReply;
}

Outcome llfRmdir(Request& r) {
  Resolved target;
  if (int32_t e = existing(r, "path", false, &target)) return r.fail(e);
  if (target.isRoot()) return r.fail(kErrPermission);
  if (!target.isDir()) return r.fail(kErrNotDirectory);
  if (::unlinkat(target.dir.get(), target.name(), AT_REMOVEDIR) != 0)
    return r.failErrno(errno == EEXIST ? ENOTEMPTY : errno);
  return Outcome::kReply;
}

Outcome llfTmpnam(Request& r) {
  // A name in the disk's root that nothing uses yet; nothing is created.
  static thread_local std::mt19937_64 random{std::random_device{}()};
  for (int tries = 0; tries < 100; ++tries) {
    char name[32];
    snprintf(name, sizeof name, "tmp%012llx",
             static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    struct stat st {};
    if (::fstatat(r.disk().rootFd(), name, &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT) {
      r.out.setString("filename", r.disk().display(std::vector<std::string>{name}).c_str());
      return Outcome::kReply;
    }
  }
  return r.fail(kErrRemoteFile);
}

Outcome llfRealpath(Request& r) {
  Resolved target;
  if (int32_t e = existing(r, "path", true, &target)) return r.fail(e);
  r.out.setString("realpath", r.disk().display(target.parts).c_str());
  return Outcome::kReply;
}

Outcome llfUmask(Request& r) {
  uint32_t mode = 0;
  if (!r.uint32("mode", &mode)) return r.fail(kErrWrongParameter);
  r.out.setUInt32("oldmode", static_cast<uint32_t>(r.conn.umask));
  r.conn.umask = static_cast<mode_t>(mode & 0777);
  return Outcome::kReply;
}

// fopen's mode text ("r", "wb", "a+", "wx", ...) as open flags; false when malformed.
bool streamFlags(const std::string& mode, int* flags) {
  if (mode.empty()) return false;
  int f = 0;
  switch (mode[0]) {
    case 'r':
      f = O_RDONLY;
      break;
    case 'w':
      f = O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case 'a':
      f = O_WRONLY | O_CREAT | O_APPEND;
      break;
    default:
      return false;
  }
  for (size_t i = 1; i < mode.size(); ++i) {
    switch (mode[i]) {
      case '+':
        f = (f & ~O_ACCMODE) | O_RDWR;
        break;
      case 'x':
        f |= O_EXCL;
        break;
      case 'b':
      case 't':
        break;
      default:
        return false;
    }
  }
  *flags = f;
  return true;
}

Outcome llfFopen(Request& r) {
  std::string mode;
  int flags = 0;
  if (!r.text("mode", &mode) || !streamFlags(mode, &flags)) return r.fail(kErrWrongParameter);
  OpenFile stream;
  if (int32_t e = openPath(r, "filename", flags, 0666, &stream.fd, &stream.path)) return r.fail(e);
  const int32_t handle = newHandle(r.conn);
  r.conn.streams[handle] = std::move(stream);
  r.out.setInt32("fp", handle);
  return Outcome::kReply;
}

Outcome llfFwrite(Request& r) {
  return writeData(r, handleOf(r, r.conn.streams, "fp"));
}

Outcome llfFread(Request& r) {
  // The stream's position is the server's own; the client's "offset" is only its guess.
  return readData(r, handleOf(r, r.conn.streams, "fp"));
}

Outcome llfFseek(Request& r) {
  OpenFile* stream = handleOf(r, r.conn.streams, "fp");
  if (stream == nullptr) return r.fail(kErrInvalidHandle);
  if (seekTo(r, stream) >= 0) r.out.setInt64("size", 0);
  return Outcome::kReply;
}

Outcome llfFtell(Request& r) {
  OpenFile* stream = handleOf(r, r.conn.streams, "fp");
  if (stream == nullptr) return r.fail(kErrInvalidHandle);
  const off_t at = ::lseek(stream->fd.get(), 0, SEEK_CUR);
  if (at < 0) return r.failErrno(errno);
  r.out.setInt64("size", static_cast<int64_t>(at));
  return Outcome::kReply;
}

Outcome llfFclose(Request& r) {
  return closeHandle(r, r.conn.streams, "fp");
}

}  // namespace

void addLlfCommands(CommandTable& table) {
  table["llf_open1"] = llfOpen1;
  table["llf_open2"] = llfOpen2;
  table["llf_write"] = llfWrite;
  table["llf_read"] = llfRead;
  table["llf_seek"] = llfSeek;
  table["llf_close"] = llfClose;
  table["llf_opendir"] = llfOpenDir;
  table["llf_readdir"] = llfReadDir;
  table["llf_closedir"] = llfCloseDir;
  table["llf_stat"] = llfStat;
  table["llf_lstat"] = llfLstat;
  table["llf_fstat"] = llfFstat;
  table["llf_chown"] = llfChown;
  table["llf_chmod"] = llfChmod;
  table["llf_mkdir"] = llfMkdir;
  table["llf_link"] = llfLink;
  table["llf_symlink"] = llfSymlink;
  table["llf_unlink"] = llfUnlink;
  table["llf_readlink"] = llfReadlink;
  table["llf_rename"] = llfRename;
  table["llf_rmdir"] = llfRmdir;
  table["llf_tmpnam"] = llfTmpnam;
  table["llf_realpath"] = llfRealpath;
  table["llf_umask"] = llfUmask;
  table["llf_fopen"] = llfFopen;
  table["llf_fwrite"] = llfFwrite;
  table["llf_fread"] = llfFread;
  table["llf_fseek"] = llfFseek;
  table["llf_ftell"] = llfFtell;
  table["llf_fclose"] = llfFclose;
}

}  // namespace zavel::devserver
