// The shapes the R exports share: a call on a session, a call on an open handle, and the
// close of a handle.
#pragma once

#include <memory>

#include "api/remote_call.h"
#include "api/remote_handles.h"
#include "session/error_state.h"

namespace zavel {

inline int32_t asResult(bool ok) {
  return ok ? 1 : 0;
}

// body(call) on the personal-disk session behind handle; failure when the session checks
// fail (24002 or 24004, nothing sent).
template <typename R, typename Body>
R onSession(ZavelSession* handle, R failure, Body&& body) {
  return shielded(failure, [&]() -> R {
    RemoteCall call(handle);
    if (!call.ok()) return failure;
    return body(call);
  });
}

// body(record, call) on an open handle of list; failure with 24002 when it is not open,
// and the session checks as above.
template <typename T, typename R, typename Body>
R onHandle(HandleList<T>& list, const T* handle, R failure, Body&& body) {
  return shielded(failure, [&]() -> R {
    std::shared_ptr<T> record = list.find(handle);
    if (!record) {
      setLastError(kErrInvalidHandle);
      return failure;
    }
    RemoteCall call(record->session);
    if (!call.ok()) return failure;
    return body(*record, call);
  });
}

// Takes the handle out of its list and lets it go before the close request is sent, so
// the handle is gone whatever the server answers; fill(request, record) names it.
template <typename T, typename Fill>
int32_t closeHandle(HandleList<T>& list, T* handle, const char* command, Fill&& fill) {
  return shielded(0, [&]() -> int32_t {
    std::shared_ptr<T> taken = list.remove(handle);
    if (!taken) {
      setLastError(kErrInvalidHandle);
      return 0;
    }
    const T record = *taken;
    taken.reset();
    RemoteCall call(record.session);
    if (!call.ok()) return 0;
    fill(call.begin(command), record);
    return asResult(call.transact());
  });
}

}  // namespace zavel
