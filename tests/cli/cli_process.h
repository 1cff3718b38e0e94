// Runs the zavel-cli program as a child process with its output in pipes and its input
// from /dev/null (so it is not on a terminal), with bounded waits.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace zavel::testing {

class CliProcess {
 public:
  // Starts the program with args; env entries are added to a copy of this process's
  // environment without any ZAVEL_ variables of its own.
  CliProcess(const std::vector<std::string>& args, const std::map<std::string, std::string>& env);
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // Reads output until text shows up on standard error or the time is up.
  bool waitForError(const std::string& text, std::chrono::milliseconds limit);
  // Reads all output and waits for the exit; the exit status, or -1 when the program did
  // not end in time (it is killed) or ended by a signal.
  int wait(std::chrono::milliseconds limit = std::chrono::seconds(120));
  void signal(int number) const;

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  // Reads what is there, waiting at most until the deadline; false once both pipes ended.
  bool pump(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
  std::string err_;
  int status_ = -1;
  bool reaped_ = false;
};

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

// Runs the program to its end.
CliResult runCli(const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {});

}  // namespace zavel::testing
