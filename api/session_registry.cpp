#include "api/session_registry.h"

namespace zavel {

ZavelSession* SessionRegistry::add(std::unique_ptr<Session> session) {
  ZavelSession* handle = handleOf(session.get());
  std::lock_guard guard(mutex_);
  sessions_.emplace(handle, std::shared_ptr<Session>(std::move(session)));
  return handle;
}

std::shared_ptr<Session> SessionRegistry::find(const ZavelSession* handle) const {
  if (handle == nullptr) return nullptr;
  std::lock_guard guard(mutex_);
  const auto it = sessions_.find(handle);
  return it == sessions_.end() ? nullptr : it->second;
}

std::shared_ptr<Session> SessionRegistry::remove(const ZavelSession* handle) {
  if (handle == nullptr) return nullptr;
  std::lock_guard guard(mutex_);
  const auto it = sessions_.find(handle);
  if (it == sessions_.end()) return nullptr;
  std::shared_ptr<Session> session = std::move(it->second);
  sessions_.erase(it);
  return session;
}

size_t SessionRegistry::size() const {
  std::lock_guard guard(mutex_);
  return sessions_.size();
}

SessionRegistry& sessionRegistry() {
  // Built on first use, so exports called during another library's start-up find it.
  static SessionRegistry registry;
  return registry;
}

}  // namespace zavel
