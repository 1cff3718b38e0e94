// A disk as a file system, in the terms FUSE asks: paths from the mount's root, results as 0
// or a negative errno. Nothing here knows FUSE, so tests call it directly.
//
// Listings come from the disk and are kept for a short time, dropped at once by the mount's
// own changes. A file is read through ranged downloads: a window that grows while the reads
// follow each other, and only what is asked for when they jump. A file opened for writing
// is staged in the cache folder (the disk's copy fetched first when it is neither new nor
// emptied) and uploaded whole when it is closed or synced; when that upload fails, close
// and fsync say so, and the staged copy stays where a log line names it.
//
// Every call runs on a session of its own from a small pool, so FUSE's worker threads
// overlap, each waiting only for a free session.
#pragma once

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/disk.h"
#include "client/retry.h"
#include "client/session_pool.h"

namespace zavel::mount {

struct MountOptions {
  int sessions = 4;                             // at most; fewer when the server refuses
  std::chrono::milliseconds cacheTime{2000};    // how long a listing is believed
  std::filesystem::path cacheDir;               // where written files are staged
  client::RetryPolicy retry;                    // for whole-file transfers and reads
  std::function<void(const std::string&)> log;  // one line, without its end
  std::function<std::chrono::steady_clock::time_point()> now;  // default: the steady clock
};

// What a listing says about one item.
struct Item {
  std::string address;  // what the library is handed for it: a path or a club key
  bool folder = false;
  uint64_t size = 0;
  int64_t mtime = 0;  // seconds since 1970
};

// Library error numbers as errno values.
int errnoOf(int32_t library_error);

class MountFs {
 public:
  MountFs(std::unique_ptr<cli::Disk> disk, MountOptions options);
  ~MountFs();
  MountFs(const MountFs&) = delete;
  MountFs& operator=(const MountFs&) = delete;

  // A disk where the user may only read: mounted read-only, every change EROFS.
  bool readOnly() const { return disk_->mode() == 3; }
  int sessions() const { return pool_->size(); }

  int getattr(const std::string& path, struct stat* st);
  // The folder's items by name, each with its attributes.
  int readdir(const std::string& path, std::vector<std::pair<std::string, struct stat>>* out);
  int statfs(struct statvfs* st);

  int mkdir(const std::string& path);
  int rmdir(const std::string& path);
  int unlink(const std::string& path);
  // Replaces an existing file at `to`, or an empty folder when `from` is a folder.
  int rename(const std::string& from, const std::string& to);
  int truncate(const std::string& path, uint64_t size, std::optional<uint64_t> handle);

  // Opens (flags as open(2) takes them) and gives a handle for the calls below.
  int open(const std::string& path, int flags, uint64_t* handle);
  int create(const std::string& path, int flags, uint64_t* handle);
  // Bytes read (fewer only at the end of the file), or a negative errno.
  int64_t read(uint64_t handle, char* data, size_t size, uint64_t offset);
  int64_t write(uint64_t handle, const char* data, size_t size, uint64_t offset);
  // Uploads what was written through any handle of the file, when anything was.
  int flush(uint64_t handle);
  int release(uint64_t handle);

  // At unmount: uploads every file still written and not yet uploaded.
  void flushAll();

 private:
  struct Folder;
  struct Ahead;
  struct Node;
  struct Handle;

  std::chrono::steady_clock::time_point now() const;
  void log(const std::string& line) const;
  // The folder's listing, from the cache while it is fresh. Null with *error.
  std::shared_ptr<const Folder> folder(const std::string& path, int* error);
  // The item at path ("/": the disk's top folder). Null with *error.
  std::optional<Item> lookup(const std::string& path, int* error);
  // Where a new item named by path goes: its parent's address joined with its name.
  int newAddress(const std::string& path, std::string* address);
  void forget(const std::string& path);  // drops the listings of path and of its parent
  void forgetBelow(const std::string& path);
  int renameOnDisk(const Item& source, const std::optional<Item>& target, const Item& parent,
                   const std::string& from, const std::string& to);

  std::shared_ptr<Node> nodeFor(const std::string& path);
  std::shared_ptr<Handle> handleOf(uint64_t handle);
  int openNode(const std::string& path, int flags, bool created, uint64_t* handle);
  // With the node locked.
  // Opens the staged copy, first fetching the disk's bytes when `fetch` says so.
  int stage(Node& node, bool fetch);
  int upload(Node& node);
  int64_t readRemote(Node& node, char* data, size_t size, uint64_t offset);
  int fetch(const std::string& address, uint64_t start, uint64_t end, std::vector<char>* into);

  struct stat attributes(const Item& item) const;
  int refuseChange() const;   // EROFS on a read-only disk, else 0
  int refuseRemoval() const;  // EROFS, or EACCES where items may be added but not removed

  std::unique_ptr<cli::Disk> disk_;
  MountOptions options_;
  std::unique_ptr<client::SessionPool> pool_;
  int64_t mounted_;  // the top folder's time
  uid_t uid_;
  gid_t gid_;

  std::mutex mutex_;  // guards the maps below and the counters
  std::map<std::string, std::shared_ptr<const Folder>> folders_;
  std::map<std::string, std::weak_ptr<Node>> nodes_;
  std::map<uint64_t, std::shared_ptr<Handle>> handles_;
  uint64_t next_handle_ = 1;
  uint64_t next_stage_ = 1;
  std::optional<std::pair<std::chrono::steady_clock::time_point, struct statvfs>> space_;
};

}  // namespace zavel::mount
