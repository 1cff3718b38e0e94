#include "session/session.h"

namespace zavel {

Session::Session(int32_t kind, const char* host, uint32_t port, int32_t timeout_ms)
    : kind_(kind),
      host_(host ? host : ""),
      port_(port),
      timeout_(timeout_ms),
      reply_(kFlagScramble),
      request_(kFlagScramble) {}

Session::~Session() = default;

}  // namespace zavel
