// State the file server's connections share, and the state of one connection.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devserver/config.h"
#include "devserver/file/disk.h"
#include "devserver/file/writer_table.h"
#include "devserver/unique_fd.h"

namespace zavel::devserver {

inline constexpr const char* kServerVersion = "zavel-devserver 0.1.0";

// Counters reported by "getserverinfo".
struct ServerStats {
  std::atomic<int32_t> connections{0};
  std::atomic<int32_t> signed_on{0};
  std::atomic<int32_t> downloads{0};
  std::atomic<int32_t> uploads{0};
  int64_t start_time = 0;  // seconds since 1970
};

// Shared by every connection of one file server; outlives them.
struct ServerContext {
  Config config;
  std::map<std::string, std::unique_ptr<Disk>> disks;  // personal disks by sign-on id
  ServerStats stats;
  WriterTable writers;  // files being written, one writer each
  std::atomic<bool> stopping{false};
  // Where a server-to-server copy may connect: loopback addresses (when allowed) and the
  // hosts the configuration names.
  bool copy_to_loopback = true;
  uint16_t file_port = 0;  // where this file server listens
  std::vector<std::string> copy_hosts;

  Disk* disk(const std::string& id) const {
    auto it = disks.find(id);
    return it == disks.end() ? nullptr : it->second.get();
  }
};

// Opens every personal disk of the configuration below <data>/disks.
bool openDisks(ServerContext& context, const std::string& data_dir, std::string* error);

// Handles opened with the llf_ commands; they belong to their connection.
struct OpenFile {
  UniqueFd fd;
  std::string path;
};
struct OpenDir {
  std::vector<std::string> names;  // the folder's entries when it was opened
};

inline constexpr size_t kMaxOpenHandles = 256;

// One client connection: the disk it signed on to, and what it has open.
struct ConnectionState {
  Disk* disk = nullptr;
  std::string user;
  int socket = -1;  // the connection's stream, which a newer writer shuts down to stop an upload
  mode_t umask = 022;
  std::map<int32_t, OpenFile> files;
  std::map<int32_t, OpenDir> dirs;
  std::map<int32_t, OpenFile> streams;
  int32_t next_handle = 1;

  size_t openHandles() const { return files.size() + dirs.size() + streams.size(); }
};

}  // namespace zavel::devserver
