// Bits of the "ioption" mask of the club list server's info requests: which fields a reply
// carries. Each field has a bit for files and one for folders; either asks for it.
#pragma once

#include <cstdint>

namespace zavel::club_mask {

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
// A listing holds files when a bit of kFilesScope is set, folders when one of kFoldersScope
// is: clearing kFoldersScope from kBase leaves files only, clearing kFilesScope folders only.
inline constexpr uint32_t kFoldersScope = 0x20200000;
inline constexpr uint32_t kFilesScope = 0x4040;

}  // namespace zavel::club_mask
