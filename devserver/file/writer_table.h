// Which files are being written, so that each has one writer at a time. An upload holds its
// target for its whole data phase; a delete, rename or truncation holds its paths for a
// moment. A newcomer asks the holder to stop and waits for it to let go, so nothing the
// earlier writer still had in flight can land after the newcomer began.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zavel::devserver {

class WriterTable;

// A hold on one or more paths of a WriterTable; lets go when destroyed.
class WriterHold {
 public:
  WriterHold() = default;
  ~WriterHold() { release(); }
  WriterHold(const WriterHold&) = delete;
  WriterHold& operator=(const WriterHold&) = delete;

  // Whether a newer writer of one of the paths asked this one to stop.
  bool stopRequested() const { return writer_ && writer_->stop.load(); }
  // The holder has all it will receive and lets go by itself soon: a newcomer waits for it
  // instead of shutting its connection down.
  void finishing();
  void release();

 private:
  friend class WriterTable;
  struct Writer {
    std::vector<std::string> keys;
    int socket = -1;  // shut down to stop the holder; -1 when it cannot be interrupted
    std::atomic<bool> stop{false};
  };

  WriterTable* table_ = nullptr;
  std::unique_ptr<Writer> writer_;
};

class WriterTable {
 public:
  // Longest wait for a holder to let go before a newcomer gives up.
  static constexpr std::chrono::milliseconds kDefaultWait{30000};

  explicit WriterTable(std::chrono::milliseconds wait = kDefaultWait) : wait_(wait) {}
  WriterTable(const WriterTable&) = delete;
  WriterTable& operator=(const WriterTable&) = delete;

  // Takes every key at once (so two paths never deadlock against another request taking
  // them in the other order). Holders of any of them are asked to stop; one that has a
  // socket has it shut down, which ends a receive however long it would wait. socket is
  // this holder's own, or -1 for a hold that ends by itself. False when the keys were not
  // all free within the table's wait.
  bool acquire(std::vector<std::string> keys, int socket, WriterHold* hold);

 private:
  friend class WriterHold;
  void stop(WriterHold::Writer& holder);
  void release(WriterHold::Writer& holder);
  void finishing(WriterHold::Writer& holder);

  const std::chrono::milliseconds wait_;
  std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, WriterHold::Writer*> held_;
};

// The table's key for a path inside a disk's folder (names from its root, links followed).
std::string writerKey(const std::filesystem::path& folder, const std::vector<std::string>& parts);

}  // namespace zavel::devserver
