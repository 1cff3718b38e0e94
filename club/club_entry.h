// What a club's list server says about its folders and files, and what an upload asks of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "zavelsdk.h"

namespace zavel {

// Entry kinds as the list server numbers them.
inline constexpr int32_t kClubKindClub = 0;
inline constexpr int32_t kClubKindFile = 1;
inline constexpr int32_t kClubKindFolder = 2;
inline constexpr int32_t kClubKindFileOther = 3;

// One folder or file of a club disk, or the club itself.
struct ClubEntry {
  int32_t itype = kClubKindFile;
  int64_t jidx = 0;
  int64_t jpidx = 0;  // the club itself: its quota in megabytes
  std::string sname;  // the club itself: its id text
  std::string stime;
  int64_t jsize = 0;
  int64_t jfilenum = 0;
  int64_t jdirnum = 0;
  std::string setime;
  std::string sdes;
  int64_t jtsize = 0;
  int64_t jdown = 0;
  int32_t icopy = 0;

  // The club itself counts as a folder.
  bool isFolder() const { return itype == kClubKindFolder || itype == kClubKindClub; }
  bool isFile() const { return itype == kClubKindFile || itype == kClubKindFileOther; }
};

// Where a file's bytes are kept: a file server, its owning account and the path there.
struct ServerLocation {
  std::string seip;  // as seen from outside
  std::string siip;  // as seen from inside
  std::string suserid;
  std::string spath;
};

// The negotiation of one upload with the list server.
struct UploadTicket {
  int32_t ioption = 0;
  std::string sname;
  int64_t jfsize = 0;
  int64_t jtidx = 0;
  int32_t itype = kClubKindFile;
  int64_t jidx = 0;
  std::string seip;
  std::string siip;
  std::string spath;
  std::string sdir;
  int64_t jpathidx = 0;
  uint32_t inotifytime = 0;
};

// Option-mask bits of the info requests: which reply fields are read. File and folder bits
// name the same fields.
namespace club_mask {
inline constexpr uint32_t kParent = 0x80, kParentDir = 0x400000;
inline constexpr uint32_t kName = 0x100, kNameDir = 0x800000;
inline constexpr uint32_t kSize = 0x200, kSizeDir = 0x1000000;
inline constexpr uint32_t kTotal = 0x400;
inline constexpr uint32_t kTime = 0x800, kTimeDir = 0x8000000;
inline constexpr uint32_t kExpiry = 0x1000, kExpiryDir = 0x10000000;
inline constexpr uint32_t kDownloads = 0x2000;
inline constexpr uint32_t kKind = 0x4000, kKindDir = 0x20000000;
inline constexpr uint32_t kDescription = 0x8000, kDescriptionDir = 0x40000000;
inline constexpr uint32_t kClub = 0x10000, kClubDir = 0x80000000;
inline constexpr uint32_t kFileCount = 0x2000000;
inline constexpr uint32_t kFolderCount = 0x4000000;
inline constexpr uint32_t kOutsideHost = 0x20000;
inline constexpr uint32_t kInsideHost = 0x40000;
inline constexpr uint32_t kStoragePath = 0x80000;
inline constexpr uint32_t kOwner = 0x100000;

// The masks the club-disk session sends. kBase is "@@  " read as a number: both kinds.
inline constexpr uint32_t kBase = 0x20204040;
inline constexpr uint32_t kFileSize = 0x4240;
inline constexpr uint32_t kFileTime = 0x8200840;
inline constexpr uint32_t kParentOnly = 0x200000;
inline constexpr uint32_t kLocate = 0x1e4040;
inline constexpr uint32_t kUploadParent = 0x20200000;
inline constexpr uint32_t kCopySource = 0x4040;
// Clearing these from kBase leaves files only; clearing kFilesScope leaves folders only.
inline constexpr uint32_t kFoldersScope = 0x20200000;
inline constexpr uint32_t kFilesScope = 0x4040;
}  // namespace club_mask

// The detail record a listing hands out for a club-disk entry: the public view, whose texts
// point into the entry it keeps. Its address is that of the view.
std::shared_ptr<void> makeClubEntryDetail(ClubEntry entry);

}  // namespace zavel
