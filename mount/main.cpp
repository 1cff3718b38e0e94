// zavel-mount: a zavel disk as a folder, through FUSE. It signs in as zavel-cli does, mounts
// the disk at MOUNTPOINT and serves it until unmounted (fusermount3 -u, or Ctrl-C in the
// foreground); files written and not yet uploaded go up before it ends.
#define FUSE_USE_VERSION 312
#include <fuse.h>
#include <syslog.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/disk_options.h"
#include "mount/mount_fs.h"

namespace {

using zavel::mount::MountFs;

MountFs& fs() {
  return *static_cast<MountFs*>(fuse_get_context()->private_data);
}

double g_cache_seconds = 2;

void* opInit(fuse_conn_info* connection, fuse_config* config) {
  // Fewer, larger writes and reads: a megabyte each where the kernel takes it.
  connection->max_write = 1u << 20;
  connection->max_readahead = std::max(connection->max_readahead, 1u << 20);
  config->attr_timeout = g_cache_seconds;
  config->entry_timeout = g_cache_seconds;
  config->negative_timeout = 0;
  config->use_ino = 0;
  return fuse_get_context()->private_data;
}

void opDestroy(void* data) {
  static_cast<MountFs*>(data)->flushAll();
}

int opGetattr(const char* path, struct stat* st, fuse_file_info*) {
  return fs().getattr(path, st);
}

int opReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
              fuse_readdir_flags) {
  std::vector<std::pair<std::string, struct stat>> items;
  if (int error = fs().readdir(path, &items)) return error;
  fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  for (const auto& [name, st] : items)
    if (fill(buffer, name.c_str(), &st, 0, FUSE_FILL_DIR_PLUS) != 0) break;
  return 0;
}

int opStatfs(const char*, struct statvfs* st) {
  return fs().statfs(st);
}

int opMkdir(const char* path, mode_t) {
  return fs().mkdir(path);
}

int opRmdir(const char* path) {
  return fs().rmdir(path);
}

int opUnlink(const char* path) {
  return fs().unlink(path);
}

int opRename(const char* from, const char* to, unsigned int flags) {
  if ((flags & RENAME_EXCHANGE) != 0) return -EINVAL;
  if ((flags & RENAME_NOREPLACE) != 0) {
    struct stat st {};
    if (fs().getattr(to, &st) == 0) return -EEXIST;
  }
  return fs().rename(from, to);
}

int opTruncate(const char* path, off_t size, fuse_file_info* fi) {
  if (size < 0) return -EINVAL;
  return fs().truncate(path, static_cast<uint64_t>(size),
                       fi != nullptr ? std::optional<uint64_t>(fi->fh) : std::nullopt);
}

int opOpen(const char* path, fuse_file_info* fi) {
  uint64_t handle = 0;
  if (int error = fs().open(path, fi->flags, &handle)) return error;
  fi->fh = handle;
  return 0;
}

int opCreate(const char* path, mode_t, fuse_file_info* fi) {
  uint64_t handle = 0;
  if (int error = fs().create(path, fi->flags, &handle)) return error;
  fi->fh = handle;
  return 0;
}

int opRead(const char*, char* data, size_t size, off_t offset, fuse_file_info* fi) {
  return static_cast<int>(fs().read(fi->fh, data, size, static_cast<uint64_t>(offset)));
}

int opWrite(const char*, const char* data, size_t size, off_t offset, fuse_file_info* fi) {
  return static_cast<int>(fs().write(fi->fh, data, size, static_cast<uint64_t>(offset)));
}

int opFlush(const char*, fuse_file_info* fi) {
  return fs().flush(fi->fh);
}

int opFsync(const char*, int, fuse_file_info* fi) {
  return fs().flush(fi->fh);
}

int opRelease(const char*, fuse_file_info* fi) {
  return fs().release(fi->fh);
}

// The disk keeps its own times and has no owners or permission bits: these change nothing,
// and succeed on an item that is there, so that cp -p and touch do their work.
int opUtimens(const char* path, const struct timespec*, fuse_file_info*) {
  struct stat st {};
  return fs().getattr(path, &st);
}

int opChmod(const char* path, mode_t, fuse_file_info*) {
  struct stat st {};
  return fs().getattr(path, &st);
}

int opChown(const char* path, uid_t, gid_t, fuse_file_info*) {
  struct stat st {};
  return fs().getattr(path, &st);
}

fuse_operations operations() {
  fuse_operations ops{};
  ops.init = opInit;
  ops.destroy = opDestroy;
  ops.getattr = opGetattr;
  ops.readdir = opReaddir;
  ops.statfs = opStatfs;
  ops.mkdir = opMkdir;
  ops.rmdir = opRmdir;
  ops.unlink = opUnlink;
  ops.rename = opRename;
  ops.truncate = opTruncate;
  ops.open = opOpen;
  ops.create = opCreate;
  ops.read = opRead;
  ops.write = opWrite;
  ops.flush = opFlush;
  ops.fsync = opFsync;
  ops.release = opRelease;
  ops.utimens = opUtimens;
  ops.chmod = opChmod;
  ops.chown = opChown;
  return ops;
}

std::filesystem::path defaultCache() {
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/')
    return std::filesystem::path(xdg) / "zavel-mount";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
    return std::filesystem::path(home) / ".cache" / "zavel-mount";
  return std::filesystem::temp_directory_path() / ("zavel-mount-" + std::to_string(::getuid()));
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  CLI::App app{
      "zavel-mount: a zavel disk as a folder that every program can use.\n"
      "It signs in as zavel-cli does (--account ID@DOMAIN [--disk NAME], --host and --user, "
      "or --club) and mounts the disk at MOUNTPOINT, in the background unless -f. "
      "fusermount3 -u MOUNTPOINT (or Ctrl-C with -f) unmounts it.",
      "zavel-mount"};
  app.set_version_flag("--version", "zavel-mount " ZAVEL_VERSION, "print the version and stop");
  zavel::cli::DiskOptions disk_options(app, "zavel-mount");
  std::string mountpoint;
  bool foreground = false;
  std::vector<std::string> fuse_options;
  std::string cache = defaultCache().string();
  zavel::mount::MountOptions options;
  double retry_wait = options.retry.firstWaitMs / 1000.0;
  app.add_option("mountpoint", mountpoint, "an empty folder to mount the disk at")->required();
  app.add_flag("-f,--foreground", foreground, "stay in the foreground and log to the terminal");
  app.add_option("-o", fuse_options, "FUSE mount options, comma-separated (allow_other, ...)");
  app.add_option("--cache", cache, "where files being written are kept until uploaded")
      ->capture_default_str();
  app.add_option("--sessions", options.sessions, "sessions on the disk at once")
      ->check(CLI::Range(1, 16))
      ->capture_default_str();
  app.add_option("--cache-time", g_cache_seconds,
                 "seconds a listing is believed before the disk is asked again")
      ->check(CLI::Range(1.0, 3600.0))
      ->capture_default_str();
  app.add_option("--retries", options.retry.retries,
                 "times a transfer goes on after a lost connection (0: never)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--retry-wait", retry_wait,
                 "seconds before the first retry, doubled before each further one (at most 30)")
      ->check(CLI::Range(0.0, options.retry.maxWaitMs / 1000.0))
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? zavel::cli::kExitOk : zavel::cli::kExitUsage;
  }
  if (const std::string problem = disk_options.finish(); !problem.empty())
    return disk_options.usage(problem);
  std::error_code ec;
  if (!std::filesystem::is_directory(mountpoint, ec))
    return disk_options.usage("'" + mountpoint + "' is not a folder");
  options.retry.firstWaitMs = static_cast<int>(std::lround(retry_wait * 1000));
  options.cacheTime = std::chrono::milliseconds(std::lround(g_cache_seconds * 1000));
  options.cacheDir = cache;
  std::filesystem::create_directories(options.cacheDir, ec);
  std::filesystem::permissions(options.cacheDir, std::filesystem::perms::owner_all, ec);

  int status = zavel::cli::kExitOk;
  std::unique_ptr<zavel::cli::Disk> disk = disk_options.open(&status);
  if (!disk) return status;
  if (foreground) {
    options.log = [](const std::string& line) { std::cerr << "zavel-mount: " << line << "\n"; };
  } else {
    openlog("zavel-mount", LOG_PID, LOG_USER);
    options.log = [](const std::string& line) { syslog(LOG_WARNING, "%s", line.c_str()); };
  }
  MountFs mounted(std::move(disk), options);

  std::string mount_options = "fsname=zavel,subtype=zavel,default_permissions";
  if (mounted.readOnly()) mount_options += ",ro";
  for (const std::string& o : fuse_options) mount_options += "," + o;
  std::vector<std::string> words = {"zavel-mount", "-o", mount_options};
  std::vector<char*> fuse_argv;
  for (std::string& w : words) fuse_argv.push_back(w.data());
  fuse_args args = FUSE_ARGS_INIT(static_cast<int>(fuse_argv.size()), fuse_argv.data());
  const fuse_operations ops = operations();
  fuse* f = fuse_new(&args, &ops, sizeof ops, &mounted);
  if (f == nullptr) {
    std::cerr << "zavel-mount: the mount options were not taken: " << mount_options << "\n";
    return zavel::cli::kExitUsage;
  }
  if (fuse_mount(f, mountpoint.c_str()) != 0) {
    std::cerr << "zavel-mount: cannot mount at " << mountpoint
              << " (is /dev/fuse there, and the folder empty and not mounted already?)\n";
    fuse_destroy(f);
    return zavel::cli::kExitFailed;
  }
  if (!foreground)
    std::cerr << "zavel-mount: " << mountpoint << " is mounted; fusermount3 -u " << mountpoint
              << " unmounts it\n";
  fuse_daemonize(foreground ? 1 : 0);
  fuse_session* session = fuse_get_session(f);
  fuse_set_signal_handlers(session);
  fuse_loop_config* loop = fuse_loop_cfg_create();
  fuse_loop_cfg_set_max_threads(loop, 16);
  const int result = fuse_loop_mt(f, loop);
  fuse_loop_cfg_destroy(loop);
  fuse_remove_signal_handlers(session);
  fuse_unmount(f);
  fuse_destroy(f);
  return result == 0 ? zavel::cli::kExitOk : zavel::cli::kExitFailed;
}
