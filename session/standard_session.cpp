#include "session/standard_session.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "protocol/error_numbers.h"
#include "session/error_state.h"
#include "session/server_copy.h"
#include "session/transfer.h"

namespace zavel {

namespace {

// Error numbers this session sets itself.
// A reply error that says the real number is in "errno".

void setError(int32_t number, const char* text) {
  setLastError(number);
  setLastErrorText(text);
}

std::string textOf(const ParamRecord& record, const char* name) {
  const char* text = nullptr;
  return record.getString(name, &text) ? std::string(text) : std::string();
}

std::string indexed(char prefix, int32_t i) {
  return prefix + std::to_string(i);
}

}  // namespace

StandardSession::StandardSession(const char* host, uint32_t port, const char* user,
                                 const char* password, int32_t timeout_ms)
    : Session(kStandard, host, port, timeout_ms),
      user_(user ? user : ""),
      password_(password ? password : "") {}

StandardSession::~StandardSession() = default;

void StandardSession::setTimeout(int32_t milliseconds) {
  storeTimeout(milliseconds);
}

void StandardSession::begin(const char* command) {
  request_.clear();
  reply_.clear();
  request_.setString("_cmd", command);
}

bool StandardSession::exchange() {
  std::lock_guard guard(lock_);
  const int32_t timeout_ms = timeout();
  if (connection_.sendRecord(request_, timeout_ms) <= 0) return false;
  return connection_.receiveRecord(reply_, timeout_ms) > 0;
}

bool StandardSession::transact() {
  bool exchanged = exchange();
  if (!exchanged && textOf(request_, "_cmd") != "setuser") {
    // signOn fills the records itself: keep the command aside and put it back after.
    ParamRecord command = request_;
    if (!signOn()) return false;
    request_ = std::move(command);
    exchanged = exchange();
  }
  if (!exchanged) {
    setError(kErrSocket, "socket error");
    return false;
  }
  int32_t error = 0;
  reply_.getInt32("error", &error);
  if (error == kErrSeeErrno) {
    error = 0;
    reply_.getInt32("errno", &error);
  }
  const char* text = "";
  reply_.getString("errstr", &text);
  setError(error, text);
  return error == 0;
}

bool StandardSession::signOn() {
  if (host_.empty() || port_ == 0) {
    setError(kErrWrongParameter, "ip is null string");
    return false;
  }
  if (!connection_.connect(host_.c_str(), static_cast<uint16_t>(port_ & 0xFFFF), 1)) {
    setError(kErrConnectFail, "connect fail..");
    return false;
  }
  begin("setuser");
  request_.setString("id", user_.c_str());
  if (!password_.empty()) request_.setString("pass", password_.c_str());
  request_.setString("version", kClientVersion);
  if (!transact()) return false;
  message_ = textOf(reply_, "msg");
  open_url_ = textOf(reply_, "openurl");
  path_ = textOf(reply_, "path");
  mode_ = kDefaultMode;
  reply_.getInt32("mode", &mode_);
  return true;
}

bool StandardSession::getQuota(DiskSpaceInfo* info) {
  begin("getquota");
  request_.setString("id", user_.c_str());
  if (!transact()) return false;
  if (info != nullptr) {
    uint32_t block = 0, free = 0, total = 0;
    reply_.getUInt32("block", &block);
    reply_.getUInt32("free", &free);
    reply_.getUInt32("total", &total);
    info->block = block;
    info->free = free;
    info->total = total;
  }
  return true;
}

bool StandardSession::makeFolder(const char* path) {
  begin("createdir");
  request_.setString("fullpath", path);
  return transact();
}

bool StandardSession::makeFolderIn(const char* base, std::string& made) {
  begin("createdir");
  request_.setString("basepath", base);
  if (!transact()) return false;
  made = textOf(reply_, "path");
  return true;
}

bool StandardSession::createFile(const char* path) {
  begin("createfile");
  request_.setString("fullpath", path);
  return transact();
}

bool StandardSession::deleteFile(const char* path, int32_t force) {
  begin("deletefile");
  request_.setString("path", path);
  if (force != 0) request_.setString("opt", "force");
  return transact();
}

bool StandardSession::renameFile(const char* old_path, const char* new_path) {
  begin("renamefile");
  request_.setString("oldpath", old_path);
  request_.setString("newpath", new_path);
  return transact();
}

bool StandardSession::moveFile(const char* source, const char* folder) {
  begin("movefile");
  request_.setString("srcpath", source);
  request_.setString("dirpath", folder);
  return transact();
}

bool StandardSession::copyFile(const char* source, const char* folder) {
  begin("copyfile");
  request_.setString("srcpath", source);
  request_.setString("dirpath", folder);
  return transact();
}

int64_t StandardSession::getFileSize(const char* path) {
  begin("getlength");
  request_.setString("filename", path);
  if (!transact()) return -1;
  // Read as 64 bits: sizes beyond 2 GiB must not wrap negative.
  int64_t size = -1;
  reply_.getInt64("size", &size);
  return size;
}

uint32_t StandardSession::getBlockSize(const char* path) {
  begin("getblocksize");
  request_.setString("filename", path);
  if (!transact()) return 0xFFFFFFFFu;
  uint32_t size = 0xFFFFFFFFu;
  reply_.getUInt32("size", &size);
  return size;
}

bool StandardSession::getFileTime(const char* path, int32_t* access, int32_t* write) {
  begin("getfiletime");
  request_.setString("path", path);
  if (!transact()) return false;
  if (access != nullptr) reply_.getInt32("lastaccesstime", access);
  if (write != nullptr) reply_.getInt32("lastwritetime", write);
  return true;
}

bool StandardSession::setFileTime(const char* path, int32_t access, int32_t write) {
  begin("setfiletime");
  request_.setString("path", path);
  request_.setInt32("lastaccesstime", access);
  request_.setInt32("lastwritetime", write);
  return transact();
}

bool StandardSession::getServerInfo(ServerInfo* info) {
  begin("getserverinfo");
  if (!transact()) return false;
  if (info == nullptr) return true;
  reply_.getInt32("nCurrentNum", &info->nCurrentNum);
  reply_.getInt32("nClubNum", &info->nClubNum);
  reply_.getInt32("nMyNum", &info->nMyNum);
  reply_.getInt32("nDownNum", &info->nDownNum);
  reply_.getInt32("nUpNum", &info->nUpNum);
  reply_.getInt32("nStartTime", &info->nStartTime);
  const char* version = "Unknown";
  reply_.getString("Version", &version);
  // Cut to the array; it always ends with a NUL.
  const size_t n = strnlen(version, sizeof info->version - 1);
  memcpy(info->version, version, n);
  info->version[n] = '\0';
  return true;
}

bool StandardSession::remoteCommand(const char* command, std::string& result) {
  begin("remotecmd");
  request_.setString("command", command);
  request_.setInt32("getresult", 1);
  if (!transact()) return false;
  result.clear();
  int32_t length = 0;
  std::vector<uint8_t> bytes;
  if (reply_.getInt32("retlen", &length) && length > 0 &&
      reply_.getBinaryVector("result", &bytes)) {
    // The text ends at its first NUL, whatever "retlen" claims.
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    result.assign(bytes.begin(), end);
  }
  return true;
}

bool StandardSession::setFileExpireTime(const char*, const char*) {
  setLastError(kErrNotAllowed);
  return false;
}

bool StandardSession::setFileDescription(const char*, const char*) {
  setLastError(kErrNotAllowed);
  return false;
}

bool StandardSession::getFileInfo(const char* path, int32_t info_type, int32_t level,
                                  std::vector<FileInfoItem>& items) {
  begin("getfileinfo");
  request_.setString("path", path);
  request_.setInt32("infotype", info_type);
  request_.setInt32("recursivelevel", level);
  if (!transact()) return false;
  int32_t count = 0;
  reply_.getInt32("num", &count);
  if (count > kMaxListingEntries) {
    setLastError(kErrWrongPacket);
    return false;
  }
  items.resize(static_cast<size_t>(std::max(count, 0)));
  for (int32_t i = 1; i <= count; ++i) {
    FileInfoItem& item = items[static_cast<size_t>(i - 1)];
    if (info_type & kInfoNames) {
      const char* name = nullptr;
      if (reply_.getString(indexed('p', i).c_str(), &name)) item.name = name;
    }
    if (info_type & kInfoSizes) {
      // 64 bits, so files beyond 2 GiB list with their real size.
      item.size = 0;
      reply_.getInt64(indexed('s', i).c_str(), &item.size);
    }
    if (info_type & kInfoTypes) {
      item.type = 0;
      reply_.getInt32(indexed('t', i).c_str(), &item.type);
    }
    if (info_type & kInfoDates) {
      const char* date = nullptr;
      if (reply_.getString(indexed('d', i).c_str(), &date)) item.date = date;
    }
  }
  return true;
}

bool StandardSession::getFileInfoEx(const char* path, int32_t info_type, int32_t level,
                                    std::vector<FileInfoItem>& items, int32_t) {
  return getFileInfo(path, info_type, level, items);
}

bool StandardSession::download(TransferSpec* transfer, int32_t* cancel) {
  return downloadRange(*this, transfer, cancel);
}

bool StandardSession::upload(TransferSpec* transfer, int32_t* cancel) {
  return uploadRange(*this, transfer, cancel);
}

bool StandardSession::copyEx(CopyTarget* target, TransferSpec* transfer, int32_t* cancel) {
  return copyToServer(*this, target, transfer, cancel);
}

}  // namespace zavel
