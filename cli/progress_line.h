// The one-line transfer progress shown on a terminal: name, bytes, percent, speed and time
// left, redrawn in place at most ten times a second.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zavel::cli {

struct ProgressState {
  uint64_t start = 0;     // where this run began: above 0 for a resumed file
  uint64_t position = 0;  // bytes of the file in place so far
  uint64_t end = 0;       // the file's size
  uint32_t elapsed_ms = 0;
};

// Columns a UTF-8 text takes on a terminal (East Asian wide characters take two).
size_t displayWidth(std::string_view text);
// The text cut to at most width columns by dropping its beginning (the end of a path says
// the most), marked with "…", then padded with spaces to exactly width columns.
std::string fitLeft(std::string_view text, size_t width);

// "[2/5] name  1.2 MiB / 4.0 MiB   30%  2.5 MiB/s  0:01 left", at most width columns when
// the name can be shortened enough (the prefix, a file counter, is never shortened). Speed
// counts only the bytes moved in this run.
std::string formatProgressLine(std::string_view prefix, std::string_view name,
                               const ProgressState& state, size_t width);

class ProgressMeter {
 public:
  using Sink = std::function<void(const std::string&)>;  // writes to the terminal
  using Clock = std::function<uint64_t()>;               // monotonic milliseconds
  using Width = std::function<size_t()>;                 // the terminal's columns

  ProgressMeter(Sink sink, Clock clock, Width width);

  // A new file: nothing is drawn until its first report.
  void begin(std::string prefix, std::string name, uint64_t start, uint64_t end);
  // Redraws when at least 100 ms have passed since the last drawing.
  void report(uint64_t position, uint32_t elapsed_ms);
  // Draws the file's last state and ends its line.
  void finish();
  // Takes the file's line off the terminal so that a message can stand in its place; the
  // next report draws it again at once.
  void clear();
  // The file goes on in a new run from start (after a lost connection, or from 0 when the
  // part already there is sent again): speed and time left count from there.
  void resume(uint64_t start);

  int draws() const { return draws_; }

 private:
  void draw();

  Sink sink_;
  Clock clock_;
  Width width_;
  std::string prefix_;
  std::string name_;
  ProgressState state_;
  bool active_ = false;
  bool drawn_once_ = false;
  bool on_screen_ = false;  // this file's line is on the terminal
  bool redraw_ = false;     // the next report draws whatever the time
  uint64_t last_draw_ms_ = 0;
  int draws_ = 0;
};

}  // namespace zavel::cli
