// The calling thread's error number and text, which sessions and transfers set when a call
// fails; the fixed English messages come along with the numbers.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/error_numbers.h"

namespace zavel {

int32_t lastError();
void setLastError(int32_t error);
const char* lastErrorText();
void setLastErrorText(const char* text);
inline void setLastError(int32_t error, const char* text) {
  setLastError(error);
  setLastErrorText(text);
}

}  // namespace zavel
