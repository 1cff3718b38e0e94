#include "api/enumerations.h"

#include <cstring>
#include <new>
#include <string>

#include "api/session_registry.h"
#include "session/error_state.h"

namespace zavel {

ZavelFileInfoList* EnumerationTable::add(std::unique_ptr<std::vector<FileInfoItem>> entries) {
  auto* handle = reinterpret_cast<ZavelFileInfoList*>(entries.get());
  std::lock_guard guard(mutex_);
  open_.emplace(handle, Open{std::move(entries), {}});
  return handle;
}

const ZavelFileInfo* EnumerationTable::read(const ZavelFileInfoList* list, int32_t index) {
  std::lock_guard guard(mutex_);
  const auto it = open_.find(list);
  if (it == open_.end() || index < 0) return nullptr;
  const std::vector<FileInfoItem>& entries = *it->second.entries;
  if (static_cast<size_t>(index) >= entries.size()) return nullptr;
  const FileInfoItem& item = entries[static_cast<size_t>(index)];
  it->second.records.push_back(
      ZavelFileInfo{item.name.c_str(), item.size, item.type, item.date.c_str(), item.detail.get()});
  return &it->second.records.back();
}

bool EnumerationTable::close(const ZavelFileInfoList* list) {
  Open closed;
  {
    std::lock_guard guard(mutex_);
    const auto it = open_.find(list);
    if (it == open_.end()) return false;
    closed = std::move(it->second);
    open_.erase(it);
  }
  // Records, entries and their detail records are released here, outside the lock.
  return true;
}

size_t EnumerationTable::size() const {
  std::lock_guard guard(mutex_);
  return open_.size();
}

const char* CommandResultTable::add(const std::string& text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  memcpy(copy.get(), text.c_str(), text.size() + 1);
  const char* handle = copy.get();
  std::lock_guard guard(mutex_);
  texts_.emplace(handle, std::move(copy));
  return handle;
}

bool CommandResultTable::contains(const char* text) const {
  std::lock_guard guard(mutex_);
  return texts_.count(text) != 0;
}

bool CommandResultTable::close(const char* text) {
  std::unique_ptr<char[]> released;
  std::lock_guard guard(mutex_);
  const auto it = texts_.find(text);
  if (it == texts_.end()) return false;
  released = std::move(it->second);  // freed after the lock is let go
  texts_.erase(it);
  return true;
}

size_t CommandResultTable::size() const {
  std::lock_guard guard(mutex_);
  return texts_.size();
}

EnumerationTable& enumerationTable() {
  static EnumerationTable table;
  return table;
}

CommandResultTable& commandResultTable() {
  static CommandResultTable table;
  return table;
}

}  // namespace zavel

namespace {

template <typename Open>
ZavelFileInfoList* openListing(int32_t* count, ZavelSession* handle, Open&& open) {
  try {
    std::shared_ptr<zavel::Session> session = zavel::sessionRegistry().find(handle);
    if (!session) {
      zavel::setLastError(zavel::kErrInvalidHandle);
      return nullptr;
    }
    auto entries = std::make_unique<std::vector<zavel::FileInfoItem>>();
    // On failure the entries made so far, and their detail records, go with the list.
    if (!open(*session, *entries)) return nullptr;
    const auto n = static_cast<int32_t>(entries->size());
    ZavelFileInfoList* list = zavel::enumerationTable().add(std::move(entries));
    if (count != nullptr) *count = n;
    return list;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

extern "C" {

ZavelFileInfoList* zavel_OpenFileInfo(const char* path, int32_t info_type, int32_t level,
                                      int32_t* count, ZavelSession* session) {
  return openListing(count, session, [&](zavel::Session& s, auto& entries) {
    return s.getFileInfo(path, info_type, level, entries);
  });
}

ZavelFileInfoList* zavel_OpenFileInfoEx(const char* path, int32_t info_type, int32_t level,
                                        int32_t* count, int32_t extra, ZavelSession* session) {
  return openListing(count, session, [&](zavel::Session& s, auto& entries) {
    return s.getFileInfoEx(path, info_type, level, entries, extra);
  });
}

const ZavelFileInfo* zavel_ReadFileInfo(ZavelFileInfoList* list, int32_t index) {
  try {
    const ZavelFileInfo* record = zavel::enumerationTable().read(list, index);
    if (record == nullptr) zavel::setLastError(zavel::kErrInvalidHandle);
    return record;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int32_t zavel_CloseFileInfo(ZavelFileInfoList* list) {
  if (zavel::enumerationTable().close(list)) return 1;
  zavel::setLastError(zavel::kErrInvalidHandle);
  return 0;
}

const char* zavel_OpenCmd(const char* command, ZavelSession* session) {
  try {
    std::shared_ptr<zavel::Session> s = zavel::sessionRegistry().find(session);
    if (!s) {
      zavel::setLastError(zavel::kErrInvalidHandle);
      return nullptr;
    }
    std::string result;
    if (!s->remoteCommand(command, result)) return nullptr;
    // Up to the first NUL: the caller reads it as a C text.
    result.resize(strnlen(result.c_str(), result.size()));
    return zavel::commandResultTable().add(result);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

const char* zavel_GetCmd(const char* result) {
  if (zavel::commandResultTable().contains(result)) return result;
  zavel::setLastError(zavel::kErrInvalidHandle);
  return nullptr;
}

int32_t zavel_CloseCmd(const char* result) {
  if (zavel::commandResultTable().close(result)) return 1;
  zavel::setLastError(zavel::kErrInvalidHandle);
  return 0;
}

}  // extern "C"
