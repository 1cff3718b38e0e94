// The session for a club's shared disk: the path operations of every session, built on the
// list server's index-based requests. Paths are resolved afresh by every operation.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "club/list_server.h"
#include "club/octa_paths.h"

namespace zavel {

class StandardSession;

// Error numbers the club-disk session sets itself (they have no English message).
inline constexpr int32_t kErrClubPath = 6;
inline constexpr int32_t kErrClubKind = 15;
inline constexpr int32_t kErrClubNotFile = 17;
inline constexpr int32_t kErrClubCopyFolder = 37;
inline constexpr int32_t kErrClubUploadFolder = 38;
inline constexpr int32_t kErrClubStorageFolder = 40;

// The port every club file server listens on, and the account that owns the club's bytes.
inline constexpr uint16_t kClubFileServerPort = 9553;
inline constexpr char kClubStorageAccount[] = "octa";

class OctaSession : public ZavelListSvr {
 public:
  // Nothing is sent until the first operation.
  OctaSession(const char* host, uint32_t port, int32_t timeout_ms, int32_t mode, int32_t club,
              int32_t retries);
  ~OctaSession() override;

  bool signOn() override;
  void setTimeout(int32_t milliseconds) override { storeTimeout(milliseconds); }
  const char* getPath() override { return root_.c_str(); }
  int32_t getMode() override { return mode_; }
  const char* getOpenUrl() override { return nullptr; }
  const char* getMessage() override { return nullptr; }
  bool getQuota(DiskSpaceInfo* info) override;
  bool makeFolder(const char* path) override;
  bool makeFolderIn(const char*, std::string&) override { return false; }
  bool createFile(const char*) override { return false; }
  bool deleteFile(const char* path, int32_t force) override;
  bool renameFile(const char* old_path, const char* new_path) override;
  bool moveFile(const char* source, const char* folder) override;
  bool copyFile(const char* source, const char* folder) override;
  int64_t getFileSize(const char* path) override;
  uint32_t getBlockSize(const char*) override { return 0xFFFFFFFFu; }
  bool getFileTime(const char* path, int32_t* access, int32_t* write) override;
  bool setFileTime(const char* path, int32_t access, int32_t write) override;
  bool getServerInfo(ServerInfo*) override { return false; }
  bool remoteCommand(const char*, std::string&) override { return false; }
  bool setFileExpireTime(const char* path, const char* expiry) override;
  bool setFileDescription(const char* path, const char* description) override;
  bool getFileInfo(const char* path, int32_t info_type, int32_t level,
                   std::vector<FileInfoItem>& items) override;
  bool getFileInfoEx(const char* path, int32_t info_type, int32_t level,
                     std::vector<FileInfoItem>& items, int32_t extra) override;
  bool download(TransferSpec* transfer, int32_t* cancel) override;
  bool upload(TransferSpec* transfer, int32_t* cancel) override;
  bool copyEx(CopyTarget* target, TransferSpec* transfer, int32_t* cancel) override;

  // Where a file's bytes are: its file server, the owning account and the path there.
  struct Location {
    std::string host;
    std::string user;
    std::string path;
  };
  bool locateFile(const char* path, Location* where);

  // What a prepared upload goes to.
  struct PreparedUpload {
    std::string host;
    std::string user;
    int64_t file_index = 0;
  };
  // Negotiates a new file at remote_path (normalised in place, then replaced by the storage
  // path on the file server) with the list server. fingerprint_wanted: the spec's source is
  // a local file whose fingerprint goes with the request (and into *fingerprint).
  bool prepareUpload(std::string* remote_path, const TransferSpec& spec, bool fingerprint_wanted,
                     PreparedUpload* prepared, std::string* fingerprint);

  // The mode value given at creation, for duplicates.
  int32_t mode() const { return mode_; }
  uint32_t notifySeconds() const { return notify_seconds_; }
  // The port the temporary file-server sessions connect to.
  void setFileServerPort(uint16_t port) { file_server_port_ = port; }

 private:
  // A path's entry, resolved as an operation needs it.
  struct Resolved {
    ClubEntry entry;
    bool folder = false;  // what the path or the entry says it is
  };
  enum class Detail {
    kNone,     // index paths give their index and kind without a request
    kInfo,     // index paths are asked about with the request of their kind
    kFileInfo  // index paths are asked about with "getfileinfoopt", whatever their kind
  };
  bool resolve(const char* path, uint32_t mask, Detail detail, Resolved* out,
               ServerLocation* where = nullptr);
  bool resolveSplit(const std::string& normalized, const club_path::Split& split, uint32_t mask,
                    Detail detail, Resolved* out, ServerLocation* where);
  // Moves source into folder, or copies it there.
  bool place(const char* source, const char* folder, bool copy);
  bool listFolder(int64_t folder, const std::string& base, uint32_t mask, int32_t level, int depth,
                  std::vector<FileInfoItem>& items);
  bool fileInfo(const char* path, int32_t info_type, int32_t level,
                std::vector<FileInfoItem>& items, int32_t extra);
  std::unique_ptr<StandardSession> openFileServer(const std::string& host, const std::string& user);
  bool copyInside(TransferSpec* spec);
  void reportCopied(TransferSpec* spec);

  const int32_t mode_;
  std::string root_;
  uint32_t notify_seconds_ = 0;
  uint16_t file_server_port_ = kClubFileServerPort;
  // One operation at a time: the records are shared by every request.
  std::recursive_mutex operation_;
};

}  // namespace zavel
