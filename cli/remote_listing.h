// Folder listings as zavel-cli reads them: the entries a server sent, split into the
// listed item itself and the items inside it, each inside item under a name that is safe
// to create on the other side.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zavel::cli {

// The calling thread's library error, as captured after a failed call.
struct LibraryError {
  int32_t number = 0;
  std::string text;

  // The library's message for the number (its error text when it has none) and the
  // number: "file or directory not exist (23006)".
  std::string describe() const;
};

// The club disk's description of an entry.
struct ClubDetail {
  int64_t index = 0;
  int32_t kind = 0;  // 2 folder, 0 the club itself, 1 and 3 files
  std::string name;
  std::string time;  // "YYYYMMDDhhmmss"
  std::string description;
  std::string expiry;
  int64_t files = 0;    // folders: files inside
  int64_t folders = 0;  // folders: folders inside
  int64_t downloads = 0;
};

struct RemoteEntry {
  std::string name;  // as the server wrote it: a path, or the path the caller listed
  int64_t size = 0;
  bool folder = false;
  std::string date;  // display text, as the server wrote it
  std::optional<ClubDetail> club;
};

class RemoteLister {
 public:
  virtual ~RemoteLister() = default;
  // The entries of a one-level listing of path. False with the library's error.
  virtual bool list(const std::string& path, std::vector<RemoteEntry>* entries,
                    LibraryError* error) = 0;
};

struct ListedChild {
  std::string name;     // one safe name
  std::string address;  // what to hand the library for it: a path or a club key
  RemoteEntry entry;
};

struct Listing {
  std::optional<RemoteEntry> self;  // the listed item, when the server included it
  std::vector<ListedChild> children;
  std::vector<std::string> strays;  // names that are neither: never used as paths
};

// A listing's time text as a calendar time: "2004-12-13 PM 03:30" (hours 0 to 12 are AM and
// keep their number, PM adds 12) or a club's "20041213153000". False for anything else.
bool parseListedDate(std::string_view text, std::tm* out);
// When the entry was last changed, in seconds since 1970, reading its time as local time, as
// listings show it; a club entry's own time has the seconds as well. None when it has no
// time that can be read.
std::optional<int64_t> listedTime(const RemoteEntry& entry);

// Splits the entries of a listing of `listed` (the path or club key that was listed).
// A personal disk names entries by path: the listed path itself, or it plus "/" and one
// name. A club disk's first entry is the listed item; the others are named by their club
// record and addressed by club key.
Listing splitListing(const std::string& listed, std::vector<RemoteEntry> entries);

}  // namespace zavel::cli
