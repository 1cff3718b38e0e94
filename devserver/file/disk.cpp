#include "devserver/file/disk.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "devserver/file/fs_ops.h"
#include "devserver/server_errors.h"

namespace zavel::devserver {

Disk::Disk(const DiskConfig& config, std::filesystem::path folder, UniqueFd root)
    : config_(config),
      folder_(std::move(folder)),
      root_(std::move(root)),
      space_(root_.get(), config_.quota_mb << 20) {}

std::unique_ptr<Disk> Disk::open(const DiskConfig& config, const std::filesystem::path& folder,
                                 std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  UniqueFd root(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!root.valid()) {
    if (error) *error = "cannot open disk folder " + folder.string() + ": " + strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<Disk>(new Disk(config, folder, std::move(root)));
}

int32_t Disk::resolve(std::string_view client_path, bool follow_last, Resolved* out) const {
  std::vector<std::string> parts;
  const int32_t status = splitClientPath(client_path, basePath(), &parts);
  if (status != 0) return status;
  const int err = resolveBeneath(rootFd(), parts, follow_last, out);
  return err == 0 ? kErrNone : errorFromErrno(err);
}

int Disk::removeFile(int dir_fd, const char* name) {
  FileChange change(space_, dir_fd, name);
  return ::unlinkat(dir_fd, name, 0) == 0 ? 0 : errno;
}

int Disk::removeTree(int dir_fd, const char* name) {
  return devserver::removeTree(
      dir_fd, name, [this](int dir, const char* entry) { return removeFile(dir, entry); });
}

int Disk::copyTree(int src_dir, const char* src_name, int dst_dir, const char* dst_name,
                   const std::atomic<bool>& stop) {
  // Counted before the copy begins, or a first count could find the copy and then add it.
  space_.countOnce();
  // The copy's files are new: their bytes are added once, when the whole copy stands (a
  // failed copy leaves nothing behind). A client writing into a file of the copy while it is
  // still being made would be counted twice, until a restart.
  uint64_t copied = 0;
  const int err = devserver::copyTree(src_dir, src_name, dst_dir, dst_name, stop, &copied);
  space_.add(copied);
  return err;
}

}  // namespace zavel::devserver
