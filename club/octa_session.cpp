#include "club/octa_session.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "club/octa_paths.h"
#include "session/error_state.h"
#include "session/standard_session.h"

namespace zavel {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// Listings deeper than this, or longer than this, are no real club disk's: a server whose
// folders contain themselves would otherwise never end.
constexpr int kMaxListingDepth = 256;
constexpr size_t kMaxClubListingEntries = size_t{1} << 20;

// File-info type bits that choose the kinds listed.
constexpr int32_t kInfoFiles = 1;
constexpr int32_t kInfoFolders = 2;

void setError(int32_t number) {
  setLastError(number);
}

// Low 32 bits of a count that cannot be negative, held at the largest value when it does
// not fit.
uint32_t clampToUInt32(int64_t value) {
  return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, std::numeric_limits<uint32_t>::max()));
}

// What a mask asks for; either half of it will do.
bool asks(uint32_t mask, uint32_t file_bit, uint32_t folder_bit) {
  return (mask & (file_bit | folder_bit)) != 0;
}

FileInfoItem itemOf(const ClubEntry& e, bool folder, const std::string& name, uint32_t mask) {
  using namespace club_mask;
  FileInfoItem item;
  if (asks(mask, kName, kNameDir)) item.name = name;
  if (asks(mask, kSize, kSizeDir)) item.size = e.jsize;
  item.type = folder ? kEntryFolder : 0;
  if (asks(mask, kTime, kTimeDir)) item.date = club_path::displayTime(e.stime);
  return item;
}

}  // namespace

OctaSession::OctaSession(const char* host, uint32_t port, int32_t timeout_ms, int32_t mode,
                         int32_t club, int32_t retries)
    : ZavelListSvr(host, port, timeout_ms, club, retries), mode_(mode) {}

OctaSession::~OctaSession() = default;

bool OctaSession::signOn() {
  Guard guard(operation_);
  root_ = club_path::kRoot;
  return true;
}

bool OctaSession::resolve(const char* path, uint32_t mask, Detail detail, Resolved* out,
                          ServerLocation* where) {
  const auto normalized = club_path::normalize(path != nullptr ? path : "");
  if (!normalized) {
    setError(kErrClubPath);
    return false;
  }
  const auto split = club_path::split(*normalized, false);
  if (!split) {
    setError(kErrClubPath);
    return false;
  }
  return resolveSplit(*normalized, *split, mask, detail, out, where);
}

bool OctaSession::resolveSplit(const std::string& normalized, const club_path::Split& split,
                               uint32_t mask, Detail detail, Resolved* out, ServerLocation* where) {
  // The reply may name a club of its own; the session's stays as it is.
  int32_t club = club_;
  if (!split.index_parent) {
    if (!cmdGetFileInfoFromPath(&club, normalized.c_str(), mask, &out->entry, where)) return false;
    out->folder = out->entry.isFolder();
    return true;
  }
  // "<77@>/name" names something inside folder 77, which no index request can reach.
  if (!split.name.empty()) {
    setError(kErrClubPath);
    return false;
  }
  bool is_file = true;
  const int64_t index = club_path::parseIndex(split.parent, &is_file);
  if (index <= 0) {
    setError(kErrClubPath);
    return false;
  }
  out->entry.jidx = index;
  // The path's own word on the kind stands unless the reply says otherwise.
  out->entry.itype = is_file ? kClubKindFile : kClubKindFolder;
  bool asked = true;
  if (detail == Detail::kInfo && !is_file) {
    asked = cmdGetDirInfoOpt(&out->entry, mask, &club);
  } else if (detail != Detail::kNone) {
    asked = cmdGetFileInfoOpt(&out->entry, mask, &club, where);
  }
  if (!asked) return false;
  out->folder = out->entry.isFolder();
  return true;
}

bool OctaSession::getQuota(DiskSpaceInfo* info) {
  Guard guard(operation_);
  if (info == nullptr) return false;
  ClubEntry club;
  if (!cmdGetClubInfo(club_, &club)) return false;
  // The quota is in megabytes, the space used in bytes; both counted here in kilobytes.
  const int64_t total = club.jpidx * 1024;
  const int64_t free = total - club.jsize / 1024;
  info->block = 1024;
  info->total = clampToUInt32(total);
  info->free = clampToUInt32(free);
  return true;
}

bool OctaSession::makeFolder(const char* path) {
  Guard guard(operation_);
  const auto normalized = club_path::normalize(path != nullptr ? path : "");
  const auto split = normalized ? club_path::split(*normalized, true) : std::nullopt;
  if (!split) {
    setError(kErrClubPath);
    return false;
  }
  int64_t parent = 0;
  if (split->index_parent) {
    bool is_file = true;
    parent = club_path::parseIndex(split->parent, &is_file);
    if (parent <= 0) {
      setError(kErrClubPath);
      return false;
    }
  } else {
    ClubEntry entry;
    int32_t club = club_;
    if (!cmdGetFileInfoFromPath(&club, split->parent.c_str(), club_mask::kParentOnly, &entry,
                                nullptr)) {
      return false;
    }
    parent = entry.jidx;
  }
  return cmdCreateDir(parent, split->name.c_str());
}

bool OctaSession::deleteFile(const char* path, int32_t /*force*/) {
  Guard guard(operation_);
  Resolved r;
  if (!resolve(path, club_mask::kBase, Detail::kNone, &r)) return false;
  return r.folder ? cmdDeleteDir(r.entry.jidx) : cmdDeleteFile(r.entry.jidx);
}

bool OctaSession::renameFile(const char* old_path, const char* new_path) {
  Guard guard(operation_);
  const auto old_normalized = club_path::normalize(old_path != nullptr ? old_path : "");
  const auto new_normalized = club_path::normalize(new_path != nullptr ? new_path : "");
  if (!old_normalized || !new_normalized) {
    setError(kErrClubPath);
    return false;
  }
  const auto old_split = club_path::split(*old_normalized, false);
  const auto new_split = club_path::split(*new_normalized, true);
  if (!old_split || !new_split) {
    setError(kErrClubPath);
    return false;
  }
  Resolved r;
  if (!resolveSplit(*old_normalized, *old_split, club_mask::kBase, Detail::kNone, &r, nullptr))
    return false;
  const char* name = new_split->name.c_str();
  return r.folder ? cmdRenameDir(r.entry.jidx, name) : cmdRenameFile(r.entry.jidx, name);
}

bool OctaSession::moveFile(const char* source, const char* folder) {
  Guard guard(operation_);
  return place(source, folder, false);
}

bool OctaSession::copyFile(const char* source, const char* folder) {
  Guard guard(operation_);
  return place(source, folder, true);
}

bool OctaSession::place(const char* source, const char* folder, bool copy) {
  const auto source_normalized = club_path::normalize(source != nullptr ? source : "");
  const auto folder_normalized = club_path::normalize(folder != nullptr ? folder : "");
  const auto source_split =
      source_normalized ? club_path::split(*source_normalized, false) : std::nullopt;
  if (!folder_normalized || !source_split) {
    setError(kErrClubPath);
    return false;
  }
  ClubEntry target;
  int32_t club = club_;
  if (folder_normalized->find('<') != std::string::npos) {
    bool is_file = true;
    target.jidx = club_path::parseIndex(*folder_normalized, &is_file);
    if (target.jidx <= 0) {
      setError(kErrClubPath);
      return false;
    }
    if (!cmdGetFileInfoOpt(&target, club_mask::kBase, &club, nullptr)) return false;
  } else if (!cmdGetFileInfoFromPath(&club, folder_normalized->c_str(), club_mask::kBase, &target,
                                     nullptr)) {
    return false;
  }
  Resolved r;
  if (!resolveSplit(*source_normalized, *source_split, club_mask::kBase, Detail::kFileInfo, &r,
                    nullptr)) {
    return false;
  }
  if (!copy) {
    return r.folder ? cmdMoveDir(r.entry.jidx, target.jidx)
                    : cmdMoveFile(r.entry.jidx, target.jidx);
  }
  // The list server copies files only.
  if (r.folder) {
    setError(kErrClubCopyFolder);
    return false;
  }
  return cmdCopyFile(r.entry.jidx, target.jidx, false, nullptr);
}

int64_t OctaSession::getFileSize(const char* path) {
  Guard guard(operation_);
  Resolved r;
  if (!resolve(path, club_mask::kFileSize, Detail::kFileInfo, &r)) return -1;
  if (r.entry.itype == kClubKindFileOther) {
    setError(kErrClubKind);
    return -1;
  }
  return r.entry.jsize;
}

bool OctaSession::getFileTime(const char* path, int32_t* access, int32_t* write) {
  Guard guard(operation_);
  Resolved r;
  if (!resolve(path, club_mask::kFileTime, Detail::kInfo, &r)) return false;
  const auto seconds = club_path::timeSeconds(r.entry.stime);
  if (!seconds) return false;
  if (access != nullptr) *access = *seconds;
  if (write != nullptr) *write = *seconds;
  return true;
}

bool OctaSession::setFileTime(const char* path, int32_t /*access*/, int32_t write) {
  Guard guard(operation_);
  Resolved r;
  if (!resolve(path, club_mask::kFileTime, Detail::kInfo, &r)) return false;
  // The list server keeps one time: the write time, in universal time, as getFileTime
  // reads it back.
  return cmdSetFileTime(r.entry.jidx, club_path::timeText(write).c_str());
}

bool OctaSession::setFileExpireTime(const char* path, const char* expiry) {
  Guard guard(operation_);
  Resolved r;
  if (!resolve(path, club_mask::kBase, Detail::kNone, &r)) return false;
  return r.folder ? cmdSetDirExpireTime(r.entry.jidx, expiry)
                  : cmdSetFileExpireTime(r.entry.jidx, expiry);
}

bool OctaSession::setFileDescription(const char* path, const char* description) {
  Guard guard(operation_);
  Resolved r;
  if (!resolve(path, club_mask::kBase, Detail::kNone, &r)) return false;
  return r.folder ? cmdSetDirDescription(r.entry.jidx, description)
                  : cmdSetFileDescription(r.entry.jidx, description);
}

bool OctaSession::getFileInfo(const char* path, int32_t info_type, int32_t level,
                              std::vector<FileInfoItem>& items) {
  Guard guard(operation_);
  return fileInfo(path, info_type, level, items, 0);
}

bool OctaSession::getFileInfoEx(const char* path, int32_t info_type, int32_t level,
                                std::vector<FileInfoItem>& items, int32_t extra) {
  Guard guard(operation_);
  return fileInfo(path, info_type, level, items, extra);
}

bool OctaSession::fileInfo(const char* path, int32_t info_type, int32_t level,
                           std::vector<FileInfoItem>& items, int32_t extra) {
  const std::string given = path != nullptr ? path : "";
  const auto normalized = club_path::normalize(given);
  if (!normalized) {
    setError(kErrClubPath);
    return false;
  }
  uint32_t mask = club_mask::kBase;
  bool files = true, folders = true;
  if (info_type & kInfoFiles) {
    mask |= club_mask::kName;
    if (info_type & kInfoSizes) mask |= club_mask::kSize;
    if (info_type & kInfoDates) mask |= club_mask::kTime;
    folders = false;
  }
  if (info_type & kInfoFolders) {
    mask |= club_mask::kNameDir;
    if (info_type & kInfoSizes) mask |= club_mask::kSizeDir;
    if (info_type & kInfoDates) mask |= club_mask::kTimeDir;
    files = (info_type & kInfoFiles) != 0;
    folders = true;
  }
  if (extra > 0) mask |= static_cast<uint32_t>(extra);

  const auto split = club_path::split(*normalized, false);
  if (!split) {
    setError(kErrClubPath);
    return false;
  }
  Resolved r;
  if (!resolveSplit(*normalized, *split, mask, Detail::kInfo, &r, nullptr)) return false;
  FileInfoItem self = itemOf(r.entry, r.folder, given, mask);
  self.detail = makeClubEntryDetail(r.entry);
  items.push_back(std::move(self));
  if (!r.folder) return true;

  if (files && !folders) mask &= ~club_mask::kFoldersScope;
  if (folders && !files) mask &= ~club_mask::kFilesScope;
  return listFolder(r.entry.jidx, given, mask, level, 0, items);
}

bool OctaSession::listFolder(int64_t folder, const std::string& base, uint32_t mask, int32_t level,
                             int depth, std::vector<FileInfoItem>& items) {
  std::vector<ClubEntry> entries;
  if (!cmdGetFileListOpt(folder, mask, &entries)) return false;
  const int32_t left = level == -1 ? -1 : (level > 0 ? level - 1 : 0);
  for (ClubEntry& e : entries) {
    std::string path = base;
    if (path.empty() || path.back() != '/') path += '/';
    path += e.sname;
    const bool is_folder = e.isFolder();
    if (is_folder && left != 0) {
      if (depth + 1 >= kMaxListingDepth) {
        setError(kErrWrongPacket);
        setLastErrorText(kListReceiveText);
        return false;
      }
      if (!listFolder(e.jidx, path, mask, left, depth + 1, items)) return false;
    }
    if (items.size() >= kMaxClubListingEntries) {
      setError(kErrWrongPacket);
      setLastErrorText(kListReceiveText);
      return false;
    }
    FileInfoItem item = itemOf(e, is_folder, path, mask);
    item.detail = makeClubEntryDetail(std::move(e));
    items.push_back(std::move(item));
  }
  return true;
}

}  // namespace zavel
