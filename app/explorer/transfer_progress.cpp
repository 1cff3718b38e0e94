#include "app/explorer/transfer_progress.h"

#include <algorithm>

#include "app/explorer/texts.h"

namespace zavel::app {
namespace {

QString format(const char* source) {
  return text::tr(source);
}

int percentOf(uint64_t part, uint64_t whole) {
  if (whole == 0) return 100;
  // In floating point: part * 100 overflows 64 bits for files beyond 184 PB, and a file
  // that grew since it was listed must not show more than 100.
  const double p = static_cast<double>(part) * 100.0 / static_cast<double>(whole);
  return std::clamp(static_cast<int>(p), 0, 100);
}

}  // namespace

QString groupedNumber(uint64_t value) {
  QString digits = QString::number(value);
  for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, u',');
  return digits;
}

QString speedText(uint64_t bytes, uint32_t elapsedMs) {
  const double speed = elapsedMs == 0 ? 0.0 : static_cast<double>(bytes) / elapsedMs;
  return QString::asprintf(format(text::kSpeedLine).toUtf8().constData(), speed);
}

QString remainingText(uint64_t seconds) {
  const int s = static_cast<int>(seconds % 60);
  const int m = static_cast<int>(seconds / 60 % 60);
  const uint64_t h = seconds / 3600;
  if (seconds < 60) return QString::asprintf(format(text::kSeconds).toUtf8().constData(), s);
  if (seconds < 3600) return QString::asprintf(format(text::kMinutes).toUtf8().constData(), m, s);
  return QString::asprintf(format(text::kHours).toUtf8().constData(),
                           static_cast<int>(std::min<uint64_t>(h, INT32_MAX)), m, s);
}

QString percentText(int percent) {
  return QString::asprintf(format(text::kPercent).toUtf8().constData(),
                           static_cast<double>(percent));
}

void ProgressState::begin(Mode mode, int count, uint64_t total, const QString& location) {
  *this = ProgressState();
  mode_ = mode;
  count_ = count;
  total_ = total;
  location_ = location;
}

void ProgressState::startFile(const QString& name, uint64_t start, uint64_t size) {
  name_ = name;
  start_ = position_ = start;
  end_ = size;
  elapsed_ = 0;
  without_bytes_ = false;
  started_ = true;
}

void ProgressState::report(uint64_t position, uint64_t end, uint32_t elapsedMs) {
  position_ = position;
  end_ = end;
  elapsed_ = elapsedMs;
}

void ProgressState::fileDone() {
  position_ = end_;
  advance();
}

void ProgressState::finishWithoutBytes(const QString& name) {
  name_ = name;
  start_ = position_ = end_ = 0;
  elapsed_ = 0;
  without_bytes_ = true;
  started_ = true;
  advance();
}

// Each item moves the counter exactly once, however many reports its transfer sent.
void ProgressState::advance() {
  if (number_ >= count_) {
    complete_ = true;
    return;
  }
  finished_ += position_;
  position_ = start_ = end_ = 0;
  ++number_;
}

int ProgressState::filePercent() const {
  if (without_bytes_ || complete_) return 100;
  return started_ ? percentOf(position_, end_) : 0;
}

int ProgressState::overallPercent() const {
  if (complete_) return 100;
  return total_ == 0 ? 0 : percentOf(done(), total_);
}

QString ProgressState::sizeLine() const {
  return QString::asprintf(format(text::kSizeLine).toUtf8().constData(),
                           groupedNumber(done()).toUtf8().constData(),
                           groupedNumber(total_).toUtf8().constData());
}

// The speed counts only what this transfer moved: a resumed file's earlier bytes took no
// time now.
QString ProgressState::speedLine() const {
  return speedText(position_ - std::min(start_, position_), elapsed_);
}

QString ProgressState::remainingLine() const {
  const uint64_t moved = position_ - std::min(start_, position_);
  uint64_t seconds = 0;
  if (moved > 0 && elapsed_ > 0 && end_ > position_) {
    const double per_second = static_cast<double>(moved) / elapsed_ * 1000.0;
    seconds = static_cast<uint64_t>(static_cast<double>(end_ - position_) / per_second);
  }
  return remainingText(seconds);
}

void ProgressState::setRetrying(int retry, int of) {
  retry_ = retry;
  retries_ = of;
}

QString ProgressState::counterLine() const {
  if (retry_ > 0) return text::tr(text::kReconnecting).arg(retry_).arg(retries_);
  return QString::asprintf(format(text::kCounter).toUtf8().constData(),
                           QByteArray::number(number_).constData(),
                           QByteArray::number(count_).constData());
}

QString ProgressState::cancelQuestion() const {
  return text::tr(mode_ == Mode::kUpload ? text::kCancelUpload : text::kCancelDownload);
}

}  // namespace zavel::app
