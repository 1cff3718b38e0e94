#include "devserver/server_errors.h"

#include <cerrno>

namespace zavel::devserver {

const char* serverErrorText(int32_t error) {
  switch (error) {
    case kErrNone:
      return "";
    case kErrWrongPacket:
      return "wrong packet";
    case kErrServerOperation:
      return "server operation error";
    case kErrWrongId:
      return "wrong id";
    case kErrWrongPasswd:
      return "wrong passwd";
    case kErrSessionLimit:
      return "session limit error";
    case kErrNoShareDirectory:
      return "no share directory";
    case kErrRemoteFile:
      return "remote file operate error";
    case kErrNotEmpty:
      return "not empty directory";
    case kErrDiskInfo:
      return "get disk infomation fail";
    case kErrExists:
      return "file or directory exist";
    case kErrNotExists:
      return "file or directory not exist";
    case kErrDiskFull:
      return "disk full";
    case kErrNotDirectory:
      return "is not directory";
    case kErrPermission:
      return "permission deny";
    case kErrConnectFail:
      return "connect fail";
    case kErrSocket:
      return "socket error";
    case kErrWrongParameter:
      return "wrong parameter";
    case kErrInvalidHandle:
      return "invalid handle";
    case kErrBufferTooSmall:
      return "not enough buffer";
    case kErrNotAllowed:
      return "not allow command";
    default:
      return "";
  }
}

int32_t errorFromErrno(int err) {
  switch (err) {
    case 0:
      return kErrNone;
    case ENOENT:
      return kErrNotExists;
    case EEXIST:
      return kErrExists;
    case ENOTEMPTY:
      return kErrNotEmpty;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrDiskFull;
    case ENOTDIR:
      return kErrNotDirectory;
    case EACCES:
    case EPERM:
    case EXDEV:
    case ELOOP:
    case EROFS:
    case ENAMETOOLONG:
      return kErrPermission;
    case EBADF:
      return kErrInvalidHandle;
    case EINVAL:
      return kErrWrongParameter;
    default:
      return kErrRemoteFile;
  }
}

void setReplyError(ParamRecord& reply, int32_t error) {
  reply.setInt32("error", error);
  reply.setString("errstr", serverErrorText(error));
}

}  // namespace zavel::devserver
