// The space a disk's files use, kept as a running total so that no request has to walk the
// whole disk: counted once from the folder when the disk is first used after the server
// starts, then moved by every change the server itself makes to a file. Files changed
// behind the server's back (by hand in the folder, say) are seen only after a restart,
// which counts again from the folder and so also mends any drift.
//
// What counts is what the walk counts: the size of every regular file, each file once
// however many names it has in the disk.
#pragma once

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <mutex>

#include "devserver/unique_fd.h"

namespace zavel::devserver {

class DiskSpace;

// Space set aside for bytes that are about to be written; given back when destroyed.
class SpaceReservation {
 public:
  SpaceReservation() = default;
  ~SpaceReservation() { release(); }
  SpaceReservation(SpaceReservation&& other) noexcept;
  SpaceReservation& operator=(SpaceReservation&& other) noexcept;
  SpaceReservation(const SpaceReservation&) = delete;
  SpaceReservation& operator=(const SpaceReservation&) = delete;
  void release();

 private:
  friend class DiskSpace;
  DiskSpace* space_ = nullptr;
  uint64_t bytes_ = 0;
};

class DiskSpace {
 public:
  // root_fd (the disk's folder) must outlive this object.
  DiskSpace(int root_fd, uint64_t quota_bytes) : root_fd_(root_fd), quota_(quota_bytes) {}
  DiskSpace(const DiskSpace&) = delete;
  DiskSpace& operator=(const DiskSpace&) = delete;

  uint64_t quotaBytes() const { return quota_; }
  uint64_t usedBytes();

  // Sets aside room for growth bytes: 0, or 23007 when used plus reserved space would pass
  // the quota.
  int32_t reserve(uint64_t growth, SpaceReservation* out);

  // Counts bytes that a change, not measured file by file, left on the disk.
  void add(uint64_t bytes);
  // Counts the disk from its folder unless that happened already. Every change the total
  // follows must come after this, or the walk could see it and the change count it again.
  void countOnce();

 private:
  friend class SpaceReservation;
  friend class FileChange;
  void giveBack(uint64_t bytes);
  // Moves delta into the used space; growth first uses up what *reservation set aside.
  void apply(int64_t delta, SpaceReservation* reservation);
  // The lock that one file's changes are measured under. Files share a few locks, so that
  // the table stays small; two changes of different files rarely wait for each other.
  std::mutex& fileLock(const struct stat& st);

  const int root_fd_;
  const uint64_t quota_;
  std::mutex mutex_;  // guards what follows
  bool counted_ = false;
  uint64_t used_ = 0;
  uint64_t reserved_ = 0;
  std::array<std::mutex, 64> file_locks_;
};

// Measures one file before and after a change the server makes to it (in the destructor)
// and moves the difference into the disk's used space. Measuring from the file itself makes
// the count right whatever the change did: a failed or partial write, a truncation, the
// last name of a file removed (its bytes go) or one of several (they stay). The file's lock
// is held from the first measure to the last, so two connections changing one file (two
// descriptors writing it, or a write and a delete) never count the same bytes twice. Never
// hold two at once on one disk: they may share a lock.
class FileChange {
 public:
  // The file open as fd.
  FileChange(DiskSpace& space, int fd, SpaceReservation* reservation = nullptr);
  // The file named name in dir_fd, a final link not followed. Anything but a regular file
  // counts nothing.
  FileChange(DiskSpace& space, int dir_fd, const char* name);
  ~FileChange();
  FileChange(const FileChange&) = delete;
  FileChange& operator=(const FileChange&) = delete;

 private:
  void start();

  DiskSpace& space_;
  SpaceReservation* reservation_ = nullptr;
  UniqueFd own_;  // the file when it was named rather than open
  int fd_ = -1;
  std::unique_lock<std::mutex> lock_;
  uint64_t before_ = 0;
};

// Walks the folder open as root_fd: the bytes its regular files hold, each file once.
uint64_t countFileBytes(int root_fd);

}  // namespace zavel::devserver
