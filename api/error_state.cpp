#include "api/error_state.h"

#include <cstdio>

#include "zavelsdk.h"

namespace zavel {

namespace {

// Per-thread state: each thread sees only its own number and text, and first access
// needs no lock.
thread_local int32_t t_error = 0;
thread_local std::string t_error_text;
// Longer than every message in the table; a fixed array keeps the pointer stable.
thread_local char t_message[64];

struct Message {
  int32_t number;
  const char* text;
};

constexpr Message kMessages[] = {
    {0, "no error"},
    {-1, "unknown error"},
    {21001, "connect fail"},
    {21002, "socket error"},
    {21003, "wrong packet"},
    {21004, "server operation error"},
    {22001, "wrong id"},
    {22002, "wrong passwd"},
    {22004, "session limit error"},
    {22005, "no share directory"},
    {22006, "download limit error"},
    {22007, "upload limit error"},
    {23001, "remote file operate error"},
    {23002, "local file operate error"},
    {23003, "not empty directory"},
    {23004, "get disk infomation fail"},
    {23005, "file or directory exist"},
    {23006, "file or directory not exist"},
    {23007, "disk full"},
    {23008, "is not directory"},
    {23009, "permission deny"},
    {24001, "wrong parameter"},
    {24002, "invalid handle"},
    {24003, "not enough buffer"},
    {24004, "not allow command"},
};

}  // namespace

int32_t lastError() {
  return t_error;
}
void setLastError(int32_t error) {
  t_error = error;
}
const char* lastErrorText() {
  return t_error_text.c_str();
}
void setLastErrorText(const char* text) {
  t_error_text = text ? text : "";
}

const char* errorMessage(int32_t error) {
  for (const Message& m : kMessages) {
    if (m.number == error) return m.text;
  }
  return "";
}

}  // namespace zavel

extern "C" {

int32_t zavel_GetLastError(void) {
  return zavel::lastError();
}
void zavel_SetLastError(int32_t error) {
  zavel::setLastError(error);
}
const char* zavel_GetLastErrStr(void) {
  return zavel::lastErrorText();
}
void zavel_SetLastErrStr(const char* text) {
  zavel::setLastErrorText(text);
}

const char* zavel_FormatMessage(int32_t error) {
  // One buffer per thread: a caller sees the same pointer on every call, and threads
  // never overwrite each other's text.
  snprintf(zavel::t_message, sizeof zavel::t_message, "%s", zavel::errorMessage(error));
  return zavel::t_message;
}

int32_t RGet_LastErrorNo(void) {
  return zavel::lastError();
}
void RSet_LastErrorNo(int32_t error) {
  zavel::setLastError(error);
}

}  // extern "C"
