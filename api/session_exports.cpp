// The session exports: check the handle, call one operation of the session, return its
// result.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "api/session_registry.h"
#include "club/club_transfer.h"
#include "club/octa_session.h"
#include "session/error_state.h"
#include "session/standard_session.h"
#include "zavelsdk.h"

namespace zavel {
namespace {

// Runs call on the live session behind handle; otherwise sets 24002 (text unchanged) and
// gives failure. Out of memory gives failure with the error state untouched.
template <typename R, typename Call>
R withSession(ZavelSession* handle, R failure, Call&& call) {
  try {
    std::shared_ptr<Session> session = sessionRegistry().find(handle);
    if (!session) {
      setLastError(kErrInvalidHandle);
      return failure;
    }
    return call(*session);
  } catch (const std::bad_alloc&) {
    return failure;
  }
}

int32_t flag(bool ok) {
  return ok ? 1 : 0;
}

}  // namespace
}  // namespace zavel

using zavel::flag;
using zavel::Session;
using zavel::withSession;

extern "C" {

ZavelSession* zavel_CreateSession(const char* host, uint32_t port, const char* user,
                                  const char* password, int32_t timeout_ms) {
  try {
    zavel::installClubDestination();
    auto session = std::make_unique<zavel::StandardSession>(host, port, user, password, timeout_ms);
    if (!session->signOn()) return nullptr;
    return zavel::sessionRegistry().add(std::move(session));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

ZavelSession* zavel_DuplicateSession(ZavelSession* handle) {
  return withSession(handle, static_cast<ZavelSession*>(nullptr), [](Session& s) -> ZavelSession* {
    if (const auto* standard = dynamic_cast<const zavel::StandardSession*>(&s)) {
      return zavel_CreateSession(standard->host().c_str(), standard->port(),
                                 standard->user().c_str(), standard->password().c_str(),
                                 standard->timeout());
    }
    if (const auto* club = dynamic_cast<const zavel::OctaSession*>(&s)) {
      return zavel_CreateOCTASession(club->host().c_str(), club->port(), club->timeout(),
                                     club->mode(), club->clubNumber(), club->retryCount());
    }
    zavel::setLastError(zavel::kErrNotAllowed);
    return nullptr;
  });
}

ZavelSession* zavel_CreateOCTASession(const char* host, uint32_t port, int32_t timeout_ms,
                                      int32_t mode, int32_t club, int32_t retries) {
  try {
    zavel::installClubDestination();
    auto session =
        std::make_unique<zavel::OctaSession>(host, port, timeout_ms, mode, club, retries);
    if (!session->signOn()) return nullptr;
    return zavel::sessionRegistry().add(std::move(session));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void zavel_DestroySession(ZavelSession* handle) {
  // The session is released here, or by the last call still running on it.
  if (!zavel::sessionRegistry().remove(handle)) zavel::setLastError(zavel::kErrInvalidHandle);
}

void zavel_SetSessionTimeout(ZavelSession* handle, int32_t timeout_ms) {
  withSession(handle, 0, [&](Session& s) {
    s.setTimeout(timeout_ms);
    return 0;
  });
}

int32_t zavel_IsOCTASession(ZavelSession* handle) {
  return withSession(handle, 0, [](Session& s) { return flag(s.kind() == Session::kClub); });
}

int32_t zavel_SetFileDescription(ZavelSession* handle, const char* path, const char* description) {
  return withSession(handle, 0,
                     [&](Session& s) { return flag(s.setFileDescription(path, description)); });
}

int32_t zavel_SetFileExpireTime(ZavelSession* handle, const char* path, const char* expiry) {
  return withSession(handle, 0,
                     [&](Session& s) { return flag(s.setFileExpireTime(path, expiry)); });
}

const char* zavel_GetSessionPath(ZavelSession* handle) {
  return withSession(handle, static_cast<const char*>(nullptr),
                     [](Session& s) { return s.getPath(); });
}

int32_t zavel_GetSessionMode(ZavelSession* handle) {
  return withSession(handle, 0, [](Session& s) { return s.getMode(); });
}

const char* zavel_GetSessionOpenUrl(ZavelSession* handle) {
  return withSession(handle, static_cast<const char*>(nullptr),
                     [](Session& s) { return s.getOpenUrl(); });
}

const char* zavel_GetSessionMessage(ZavelSession* handle) {
  return withSession(handle, static_cast<const char*>(nullptr),
                     [](Session& s) { return s.getMessage(); });
}

int32_t zavel_GetDiskSpace(DiskSpaceInfo* info, ZavelSession* handle) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.getQuota(info)); });
}

int32_t zavel_GetServerInfo(ServerInfo* info, ZavelSession* handle) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.getServerInfo(info)); });
}

int32_t zavel_MakeFolder(const char* path, ZavelSession* handle) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.makeFolder(path)); });
}

int32_t zavel_MakeFolder2(const char* base, char* buffer, uint32_t size, ZavelSession* handle) {
  return withSession(handle, 0, [&](Session& s) {
    std::string made;
    if (!s.makeFolderIn(base, made)) return 0;
    // Copy only when the path and its NUL fit: a cut path would be a different folder.
    if (buffer == nullptr || made.size() >= size) {
      zavel::setLastError(zavel::kErrBufferTooSmall);
      return 0;
    }
    memcpy(buffer, made.c_str(), made.size());
    memset(buffer + made.size(), 0, size - made.size());
    return 1;
  });
}

int32_t zavel_CreateFile(const char* path, ZavelSession* handle) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.createFile(path)); });
}

int32_t zavel_DeleteFile(const char* path, int32_t force, ZavelSession* handle) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.deleteFile(path, force)); });
}

int32_t zavel_RenameFile(const char* old_path, const char* new_path, ZavelSession* handle) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.renameFile(old_path, new_path)); });
}

int32_t zavel_MoveFile(const char* source, const char* folder, ZavelSession* handle) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.moveFile(source, folder)); });
}

int32_t zavel_CopyFile(const char* source, const char* folder, ZavelSession* handle) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.copyFile(source, folder)); });
}

int64_t zavel_GetFileSize(const char* path, ZavelSession* handle) {
  return withSession(handle, int64_t{-1}, [&](Session& s) { return s.getFileSize(path); });
}

uint32_t zavel_GetBlockSize(const char* path, ZavelSession* handle) {
  return withSession(handle, uint32_t{0xFFFFFFFFu},
                     [&](Session& s) { return s.getBlockSize(path); });
}

int32_t zavel_GetFileTime(const char* path, int32_t* access_time, int32_t* write_time,
                          ZavelSession* handle) {
  return withSession(
      handle, 0, [&](Session& s) { return flag(s.getFileTime(path, access_time, write_time)); });
}

int32_t zavel_SetFileTime(const char* path, int32_t access_time, int32_t write_time,
                          ZavelSession* handle) {
  return withSession(
      handle, 0, [&](Session& s) { return flag(s.setFileTime(path, access_time, write_time)); });
}

int32_t zavel_Download(ZavelSession* handle, TransferSpec* spec, int32_t* cancel) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.download(spec, cancel)); });
}

int32_t zavel_Upload(ZavelSession* handle, TransferSpec* spec, int32_t* cancel) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.upload(spec, cancel)); });
}

int32_t zavel_CopyEx(ZavelSession* handle, CopyTarget* target, TransferSpec* spec,
                     int32_t* cancel) {
  return withSession(handle, 0, [&](Session& s) { return flag(s.copyEx(target, spec, cancel)); });
}

// Kept for callers bound to them; they do nothing and set no error.
int32_t zavel_FileOpen(void) {
  return 0;
}
int32_t zavel_FileWrite(void) {
  return -1;
}
int32_t zavel_FileRead(void) {
  return -1;
}
int32_t zavel_FileSeek(void) {
  return -1;
}
int32_t zavel_FileClose(void) {
  return 0;
}
int32_t zavel_OpenDir(void) {
  return 0;
}
int32_t zavel_ReadDir(void) {
  return 0;
}
int32_t zavel_CloseDir(void) {
  return 0;
}
int32_t zavel_ChangeDir(void) {
  return 0;
}
int32_t zavel_DownloadEx(void) {
  return 0;
}
int32_t zavel_UploadEx(void) {
  return 0;
}
int32_t zavel_SetTurboMode(void) {
  return 0;
}
int32_t zavel_CheckVirus(void) {
  return 0;
}
void zavel_Proxy_Set(void) {}

}  // extern "C"
