// The open file, directory and stream handles of the R family. A handle is the address
// of its record; a call keeps the record alive while it runs, so a close from another
// thread never frees it under the call's feet.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "zavelsdk.h"

namespace zavel {

template <typename T>
class HandleList {
 public:
  // Enters a new handle; returns its address, which is what the caller gets.
  T* add(std::unique_ptr<T> handle) {
    T* address = handle.get();
    std::lock_guard guard(mutex_);
    handles_.emplace(address, std::shared_ptr<T>(std::move(handle)));
    return address;
  }

  // The open handle at this address, or null.
  std::shared_ptr<T> find(const T* handle) const {
    if (handle == nullptr) return nullptr;
    std::lock_guard guard(mutex_);
    const auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second;
  }

  // Takes the handle out; its record is released when the last running call lets go.
  std::shared_ptr<T> remove(const T* handle) {
    if (handle == nullptr) return nullptr;
    std::lock_guard guard(mutex_);
    const auto it = handles_.find(handle);
    if (it == handles_.end()) return nullptr;
    std::shared_ptr<T> taken = std::move(it->second);
    handles_.erase(it);
    return taken;
  }

  size_t size() const {
    std::lock_guard guard(mutex_);
    return handles_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::unordered_map<const T*, std::shared_ptr<T>> handles_;
};

// The library-wide lists, one per handle kind.
HandleList<RFileHandle>& openFiles();
HandleList<RDirHandle>& openDirs();
HandleList<RStreamHandle>& openStreams();

}  // namespace zavel
