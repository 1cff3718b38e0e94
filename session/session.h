// The session interface: one conversation with a disk server, whatever its kind.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/connection.h"
#include "protocol/param_record.h"
#include "session/file_info.h"
#include "zavelsdk.h"

// Transfer descriptors belong to the public interface; sessions only pass them on.
struct TransferSpec;
struct CopyTarget;

namespace zavel {

class Session {
 public:
  enum Kind : int32_t { kStandard = 0, kClub = 1 };

  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The operations every session kind offers, in their fixed slot order. Texts returned
  // belong to the session; boolean results are true for success.
  virtual bool signOn() = 0;                                                        // 0
  virtual void setTimeout(int32_t milliseconds) = 0;                                // 1
  virtual const char* getPath() = 0;                                                // 2
  virtual int32_t getMode() = 0;                                                    // 3
  virtual const char* getOpenUrl() = 0;                                             // 4
  virtual const char* getMessage() = 0;                                             // 5
  virtual bool getQuota(DiskSpaceInfo* info) = 0;                                   // 6
  virtual bool makeFolder(const char* path) = 0;                                    // 7
  virtual bool makeFolderIn(const char* base, std::string& made) = 0;               // 8
  virtual bool createFile(const char* path) = 0;                                    // 9
  virtual bool deleteFile(const char* path, int32_t force) = 0;                     // 10
  virtual bool renameFile(const char* old_path, const char* new_path) = 0;          // 11
  virtual bool moveFile(const char* source, const char* folder) = 0;                // 12
  virtual bool copyFile(const char* source, const char* folder) = 0;                // 13
  virtual int64_t getFileSize(const char* path) = 0;                                // 14
  virtual uint32_t getBlockSize(const char* path) = 0;                              // 15
  virtual bool getFileTime(const char* path, int32_t* access, int32_t* write) = 0;  // 16
  virtual bool setFileTime(const char* path, int32_t access, int32_t write) = 0;    // 17
  virtual bool getServerInfo(ServerInfo* info) = 0;                                 // 18
  virtual bool remoteCommand(const char* command, std::string& result) = 0;         // 19
  virtual bool setFileExpireTime(const char* path, const char* expiry) = 0;         // 20
  virtual bool setFileDescription(const char* path, const char* description) = 0;   // 21
  virtual bool getFileInfo(const char* path, int32_t info_type, int32_t level,      // 22
                           std::vector<FileInfoItem>& items) = 0;
  virtual bool getFileInfoEx(const char* path, int32_t info_type, int32_t level,  // 23
                             std::vector<FileInfoItem>& items, int32_t extra) = 0;
  virtual bool download(TransferSpec* transfer, int32_t* cancel) = 0;                    // 24
  virtual bool upload(TransferSpec* transfer, int32_t* cancel) = 0;                      // 25
  virtual bool copyEx(CopyTarget* target, TransferSpec* transfer, int32_t* cancel) = 0;  // 26
  virtual ~Session();                                                                    // 27

  int32_t kind() const { return kind_; }
  const std::string& host() const { return host_; }
  uint32_t port() const { return port_; }
  // Read by duplication from any thread while the owner may change it.
  int32_t timeout() const { return timeout_.load(std::memory_order_relaxed); }

 protected:
  Session(int32_t kind, const char* host, uint32_t port, int32_t timeout_ms);

  void storeTimeout(int32_t milliseconds) {
    timeout_.store(milliseconds, std::memory_order_relaxed);
  }

  Connection connection_;
  const int32_t kind_;
  const std::string host_;
  const uint32_t port_;
  std::atomic<int32_t> timeout_;
  ParamRecord reply_;
  ParamRecord request_;
  // Held across each request/reply pair, and across the data phase of a transfer.
  std::mutex lock_;
};

}  // namespace zavel
