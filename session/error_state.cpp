#include "session/error_state.h"

namespace zavel {

namespace {

// Per-thread state: each thread sees only its own number and text, and first access
// needs no lock.
thread_local int32_t t_error = 0;
thread_local std::string t_error_text;

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
