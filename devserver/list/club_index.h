// The club list server's index: every club's folders and files, addressed by 64-bit
// indexes from one shared sequence, kept in SQLite. Each operation checks and changes the
// index in one transaction; file bytes are copied and removed through ClubStorage.
#pragma once


#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "devserver/list/club_storage.h"
#include "devserver/config.h"

namespace zavel::devserver {

inline constexpr const char* kClubIndexFileName = "club_index.sqlite3";

// Limits on what a client may store; they keep every listing well inside one message.
inline constexpr size_t kMaxClubName = 255;
inline constexpr size_t kMaxExpiryText = 64;
inline constexpr size_t kMaxDescription = 1024;
inline constexpr size_t kMaxChecksum = 64;
inline constexpr int64_t kMaxFolderEntries = 5000;
// Files per storage folder on the file server.
inline constexpr int64_t kFilesPerStorageFolder = 1000;

enum EntryKind : int32_t { kKindFile = 1, kKindFolder = 2 };

// Upload state of a file.
enum UploadState : int32_t {
  kUploadDone = 0,     // no upload running
  kUploadNew = 1,      // made by an upload that has not ended yet
  kUploadRunning = 2,  // an upload continues or replaces a file that was complete before
};

struct ClubEntryRow {
  int64_t index = 0;
  int64_t club = 0;
  int64_t parent = 0;  // 0 for a club's root folder
  int32_t kind = kKindFile;
  std::string name;         // "" for a root folder
  std::string time;         // "YYYYMMDDhhmmss", UTC
  std::string expiry;       // free text set by clients
  std::string description;  // free text set by clients
  int64_t size = 0;         // bytes stored (during an upload: as last reported)
  int64_t total = 0;        // bytes announced by the last upload
  int64_t downloads = 0;    // times a client asked where the bytes are
  int32_t copied = 0;       // 1 for a file made by "copyfile"
  int64_t storage = 0;      // storage folder holding the bytes
  int32_t state = kUploadDone;
  std::string checksum;

  bool folder() const { return kind == kKindFolder; }
  bool root() const { return parent == 0; }
};

// Bytes, files and folders below a folder (all levels; the folder itself not counted).
struct FolderTotals {
  int64_t bytes = 0;
  int64_t files = 0;
  int64_t folders = 0;
};

struct ClubInfo {
  const ClubConfig* config = nullptr;
  int64_t root = 0;
  std::string created;
  FolderTotals totals;
};

// What an operation expects the index it is given to be.
enum class Want { kAny, kFile, kFolder };

struct UploadRequest {
  int64_t folder = 0;
  std::string name;
  int64_t size = 0;
  int32_t option = 0;  // 3 ask, 2 continue an existing file, 1 replace it
  std::string checksum;
};

// Upload kinds answered to "uploadstart".
enum UploadKind : int32_t {
  kUploadKindNew = 1,       // a new file was made
  kUploadKindFolder = 2,    // the name is a folder's: nothing was made
  kUploadKindContinue = 3,  // the existing file continues
  kUploadKindReplace = 4,   // the existing file is replaced
  kUploadKindExists = 6,    // a file of that name exists: ask again how to go on
};

struct UploadGrant {
  int32_t kind = 0;
  int64_t index = 0;    // the file the bytes go to (0 when nothing was granted)
  int64_t storage = 0;  // its storage folder
  int64_t club = 0;
};

class ClubIndex {
 public:
  // Opens (creating when missing) the index file and gives every configured club a root
  // folder. first_index is the first index handed out by a new index file.
  static std::unique_ptr<ClubIndex> open(const std::filesystem::path& file, const Config& config,
                                         const ClubStorage& storage, int64_t first_index,
                                         std::string* error);
  ~ClubIndex();
  ClubIndex(const ClubIndex&) = delete;
  ClubIndex& operator=(const ClubIndex&) = delete;

  // Every operation returns 0 or a reply error number.
  int32_t clubInfo(int64_t club, ClubInfo* out);
  int32_t entry(int64_t index, Want want, ClubEntryRow* out);
  // A path inside a club: "/", "/a/b", or an index form "<12>", "<77@>" optionally
  // followed by "/name/...". Empty parts are skipped.
  int32_t lookup(int64_t club, std::string_view path, ClubEntryRow* out);
  int32_t totals(int64_t folder, FolderTotals* out);
  // A folder's contents, folders first, each group by name.
  int32_t list(int64_t folder, bool files, bool folders, std::vector<ClubEntryRow>* out);

  int32_t makeFolder(int64_t parent, const std::string& name, int64_t* made);
  int32_t rename(int64_t index, Want want, const std::string& name);
  int32_t move(int64_t index, Want want, int64_t target);
  // Removes a file, or a folder with everything below it, bytes included.
  int32_t remove(int64_t index, Want want);
  // Copies a file into a folder under its own name; replace allows a file of that name to
  // be replaced.
  int32_t copyFile(int64_t index, int64_t target, bool replace, int64_t* made);
  int32_t setTime(int64_t index, const std::string& time);
  int32_t setExpiry(int64_t index, Want want, const std::string& text);
  int32_t setDescription(int64_t index, Want want, const std::string& text);
  int32_t countDownload(int64_t index);

  int32_t startUpload(const UploadRequest& request, UploadGrant* out);
  // A storage folder a client made for an upload.
  int32_t storageFolderMade(int64_t storage);
  int32_t notifyUpload(int64_t index, int64_t size);
  // size < 0: the upload failed before any byte moved.
  int32_t endUpload(int64_t index, int64_t size, const std::string& checksum);

  // Stores a complete file (demo data).
  int32_t importFile(int64_t folder, const std::string& name, std::string_view bytes,
                     const std::string& time, int64_t* made);

  // Bytes a file really holds: during an upload the reported size, never more than what
  // the storage has.
  int64_t fileBytes(const ClubEntryRow& file) const;

 private:
  class Db;
  ClubIndex(std::unique_ptr<Db> db, const Config& config, const ClubStorage& storage);

  int32_t loadEntry(int64_t index, Want want, ClubEntryRow* out);
  int32_t loadChild(int64_t parent, std::string_view name, ClubEntryRow* out, bool* found);
  int32_t folderTotals(int64_t folder, FolderTotals* out);
  int32_t childCount(int64_t folder, int64_t* count);
  int32_t committedBytes(int64_t club, int64_t* out);
  int32_t quotaAllows(int64_t club, int64_t growth);
  int32_t newIndex(int64_t* out);
  int32_t newStorageSlot(int64_t* storage);
  int32_t insertEntry(const ClubEntryRow& row);
  // Deletes the rows of an entry and everything below it; files gets the files among them,
  // whose bytes the caller removes once the change is committed.
  int32_t deleteTreeRows(const ClubEntryRow& top, std::vector<ClubEntryRow>* files);
  int32_t setText(int64_t index, Want want, const char* column, const std::string& text);
  int32_t ensureClub(const ClubConfig& club, int64_t first_index);

  std::unique_ptr<Db> db_;
  const Config& config_;
  const ClubStorage& storage_;
  std::mutex mutex_;
};

// "YYYYMMDDhhmmss" of a time in UTC.
std::string clubTimeText(int64_t seconds_since_1970);
// A time text of exactly 14 digits naming a real calendar time.
bool validClubTime(std::string_view text);
// A name a folder or file may have: 1 to 255 bytes, not "." or "..", none of / \ < > and
// no control characters (the index forms of paths use < > and every path uses /).
bool validClubName(std::string_view name);

}  // namespace zavel::devserver
