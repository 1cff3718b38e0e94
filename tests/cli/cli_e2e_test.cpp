// zavel-cli end to end: the program itself, run as a child process against an in-process
// zavel-devserver on real folders. Not on a terminal, so it prints nothing but errors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/disk.h"
#include "devserver/config.h"
#include "devserver/dev_server.h"
#include "tests/support/demo_server.h"
#include "tests/support/devserver_fixture.h"
#include "tests/support/fake_server.h"
#include "tests/support/local_files.h"
#include "tests/support/tcp_relay.h"

extern char** environ;

namespace zavel {
namespace {

namespace fs = std::filesystem;
using testing::DevServerFixture;
using Clock = std::chrono::steady_clock;
using Env = std::map<std::string, std::string>;
using testing::readFile;
using testing::until;

// The program as a child process with input from /dev/null (so it is not on a terminal),
// output into memory files and every wait bounded. Its environment is this process's
// without the ZAVEL_ variables, with env's added or replacing.
class CliProcess {
 public:
  CliProcess(std::vector<std::string> args, const Env& env) {
    args.insert(args.begin(), ZAVEL_CLI_PATH);
    std::vector<std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string var = *e;
      if (var.rfind("ZAVEL_", 0) != 0 && env.count(var.substr(0, var.find('='))) == 0)
        vars.push_back(var);
    }
    for (const auto& [name, value] : env) vars.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    for (std::string& v : vars) envp.push_back(v.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t io;
    ::posix_spawn_file_actions_init(&io);
    ::posix_spawn_file_actions_addopen(&io, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&io, out_, 1);
    ::posix_spawn_file_actions_adddup2(&io, err_, 2);
    const int failed = ::posix_spawn(&pid_, argv[0], &io, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&io);
    if (failed != 0) throw std::runtime_error("cannot start zavel-cli");
  }
  ~CliProcess() {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    ::close(out_);
    ::close(err_);
  }

  // The exit status, or -1 when the program ended by a signal or did not end in time (it
  // is killed then).
  int wait(std::chrono::milliseconds limit = std::chrono::seconds(120)) {
    int status = 0;
    if (!until([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, limit)) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void signal(int number) const { ::kill(pid_, number); }

  // All the program wrote so far, read through a file description of its own.
  std::string out() const { return readFile("/proc/self/fd/" + std::to_string(out_)); }
  std::string err() const { return readFile("/proc/self/fd/" + std::to_string(err_)); }

 private:
  const int out_ = ::memfd_create("zavel-cli-out", MFD_CLOEXEC);
  const int err_ = ::memfd_create("zavel-cli-err", MFD_CLOEXEC);
  pid_t pid_ = -1;
};

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

CliResult runCli(const std::vector<std::string>& args, const Env& env = {}) {
  CliProcess process(args, env);
  const int status = process.wait();
  return CliResult{status, process.out(), process.err()};
}

void writeRandom(const fs::path& path, size_t size, uint32_t seed) {
  testing::writeFile(path, testing::randomBytes(size, seed));
}

// Every item below root by relative name: a digest of a file's bytes, "/" for a folder.
std::map<std::string, std::string> digests(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    out[fs::relative(e.path(), root).string()] =
        e.is_directory() ? "/" : std::to_string(std::hash<std::string>{}(readFile(e.path())));
  return out;
}

void expectHas(const std::string& text, std::initializer_list<std::string> needles) {
  for (const std::string& n : needles) EXPECT_NE(text.find(n), std::string::npos) << n << text;
}

// The output of a command that has to succeed with nothing on standard error.
std::string ok(const CliResult& r) {
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  return r.out;
}

class Cli : public ::testing::Test {
 protected:
  explicit Cli(testing::DevServerFixtureOptions options = {}) : server_(options) {
    std::string pattern = (fs::temp_directory_path() / "zavel-cli-e2e-XXXXXX").string();
    local_ = ::mkdtemp(pattern.data());
  }
  ~Cli() override { fs::remove_all(local_); }

  // args after the connection options of the test account's disk at port.
  std::vector<std::string> personal(std::vector<std::string> args, uint16_t port = 0) const {
    args.insert(args.begin(), {"--host", server_.host(), "--port",
                               std::to_string(port != 0 ? port : server_.port()), "--user",
                               DevServerFixture::kUser});
    return args;
  }
  CliResult cli(const std::vector<std::string>& args) const {
    return runCli(personal(args), password_);
  }
  fs::path disk(const std::string& relative) const { return server_.diskPath() / relative; }

  DevServerFixture server_;
  fs::path local_;
  const Env password_ = {{"ZAVEL_PASSWORD", DevServerFixture::kPassword}};
};

TEST_F(Cli, AFolderGoesUpAndComesBackWithIdenticalDigests) {
  const fs::path tree = local_ / "사진 모음";
  fs::create_directories(tree / "2004/여름");
  fs::create_directories(tree / "빈 폴더");
  writeRandom(tree / "big.bin", 300000, 1);  // several steps of the library
  writeRandom(tree / "2004/여름/바다.jpg", 65536, 2);
  writeRandom(tree / "2004/exactly-one-step", 65536 * 2, 3);
  std::ofstream(tree / "2004/empty.txt").close();

  EXPECT_EQ(ok(cli({"put", tree.string()})), "");  // not on a terminal: nothing but errors
  EXPECT_EQ(digests(disk("사진 모음")), digests(tree));
  EXPECT_EQ(ok(cli({"get", "사진 모음", (local_ / "back").string()})), "");
  EXPECT_EQ(digests(local_ / "back"), digests(tree));
}

TEST_F(Cli, AGetStoppedByCtrlCLeavesAPartialFileThatResumeCompletes) {
  constexpr size_t kSize = 6u << 20;
  writeRandom(disk("movie.bin"), kSize, 4);
  // The relay holds the server's bytes after 2 MiB, so the download stands still there.
  testing::TcpRelay relay(server_.host(), server_.port());
  relay.gateNextAfter(2u << 20);
  const fs::path target = local_ / "movie.bin";
  CliProcess first(personal({"get", "movie.bin", target.string()}, relay.port()), password_);
  ASSERT_TRUE(relay.waitUntilHolding(std::chrono::seconds(60)));
  // The bytes before the gate may still sit in the socket: interrupt once some are written.
  ASSERT_TRUE(until(
      [&] {
        std::error_code error;
        return fs::file_size(target, error) > 0 && !error;
      },
      std::chrono::seconds(60)));

  first.signal(SIGINT);
  ASSERT_TRUE(until([&] { return first.err().find("interrupted") != std::string::npos; },
                    std::chrono::seconds(60)))
      << first.err();
  relay.release();  // the next step sees the cancel flag
  EXPECT_EQ(first.wait(), 130) << first.err();
  EXPECT_NE(first.err().find("--resume"), std::string::npos) << first.err();
  const uint64_t partial = fs::file_size(target);
  EXPECT_GT(partial, 0u);
  EXPECT_LT(partial, kSize);
  EXPECT_EQ(readFile(target), readFile(disk("movie.bin")).substr(0, partial));

  ok(cli({"get", "--resume", "movie.bin", target.string()}));
  EXPECT_TRUE(readFile(target) == readFile(disk("movie.bin")));
}

// Many small files, a few larger ones, at the step boundaries and in nested folders.
void writeTree(const fs::path& root) {
  const size_t sizes[] = {0, 1, 65535, 65536, 65537, 1000, 4096, 30000, 100, 7};
  for (int i = 0; i < 30; ++i) {
    const fs::path folder = root / (i < 10 ? "" : i < 20 ? "가" : "가/나");
    fs::create_directories(folder);
    writeRandom(folder / ("f" + std::to_string(i)), sizes[i % 10], 100 + i);
  }
  fs::create_directories(root / "빈");
  writeRandom(root / "large-1", 3u << 20, 200);
  writeRandom(root / "가/large-2", (2u << 20) + 12345, 201);
  writeRandom(root / "가/나/large-3", 300000, 202);
}

TEST_F(Cli, ATreeGoesUpAndComesBackSeveralFilesAtOnce) {
  const fs::path tree = local_ / "tree";
  writeTree(tree);
  EXPECT_EQ(ok(cli({"-j", "4", "put", tree.string()})), "");
  EXPECT_EQ(digests(disk("tree")), digests(tree));
  EXPECT_EQ(
      ok(cli({"--jobs", "4", "--limit-rate", "1G", "get", "tree", (local_ / "back").string()})),
      "");
  EXPECT_EQ(digests(local_ / "back"), digests(tree));
}

// Answers by the file's name and notes each question; two questions at once are a fault.
class NamedAsker : public cli::Asker {
 public:
  explicit NamedAsker(std::function<cli::Answer(const std::string&)> answer)
      : answer_(std::move(answer)) {}
  cli::Answer ask(cli::Question, const std::string& name, uint64_t, uint64_t) override {
    if (asking_.fetch_add(1) != 0) overlapped = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // room for another to come
    {
      std::lock_guard lock(mutex_);
      asked.push_back(name);
    }
    asking_.fetch_sub(1);
    return answer_(name);
  }
  std::vector<std::string> asked;
  std::atomic<bool> overlapped{false};

 private:
  std::function<cli::Answer(const std::string&)> answer_;
  std::atomic<int> asking_{0};
  std::mutex mutex_;
};

// In-process, with a person answering: each existing target is asked about once, one
// question at a time, and an answer for all files ends the questions.
TEST_F(Cli, AParallelGetAsksAboutEachExistingTargetOnceAndOneAtATime) {
  constexpr int kFiles = 12, kExisting = 8;
  fs::create_directories(disk("batch"));
  for (int i = 0; i < kFiles; ++i) writeRandom(disk("batch/f" + std::to_string(i)), 70000, 300 + i);
  const auto overwritten = [](const std::string& name) { return (name.back() - '0') % 2 == 0; };
  struct Case {
    const char* what;
    std::function<cli::Answer(const std::string&)> answer;
    size_t questions;
  };
  const Case cases[] = {
      {"one answer a file",
       [&](const std::string& name) {
         return cli::Answer{overwritten(name) ? cli::Choice::kOverwrite : cli::Choice::kSkip};
       },
       kExisting},
      {"overwrite all",
       [](const std::string&) {
         return cli::Answer{cli::Choice::kOverwrite, true};
       },
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(local_ / "batch");
    fs::create_directories(local_ / "batch");
    for (int i = 0; i < kExisting; ++i)
      std::ofstream(local_ / "batch" / ("f" + std::to_string(i))) << "old";
    cli::LibraryError error;
    std::unique_ptr<cli::Disk> d =
        cli::Disk::openPersonal(server_.host(), server_.port(), DevServerFixture::kUser,
                                DevServerFixture::kPassword, 30000, &error);
    ASSERT_TRUE(d) << error.describe();
    std::ostringstream out, err;
    NamedAsker asker(c.answer);
    cli::Console console{out, err};
    console.asker = &asker;
    cli::BatchOptions batch;
    batch.jobs = 4;
    EXPECT_EQ(cli::runGet(*d, console, {"batch", local_.string()}, cli::ConflictPolicy::kAsk, batch,
                          true),
              0)
        << err.str();
    EXPECT_FALSE(asker.overlapped);
    std::sort(asker.asked.begin(), asker.asked.end());
    EXPECT_EQ(std::unique(asker.asked.begin(), asker.asked.end()), asker.asked.end());
    EXPECT_EQ(asker.asked.size(), c.questions);
    for (int i = 0; i < kFiles; ++i) {
      const std::string name = "f" + std::to_string(i);
      const bool kept = i < kExisting && c.questions > 1 && !overwritten(name);
      const std::string expected = kept ? "old" : readFile(disk("batch/" + name));
      EXPECT_TRUE(readFile(local_ / "batch" / name) == expected) << name;
    }
  }
}

TEST_F(Cli, CtrlCStopsEveryJobOfAParallelGetAndKeepsTheirPartialFiles) {
  constexpr size_t kSize = 3u << 20;
  fs::create_directories(disk("batch"));
  for (int i = 0; i < 4; ++i) writeRandom(disk("batch/part" + std::to_string(i)), kSize, 20 + i);
  // The relay holds the first session's bytes after 1 MiB: its file stands still there.
  testing::TcpRelay relay(server_.host(), server_.port());
  relay.gateNextAfter(1u << 20);
  const fs::path got = local_ / "batch";
  const auto sizes = [&] {
    std::vector<uint64_t> out;
    for (int i = 0; i < 4; ++i) {
      std::error_code error;
      const uint64_t size = fs::file_size(got / ("part" + std::to_string(i)), error);
      out.push_back(error ? 0 : size);
    }
    return out;
  };
  CliProcess first(personal({"-j", "4", "get", "batch", local_.string()}, relay.port()), password_);
  ASSERT_TRUE(relay.waitUntilHolding(std::chrono::seconds(60)));
  ASSERT_TRUE(until(
      [&] {
        for (const uint64_t size : sizes())
          if (size > 0 && size < kSize) return true;
        return false;
      },
      std::chrono::seconds(60)));

  first.signal(SIGINT);
  ASSERT_TRUE(until([&] { return first.err().find("interrupted") != std::string::npos; },
                    std::chrono::seconds(60)))
      << first.err();
  relay.release();
  EXPECT_EQ(first.wait(), 130) << first.err();
  EXPECT_NE(first.err().find("--resume"), std::string::npos) << first.err();
  // Every file there is the start of its source, and one at least stopped short of it.
  int short_ones = 0;
  for (const auto& e : fs::directory_iterator(got)) {
    const std::string here = readFile(e.path()),
                      source = readFile(disk("batch") / e.path().filename());
    EXPECT_TRUE(source.compare(0, here.size(), here) == 0 && here.size() <= source.size())
        << e.path();
    short_ones += here.size() < source.size() ? 1 : 0;
  }
  EXPECT_GE(short_ones, 1);

  ok(cli({"-j", "4", "get", "--resume", "batch", local_.string()}));
  EXPECT_EQ(digests(got), digests(disk("batch")));
}

TEST_F(Cli, ABatchGoesOnOnTheSessionsTheServerTook) {
  devserver::DevServerOptions options;
  options.data_dir = local_ / "limited";
  options.seed_demo = true;
  options.useFreePorts();
  options.max_connections = 2;  // the disk's own session and one more
  fs::create_directories(options.data_dir);
  devserver::DevServer limited(options);
  std::string error;
  ASSERT_TRUE(limited.start(&error)) << error;
  const fs::path source = options.data_dir / "disks/demo/batch";
  writeTree(source);
  ok(runCli({"--host", limited.fileHost(), "--port", std::to_string(limited.filePort()), "--user",
             "demo", "-j", "4", "get", "batch", (local_ / "got").string()},
            {{"ZAVEL_PASSWORD", "demo"}}));
  EXPECT_EQ(digests(local_ / "got"), digests(source));
}

TEST_F(Cli, GetAndPutGoOnAfterLostConnectionsUnlessRetriesAreOff) {
  constexpr size_t kSize = 4u << 20;
  writeRandom(disk("down.bin"), kSize, 9);
  writeRandom(local_ / "up.bin", kSize, 10);
  constexpr uint64_t kCutAfter = 1u << 20;
  // The first connection signs on and carries the transfer; each later one is a retry's.
  struct Case {
    bool put;
    std::vector<std::string> options;
    int cuts;
    int status;
    int retries;  // "retrying" lines
  };
  const Case cases[] = {
      {false, {}, 3, 0, 3},
      {true, {}, 3, 0, 3},
      {false, {"--retries", "0"}, 1, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.put ? "put" : "get") + " cut " + std::to_string(c.cuts));
    testing::TcpRelay relay(server_.host(), server_.port());
    relay.cutEachAfter(
        c.put ? testing::TcpRelay::Direction::kToServer : testing::TcpRelay::Direction::kToClient,
        kCutAfter, c.cuts);
    const fs::path from = c.put ? local_ / "up.bin" : disk("down.bin");
    const fs::path to = c.put ? disk("up.bin") : local_ / "down.bin";
    fs::remove(to);
    std::vector<std::string> args = {"--retry-wait", "0.05"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    if (c.put)
      args.insert(args.end(), {"put", from.string()});
    else
      args.insert(args.end(), {"get", "down.bin", to.string()});
    const CliResult r = runCli(personal(args, relay.port()), password_);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(relay.cut());
    int lines = 0;
    for (size_t at = 0; (at = r.err.find("retrying", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, c.retries) << r.err;
    if (c.status != 0) continue;
    EXPECT_TRUE(readFile(to) == readFile(from));
    // The first wait as given, doubled before each further retry.
    expectHas(r.err,
              {from.filename().string() + ": connection lost at ",
               ", retrying in 0.05 s (attempt 1 of 5)\n", ", retrying in 0.1 s (attempt 2 of 5)\n",
               ", retrying in 0.2 s (attempt 3 of 5)\n"});
  }
}

TEST_F(Cli, EachConflictOptionDoesWhatItSaysOnGetAndPut) {
  writeRandom(local_ / "source", 200000, 5);
  const std::string source = readFile(local_ / "source"), part = source.substr(0, 1000);
  const std::string other(1000, 'x');
  // The option, the target before and after, and what the error output holds ("" for none).
  struct Case {
    bool put;
    const char* option;
    std::string existing;
    int status;
    std::string after;
    const char* message;
  };
  // clang-format off
  const Case cases[] = {
      {false, "--resume", source.substr(0, 70000), 0, source, ""},
      {false, "--resume", other, 0, source, "f.bin: the part already there is not the start"},
      {false, "--resume", source + "tail", 1, source + "tail", "larger than the source"},
      {false, "--overwrite", source + "tail", 0, source, ""},
      {false, "--skip", other, 0, other, ""},
      {false, "", other, 1, other, "exists (choose --resume, --overwrite or --skip)"},
      {true, "", part, 1, part, "f.bin: exists"},
      {true, "--skip", part, 0, part, ""},
      {true, "--resume", part, 0, source, ""},
      {true, "--resume", other, 0, source, "f.bin: the part already there is not the start"},
      {true, "--resume", source + "tail", 1, source + "tail", "larger than the source"},
      {true, "--overwrite", other, 0, source, ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.put ? "put " : "get ") + c.option + " over " +
                 std::to_string(c.existing.size()));
    const fs::path from = c.put ? local_ / "f.bin" : disk("f.bin");
    const fs::path to = c.put ? disk("f.bin") : local_ / "f.bin";
    std::ofstream(from, std::ios::binary | std::ios::trunc) << source;
    std::ofstream(to, std::ios::binary | std::ios::trunc) << c.existing;
    std::vector<std::string> args = {"put", from.string()};
    if (!c.put) args = {"get", "f.bin", to.string()};
    if (*c.option != '\0') args.insert(args.begin() + 1, c.option);
    const CliResult r = cli(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(readFile(to) == c.after);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

TEST_F(Cli, FailuresExitNonZeroWithTheLibrarysMessageAndNumber) {
  const std::string here = local_.string(), gone = (local_ / "missing").string();
  // The port of a relay that is gone already: nothing listens there.
  const std::string closed = std::to_string(testing::TcpRelay(server_.host(), 1).port());
  const std::string not_found = "file or directory not exist (23006)";
  const char* secret = DevServerFixture::kPassword;
  // args follow --host and --port of the server; password nullptr: none given.
  struct Case {
    std::vector<std::string> args;
    const char* password;
    int status;
    std::string message;
  };
  // clang-format off
  const Case cases[] = {
      {{"--user", "nobody", "ls"}, secret, 1, "wrong id (22001)"},
      {{"--user", "tester", "df"}, "wrong", 1, "wrong passwd (22002)"},
      // The connection options may also follow the command.
      {{"ls", "missing", "--user", "tester"}, secret, 1, "zavel-cli: ls: missing: " + not_found},
      {{"--user", "tester", "get", "missing", here}, secret, 1, "/tester/missing: " + not_found},
      {{"--user", "tester", "stat", "missing"}, secret, 1, not_found},
      {{"--user", "tester", "cat", "missing"}, secret, 1, not_found},
      {{"--user", "tester", "rm", "missing"}, secret, 1, not_found},
      {{"--user", "tester", "put", gone}, secret, 1, "no such file or folder"},
      {{"--port", closed, "--user", "tester", "ls"}, secret, 1, "connect fail (21001)"},
      {{"ls"}, nullptr, 2, "needs --host and --user"},
      {{"--user", "tester"}, nullptr, 2, "subcommand"},
      {{"--user", "tester", "mv", "a"}, nullptr, 2, "a source and a destination are needed"},
      {{"--user", "tester", "get", "--resume", "--skip", "a"}, nullptr, 2, "excludes"},
      {{"--port", "0", "--user", "tester", "ls"}, nullptr, 2, "--port: Value 0 not in range"},
      {{"--club", "7", "ls"}, nullptr, 2, "--club needs --list-server HOST:PORT"},
      {{"--club", "7", "--list-server", "127.0.0.1:0", "ls"}, nullptr, 2, "HOST:PORT"},
      {{"--club", "7", "--list-server", "127.0.0.1:65536", "ls"}, nullptr, 2, "HOST:PORT"},
      {{"--club", "7", "--list-server", ":9553", "ls"}, nullptr, 2, "HOST:PORT"},
      {{"--club", "7", "--list-server", "127.0.0.1:", "ls"}, nullptr, 2, "HOST:PORT"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> args = {"--host", server_.host(), "--port",
                                     std::to_string(server_.port())};
    if (c.args.front() == "--club") args.clear();
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult r = runCli(args, c.password ? Env{{"ZAVEL_PASSWORD", c.password}} : Env{});
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(Cli, FileCommandsWorkOnTheDiskAndListingsShowIt) {
  std::ofstream(disk("a.txt")) << "hello";
  EXPECT_EQ(cli({"mkdir", "docs", "more"}).status, 0);
  EXPECT_EQ(cli({"cp", "a.txt", "docs"}).status, 0);
  EXPECT_EQ(cli({"mv", "a.txt", "more/b.txt"}).status, 0);       // another folder, another name
  EXPECT_EQ(cli({"mv", "docs/a.txt", "docs/c.txt"}).status, 0);  // a rename in place
  EXPECT_EQ(readFile(disk("docs/c.txt")), "hello");
  EXPECT_EQ(readFile(disk("more/b.txt")), "hello");
  EXPECT_FALSE(fs::exists(disk("a.txt")));

  expectHas(ok(cli({"ls", "-R"})),
            {"/tester:\n", "docs/\n", "/tester/docs:\n", "5  ", "  c.txt\n"});
  expectHas(ok(cli({"stat", "more/b.txt"})), {"type         file\nsize         5 bytes"});

  writeRandom(disk("docs/bytes.bin"), 100000, 6);
  EXPECT_TRUE(ok(cli({"cat", "docs/bytes.bin"})) == readFile(disk("docs/bytes.bin")));
  expectHas(ok(cli({"df"})), {"size  1.0 GiB  (1073741824 bytes)"});

  const CliResult folder = cli({"rm", "docs"});
  EXPECT_EQ(folder.status, 1);
  expectHas(folder.err, {"is a folder"});
  EXPECT_TRUE(fs::exists(disk("docs/c.txt")));
  EXPECT_EQ(cli({"rm", "-r", "docs", "more/b.txt"}).status, 0);
  EXPECT_FALSE(fs::exists(disk("docs")));
  EXPECT_FALSE(fs::exists(disk("more/b.txt")));
  EXPECT_EQ(cli({"rm", "-r", "/tester"}).status, 1);  // never the whole disk
  EXPECT_TRUE(fs::exists(disk("more")));
}

// Command lines as a person types them: the exit status, a fragment of what is printed (on
// either stream), and the disk afterwards. Each row starts from what the rows above left.
TEST_F(Cli, CommandsDoAllOrNothingAndNameWhatIsWrong) {
  fs::create_directories(disk("음악"));
  fs::create_directories(disk("문서"));
  std::ofstream(disk("음악/renamed.txt")) << "song";
  std::ofstream(disk("읽어 주세요.txt")) << "top";
  std::ofstream(disk("문서/메모.txt")) << "memo";
  std::tm when{};
  when.tm_year = 104, when.tm_mon = 11, when.tm_mday = 13, when.tm_hour = 15, when.tm_min = 30;
  when.tm_isdst = -1;
  const time_t remote_time = std::mktime(&when);  // listed as "2004-12-13 PM 03:30"
  const struct timespec times[2] = {{remote_time, 0}, {remote_time, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, disk("문서/메모.txt").c_str(), times, 0), 0);
  std::ofstream(local_ / "a\\b.txt") << "x";
  const std::string here = local_.string() + "/", long_name(300, 'x');
  const std::string list = server_.host() + ":" + std::to_string(server_.listPort());
  struct Case {
    std::vector<std::string> args;  // after the personal disk's options, unless --club
    int status;
    std::string shown;
    std::vector<std::string> there = {}, gone = {};  // below the disk, or local when absolute
    // Local files that carry the remote item's time, and one that does not.
    std::vector<std::string> dated = {}, undated = {};
  };
  // clang-format off
  const Case cases[] = {
      // Under a new name in another folder: checked first, undone when the rename fails.
      {{"mv", "음악/renamed.txt", "읽어 주세요.txt"}, 1,
       "zavel-cli: mv: 읽어 주세요.txt: exists already", {"음악/renamed.txt"}, {"renamed.txt"}},
      {{"mv", "음악/renamed.txt", "문서/" + long_name}, 1, "; undone, nothing was changed",
       {"음악/renamed.txt"}, {"문서/renamed.txt"}},
      {{"cp", "음악/renamed.txt", "문서/" + long_name}, 1, "; undone, nothing was changed",
       {"음악/renamed.txt"}, {"문서/renamed.txt"}},
      {{"mv", "음악/renamed.txt", "읽어 주세요.txt", "/"}, 1,
       "/ holds an item named '읽어 주세요.txt' already", {"음악/renamed.txt"}, {"renamed.txt"}},
      {{"mv", "음악/renamed.txt", "/문서/새 이름.txt"}, 0, "", {"문서/새 이름.txt"},
       {"음악/renamed.txt"}},
      // Paths start at the disk's top folder, whose own path keeps its meaning.
      {{"mv", "/tester/문서/새 이름.txt", "음악/renamed.txt"}, 0, "", {"음악/renamed.txt"}},
      {{"ls", "/문서"}, 0, "  메모.txt\n"},
      {{"ls", "-1", "/"}, 0, "문서\n음악\n읽어 주세요.txt\n"},
      {{"mkdir", "-p", "/문서/a/b", "문서"}, 0, "", {"문서/a/b"}},
      {{"mkdir", "x/y"}, 1, "x/y: there is no folder /tester/x on the disk (mkdir -p makes it)",
       {}, {"x"}},
      // No name that the explorer could not rename or delete.
      {{"mkdir", ""}, 1, "zavel-cli: mkdir: '': an item needs a name"},
      {{"mkdir", "back\\slash", "a:b", "문서/.."}, 1, "back\\slash: a name cannot hold any of",
       {}, {"back\\slash", "a:b"}},
      {{"put", here + "a\\b.txt"}, 1, "a\\b.txt: a name cannot hold any of", {}, {"a\\b.txt"}},
      {{"mv", "음악/renamed.txt", "문서/bad|name"}, 1, "문서/bad|name: a name cannot hold",
       {"음악/renamed.txt"}},
      {{"cp", "음악/renamed.txt", "문서/?"}, 1, "문서/?: a name cannot hold", {}, {"문서/?"}},
      // What is wrong, and where.
      {{"cat", "문서"}, 1, "zavel-cli: cat: 문서: is a folder"},
      {{"get", "음악/renamed.txt", here + "nonexistent/dir/"}, 1, "dir/: no such local folder"},
      {{"ls", "<abc>"}, 1, "<abc>: club keys name items on club disks only"},
      {{"frobnicate"}, 2, "'frobnicate' is not a command; the commands: disks, ls,"},
      {{"--club", "9999", "--list-server", list, "ls"}, 1,
       "club 9999 at " + list + " (the list server has no club of that number"},
      {{"--club", "7001", "--list-server", list, "--user", "tester", "ls"}, 2,
       "--host and --user name a personal disk, --club a club's"},
      // Downloads keep the remote item's time unless told not to.
      {{"get", "문서/메모.txt", here + "dated.txt"}, 0, "", {}, {}, {here + "dated.txt"}},
      {{"get", "--no-times", "문서/메모.txt", here + "now.txt"}, 0, "", {}, {}, {},
       {here + "now.txt"}},
      {{"--version"}, 0, "zavel-cli " ZAVEL_CLI_VERSION "\n"},
  };
  // clang-format on
  const auto time_of = [](const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : time_t{-1};
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += " " + a.substr(0, 20);
    SCOPED_TRACE(line);
    const CliResult r =
        c.args.front() == "--club" ? runCli(c.args) : runCli(personal(c.args), password_);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE((r.out + r.err).find(c.shown), std::string::npos) << r.out << r.err;
    for (const std::string& p : c.there) EXPECT_TRUE(fs::exists(disk(p))) << p;
    for (const std::string& p : c.gone) EXPECT_FALSE(fs::exists(disk(p))) << p;
    for (const std::string& p : c.dated) EXPECT_EQ(time_of(p), remote_time) << p;
    for (const std::string& p : c.undated) EXPECT_GT(time_of(p), remote_time) << p;
  }
  EXPECT_EQ(readFile(disk("읽어 주세요.txt")), "top");
}

// The club disk: its file server has to be on port 9553, on a loopback address of its own.
class ClubCli : public Cli {
 protected:
  ClubCli() : Cli(options()) {}
  static testing::DevServerFixtureOptions options() {
    testing::DevServerFixtureOptions o;
    o.club_file_port = true;
    return o;
  }
  CliResult club(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--club", std::to_string(DevServerFixture::kClub), "--list-server",
                               server_.host() + ":" + std::to_string(server_.listPort())});
    return runCli(args);
  }
};

TEST_F(ClubCli, ItemsAreReachedByPathOrByKeyAndFoldersRoundTrip) {
  const fs::path tree = local_ / "club-up";
  fs::create_directories(tree / "inner");
  writeRandom(tree / "one.bin", 150000, 7);
  writeRandom(tree / "inner/two.bin", 1000, 8);
  ASSERT_EQ(ok(club({"put", tree.string(), "/octa"})), "");

  // The key of inner/ as the listing shows it: "<N@>  inner/".
  const std::string ls = ok(club({"ls", "/octa/club-up"}));
  EXPECT_EQ(ok(club({"ls", "/club-up"})), ls);  // rooted at the club's top folder as well
  EXPECT_EQ(ok(club({"ls", "club-up"})), ls);
  expectHas(club({"ls", "<abc>"}).err, {"zavel-cli: ls: <abc>: not a club key"});
  const size_t at = ls.find("@>  inner/"), open = ls.rfind('<', at);
  ASSERT_NE(at, std::string::npos) << ls;
  const std::string key = ls.substr(open, at + 2 - open);

  ok(club({"get", key, (local_ / "by-key").string()}));
  EXPECT_EQ(digests(local_ / "by-key"), digests(tree / "inner"));
  ok(club({"get", "/octa/club-up", (local_ / "by-path").string()}));
  EXPECT_EQ(digests(local_ / "by-path"), digests(tree));
  expectHas(ok(club({"df"})), {"used"});
}

TEST_F(ClubCli, TheModeOptionRefusesWhatThoseRightsDoNotAllow) {
  ok(club({"mkdir", "/octa/kept"}));  // mode 1 unless told
  const CliResult read_only = club({"--mode", "3", "mkdir", "/octa/made"});
  const CliResult no_delete = club({"--mode", "2", "rm", "-r", "/octa/kept"});
  EXPECT_EQ(read_only.status, 1);
  EXPECT_NE(read_only.err.find("read-only"), std::string::npos) << read_only.err;
  EXPECT_EQ(no_delete.status, 1);
  EXPECT_NE(no_delete.err.find("no-delete"), std::string::npos) << no_delete.err;
  const std::string ls = ok(club({"ls", "/octa"}));
  EXPECT_TRUE(ls.find("made/") == std::string::npos && ls.find("kept/") != std::string::npos) << ls;
}

// The demo account signed in by its name, its disks opened by theirs.
class AccountCli : public ::testing::Test {
 protected:
  AccountCli()
      : local_(
            ::mkdtemp((fs::temp_directory_path() / "zavel-cli-account-XXXXXX").string().data())) {}
  ~AccountCli() override { fs::remove_all(local_); }

  // args after the sign-in options, every server named on the command line (an option
  // given again in args wins).
  std::vector<std::string> signIn(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--account", "demo@zavel.net", "--auth-server", server_.auth(),
                               "--portal", server_.portal(), "--club-server", server_.portal()});
    return args;
  }
  // Without a settings file of the program unless env names one.
  CliResult run(const std::vector<std::string>& args, Env env) const {
    env.emplace("XDG_CONFIG_HOME", (local_ / "none").string());
    return runCli(args, env);
  }
  CliResult demo(const std::vector<std::string>& args) const {
    return run(signIn(args), {{"ZAVEL_PASSWORD", "demo"}});
  }
  // A folder for XDG_CONFIG_HOME with the program's settings file naming portal and club.
  std::string settings(const std::string& name, const std::string& portal) const {
    const std::string port = portal.substr(portal.find(':') + 1);
    const std::string host = portal.substr(0, portal.find(':'));
    fs::create_directories(local_ / name / "vemar");
    // Names in another case than the program writes them: it reads them ignoring case.
    std::ofstream(local_ / name / "vemar/zavel.conf")
        << "[SERVER]\nIp=" << host << "\nport=" << port << "\n[serverocta]\nIP=" << host
        << "\nPORT=" << port << "\n";
    return (local_ / name).string();
  }

  // On an address of its own, its file server on port 9553, where the portal's host info and
  // club transfers send every client.
  testing::DemoServer server_{true};
  fs::path local_;
};

TEST_F(AccountCli, DisksListsEveryDiskWithItsKindAndRights) {
  const std::string closed =
      "127.0.0.1:" + std::to_string(testing::TcpRelay("127.0.0.1", 1).port());
  const std::string good = settings("good", server_.portal()), wrong = settings("wrong", closed);
  struct Case {
    std::vector<std::string> args;
    Env env;
  };
  // clang-format off
  const Case cases[] = {
      // The options win over the settings file.
      {signIn({"disks"}), {{"ZAVEL_PASSWORD", "demo"}, {"XDG_CONFIG_HOME", wrong}}},
      {signIn({"disks"}), {{"ZAVEL_SESSION_KEY", "demo-session-key"}}},
      // The account from the environment, the portal and club server from the settings file.
      {{"--auth-server", server_.auth(), "disks"},
       {{"ZAVEL_ACCOUNT", "demo@ZAVEL.net"}, {"ZAVEL_PASSWORD", "demo"},
        {"XDG_CONFIG_HOME", good}}},
  };
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(ok(run(c.args, c.env)),
              "My zavel     personal  read-write\n"
              "데모 클럽    club      read-write\n"
              "사진 동호회  club      read-only\n");

  const std::string json = ok(demo({"disks", "--json"}));
  EXPECT_EQ(nlohmann::json::parse(json, nullptr, false), nlohmann::json::parse(R"([
      {"name": "My zavel", "kind": "personal", "number": 1001, "rights": "read-write"},
      {"name": "데모 클럽", "kind": "club", "number": 5001, "rights": "read-write"},
      {"name": "사진 동호회", "kind": "club", "number": 5002, "rights": "read-only"}])"))
      << json;
}

TEST_F(AccountCli, CommandsReachThePersonalDiskOrAClubByItsName) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {{"ls"}, {"  읽어 주세요.txt\n", "  문서/\n"}},
      {{"--disk", "데모 클럽", "ls"}, {"  모임 안내.txt\n", "  자료실/\n"}},
      {{"--disk", "사진 동호회", "ls", "-R"}, {"  읽기 전용 안내.txt\n", "  포스터.jpg\n"}},
      // Bytes from the club's file server.
      {{"--disk", "데모 클럽", "cat", "/octa/모임 안내.txt"}, {"데모 클럽의 공유 디스크입니다.\n"}},
  };
  for (const auto& c : cases) {
    const std::string out = ok(demo(c.args));
    for (const std::string& s : c.shown) EXPECT_NE(out.find(s), std::string::npos) << s << out;
  }
}

TEST_F(AccountCli, ChangesToTheReadOnlyClubAreRefusedAndLeaveItAsItWas) {
  std::ofstream(local_ / "new.txt") << "new";
  const std::string before = ok(demo({"--disk", "사진 동호회", "ls", "-R"}));
  const std::string notice = "/octa/읽기 전용 안내.txt";
  const std::vector<std::vector<std::string>> changes = {
      {"put", (local_ / "new.txt").string(), "/octa"},
      {"mkdir", "/octa/새 폴더"},
      {"rm", notice},
      {"mv", notice, "/octa/renamed.txt"},
      {"cp", notice, "/octa/전시회"},
  };
  for (const auto& change : changes) {
    std::vector<std::string> args = {"--disk", "사진 동호회"};
    args.insert(args.end(), change.begin(), change.end());
    const CliResult r = demo(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.rfind("zavel-cli: " + change.front() + ": this disk is read-only", 0), 0u)
        << r.err;
  }
  EXPECT_EQ(ok(demo({"--disk", "사진 동호회", "ls", "-R"})), before);
}

TEST_F(AccountCli, SignInProblemsSayWhatWentWrongAndEndInTime) {
  const std::string closed =
      "127.0.0.1:" + std::to_string(testing::TcpRelay("127.0.0.1", 1).port());
  const testing::FakeServer never_started;  // takes connections, never answers
  const std::string silent = "127.0.0.1:" + std::to_string(never_started.port());
  const std::string refused = "cannot sign in as demo@zavel.net: ";
  const Env password = {{"ZAVEL_PASSWORD", "demo"}};
  struct Case {
    std::vector<std::string> args;
    Env env;
    int status;
    std::string message;
  };
  // clang-format off
  const Case cases[] = {
      {signIn({"ls"}), {{"ZAVEL_PASSWORD", "wrong"}}, 1, refused + "비밀번호가 일치하지 않습니다.\n"},
      {signIn({"--disk", "없는 디스크", "ls"}), password, 1,
       "demo@zavel.net has no disk named '없는 디스크'; its disks: 'My zavel', '데모 클럽', "
       "'사진 동호회'\n"},
      {signIn({"--auth-server", closed, "ls"}), password, 1,
       refused + "cannot connect to the authentication server " + closed},
      {signIn({"--auth-server", silent, "--timeout", "300", "ls"}), password, 1,
       refused + "the authentication server " + silent + " did not answer within 300 ms"},
      {signIn({"--portal", silent, "--timeout", "300", "disks"}), password, 1,
       refused + "the server did not answer the user number lookup at " + silent},
      {signIn({"--portal", "127.0.0.1", "ls"}), password, 2, "--portal takes HOST:PORT"},
      {signIn({"ls"}), {}, 2, "no password for demo@zavel.net"},
      {{"--account", "demo@example.com", "ls"}, password, 2, "'example.com' is not a domain"},
      {{"disks"}, password, 2, "disks needs --account"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const CliResult r = run(c.args, c.env);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace zavel
