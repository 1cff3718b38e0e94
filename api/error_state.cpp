// The exported error-state calls: thin wrappers over the thread's state kept in session/.
#include <cstdint>
#include <cstdio>

#include "session/error_state.h"
#include "zavelsdk.h"

namespace {

// Longer than every message in the table; a fixed array keeps the pointer stable.
thread_local char t_message[64];

}  // namespace

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
  snprintf(t_message, sizeof t_message, "%s", zavel::errorMessage(error));
  return t_message;
}

int32_t RGet_LastErrorNo(void) {
  return zavel::lastError();
}
void RSet_LastErrorNo(int32_t error) {
  zavel::setLastError(error);
}

}  // extern "C"
