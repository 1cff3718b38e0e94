// What a club's list server says about its folders and files, and what an upload asks of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "protocol/club_mask.h"
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

// The detail record a listing hands out for a club-disk entry: the public view, whose texts
// point into the entry it keeps. Its address is that of the view.
std::shared_ptr<void> makeClubEntryDetail(ClubEntry entry);

}  // namespace zavel
