// What the progress dialog shows for one batch: the file counter, the bytes of the files
// already finished, the current file's position, and the texts of the bars and value lines.
// The batch feeds it; the dialog only shows it.
#pragma once

#include <QString>
#include <cstdint>

namespace zavel::app {

// "1,234,567": a byte count with "," every three digits from the right.
QString groupedNumber(uint64_t value);
// "%5.2f k/s" of bytes per millisecond (0 when no time has passed).
QString speedText(uint64_t bytes, uint32_t elapsedMs);
// "%d초" below a minute, "%d분 %d초" below an hour, else "%d시간 %d분 %d초".
QString remainingText(uint64_t seconds);
// "%3.0f %%".
QString percentText(int percent);

class ProgressState {
 public:
  enum class Mode { kUpload = 0, kDownload = 1 };

  void begin(Mode mode, int count, uint64_t total, const QString& location);

  // A file of `size` bytes starts at byte `start` (a resumed file starts with its bytes
  // done). `name` is its local path as the dialog shows it.
  void startFile(const QString& name, uint64_t start, uint64_t size);
  // A report of the library: the position reached in a file of `end` bytes, after
  // `elapsedMs` milliseconds.
  void report(uint64_t position, uint64_t end, uint32_t elapsedMs);
  // The current file has all its bytes: the counter moves on, or the batch is complete.
  void fileDone();
  // A folder item or a skipped file: finished without bytes.
  void finishWithoutBytes(const QString& name);
  // The connection was lost and retry `retry` of `of` is coming; 0 when the transfer runs.
  void setRetrying(int retry, int of);
  uint64_t currentEnd() const { return end_; }

  Mode mode() const { return mode_; }
  int count() const { return count_; }
  int fileNumber() const { return number_; }
  uint64_t total() const { return total_; }
  uint64_t finished() const { return finished_; }
  uint64_t done() const { return finished_ + position_; }
  int filePercent() const;
  int overallPercent() const;
  bool complete() const { return complete_; }

  const QString& location() const { return location_; }
  const QString& currentName() const { return name_; }
  QString sizeLine() const;
  QString speedLine() const;
  QString remainingLine() const;
  // The file counter, or while the connection is being made again, that.
  QString counterLine() const;

  // The word the library reads between steps; non-zero stops the transfer.
  int32_t* cancelFlag() { return &cancel_; }
  bool cancelled() const { return cancel_ != 0; }
  void cancel() { cancel_ = 1; }
  // The question asked before a running batch is cancelled.
  QString cancelQuestion() const;

 private:
  void advance();

  Mode mode_ = Mode::kDownload;
  int count_ = 0;
  int number_ = 1;
  uint64_t total_ = 0;
  uint64_t finished_ = 0;
  QString location_;
  QString name_;
  uint64_t start_ = 0;     // where the current file's transfer began
  uint64_t position_ = 0;  // bytes of the current file done
  uint64_t end_ = 0;
  uint32_t elapsed_ = 0;
  bool without_bytes_ = false;
  bool started_ = false;  // a file has started: an empty bar before that
  bool complete_ = false;
  int retry_ = 0;
  int retries_ = 0;
  int32_t cancel_ = 0;
};

}  // namespace zavel::app
