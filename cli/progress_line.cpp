#include "cli/progress_line.h"

#include <algorithm>
#include <cstdio>

#include "cli/human_units.h"

namespace zavel::cli {

namespace {

// Decodes one UTF-8 sequence at text[i]; malformed bytes count as one character each.
char32_t nextCodePoint(std::string_view text, size_t* i) {
  const auto b0 = static_cast<unsigned char>(text[*i]);
  size_t length = b0 < 0x80         ? 1
                  : (b0 >> 5) == 6  ? 2
                  : (b0 >> 4) == 14 ? 3
                  : (b0 >> 3) == 30 ? 4
                                    : 0;
  if (length == 0 || *i + length > text.size()) {
    ++*i;
    return 0xFFFD;
  }
  char32_t cp = length == 1 ? b0 : b0 & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(text[*i + k]);
    if ((b >> 6) != 2) {
      ++*i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  *i += length;
  return cp;
}

bool isWide(char32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
         (cp >= 0x20000 && cp <= 0x3FFFD);
}

size_t codePointWidth(char32_t cp) {
  return isWide(cp) ? 2 : 1;
}

// "  1.2 MiB / 4.0 MiB   30%  2.5 MiB/s  0:01 left"
std::string numbersText(const ProgressState& s) {
  const uint64_t position = s.position;
  const unsigned percent =
      s.end == 0 || position >= s.end
          ? 100u
          : static_cast<unsigned>(static_cast<unsigned __int128>(position) * 100 / s.end);
  const uint64_t moved = position > s.start ? position - s.start : 0;
  std::string speed = "--", left = "--:--";
  if (s.elapsed_ms > 0 && moved > 0) {
    const double rate = static_cast<double>(moved) * 1000.0 / s.elapsed_ms;
    speed = humanRate(rate);
    const uint64_t rest = s.end > position ? s.end - position : 0;
    left = clockDuration(static_cast<uint64_t>(static_cast<double>(rest) / rate + 0.5));
  } else if (position >= s.end) {
    left = clockDuration(0);
  }
  char numbers[160];
  std::snprintf(numbers, sizeof numbers, "  %s / %s  %3u%%  %s  %s left",
                humanBytes(position).c_str(), humanBytes(s.end).c_str(), percent, speed.c_str(),
                left.c_str());
  return numbers;
}

// The text cut to at most width columns by dropping its end.
std::string cutRight(std::string_view text, size_t width) {
  size_t used = 0, i = 0;
  while (i < text.size()) {
    size_t next = i;
    const size_t w = codePointWidth(nextCodePoint(text, &next));
    if (used + w > width) break;
    used += w;
    i = next;
  }
  return std::string(text.substr(0, i));
}

}  // namespace

size_t displayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) width += codePointWidth(nextCodePoint(text, &i));
  return width;
}

std::string fitLeft(std::string_view text, size_t width) {
  size_t total = displayWidth(text);
  std::string_view kept = text;
  std::string out;
  if (total > width) {
    if (width == 0) return "";
    // Drop characters from the front until the rest and the "…" fit.
    size_t i = 0;
    while (i < text.size() && total + 1 > width) total -= codePointWidth(nextCodePoint(text, &i));
    kept = text.substr(i);
    out = "…";
    total += 1;
  }
  out.append(kept);
  out.append(width > total ? width - total : 0, ' ');
  return out;
}

std::string formatProgressLine(std::string_view prefix, std::string_view name,
                               const ProgressState& s, size_t width) {
  const std::string numbers = numbersText(s);
  const size_t fixed = displayWidth(prefix) + displayWidth(numbers);
  const size_t name_width = width > fixed + 12 ? width - fixed : 12;
  return std::string(prefix) + fitLeft(name, name_width) + numbers;
}

std::string formatInFlight(const std::vector<std::string>& names, size_t width) {
  constexpr size_t kReadable = 12;  // columns a shortened name needs to be told apart
  constexpr size_t kGap = 2;
  if (names.empty()) return "";
  // As many names as can have a readable share, and "+N" for the others.
  size_t shown = names.size();
  std::string more;
  size_t share = 0;
  for (;; --shown) {
    more = shown < names.size() ? "  +" + std::to_string(names.size() - shown) : "";
    const size_t room = width > more.size() ? width - more.size() : 0;
    const size_t gaps = (shown - 1) * kGap;
    share = room > gaps ? (room - gaps) / shown : 0;
    if (share >= kReadable || shown == 1) break;
  }
  if (share < kReadable) {  // a terminal too narrow for even one name and a count
    more.clear();
    share = width;
  }
  std::string line;
  for (size_t i = 0; i < shown; ++i) {
    if (i > 0) line.append(kGap, ' ');
    line += fitLeft(names[i], share);
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line + more;
}

ProgressMeter::ProgressMeter(Sink sink, Clock clock, Width width)
    : sink_(std::move(sink)), clock_(std::move(clock)), width_(std::move(width)) {}

void ProgressMeter::begin(std::string prefix, std::string name, uint64_t start, uint64_t end) {
  prefix_ = std::move(prefix);
  name_ = std::move(name);
  state_ = ProgressState{start, start, end, 0};
  active_ = true;
  redraw_ = false;
}

void ProgressMeter::report(uint64_t position, uint32_t elapsed_ms) {
  if (!active_) return;
  state_.position = position;
  state_.elapsed_ms = elapsed_ms;
  const uint64_t now = clock_();
  if (drawn_once_ && !redraw_ && now - last_draw_ms_ < 100) return;
  draw();
}

void ProgressMeter::finish() {
  if (!active_) return;
  draw();
  sink_("\n");
  active_ = false;
  on_screen_ = false;
}

void ProgressMeter::clear() {
  if (!active_ || !on_screen_) return;
  sink_("\r\x1b[K");
  on_screen_ = false;
  redraw_ = true;
}

void ProgressMeter::resume(uint64_t start) {
  state_.start = start;
  state_.position = start;
  state_.elapsed_ms = 0;
}

void ProgressMeter::draw() {
  // One column is left free: writing into the last one makes some terminals wrap.
  const size_t columns = width_();
  sink_("\r" + formatProgressLine(prefix_, name_, state_, columns > 1 ? columns - 1 : 1) +
        "\x1b[K");
  last_draw_ms_ = clock_();
  drawn_once_ = true;
  on_screen_ = true;
  redraw_ = false;
  ++draws_;
}

BatchMeter::BatchMeter(ProgressMeter::Sink sink, ProgressMeter::Clock clock,
                       ProgressMeter::Width width)
    : sink_(std::move(sink)), clock_(std::move(clock)), width_(std::move(width)) {}

void BatchMeter::begin(size_t files, uint64_t bytes) {
  slots_.clear();
  files_ = files;
  files_done_ = 0;
  bytes_ = bytes;
  placed_ = moved_ = 0;
  began_ms_ = clock_();
}

BatchMeter::Slot& BatchMeter::slot(int index) {
  const auto i = static_cast<size_t>(index < 0 ? 0 : index);
  if (i >= slots_.size()) slots_.resize(i + 1);
  return slots_[i];
}

void BatchMeter::start(int index, std::string name, uint64_t start, uint64_t end) {
  slot(index) = Slot{std::move(name), start, start, end, true};
}

void BatchMeter::report(int index, uint64_t position) {
  Slot& s = slot(index);
  if (!s.active) return;
  s.position = position;
  if (drawn_once_ && !redraw_ && clock_() - last_draw_ms_ < 100) return;
  draw();
}

void BatchMeter::resume(int index, uint64_t start) {
  Slot& s = slot(index);
  if (!s.active) return;
  moved_ += s.position > s.start ? s.position - s.start : 0;
  s.start = s.position = start;
}

void BatchMeter::done(int index, bool complete) {
  Slot& s = slot(index);
  if (!s.active) return;
  if (complete) s.position = std::max(s.position, s.end);
  moved_ += s.position > s.start ? s.position - s.start : 0;
  placed_ += s.position;
  files_done_ += complete ? 1 : 0;
  s.active = false;
}

void BatchMeter::skip(uint64_t bytes) {
  placed_ += bytes;
  ++files_done_;
}

void BatchMeter::clear() {
  if (!on_screen_) return;
  sink_("\r\x1b[K\x1b[1A\x1b[K");
  on_screen_ = false;
  redraw_ = true;
}

void BatchMeter::finish() {
  draw();
  sink_("\r\x1b[K");  // the line of the files in flight goes; the batch's stays
  on_screen_ = false;
}

void BatchMeter::draw() {
  uint64_t placed = placed_, moved = moved_;
  std::vector<std::string> names;
  for (const Slot& s : slots_) {
    if (!s.active) continue;
    placed += s.position;
    moved += s.position > s.start ? s.position - s.start : 0;
    names.push_back(s.name);
  }
  const uint64_t now = clock_();
  const ProgressState state{placed > moved ? placed - moved : 0, placed, std::max(bytes_, placed),
                            static_cast<uint32_t>(std::min<uint64_t>(now - began_ms_, UINT32_MAX))};
  // One column is left free: writing into the last one makes some terminals wrap.
  const size_t columns = width_();
  const size_t width = columns > 1 ? columns - 1 : 1;
  const std::string batch =
      "[" + std::to_string(files_done_) + "/" + std::to_string(files_) + "]" + numbersText(state);
  sink_(std::string(on_screen_ ? "\x1b[1A\r" : "\r") + cutRight(batch, width) + "\x1b[K\n" +
        formatInFlight(names, width) + "\x1b[K");
  last_draw_ms_ = now;
  drawn_once_ = true;
  on_screen_ = true;
  redraw_ = false;
  ++draws_;
}

}  // namespace zavel::cli
