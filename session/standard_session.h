// The session with a personal disk's file server: sign-on, then one request/reply
// exchange per command on one connection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/session.h"

namespace zavel {

// The client version sent with every sign-on.
inline constexpr const char kClientVersion[] = "4.10.20.1";

// The mode a server that names none at sign-on gets.
constexpr int32_t kDefaultMode = 3;

// Largest listing a reply can describe: a 16 MiB body cannot name more entries than this.
constexpr int32_t kMaxListingEntries = 1 << 20;

class StandardSession : public Session {
 public:
  // Nothing is sent until signOn. A null password is the empty text.
  StandardSession(const char* host, uint32_t port, const char* user, const char* password,
                  int32_t timeout_ms);
  ~StandardSession() override;

  bool signOn() override;
  void setTimeout(int32_t milliseconds) override;
  const char* getPath() override { return path_.c_str(); }
  int32_t getMode() override { return mode_; }
  const char* getOpenUrl() override { return open_url_.c_str(); }
  const char* getMessage() override { return message_.c_str(); }
  bool getQuota(DiskSpaceInfo* info) override;
  bool makeFolder(const char* path) override;
  bool makeFolderIn(const char* base, std::string& made) override;
  bool createFile(const char* path) override;
  bool deleteFile(const char* path, int32_t force) override;
  bool renameFile(const char* old_path, const char* new_path) override;
  bool moveFile(const char* source, const char* folder) override;
  bool copyFile(const char* source, const char* folder) override;
  int64_t getFileSize(const char* path) override;
  uint32_t getBlockSize(const char* path) override;
  bool getFileTime(const char* path, int32_t* access, int32_t* write) override;
  bool setFileTime(const char* path, int32_t access, int32_t write) override;
  bool getServerInfo(ServerInfo* info) override;
  bool remoteCommand(const char* command, std::string& result) override;
  bool setFileExpireTime(const char* path, const char* expiry) override;
  bool setFileDescription(const char* path, const char* description) override;
  bool getFileInfo(const char* path, int32_t info_type, int32_t level,
                   std::vector<FileInfoItem>& items) override;
  bool getFileInfoEx(const char* path, int32_t info_type, int32_t level,
                     std::vector<FileInfoItem>& items, int32_t extra) override;
  bool download(TransferSpec* transfer, int32_t* cancel) override;
  bool upload(TransferSpec* transfer, int32_t* cancel) override;
  bool copyEx(CopyTarget* target, TransferSpec* transfer, int32_t* cancel) override;

  // One request/reply pair under the lock. True when both went through.
  bool exchange();
  // Runs the filled request: one exchange, repaired once by a renewed sign-on when the
  // connection broke, and the reply's error parameters stored as the thread's error
  // state. True when the exchange went through and the reply reports no error.
  bool transact();

  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }

  // For the transfers: clears both records and names the command (fill the rest into
  // request(), then transact); the stream and the lock of the data phase.
  void begin(const char* command);
  ParamRecord& request() { return request_; }
  const ParamRecord& reply() const { return reply_; }
  Connection& connection() { return connection_; }
  std::mutex& lock() { return lock_; }

 private:
  std::string user_;
  std::string password_;
  std::string path_;
  int32_t mode_ = kDefaultMode;
  std::string open_url_;
  std::string message_;
};

}  // namespace zavel
