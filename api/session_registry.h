// The handles of live sessions. A handle is the address of its session; a call keeps the
// session alive while it runs, so a destroy from another thread never frees it under
// the call's feet.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "session/session.h"
#include "zavelsdk.h"

namespace zavel {

class SessionRegistry {
 public:
  // Enters a session that has signed on; returns its handle.
  ZavelSession* add(std::unique_ptr<Session> session);
  // The live session behind a handle, or null (handle 0 or unknown).
  std::shared_ptr<Session> find(const ZavelSession* handle) const;
  // Takes the session out; it is released when the last running call lets go of it.
  std::shared_ptr<Session> remove(const ZavelSession* handle);
  size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<const ZavelSession*, std::shared_ptr<Session>> sessions_;
};

// The library-wide registry.
SessionRegistry& sessionRegistry();

// The handle of a session object.
inline ZavelSession* handleOf(Session* session) {
  return reinterpret_cast<ZavelSession*>(session);
}

}  // namespace zavel
