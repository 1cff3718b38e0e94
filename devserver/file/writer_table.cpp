#include "devserver/file/writer_table.h"

#include <sys/socket.h>

#include <algorithm>

namespace zavel::devserver {

void WriterHold::finishing() {
  if (writer_) table_->finishing(*writer_);
}

void WriterHold::release() {
  if (!writer_) return;
  table_->release(*writer_);
  writer_.reset();
  table_ = nullptr;
}

bool WriterTable::acquire(std::vector<std::string> keys, int socket, WriterHold* hold) {
  hold->release();
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  auto writer = std::make_unique<WriterHold::Writer>();
  writer->keys = keys;
  writer->socket = socket;
  std::unique_lock lock(mutex_);
  auto all_free = [&] {
    bool free = true;
    for (const std::string& key : keys) {
      auto it = held_.find(key);
      if (it == held_.end()) continue;
      stop(*it->second);
      free = false;
    }
    return free;
  };
  if (!released_.wait_for(lock, wait_, all_free)) return false;
  for (const std::string& key : keys) held_[key] = writer.get();
  hold->table_ = this;
  hold->writer_ = std::move(writer);
  return true;
}

void WriterTable::stop(WriterHold::Writer& holder) {
  if (holder.stop.exchange(true)) return;
  // The holder is still registered, so its connection (and the descriptor) is still open.
  if (holder.socket >= 0) ::shutdown(holder.socket, SHUT_RDWR);
}

void WriterTable::release(WriterHold::Writer& holder) {
  {
    std::lock_guard lock(mutex_);
    for (const std::string& key : holder.keys) held_.erase(key);
  }
  released_.notify_all();
}

void WriterTable::finishing(WriterHold::Writer& holder) {
  std::lock_guard lock(mutex_);
  holder.socket = -1;
}

std::string writerKey(const std::filesystem::path& folder, const std::vector<std::string>& parts) {
  std::string key = folder.string();
  for (const std::string& p : parts) {
    key += '/';
    key += p;
  }
  return key;
}

}  // namespace zavel::devserver
