// The zavel-devserver program as users and scripts run it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <thread>

#include "devserver/loopback.h"
#include "tests/devserver/test_client.h"

extern char** environ;

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

// Runs the program with its output on a pipe; kills it if a test leaves it running.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    args.insert(args.begin(), ZAVEL_DEVSERVER_PROGRAM);
    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = ::fdopen(fds[0], "r");
  }
  ~Program() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_) ::fclose(out_);
  }
  // One line of its output, "" at the end.
  std::string line() {
    char buffer[512];
    if (out_ == nullptr || ::fgets(buffer, sizeof buffer, out_) == nullptr) return "";
    std::string s(buffer);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }
  // Everything it writes from here until it closes its output, blank lines included.
  std::string rest() {
    std::string all;
    char buffer[512];
    while (out_ != nullptr && ::fgets(buffer, sizeof buffer, out_) != nullptr) all += buffer;
    return all;
  }
  void signal(int sig) { ::kill(pid_, sig); }
  // Its exit status, waiting at most 20 seconds; -1 when it did not end.
  int exitCode() {
    for (int i = 0; i < 2000; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
  FILE* out_ = nullptr;
};

class ProgramTest : public ::testing::Test {
 protected:
  TempDir temp_;
  const fs::path& dir_ = temp_.path;
};

// The port of an endpoint line such as "file 127.0.0.1:9553"; 0 when the line is another.
uint16_t portOf(const std::string& line, const std::string& role) {
  std::smatch m;
  const bool ok = std::regex_match(line, m, std::regex(role + R"( 127\.0\.0\.1:(\d+))"));
  EXPECT_TRUE(ok) << line;
  return ok ? static_cast<uint16_t>(std::stoi(m[1])) : 0;
}

TEST_F(ProgramTest, SeedsTheDemoPrintsItsEndpointsAndStopsCleanlyOnSignals) {
  for (int sig : {SIGTERM, SIGINT}) {
    Program program({"--data", (dir_ / "data").string(), "--seed-demo", "--listen",
                     "file=127.0.0.1:0", "--listen", "list=127.0.0.1:0", "--listen",
                     "auth=127.0.0.1:0", "--listen", "log=127.0.0.1:0"});
    const uint16_t port = portOf(program.line(), "file");
    const std::string list_line = program.line();
    portOf(list_line, "list");
    // The portal shares the list server's listener; every role says where it is.
    EXPECT_EQ(program.line(), "portal" + list_line.substr(4));
    portOf(program.line(), "log");
    portOf(program.line(), "auth");

    // The seeded demo account is served where the program said.
    EXPECT_EQ(textOf(TestClient("127.0.0.1", port).call(Req("setuser").s("id", "demo")), "path"),
              "/demo");
    program.signal(sig);
    EXPECT_EQ(program.exitCode(), 0);
  }
}

TEST_F(ProgramTest, ExplainsWhatIsWrongInsteadOfStarting) {
  const std::tuple<std::vector<std::string>, int, const char*> cases[] = {
      {{"--data", (dir_ / "empty").string()}, 1, "config.json"},
      {{"--data", dir_.string(), "--seed-demo", "--listen", "disk=:0"}, 2, "unknown server"},
      {{"--data", dir_.string(), "--listen", "file=127.0.0.1:99999"}, 2, "bad port"},
      {{}, 106, "--data"},
      // Every role is checked before anything listens; none of these opens a socket.
      {{"--data", dir_.string(), "--listen", "file=0.0.0.0:0"},
       2,
       "refusing to listen beyond loopback on file 0.0.0.0:0; its disks would open there without "
       "a password (--allow-remote allows it)"},
      {{"--data", dir_.string(), "--listen", "list=10.0.0.1:0"}, 2, "list 10.0.0.1:0"},
      {{"--data", dir_.string(), "--listen", "portal=disk.example.net:0"},
       2,
       "portal disk.example.net:0"},
      {{"--data", dir_.string(), "--listen", "log=192.168.1.5:0"}, 2, "--allow-remote"},
      {{"--data", dir_.string(), "--listen", "auth=10.0.0.1"}, 2, "auth 10.0.0.1:10020"},
      // Past the check these stop at the missing config.json, before binding.
      {{"--data", (dir_ / "empty").string(), "--listen", "file=localhost:0", "--listen",
        "list=127.9.9.9:0"},
       1,
       "config.json"},
      {{"--data", (dir_ / "empty").string(), "--allow-remote", "--listen", "file=0.0.0.0:0",
        "--listen", "auth=10.0.0.1:0"},
       1,
       "warning: listening beyond loopback on file 0.0.0.0:0, auth 10.0.0.1:0; its disks open "
       "without a password to anyone who can reach it"},
      {{"--help"}, 0, "--allow-remote"},
  };
  for (const auto& [args, code, says] : cases) {
    Program program(args);
    const std::string all = program.rest();
    EXPECT_EQ(program.exitCode(), code) << all;
    EXPECT_NE(all.find(says), std::string::npos) << all;
  }
}

TEST(Loopback, OnlyAddressesNoOtherMachineCanReachCount) {
  for (const char* host : {"127.0.0.1", "127.4.5.6", "127.255.255.255", "::1", "::ffff:127.0.0.1",
                           "localhost", "LocalHost"})
    EXPECT_TRUE(devserver::isLoopbackHost(host)) << host;
  // A name counts as remote whatever it starts with; "127.1" resolves to 127.0.0.1 but is not a
  // plain address, and "" is the wildcard to a resolver.
  for (const char* host :
       {"0.0.0.0", "10.0.0.1", "126.255.255.255", "128.0.0.1", "::", "::2", "::ffff:10.0.0.1",
        "disk.example.net", "127.attacker.example", "localhost.example.net", "127.1", ""})
    EXPECT_FALSE(devserver::isLoopbackHost(host)) << '"' << host << '"';
}

TEST(Loopback, NamesEveryListenerOffLoopbackAndAPortalOnlyWhenItHasItsOwn) {
  devserver::DevServerOptions options;
  EXPECT_TRUE(devserver::remoteEndpoints(options).empty());
  options.list.host = "0.0.0.0";
  EXPECT_EQ(devserver::remoteEndpoints(options), std::vector<std::string>{"list 0.0.0.0:22222"});
  options.portal = devserver::Endpoint{"10.1.2.3", 8080};
  options.auth = {"::", 0};
  options.file.host = "localhost";
  EXPECT_EQ(devserver::remoteEndpoints(options),
            (std::vector<std::string>{"list 0.0.0.0:22222", "portal 10.1.2.3:8080", "auth :::0"}));
}

}  // namespace
}  // namespace zavel::testing
