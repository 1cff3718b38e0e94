// The transfer progress shown on a terminal, redrawn in place at most ten times a second:
// one line for a file (name, bytes, percent, speed and time left), or two for a batch whose
// files move several at once (the batch's numbers, and the files in flight).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

// The names of the files in flight side by side, each shortened from its beginning to an
// equal share of at most width columns. When they cannot all have a readable share, the
// first ones are shown and "+N" stands for the rest.
std::string formatInFlight(const std::vector<std::string>& names, size_t width);

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

// A batch whose files move several at once: "[12/30]  3.4 MiB / 10.0 MiB  34%  2.5 MiB/s
// 0:03 left" over a line naming the files in flight. Each file moves in a slot (one per
// session). Speed counts only the bytes moved in this run, from the batch's beginning.
class BatchMeter {
 public:
  BatchMeter(ProgressMeter::Sink sink, ProgressMeter::Clock clock, ProgressMeter::Width width);

  // The batch: its files and their bytes. Nothing is drawn until the first report.
  void begin(size_t files, uint64_t bytes);
  // A file starts in a slot; start is where its run begins (above 0 for a resumed file).
  void start(int slot, std::string name, uint64_t start, uint64_t end);
  // Redraws when at least 100 ms have passed since the last drawing.
  void report(int slot, uint64_t position);
  // The slot's file goes on in a new run from start.
  void resume(int slot, uint64_t start);
  // The slot's file has ended: complete, or stopped short (failed or interrupted).
  void done(int slot, bool complete);
  // A file left as it is counts as done, its bytes as in place but not moved.
  void skip(uint64_t bytes);
  // Takes both lines off the terminal so that a message can stand in their place; the next
  // report draws them again at once.
  void clear();
  // Draws the batch's last state and leaves only its line.
  void finish();

  int draws() const { return draws_; }

 private:
  struct Slot {
    std::string name;
    uint64_t start = 0;  // where the current run began
    uint64_t position = 0;
    uint64_t end = 0;
    bool active = false;
  };
  void draw();
  Slot& slot(int index);

  ProgressMeter::Sink sink_;
  ProgressMeter::Clock clock_;
  ProgressMeter::Width width_;
  std::vector<Slot> slots_;
  size_t files_ = 0;
  size_t files_done_ = 0;
  uint64_t bytes_ = 0;
  uint64_t placed_ = 0;  // bytes of the files that have ended or were left as they are
  uint64_t moved_ = 0;   // bytes moved by runs that have ended
  uint64_t began_ms_ = 0;
  bool on_screen_ = false;  // both lines are on the terminal, the cursor on the second
  bool redraw_ = false;
  bool drawn_once_ = false;
  uint64_t last_draw_ms_ = 0;
  int draws_ = 0;
};

}  // namespace zavel::cli
