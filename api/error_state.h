// The calling thread's error number and text, and the fixed English messages.
#pragma once

#include <cstdint>
#include <string>

namespace zavel {

// Error numbers the library sets itself.
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

int32_t lastError();
void setLastError(int32_t error);
const char* lastErrorText();
void setLastErrorText(const char* text);
inline void setLastError(int32_t error, const char* text) {
  setLastError(error);
  setLastErrorText(text);
}

// The fixed English message of an error number; "" when it has none.
const char* errorMessage(int32_t error);

}  // namespace zavel
