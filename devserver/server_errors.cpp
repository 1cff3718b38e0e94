#include "devserver/server_errors.h"

#include <cerrno>

namespace zavel::devserver {

const char* serverErrorText(int32_t error) {
  return error > 0 ? errorMessage(error) : "";
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
