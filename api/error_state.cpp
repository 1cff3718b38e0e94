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
