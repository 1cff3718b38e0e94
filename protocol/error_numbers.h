// The error numbers of the disk service, in four families: 21xxx the network, 22xxx the
// account, 23xxx the files, 24xxx the caller. The library sets them, the servers send them.
#pragma once

#include <cstdint>

namespace zavel {

enum ErrorNumber : int32_t {
  kErrNone = 0,
  kErrUnknown = -1,
  kErrConnectFail = 21001,
  kErrSocket = 21002,
  kErrWrongPacket = 21003,
  kErrServerOperation = 21004,
  kErrWrongId = 22001,
  kErrWrongPasswd = 22002,
  kErrSessionLimit = 22004,
  kErrNoShareDirectory = 22005,
  kErrDownloadLimit = 22006,
  kErrUploadLimit = 22007,
  kErrRemoteFile = 23001,
  kErrLocalFile = 23002,
  kErrNotEmpty = 23003,
  kErrDiskInfo = 23004,
  kErrExists = 23005,
  kErrNotExists = 23006,
  kErrDiskFull = 23007,
  kErrNotDirectory = 23008,
  kErrPermission = 23009,
  kErrSeeErrno = 23010,  // the reply's separate error-number field holds the real number
  kErrWrongParameter = 24001,
  kErrInvalidHandle = 24002,
  kErrBufferTooSmall = 24003,
  kErrNotAllowed = 24004,
};

// The fixed English text of an error number ("no error" for 0); "" for a number without one.
const char* errorMessage(int32_t error);

}  // namespace zavel
