#include "protocol/error_numbers.h"

namespace zavel {

namespace {

struct Message {
  int32_t number;
  const char* text;
};

constexpr Message kMessages[] = {
    {kErrNone, "no error"},
    {kErrUnknown, "unknown error"},
    {kErrConnectFail, "connect fail"},
    {kErrSocket, "socket error"},
    {kErrWrongPacket, "wrong packet"},
    {kErrServerOperation, "server operation error"},
    {kErrWrongId, "wrong id"},
    {kErrWrongPasswd, "wrong passwd"},
    {kErrSessionLimit, "session limit error"},
    {kErrNoShareDirectory, "no share directory"},
    {kErrDownloadLimit, "download limit error"},
    {kErrUploadLimit, "upload limit error"},
    {kErrRemoteFile, "remote file operate error"},
    {kErrLocalFile, "local file operate error"},
    {kErrNotEmpty, "not empty directory"},
    {kErrDiskInfo, "get disk infomation fail"},
    {kErrExists, "file or directory exist"},
    {kErrNotExists, "file or directory not exist"},
    {kErrDiskFull, "disk full"},
    {kErrNotDirectory, "is not directory"},
    {kErrPermission, "permission deny"},
    {kErrWrongParameter, "wrong parameter"},
    {kErrInvalidHandle, "invalid handle"},
    {kErrBufferTooSmall, "not enough buffer"},
    {kErrNotAllowed, "not allow command"},
};

}  // namespace

const char* errorMessage(int32_t error) {
  for (const Message& m : kMessages) {
    if (m.number == error) return m.text;
  }
  return "";
}

}  // namespace zavel
