// File system work on folders inside a disk, always relative to an open folder and never
// through symbolic links.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace zavel::devserver {

inline constexpr int kMaxTreeDepth = 256;

// The names in a folder (without "." and ".."), sorted bytewise. 0 or errno.
int readNames(int dir_fd, const char* name, std::vector<std::string>* names);

// Removes one entry that is not a folder. 0 or errno.
using RemoveEntry = std::function<int(int dir_fd, const char* name)>;

// Deletes a file, link or whole folder tree, each entry that is not a folder through
// remove_entry (a plain unlinkat when empty). 0 or errno.
int removeTree(int dir_fd, const char* name, const RemoveEntry& remove_entry = {});

// Bytes held by the regular files of a file or folder tree (links not followed).
uint64_t treeBytes(int dir_fd, const char* name);

// Copies a file, link or folder tree to a new name (which must not exist). Files keep
// their permission bits and modification time. On failure nothing of the copy remains.
// 0 or errno (ECANCELED when stop became true). *copied: the bytes of the files the copy
// left (none after a failure).
int copyTree(int src_dir, const char* src_name, int dst_dir, const char* dst_name,
             const std::atomic<bool>& stop, uint64_t* copied = nullptr);

// A time as listings show it, "2004-12-13 PM 03:30": hours 0 to 12 are AM and keep their
// number, 13 to 23 are PM less 12.
std::string dateText(const struct tm& local);
std::string dateText(time_t seconds);  // in local time

// Seconds since 1970 cut to the signed 32-bit range used on the wire.
int32_t wireTime(int64_t seconds);

}  // namespace zavel::devserver
