// What every call of the R family shares: the session checks made before anything is
// sent, the run of one llf_ command on the session's own records, and the careful
// reading of reply bytes into caller buffers.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>

#include "protocol/param_record.h"
#include "session/standard_session.h"
#include "zavelsdk.h"

namespace zavel {

class RemoteCall {
 public:
  // Finds the session behind handle. When it is unknown (24002) or not a personal disk
  // (24004) the error number is set, the text left, and ok() is false.
  explicit RemoteCall(ZavelSession* handle);

  bool ok() const { return session_ != nullptr; }

  // Clears both records and names the command; returns the request to fill.
  ParamRecord& begin(const char* command);
  // Runs the filled request; false with the thread's error state set on failure.
  bool transact() { return session_->transact(); }
  const ParamRecord& reply() const;

 private:
  std::shared_ptr<Session> keep_;  // alive for the whole call, even if destroyed meanwhile
  StandardSession* session_ = nullptr;
};

// Runs body; an exception (out of memory) gives failure with the error state untouched,
// since none may cross into a C caller.
template <typename R, typename Body>
R shielded(R failure, Body&& body) {
  try {
    return body();
  } catch (const std::exception&) {
    return failure;
  }
}

// Copies text and its NUL into buffer only when both fit in size bytes; otherwise sets
// 24003 and leaves the buffer untouched.
bool copyText(const char* text, char* buffer, uint32_t size);

// Copies the reply's "data" into buffer, at most capacity bytes and never more than the
// reply's "size" says: the count copied, 0 for an empty read (no "data", "size" 0), or
// -1 when the reply contradicts itself or carries no bytes it claims.
int32_t copyData(const ParamRecord& reply, void* buffer, uint32_t capacity);

// Fills the request parameters that name an open file or stream.
void setFileParams(ParamRecord& request, const RFileHandle& file);
void setStreamParams(ParamRecord& request, const RStreamHandle& stream);

}  // namespace zavel
