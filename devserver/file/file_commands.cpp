// Sign-on and the file and folder commands of a personal disk.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <limits>
#include <sstream>

#include "devserver/file/dispatcher.h"
#include "devserver/file/fs_ops.h"
#include "devserver/server_errors.h"

namespace zavel::devserver {

namespace {

// Name of the folders "createdir" makes inside a base path: "새 폴더", "새 폴더 (2)", ...
constexpr const char* kNewFolderName = "새 폴더";
constexpr int kMaxNewFolderTries = 1000;

// A listing reply stays well inside the largest message a client accepts.
constexpr size_t kMaxListingEntries = 100000;
constexpr size_t kMaxListingBytes = 12u << 20;
constexpr int32_t kMaxRecursion = 32;

int32_t clampToInt32(uint64_t value) {
  return static_cast<int32_t>(std::min<uint64_t>(value, std::numeric_limits<int32_t>::max()));
}

// The account a personal disk belongs to.
const AccountConfig* ownerOf(const Config& config, const std::string& diskid) {
  for (const AccountConfig& a : config.accounts)
    for (const DiskConfig& d : a.disks)
      if (d.personal() && d.diskid == diskid) return &a;
  return nullptr;
}

Outcome setUser(Request& r) {
  std::string id;
  if (!r.text("id", &id)) return r.fail(kErrWrongId);
  Disk* disk = r.server.disk(id);
  const AccountConfig* owner = ownerOf(r.server.config, id);
  if (disk == nullptr || owner == nullptr) return r.fail(kErrWrongId);
  // The program signs on without a password; one that is sent must be right (the
  // account's password or one of its session keys).
  std::string pass;
  if (r.text("pass", &pass) && !pass.empty() && pass != owner->password &&
      std::find(owner->session_keys.begin(), owner->session_keys.end(), pass) ==
          owner->session_keys.end()) {
    return r.fail(kErrWrongPasswd);
  }
  if (r.conn.disk != disk) {
    // Handles opened on another disk do not carry over.
    r.conn.files.clear();
    r.conn.dirs.clear();
    r.conn.streams.clear();
    if (r.conn.disk == nullptr) ++r.server.stats.signed_on;
  }
  r.conn.disk = disk;
  r.conn.user = id;
  const DiskConfig& c = disk->config();
  r.out.setString("path", c.base_path.c_str());
  r.out.setInt32("mode", c.mode);
  r.out.setString("openurl", c.open_url.c_str());
  r.out.setString("msg", c.message.c_str());
  return Outcome::kReply;
}

Outcome getQuota(Request& r) {
  const uint64_t quota = r.disk().quotaBytes();
  const uint64_t used = r.disk().usedBytes();
  r.out.setInt32("block", 1024);
  r.out.setInt32("total", clampToInt32(quota / 1024));
  r.out.setInt32("free", clampToInt32(used >= quota ? 0 : (quota - used) / 1024));
  return Outcome::kReply;
}

mode_t folderMode(const Request& r) {
  return 0777 & ~r.conn.umask;
}

Outcome makeFolderIn(Request& r) {
  Resolved base;
  if (int32_t e = r.path("basepath", true, &base)) return r.fail(e);
  if (!base.exists) return r.fail(kErrNotExists);
  if (!base.isDir()) return r.fail(kErrNotDirectory);
  UniqueFd dir = base.open(O_PATH | O_DIRECTORY);
  if (!dir.valid()) return r.failErrno(errno);
  for (int i = 1; i <= kMaxNewFolderTries; ++i) {
    std::string name = kNewFolderName;
    if (i > 1) name += " (" + std::to_string(i) + ")";
    if (::mkdirat(dir.get(), name.c_str(), folderMode(r)) == 0) {
      std::vector<std::string> parts = base.parts;
      parts.push_back(name);
      r.out.setString("path", r.disk().display(parts).c_str());
      return Outcome::kReply;
    }
    if (errno != EEXIST) return r.failErrno(errno);
  }
  return r.fail(kErrExists);
}

Outcome createDir(Request& r) {
  if (r.in.has("basepath")) return makeFolderIn(r);
  Resolved target;
  if (int32_t e = r.path("fullpath", false, &target)) return r.fail(e);
  if (target.exists) return r.fail(kErrExists);
  if (::mkdirat(target.dir.get(), target.name(), folderMode(r)) != 0) return r.failErrno(errno);
  return Outcome::kReply;
}

Outcome createFile(Request& r) {
  Resolved target;
  if (int32_t e = r.path("fullpath", true, &target)) return r.fail(e);
  if (target.exists) return r.fail(kErrExists);
  UniqueFd fd = target.open(O_WRONLY | O_CREAT | O_EXCL, 0666 & ~r.conn.umask);
  if (!fd.valid()) return r.failErrno(errno);
  return Outcome::kReply;
}

Outcome deleteFile(Request& r) {
  Resolved target;
  if (int32_t e = r.path("path", false, &target)) return r.fail(e);
  if (target.isRoot()) return r.fail(kErrPermission);
  if (!target.exists) return r.fail(kErrNotExists);
  std::string opt;
  const bool force = r.text("opt", &opt) && opt == "force";
  WriterHold hold;
  if (int32_t e = r.holdWriters({&target}, &hold)) return r.fail(e);
  int err = 0;
  if (!target.isDir()) {
    err = r.disk().removeFile(target.dir.get(), target.name());
  } else if (force) {
    err = r.disk().removeTree(target.dir.get(), target.name());
  } else {
    err = ::unlinkat(target.dir.get(), target.name(), AT_REMOVEDIR) == 0 ? 0 : errno;
    if (err == EEXIST) err = ENOTEMPTY;
  }
  return err == 0 ? Outcome::kReply : r.failErrno(err);
}

bool startsWith(const std::vector<std::string>& parts, const std::vector<std::string>& prefix) {
  return parts.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), parts.begin());
}

// Renames without replacing anything; the target was checked to be absent.
int renameNoReplace(const Resolved& from, const Resolved& to) {
  if (::renameat2(from.dir.get(), from.name(), to.dir.get(), to.name(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL) return errno;
  if (from.isDir() && startsWith(to.parts, from.parts)) return EPERM;
  // File systems without RENAME_NOREPLACE.
  return ::renameat(from.dir.get(), from.name(), to.dir.get(), to.name()) == 0 ? 0 : errno;
}

Outcome renameFile(Request& r) {
  Resolved from, to;
  if (int32_t e = r.path("oldpath", false, &from)) return r.fail(e);
  if (int32_t e = r.path("newpath", false, &to)) return r.fail(e);
  if (from.isRoot()) return r.fail(kErrPermission);
  if (!from.exists) return r.fail(kErrNotExists);
  if (to.isRoot() || to.exists) return r.fail(kErrExists);
  if (from.isDir() && startsWith(to.parts, from.parts)) return r.fail(kErrPermission);
  WriterHold hold;
  if (int32_t e = r.holdWriters({&from, &to}, &hold)) return r.fail(e);
  const int err = renameNoReplace(from, to);
  return err == 0 ? Outcome::kReply : r.failErrno(err);
}

// Resolves "srcpath" and the place named like it inside folder "dirpath".
int32_t sourceAndTarget(Request& r, Resolved* from, Resolved* to) {
  if (int32_t e = r.path("srcpath", false, from)) return e;
  if (from->isRoot()) return kErrPermission;
  if (!from->exists) return kErrNotExists;
  Resolved folder;
  if (int32_t e = r.path("dirpath", true, &folder)) return e;
  if (!folder.exists) return kErrNotExists;
  if (!folder.isDir()) return kErrNotDirectory;
  std::vector<std::string> parts = folder.parts;
  parts.push_back(from->leaf);
  const int err = resolveBeneath(r.disk().rootFd(), parts, false, to);
  if (err != 0) return errorFromErrno(err);
  if (to->exists) return kErrExists;
  if (from->isDir() && startsWith(to->parts, from->parts)) return kErrPermission;
  return kErrNone;
}

Outcome moveFile(Request& r) {
  Resolved from, to;
  if (int32_t e = sourceAndTarget(r, &from, &to)) return r.fail(e);
  WriterHold hold;
  if (int32_t e = r.holdWriters({&from, &to}, &hold)) return r.fail(e);
  const int err = renameNoReplace(from, to);
  return err == 0 ? Outcome::kReply : r.failErrno(err);
}

Outcome copyFile(Request& r) {
  Resolved from, to;
  if (int32_t e = sourceAndTarget(r, &from, &to)) return r.fail(e);
  SpaceReservation space;
  if (int32_t e = r.disk().reserve(treeBytes(from.dir.get(), from.name()), &space))
    return r.fail(e);
  const int err =
      r.disk().copyTree(from.dir.get(), from.name(), to.dir.get(), to.name(), r.server.stopping);
  return err == 0 ? Outcome::kReply : r.failErrno(err);
}

// Resolves a path parameter that must name something that exists.
int32_t existing(Request& r, const char* name, Resolved* out) {
  if (int32_t e = r.path(name, true, out)) return e;
  return out->exists ? kErrNone : kErrNotExists;
}

Outcome getLength(Request& r) {
  Resolved target;
  if (int32_t e = existing(r, "filename", &target)) return r.fail(e);
  r.out.setInt64("size", target.isFile() ? static_cast<int64_t>(target.st.st_size) : 0);
  return Outcome::kReply;
}

Outcome getBlockSize(Request& r) {
  Resolved target;
  if (int32_t e = existing(r, "filename", &target)) return r.fail(e);
  r.out.setInt32("size", static_cast<int32_t>(target.st.st_blksize));
  return Outcome::kReply;
}

Outcome getFileTime(Request& r) {
  Resolved target;
  if (int32_t e = existing(r, "path", &target)) return r.fail(e);
  r.out.setInt32("lastaccesstime", wireTime(target.st.st_atim.tv_sec));
  r.out.setInt32("lastwritetime", wireTime(target.st.st_mtim.tv_sec));
  return Outcome::kReply;
}

Outcome setFileTime(Request& r) {
  Resolved target;
  if (int32_t e = existing(r, "path", &target)) return r.fail(e);
  struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
  int32_t seconds = 0;
  if (r.int32("lastaccesstime", &seconds)) times[0] = {seconds, 0};
  if (r.int32("lastwritetime", &seconds)) times[1] = {seconds, 0};
  if (::utimensat(target.dir.get(), target.name(), times, AT_SYMLINK_NOFOLLOW) != 0)
    return r.failErrno(errno);
  return Outcome::kReply;
}

Outcome getServerInfo(Request& r) {
  const ServerStats& s = r.server.stats;
  r.out.setInt32("nCurrentNum", s.connections.load());
  r.out.setInt32("nClubNum", static_cast<int32_t>(r.server.config.clubs.size()));
  r.out.setInt32("nMyNum", s.signed_on.load());
  r.out.setInt32("nDownNum", s.downloads.load());
  r.out.setInt32("nUpNum", s.uploads.load());
  r.out.setInt32("nStartTime", wireTime(s.start_time));
  r.out.setString("Version", kServerVersion);
  return Outcome::kReply;
}

// The built-in remote commands: read-only, answered from the server's own state.
constexpr size_t kMaxCommandOutput = 65536;

int32_t runRemoteCommand(Request& r, const std::string& line, std::string* out) {
  std::istringstream words(line);
  std::string verb, arg;
  words >> verb;
  std::getline(words >> std::ws, arg);
  std::ostringstream o;
  if (verb == "help") {
    o << "help version whoami pwd df uptime date ls [path]\n";
  } else if (verb == "version") {
    o << kServerVersion << "\n";
  } else if (verb == "whoami") {
    o << r.conn.user << "\n";
  } else if (verb == "pwd") {
    o << r.disk().basePath() << "\n";
  } else if (verb == "df") {
    o << r.disk().usedBytes() << " bytes used of " << r.disk().quotaBytes() << "\n";
  } else if (verb == "uptime") {
    o << (static_cast<int64_t>(::time(nullptr)) - r.server.stats.start_time) << " s\n";
  } else if (verb == "date") {
    o << dateText(::time(nullptr)) << "\n";
  } else if (verb == "ls") {
    Resolved folder;
    if (int32_t e = r.disk().resolve(arg, true, &folder)) return e;
    if (!folder.exists) return kErrNotExists;
    if (!folder.isDir()) return kErrNotDirectory;
    std::vector<std::string> names;
    if (int err = readNames(folder.dir.get(), folder.name(), &names)) return errorFromErrno(err);
    UniqueFd dir = folder.open(O_PATH | O_DIRECTORY);
    for (const std::string& n : names) {
      struct stat st {};
      const bool is_dir =
          ::fstatat(dir.get(), n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
      o << n << (is_dir ? "/" : "") << "\n";
      if (o.tellp() > static_cast<std::streamoff>(kMaxCommandOutput)) break;
    }
  } else {
    return kErrNotAllowed;
  }
  *out = o.str().substr(0, kMaxCommandOutput);
  return kErrNone;
}

Outcome remoteCmd(Request& r) {
  std::string line, text;
  if (!r.text("command", &line)) return r.fail(kErrWrongParameter);
  if (int32_t e = runRemoteCommand(r, line, &text)) return r.fail(e);
  int32_t want = 1;
  r.int32("getresult", &want);
  r.out.setInt32("retlen", want != 0 ? static_cast<int32_t>(text.size()) : 0);
  if (want != 0 && !text.empty()) r.out.setString("result", text.c_str());
  return Outcome::kReply;
}

// Builds a listing reply: entry 1 is the listed item, then the folder's contents, each
// folder followed by its own contents down to the recursion level.
class Listing {
 public:
  Listing(Request& r) : r_(r) {}

  bool add(const std::vector<std::string>& parts, const struct stat& st) {
    if (count_ >= kMaxListingEntries) return false;
    const std::string index = std::to_string(++count_);
    const std::string name = r_.disk().display(parts);
    const bool dir = S_ISDIR(st.st_mode);
    r_.out.setString(("p" + index).c_str(), name.c_str());
    r_.out.setInt64(("s" + index).c_str(), dir ? 0 : static_cast<int64_t>(st.st_size));
    r_.out.setInt32(("t" + index).c_str(), dir ? 1 : 0);
    r_.out.setString(("d" + index).c_str(), dateText(st.st_mtim.tv_sec).c_str());
    bytes_ += name.size() + 80;
    return bytes_ <= kMaxListingBytes;
  }

  // Adds the contents of the folder named by parts. False when the listing grew too large.
  bool addContents(int dir_fd, const char* dir_name, const std::vector<std::string>& parts,
                   int levels) {
    if (levels <= 0) return true;
    std::vector<std::string> names;
    if (readNames(dir_fd, dir_name, &names) != 0) return true;
    UniqueFd dir(::openat(dir_fd, dir_name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.valid()) return true;
    for (const std::string& n : names) {
      std::vector<std::string> child = parts;
      child.push_back(n);
      struct stat st {};
      if (::fstatat(dir.get(), n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      if (S_ISLNK(st.st_mode)) {
        // Links show what they lead to, and only when that is inside the disk.
        Resolved target;
        if (resolveBeneath(r_.disk().rootFd(), child, true, &target) != 0 || !target.exists)
          continue;
        st = target.st;
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;
        if (!add(child, st)) return false;
        continue;  // never descend through a link
      }
      if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;
      if (!add(child, st)) return false;
      if (S_ISDIR(st.st_mode) && !addContents(dir.get(), n.c_str(), child, levels - 1))
        return false;
    }
    return true;
  }

  size_t count() const { return count_; }

 private:
  Request& r_;
  size_t count_ = 0;
  size_t bytes_ = 0;
};

Outcome getFileInfo(Request& r) {
  // Names are built from the path as the client sent it, so that a folder reached through
  // a link lists under the link's name.
  std::string path;
  if (!r.text("path", &path)) return r.fail(kErrWrongParameter);
  std::vector<std::string> parts;
  if (int32_t e = splitClientPath(path, r.disk().basePath(), &parts)) return r.fail(e);
  Resolved target;
  if (int err = resolveBeneath(r.disk().rootFd(), parts, true, &target)) return r.failErrno(err);
  if (!target.exists) return r.fail(kErrNotExists);
  int32_t levels = 1;
  r.int32("recursivelevel", &levels);
  levels = std::clamp(levels, 0, kMaxRecursion);
  Listing listing(r);
  bool fits = listing.add(parts, target.st);
  if (fits && target.isDir())
    fits = listing.addContents(target.dir.get(), target.name(), parts, levels);
  if (!fits) {
    r.out.clear();
    return r.fail(kErrRemoteFile);
  }
  r.out.setInt32("num", static_cast<int32_t>(listing.count()));
  return Outcome::kReply;
}

}  // namespace

void addFileCommands(CommandTable& table) {
  table["setuser"] = setUser;
  table["getquota"] = getQuota;
  table["createdir"] = createDir;
  table["createfile"] = createFile;
  table["deletefile"] = deleteFile;
  table["renamefile"] = renameFile;
  table["movefile"] = moveFile;
  table["copyfile"] = copyFile;
  table["getlength"] = getLength;
  table["getblocksize"] = getBlockSize;
  table["getfiletime"] = getFileTime;
  table["setfiletime"] = setFileTime;
  table["getserverinfo"] = getServerInfo;
  table["remotecmd"] = remoteCmd;
  table["getfileinfo"] = getFileInfo;
}

}  // namespace zavel::devserver
