#include "tests/cli/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

namespace zavel::testing {

CliProcess::CliProcess(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env) {
  std::vector<std::string> arg_texts = {ZAVEL_CLI_PATH};
  arg_texts.insert(arg_texts.end(), args.begin(), args.end());
  std::vector<std::string> env_texts;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "ZAVEL_", 6) != 0) env_texts.push_back(*e);
  for (const auto& [name, value] : env) env_texts.push_back(name + "=" + value);
  // Everything the child needs is ready before fork: it only duplicates and executes.
  std::vector<char*> argv, envp;
  for (std::string& a : arg_texts) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env_texts) envp.push_back(e.data());
  envp.push_back(nullptr);

  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(null, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(null);
  ::close(out[1]);
  ::close(err[1]);
  out_fd_ = out[0];
  err_fd_ = err[0];
  if (pid_ < 0) throw std::runtime_error("fork failed");
}

CliProcess::~CliProcess() {
  if (!reaped_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) ::close(out_fd_);
  if (err_fd_ >= 0) ::close(err_fd_);
}

bool CliProcess::pump(std::chrono::steady_clock::time_point deadline) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  std::string* sinks[2] = {&out_, &err_};
  int* owners[2] = {&out_fd_, &err_fd_};
  if (out_fd_ < 0 && err_fd_ < 0) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  const int ready = ::poll(fds, 2, static_cast<int>(std::max<int64_t>(0, left.count())));
  if (ready <= 0) return true;
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || fds[i].revents == 0) continue;
    char buffer[65536];
    const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
    if (n > 0) {
      sinks[i]->append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      ::close(*owners[i]);
      *owners[i] = -1;
    }
  }
  return out_fd_ >= 0 || err_fd_ >= 0;
}

bool CliProcess::waitForError(const std::string& text, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (err_.find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= deadline || !pump(deadline)) break;
  }
  return err_.find(text) != std::string::npos;
}

int CliProcess::wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline && pump(deadline)) {
  }
  while (!reaped_) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      reaped_ = true;
      status_ = -1;
      break;
    }
    ::usleep(10000);
  }
  return status_;
}

void CliProcess::signal(int number) const {
  ::kill(pid_, number);
}

CliResult runCli(const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env) {
  CliProcess process(args, env);
  const int status = process.wait();
  return CliResult{status, process.out(), process.err()};
}

}  // namespace zavel::testing
