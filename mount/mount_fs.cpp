#include "mount/mount_fs.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <thread>

#include "cli/remote_listing.h"
#include "cli/remote_path.h"
#include "protocol/error_numbers.h"

namespace zavel::mount {

namespace {

using Clock = std::chrono::steady_clock;

// Reads that follow each other fetch a window that doubles up to the largest; a read
// elsewhere fetches the smallest (or what it asks for, when that is more).
constexpr uint64_t kFirstWindow = 128 * 1024;
constexpr uint64_t kLargestWindow = 8 * 1024 * 1024;

std::string parentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writable(int flags) {
  return (flags & O_ACCMODE) != O_RDONLY;
}

// A text for a log line: the library's description of the thread's error.
std::string lastErrorText() {
  return cli::Disk::currentError().describe();
}

int lastErrno() {
  return -errnoOf(cli::Disk::currentError().number);
}

int32_t appendChunk(void* buffer, uint32_t count, uint64_t, void* user) {
  auto* into = static_cast<std::vector<char>*>(user);
  const char* bytes = static_cast<const char*>(buffer);
  into->insert(into->end(), bytes, bytes + count);
  return static_cast<int32_t>(count);
}

}  // namespace

int errnoOf(int32_t library_error) {
  switch (library_error) {
    case kErrNotExists:
      return ENOENT;
    case kErrExists:
      return EEXIST;
    case kErrNotEmpty:
      return ENOTEMPTY;
    case kErrDiskFull:
    case kErrUploadLimit:
      return ENOSPC;
    case kErrNotDirectory:
      return ENOTDIR;
    case kErrPermission:
      return EACCES;
    case kErrWrongParameter:
      return EINVAL;
    case kErrNotAllowed:
      return ENOTSUP;
    default:
      return EIO;
  }
}

struct MountFs::Folder {
  Clock::time_point fetched;
  std::map<std::string, Item> items;
};

// A window fetched on a thread of its own.
struct MountFs::Ahead {
  uint64_t start = 0;
  uint64_t end = 0;
  std::vector<char> data;
  std::future<int> done;  // last, so that it is waited for before data goes
};

struct MountFs::Node {
  std::mutex mutex;
  std::string path;     // in the mount; follows renames
  bool exists = false;  // on the disk
  uint64_t size = 0;    // the disk's size when last seen
  int64_t mtime = 0;
  int opens = 0;
  // Reading from the disk: where the file is (found again when empty), the last window
  // fetched and the one being fetched behind it while the reads follow each other.
  std::string address;
  std::vector<char> window;
  uint64_t window_start = 0;
  uint64_t ahead = kFirstWindow;
  std::unique_ptr<Ahead> next;
  // Writing: the staged copy, open while fd is not -1.
  std::filesystem::path staged;
  int fd = -1;
  bool dirty = false;     // written since the last upload
  bool unlinked = false;  // removed while open: nothing more goes to the disk
};

struct MountFs::Handle {
  std::shared_ptr<Node> node;
  int flags = 0;
};

MountFs::MountFs(std::unique_ptr<cli::Disk> disk, MountOptions options)
    : disk_(std::move(disk)),
      options_(std::move(options)),
      pool_(std::make_unique<client::SessionPool>(disk_->handle(), std::max(options_.sessions, 1))),
      mounted_(::time(nullptr)),
      uid_(::getuid()),
      gid_(::getgid()) {}

MountFs::~MountFs() {
  for (auto& [id, handle] : handles_) {
    Node& node = *handle->node;
    if (node.fd >= 0) {
      ::close(node.fd);
      node.fd = -1;
      if (!node.dirty) std::filesystem::remove(node.staged);
    }
  }
}

Clock::time_point MountFs::now() const {
  return options_.now ? options_.now() : Clock::now();
}

void MountFs::log(const std::string& line) const {
  if (options_.log) options_.log(line);
}

std::shared_ptr<const MountFs::Folder> MountFs::folder(const std::string& path, int* error) {
  {
    std::lock_guard lock(mutex_);
    auto it = folders_.find(path);
    if (it != folders_.end() && now() - it->second->fetched < options_.cacheTime) return it->second;
  }
  std::string address = disk_->home();
  if (path != "/") {
    const std::optional<Item> item = lookup(path, error);
    if (!item) return nullptr;
    if (!item->folder) {
      *error = -ENOTDIR;
      return nullptr;
    }
    address = item->address;
  }
  std::vector<cli::RemoteEntry> entries;
  cli::LibraryError failure;
  bool listed;
  {
    client::SessionPool::Lease lease(*pool_);
    listed = cli::Disk::list(lease.session(), disk_->isClub(), address, &entries, &failure);
  }
  if (!listed) {
    *error = -errnoOf(failure.number);
    return nullptr;
  }
  auto made = std::make_shared<Folder>();
  made->fetched = now();
  // A name that is not one plain name never shows: splitListing leaves it out.
  for (cli::ListedChild& child : cli::splitListing(address, std::move(entries)).children) {
    Item item;
    item.address = std::move(child.address);
    item.folder = child.entry.folder;
    item.size = static_cast<uint64_t>(std::max<int64_t>(child.entry.size, 0));
    item.mtime = cli::listedTime(child.entry).value_or(0);
    made->items.emplace(std::move(child.name), std::move(item));
  }
  std::lock_guard lock(mutex_);
  folders_[path] = made;
  return made;
}

std::optional<Item> MountFs::lookup(const std::string& path, int* error) {
  if (path == "/") return Item{disk_->home(), true, 0, mounted_};
  const std::shared_ptr<const Folder> parent = folder(parentOf(path), error);
  if (!parent) return std::nullopt;
  auto it = parent->items.find(nameOf(path));
  if (it == parent->items.end()) {
    *error = -ENOENT;
    return std::nullopt;
  }
  return it->second;
}

int MountFs::newAddress(const std::string& path, std::string* address) {
  int error = 0;
  const std::optional<Item> parent = lookup(parentOf(path), &error);
  if (!parent) return error;
  if (!parent->folder) return -ENOTDIR;
  *address = cli::joinRemote(parent->address, nameOf(path));
  return 0;
}

void MountFs::forget(const std::string& path) {
  std::lock_guard lock(mutex_);
  folders_.erase(path);
  folders_.erase(parentOf(path));
  space_.reset();
}

void MountFs::forgetBelow(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string prefix = path + "/";
  for (auto it = folders_.begin(); it != folders_.end();)
    it = it->first == path || it->first.starts_with(prefix) ? folders_.erase(it) : std::next(it);
}

struct stat MountFs::attributes(const Item& item) const {
  struct stat st {};
  const mode_t write_bits = readOnly() ? 0 : 0200;
  st.st_mode = item.folder ? (S_IFDIR | 0555 | write_bits) : (S_IFREG | 0444 | write_bits);
  st.st_nlink = item.folder ? 2 : 1;
  st.st_uid = uid_;
  st.st_gid = gid_;
  // A club lists a folder with the bytes inside it; du adds those up itself.
  const uint64_t size = item.folder ? 0 : item.size;
  st.st_size = static_cast<off_t>(size);
  // Programs size their buffers by this: a megabyte a call, as FUSE takes at most.
  st.st_blksize = 1 << 20;
  st.st_blocks = static_cast<blkcnt_t>((size + 511) / 512);
  st.st_atim.tv_sec = st.st_mtim.tv_sec = st.st_ctim.tv_sec = static_cast<time_t>(item.mtime);
  return st;
}

int MountFs::refuseChange() const {
  return readOnly() ? -EROFS : 0;
}

int MountFs::refuseRemoval() const {
  if (readOnly()) return -EROFS;
  return disk_->mode() == 2 ? -EACCES : 0;
}

int MountFs::getattr(const std::string& path, struct stat* st) {
  if (std::shared_ptr<Node> node = nodeFor(path)) {
    std::lock_guard lock(node->mutex);
    if (node->fd >= 0 && !node->unlinked) {
      struct stat staged {};
      if (::fstat(node->fd, &staged) != 0) return -errno;
      *st = attributes(Item{"", false, static_cast<uint64_t>(staged.st_size), staged.st_mtime});
      return 0;
    }
  }
  int error = 0;
  const std::optional<Item> item = lookup(path, &error);
  if (!item) return error;
  *st = attributes(*item);
  return 0;
}

int MountFs::readdir(const std::string& path,
                     std::vector<std::pair<std::string, struct stat>>* out) {
  int error = 0;
  const std::shared_ptr<const Folder> listed = folder(path, &error);
  if (!listed) return error;
  out->clear();
  out->reserve(listed->items.size());
  for (const auto& [name, item] : listed->items) out->emplace_back(name, attributes(item));
  // Files made here and not yet uploaded are there already.
  std::vector<std::shared_ptr<Node>> pending;
  {
    std::lock_guard lock(mutex_);
    for (auto& [node_path, weak] : nodes_)
      if (std::shared_ptr<Node> node = weak.lock();
          node && parentOf(node_path) == path && !listed->items.contains(nameOf(node_path)))
        pending.push_back(node);
  }
  for (const std::shared_ptr<Node>& node : pending) {
    std::lock_guard lock(node->mutex);
    struct stat st {};
    if (node->fd < 0 || node->unlinked || ::fstat(node->fd, &st) != 0) continue;
    out->emplace_back(nameOf(node->path),
                      attributes(Item{"", false, static_cast<uint64_t>(st.st_size), st.st_mtime}));
  }
  return 0;
}

int MountFs::statfs(struct statvfs* st) {
  {
    std::lock_guard lock(mutex_);
    if (space_ && now() - space_->first < options_.cacheTime) {
      *st = space_->second;
      return 0;
    }
  }
  DiskSpaceInfo info{};
  {
    client::SessionPool::Lease lease(*pool_);
    cli::Disk::clearError();
    if (zavel_GetDiskSpace(&info, lease.session()) == 0) return lastErrno();
  }
  struct statvfs made {};
  made.f_bsize = made.f_frsize = std::max<uint32_t>(info.block, 1);
  made.f_blocks = info.total;
  made.f_bfree = made.f_bavail = std::min(info.free, info.total);
  made.f_namemax = 255;
  if (readOnly()) made.f_flag |= ST_RDONLY;
  *st = made;
  std::lock_guard lock(mutex_);
  space_.emplace(now(), made);
  return 0;
}

int MountFs::mkdir(const std::string& path) {
  if (int refused = refuseChange()) return refused;
  if (!cli::nameProblem(nameOf(path)).empty()) return -EINVAL;
  std::string address;
  if (int error = newAddress(path, &address)) return error;
  {
    client::SessionPool::Lease lease(*pool_);
    cli::Disk::clearError();
    if (zavel_MakeFolder(address.c_str(), lease.session()) == 0) return lastErrno();
  }
  forget(path);
  return 0;
}

int MountFs::rmdir(const std::string& path) {
  if (int refused = refuseRemoval()) return refused;
  int error = 0;
  const std::optional<Item> item = lookup(path, &error);
  if (!item) return error;
  if (!item->folder) return -ENOTDIR;
  if (path == "/") return -EBUSY;
  // Asked afresh: a folder is removed only when it is empty now.
  forgetBelow(path);
  const std::shared_ptr<const Folder> inside = folder(path, &error);
  if (!inside) return error;
  if (!inside->items.empty()) return -ENOTEMPTY;
  {
    client::SessionPool::Lease lease(*pool_);
    cli::Disk::clearError();
    if (zavel_DeleteFile(item->address.c_str(), 0, lease.session()) == 0) return lastErrno();
  }
  forgetBelow(path);
  forget(path);
  return 0;
}

int MountFs::unlink(const std::string& path) {
  if (int refused = refuseRemoval()) return refused;
  const std::shared_ptr<Node> node = nodeFor(path);
  int error = 0;
  const std::optional<Item> item = lookup(path, &error);
  if (item && item->folder) return -EISDIR;
  if (item) {
    client::SessionPool::Lease lease(*pool_);
    cli::Disk::clearError();
    if (zavel_DeleteFile(item->address.c_str(), 0, lease.session()) == 0) return lastErrno();
  } else if (!node || error != -ENOENT) {
    return error;
  }
  if (node) {
    std::lock_guard lock(node->mutex);
    if (!item && (node->fd < 0 || node->unlinked)) return -ENOENT;
    node->unlinked = true;
    node->dirty = false;
  }
  forget(path);
  return 0;
}

int MountFs::rename(const std::string& from, const std::string& to) {
  if (int refused = refuseRemoval()) return refused;
  if (from == "/" || to == "/") return -EBUSY;
  if (from == to) return 0;
  if (to.starts_with(from + "/")) return -EINVAL;
  if (!cli::nameProblem(nameOf(to)).empty()) return -EINVAL;
  int error = 0;
  const std::optional<Item> source = lookup(from, &error);
  if (!source) return error;
  const std::optional<Item> parent = lookup(parentOf(to), &error);
  if (!parent) return error;
  if (!parent->folder) return -ENOTDIR;
  const std::optional<Item> target = lookup(to, &error);
  if (!target && error != -ENOENT) return error;

  if (int failed = renameOnDisk(*source, target, *parent, from, to)) return failed;
  forget(from);
  forget(to);
  forgetBelow(from);
  // Open files follow their new names.
  std::vector<std::pair<std::string, std::shared_ptr<Node>>> moved;
  {
    std::lock_guard lock(mutex_);
    for (auto it = nodes_.begin(); it != nodes_.end();) {
      if (it->first == from || it->first.starts_with(from + "/")) {
        if (std::shared_ptr<Node> node = it->second.lock())
          moved.emplace_back(to + it->first.substr(from.size()), node);
        it = nodes_.erase(it);
      } else {
        ++it;
      }
    }
    for (auto& [path, node] : moved) nodes_[path] = node;
  }
  for (auto& [path, node] : moved) {
    std::lock_guard lock(node->mutex);
    node->path = path;
    node->address.clear();
  }
  return 0;
}

int MountFs::renameOnDisk(const Item& source, const std::optional<Item>& target, const Item& parent,
                          const std::string& from, const std::string& to) {
  client::SessionPool::Lease lease(*pool_);
  ZavelSession* session = lease.session();
  cli::Disk::clearError();
  if (target) {
    // rename(2) replaces a file by a file and an empty folder by a folder.
    if (target->folder != source.folder) return target->folder ? -EISDIR : -ENOTDIR;
    if (target->folder) {
      std::vector<cli::RemoteEntry> entries;
      cli::LibraryError failure;
      if (!cli::Disk::list(session, disk_->isClub(), target->address, &entries, &failure))
        return -errnoOf(failure.number);
      if (!cli::splitListing(target->address, std::move(entries)).children.empty())
        return -ENOTEMPTY;
    }
    if (zavel_DeleteFile(target->address.c_str(), 0, session) == 0) return lastErrno();
  }
  const std::string new_address = cli::joinRemote(parent.address, nameOf(to));
  if (parentOf(from) == parentOf(to) || !disk_->isClub()) {
    // A personal disk's rename takes a whole new path, in another folder as well; a club
    // disk's renames in place.
    if (zavel_RenameFile(source.address.c_str(), new_address.c_str(), session) == 0)
      return lastErrno();
  } else {
    // A club item keeps its key when it moves, and then takes its new name.
    if (zavel_MoveFile(source.address.c_str(), parent.address.c_str(), session) == 0)
      return lastErrno();
    if (nameOf(from) != nameOf(to) &&
        zavel_RenameFile(source.address.c_str(), new_address.c_str(), session) == 0)
      return lastErrno();
  }
  return 0;
}

std::shared_ptr<MountFs::Node> MountFs::nodeFor(const std::string& path) {
  std::lock_guard lock(mutex_);
  auto it = nodes_.find(path);
  return it == nodes_.end() ? nullptr : it->second.lock();
}

std::shared_ptr<MountFs::Handle> MountFs::handleOf(uint64_t handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : it->second;
}

int MountFs::openNode(const std::string& path, int flags, bool created, uint64_t* handle) {
  std::optional<Item> item;
  std::shared_ptr<Node> node = nodeFor(path);
  if (!created && !node) {
    int error = 0;
    item = lookup(path, &error);
    if (!item) return error;
    if (item->folder) return -EISDIR;
  }
  {
    std::lock_guard lock(mutex_);
    std::weak_ptr<Node>& slot = nodes_[path];
    node = slot.lock();
    if (!node) {
      node = std::make_shared<Node>();
      node->path = path;
      if (item) {
        node->exists = true;
        node->size = item->size;
        node->mtime = item->mtime;
        node->address = item->address;
      }
      slot = node;
    }
  }
  std::lock_guard lock(node->mutex);
  if (created || (writable(flags) && (flags & O_TRUNC) != 0)) {
    // Made or emptied: the disk's copy is not wanted, and the file is uploaded even when
    // nothing is written.
    if (node->fd >= 0) {
      if (::ftruncate(node->fd, 0) != 0) return -errno;
    } else if (int error = stage(*node, false)) {
      return error;
    }
    node->unlinked = false;
    node->dirty = true;
  }
  ++node->opens;
  std::lock_guard map_lock(mutex_);
  *handle = next_handle_++;
  handles_[*handle] = std::make_shared<Handle>(Handle{node, flags});
  return 0;
}

int MountFs::open(const std::string& path, int flags, uint64_t* handle) {
  if (writable(flags))
    if (int refused = refuseChange()) return refused;
  return openNode(path, flags, false, handle);
}

int MountFs::create(const std::string& path, int flags, uint64_t* handle) {
  if (int refused = refuseChange()) return refused;
  if (!cli::nameProblem(nameOf(path)).empty()) return -EINVAL;
  std::string address;
  if (int error = newAddress(path, &address)) return error;
  return openNode(path, flags, true, handle);
}

int MountFs::stage(Node& node, bool fetch) {
  if (node.fd >= 0) return 0;
  std::error_code ec;
  std::filesystem::create_directories(options_.cacheDir, ec);
  uint64_t number;
  {
    std::lock_guard lock(mutex_);
    number = next_stage_++;
  }
  node.staged = options_.cacheDir / (std::to_string(::getpid()) + "-" + std::to_string(number) +
                                     "-" + nameOf(node.path));
  node.fd = ::open(node.staged.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (node.fd < 0) return -errno;
  if (!fetch || !node.exists || node.size == 0) return 0;
  // Changing a file that is on the disk: its bytes first.
  int error = 0;
  const std::optional<Item> item = lookup(node.path, &error);
  if (item && !item->folder) {
    client::FileTransfer file;
    file.remote = item->address;
    file.local = node.staged.string();
    file.end = item->size;
    client::SessionPool::Lease lease(*pool_);
    cli::Disk::clearError();
    if (!client::transferFile(lease.session(), file, nullptr, options_.retry)) error = lastErrno();
  } else if (item) {
    error = -EISDIR;
  }
  if (error != 0) {
    ::close(node.fd);
    node.fd = -1;
    std::filesystem::remove(node.staged, ec);
  }
  return error;
}

int MountFs::upload(Node& node) {
  struct stat st {};
  if (::fstat(node.fd, &st) != 0) return -errno;
  std::string address;
  int error = newAddress(node.path, &address);
  if (error == 0) {
    client::FileTransfer file;
    file.upload = true;
    file.remote = address;
    file.local = node.staged.string();
    file.end = static_cast<uint64_t>(st.st_size);
    client::SessionPool::Lease lease(*pool_);
    cli::Disk::clearError();
    if (!client::transferFile(lease.session(), file, nullptr, options_.retry)) {
      error = lastErrno();
      log("cannot upload " + node.path + ": " + lastErrorText() + "; what was written is kept in " +
          node.staged.string());
    }
  } else {
    log("cannot upload " + node.path + ": " + std::strerror(-error) +
        "; what was written is kept in " + node.staged.string());
  }
  if (error != 0) return error;
  node.dirty = false;
  node.exists = true;
  node.size = static_cast<uint64_t>(st.st_size);
  node.next.reset();
  node.window.clear();
  node.address.clear();
  forget(node.path);
  return 0;
}

int64_t MountFs::read(uint64_t handle, char* data, size_t size, uint64_t offset) {
  const std::shared_ptr<Handle> h = handleOf(handle);
  if (!h) return -EBADF;
  Node& node = *h->node;
  std::lock_guard lock(node.mutex);
  if (node.fd >= 0) {
    size_t done = 0;
    while (done < size) {
      const ssize_t n =
          ::pread(node.fd, data + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return -errno;
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
  }
  return readRemote(node, data, size, offset);
}

int64_t MountFs::readRemote(Node& node, char* data, size_t size, uint64_t offset) {
  if (offset >= node.size) return 0;
  size = static_cast<size_t>(std::min<uint64_t>(size, node.size - offset));
  if (node.address.empty()) {
    int error = 0;
    const std::optional<Item> item = lookup(node.path, &error);
    if (!item) return error;
    if (item->folder) return -EISDIR;
    node.address = item->address;
  }
  size_t done = 0;
  while (done < size) {
    const uint64_t at = offset + done;
    const uint64_t window_end = node.window_start + node.window.size();
    if (at >= node.window_start && at < window_end) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, window_end - at));
      std::memcpy(data + done, node.window.data() + (at - node.window_start), n);
      done += n;
      continue;
    }
    if (node.next && at >= node.next->start && at < node.next->end) {
      // The window fetched ahead: the reads have followed each other.
      std::unique_ptr<Ahead> ready = std::move(node.next);
      const int failed = ready->done.get();
      if (failed != 0) return failed;
      if (ready->data.size() != ready->end - ready->start) return -EIO;
      node.window = std::move(ready->data);
      node.window_start = ready->start;
      node.ahead = std::min(node.ahead * 2, kLargestWindow);
      continue;
    }
    // Elsewhere: what this read needs, and more when it follows the last window.
    node.next.reset();
    node.ahead = at == window_end && !node.window.empty() ? std::min(node.ahead * 2, kLargestWindow)
                                                          : kFirstWindow;
    const uint64_t end = std::min(node.size, at + std::max<uint64_t>(node.ahead, size - done));
    node.window.clear();
    node.window_start = at;
    if (int failed = fetch(node.address, at, end, &node.window)) {
      node.window.clear();
      return failed;
    }
    // The file is shorter on the disk than it was listed: it changed there.
    if (node.window.size() != end - at) return -EIO;
  }
  // Reads that reach into a window's second half go on: its successor is fetched meanwhile.
  const uint64_t window_end = node.window_start + node.window.size();
  if (!node.next && window_end < node.size && node.window.size() >= kFirstWindow &&
      offset + size > node.window_start + node.window.size() / 2) {
    auto ahead = std::make_unique<Ahead>();
    ahead->start = window_end;
    ahead->end = std::min(node.size, window_end + std::min(node.ahead * 2, kLargestWindow));
    ahead->done = std::async(std::launch::async, [this, address = node.address, a = ahead.get()] {
      return fetch(address, a->start, a->end, &a->data);
    });
    node.next = std::move(ahead);
  }
  return static_cast<int64_t>(done);
}

int MountFs::fetch(const std::string& address, uint64_t start, uint64_t end,
                   std::vector<char>* into) {
  for (int attempt = 0;; ++attempt) {
    into->clear();
    into->reserve(static_cast<size_t>(end - start));
    TransferSpec spec{};
    spec.source = address.c_str();
    spec.start = start;
    spec.end = end;
    spec.dataCallback = appendChunk;
    spec.userValue = into;
    int32_t failure;
    {
      client::SessionPool::Lease lease(*pool_);
      cli::Disk::clearError();
      if (zavel_Download(lease.session(), &spec, nullptr) != 0) return 0;
      failure = zavel_GetLastError();
    }
    if (!client::connectionLost(failure) || attempt >= options_.retry.retries)
      return -errnoOf(failure);
    std::this_thread::sleep_for(
        std::chrono::milliseconds(options_.retry.waitBeforeMs(attempt + 1)));
  }
}

int64_t MountFs::write(uint64_t handle, const char* data, size_t size, uint64_t offset) {
  const std::shared_ptr<Handle> h = handleOf(handle);
  if (!h) return -EBADF;
  if (!writable(h->flags)) return -EBADF;
  Node& node = *h->node;
  std::lock_guard lock(node.mutex);
  if (int error = stage(node, true)) return error;
  size_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pwrite(node.fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -errno;
    done += static_cast<size_t>(n);
  }
  node.dirty = true;
  return static_cast<int64_t>(done);
}

int MountFs::truncate(const std::string& path, uint64_t size, std::optional<uint64_t> handle) {
  if (int refused = refuseChange()) return refused;
  uint64_t own = 0;
  if (!handle) {
    // truncate(2) on a path: through a handle of its own, uploaded as it closes.
    if (int error = openNode(path, O_WRONLY, false, &own)) return error;
  }
  const std::shared_ptr<Handle> h = handleOf(handle.value_or(own));
  if (!h) return -EBADF;
  int error = 0;
  {
    Node& node = *h->node;
    std::lock_guard lock(node.mutex);
    error = stage(node, size != 0);
    if (error == 0 && ::ftruncate(node.fd, static_cast<off_t>(size)) != 0) error = -errno;
    if (error == 0) node.dirty = true;
  }
  if (!handle) {
    const int flushed = flush(own);
    release(own);
    if (error == 0) error = flushed;
  }
  return error;
}

int MountFs::flush(uint64_t handle) {
  const std::shared_ptr<Handle> h = handleOf(handle);
  if (!h) return -EBADF;
  Node& node = *h->node;
  std::lock_guard lock(node.mutex);
  if (!node.dirty || node.unlinked || node.fd < 0) return 0;
  return upload(node);
}

int MountFs::release(uint64_t handle) {
  std::shared_ptr<Handle> h;
  {
    std::lock_guard lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return -EBADF;
    h = std::move(it->second);
    handles_.erase(it);
  }
  Node& node = *h->node;
  std::lock_guard lock(node.mutex);
  if (--node.opens > 0) return 0;
  if (node.fd < 0) {
    std::lock_guard map_lock(mutex_);
    if (auto it = nodes_.find(node.path); it != nodes_.end() && it->second.lock() == h->node)
      nodes_.erase(it);
    return 0;
  }
  // The last handle: what a failed flush left is tried once more, then kept.
  if (node.dirty && !node.unlinked && upload(node) != 0) {
    ::close(node.fd);
    node.fd = -1;
    return 0;
  }
  ::close(node.fd);
  node.fd = -1;
  std::error_code ec;
  std::filesystem::remove(node.staged, ec);
  std::lock_guard map_lock(mutex_);
  if (auto it = nodes_.find(node.path); it != nodes_.end() && it->second.lock() == h->node)
    nodes_.erase(it);
  return 0;
}

void MountFs::flushAll() {
  std::vector<std::shared_ptr<Node>> open;
  {
    std::lock_guard lock(mutex_);
    for (auto& [id, handle] : handles_) open.push_back(handle->node);
  }
  for (const std::shared_ptr<Node>& node : open) {
    std::lock_guard lock(node->mutex);
    if (node->dirty && !node->unlinked && node->fd >= 0) upload(*node);
  }
}

}  // namespace zavel::mount
