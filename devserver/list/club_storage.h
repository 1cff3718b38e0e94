// Where club files keep their bytes: the club storage account's disk on the file server,
// in numbered storage folders ("/octa/b3/4294967397"). Clients reach the bytes through
// the file server; the list server copies and removes them here directly, counting what
// that changes in the disk's used space as the file server does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "devserver/file/disk.h"

namespace zavel::devserver {

class ClubStorage {
 public:
  explicit ClubStorage(Disk& disk) : disk_(disk) {}

  // Paths as clients of the file server name them.
  std::string folderPath(int64_t folder) const;
  std::string filePath(int64_t folder, int64_t index) const;

  bool folderExists(int64_t folder) const;
  // Makes the storage folder when it is missing. 0 or errno.
  int makeFolder(int64_t folder) const;

  // Bytes stored for a file; 0 when nothing is stored yet.
  int64_t storedBytes(int64_t folder, int64_t index) const;
  // Removes a file's bytes; a missing file is not an error.
  void remove(int64_t folder, int64_t index) const;
  // Copies one file's bytes over another's (made or replaced). 0 or errno.
  int copy(int64_t from_folder, int64_t from_index, int64_t to_folder, int64_t to_index) const;
  // Stores bytes for a file, replacing what was there. 0 or errno.
  int write(int64_t folder, int64_t index, std::string_view bytes) const;

 private:
  UniqueFd replace(int dir_fd, int64_t index) const;

  Disk& disk_;
};

}  // namespace zavel::devserver
