#include "cli/terminal.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

#include "cli/human_units.h"
#include "cli/remote_path.h"

namespace zavel::cli {

namespace {

alignas(4) int32_t g_cancel = 0;
std::atomic<bool> g_cancellable{false};

// The terminal settings to put back when the program ends during a password prompt.
std::atomic<bool> g_echo_off{false};
struct termios g_saved_termios;
std::atomic<int> g_tty_fd{-1};

void writeError(const char* text) {
  const ssize_t ignored = ::write(2, text, std::strlen(text));
  (void)ignored;
}

void signalLoop(sigset_t set) {
  bool first = true;
  for (;;) {
    int received = 0;
    if (sigwait(&set, &received) != 0) continue;
    if (first && g_cancellable.load()) {
      first = false;
      std::atomic_ref<int32_t>(g_cancel).store(1);
      writeError(isTerminal(2) ? "\nzavel-cli: interrupted; stopping\n"
                               : "zavel-cli: interrupted; stopping\n");
      continue;
    }
    if (g_echo_off.load()) ::tcsetattr(g_tty_fd.load(), TCSANOW, &g_saved_termios);
    writeError(isTerminal(2) ? "\nzavel-cli: interrupted\n" : "zavel-cli: interrupted\n");
    ::_exit(130);
  }
}

// The controlling terminal, opened for one question or prompt.
class Tty {
 public:
  Tty() : fd_(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY)) {}
  ~Tty() {
    if (fd_ >= 0) ::close(fd_);
  }
  Tty(const Tty&) = delete;
  Tty& operator=(const Tty&) = delete;

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  void write(const std::string& text) const {
    const ssize_t ignored = ::write(fd_, text.data(), text.size());
    (void)ignored;
  }
  // One line without its end; false at the end of input.
  bool readLine(std::string* line) const {
    line->clear();
    char c = 0;
    for (;;) {
      const ssize_t n = ::read(fd_, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return !line->empty();
      if (c == '\n') return true;
      if (line->size() < 4096) line->push_back(c);
    }
  }

 private:
  int fd_;
};

}  // namespace

bool isTerminal(int fd) {
  return ::isatty(fd) == 1;
}

size_t terminalWidth(int fd) {
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

uint64_t monotonicMilliseconds() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

bool promptPassword(const std::string& prompt, std::string* password) {
  Tty tty;
  if (!tty.valid()) return false;
  struct termios saved {};
  const bool settable = ::tcgetattr(tty.fd(), &saved) == 0;
  if (settable) {
    g_saved_termios = saved;
    g_tty_fd.store(tty.fd());
    g_echo_off.store(true);
    struct termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(tty.fd(), TCSAFLUSH, &quiet);
  }
  tty.write(prompt);
  const bool read = tty.readLine(password);
  if (settable) {
    ::tcsetattr(tty.fd(), TCSAFLUSH, &saved);
    g_echo_off.store(false);
  }
  tty.write("\n");
  return read;
}

Answer TerminalAsker::ask(Question question, const std::string& name, uint64_t source_size,
                          uint64_t target_size) {
  Tty tty;
  if (!tty.valid()) return Answer{Choice::kQuit, false};
  const bool resumable = question == Question::kResume;
  const std::string text = "\"" + printable(name) + "\" exists (" + humanBytes(target_size) +
                           " there, " + humanBytes(source_size) + " to transfer). " +
                           (resumable ? "[r]esume, [o]verwrite, [s]kip; R, O, S for all files"
                                      : "[o]verwrite, [s]kip; O, S for all files") +
                           "; [q]uit: ";
  std::string line;
  for (;;) {
    tty.write(text);
    if (!tty.readLine(&line)) return Answer{Choice::kQuit, false};
    const char c = line.empty() ? '\0' : line.front();
    switch (c) {
      case 'r':
      case 'R':
        if (!resumable) break;
        return Answer{Choice::kResume, c == 'R'};
      case 'o':
      case 'O':
        return Answer{Choice::kOverwrite, c == 'O'};
      case 's':
      case 'S':
        return Answer{Choice::kSkip, c == 'S'};
      case 'q':
      case 'Q':
        return Answer{Choice::kQuit, false};
      default:
        break;
    }
  }
}

void watchInterrupts() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(signalLoop, set).detach();
}

int32_t* cancelFlag() {
  return &g_cancel;
}

void setCancellable(bool cancellable) {
  g_cancellable.store(cancellable);
}

}  // namespace zavel::cli
