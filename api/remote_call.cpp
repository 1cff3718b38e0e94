#include "api/remote_call.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "api/session_registry.h"
#include "session/error_state.h"

namespace zavel {

RemoteCall::RemoteCall(ZavelSession* handle) {
  std::shared_ptr<Session> session = sessionRegistry().find(handle);
  if (!session) {
    setLastError(kErrInvalidHandle);
    return;
  }
  auto* standard = session->kind() == Session::kStandard
                       ? dynamic_cast<StandardSession*>(session.get())
                       : nullptr;
  if (standard == nullptr) {
    setLastError(kErrNotAllowed);
    return;
  }
  keep_ = std::move(session);
  session_ = standard;
}

ParamRecord& RemoteCall::begin(const char* command) {
  session_->begin(command);
  return session_->request();
}

const ParamRecord& RemoteCall::reply() const {
  return session_->reply();
}

bool copyText(const char* text, char* buffer, uint32_t size) {
  const size_t length = strlen(text);
  if (buffer == nullptr || length >= size) {
    setLastError(kErrBufferTooSmall);
    return false;
  }
  memcpy(buffer, text, length + 1);
  return true;
}

int32_t copyData(const ParamRecord& reply, void* buffer, uint32_t capacity) {
  int32_t said = 0;
  const bool has_size = reply.getInt32("size", &said);
  const void* data = nullptr;
  uint32_t length = 0;
  if (!reply.getBinary("data", &data, &length)) {
    // A record cannot carry zero bytes of data, so an empty read comes as "size" 0 alone.
    return has_size && said == 0 ? 0 : -1;
  }
  if (has_size && said < 0) return -1;
  uint32_t count = std::min(capacity, length);
  if (has_size) count = std::min(count, static_cast<uint32_t>(said));
  count = std::min<uint32_t>(count, std::numeric_limits<int32_t>::max());
  if (count > 0) {
    if (buffer == nullptr) return -1;
    memcpy(buffer, data, count);
  }
  return static_cast<int32_t>(count);
}

void setFileParams(ParamRecord& request, const RFileHandle& file) {
  request.setInt32("fd", file.fd);
  request.setString("filepath", file.filename);
  request.setInt32("flags", file.flags);
  request.setUInt32("mode", file.mode);
}

void setStreamParams(ParamRecord& request, const RStreamHandle& stream) {
  request.setInt32("fp", stream.fp);
  request.setString("filename", stream.filename);
  request.setString("mode", stream.mode);
}

}  // namespace zavel
