// zavel-mount against zavel-cli on the same disk, in one run: cat of a large file through the
// mount against zavel-cli get, cp of a large file into the mount against zavel-cli put, and
// ls -l of a folder of many small files through the mount against zavel-cli ls. Ratios within
// one run. Without /dev/fuse, or when the mount does not come up, it says so and ends well.
//
//   zavel_bench_mount [--mb=N] [--entries=N] [--rounds=N]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "tests/support/devserver_fixture.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using zavel::testing::DevServerFixture;

// How long a listing is believed in the mount; the listing rounds wait past it, so that each
// ls -l asks the disk as the first one after mounting does.
constexpr const char* kCacheTime = "1";
constexpr auto kListingWait = std::chrono::milliseconds(1500);

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

pid_t spawn(std::vector<std::string> words, bool quiet) {
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Runs a program with its standard output thrown away; seconds, or -1 when it failed.
double run(const std::vector<std::string>& words) {
  const auto start = Clock::now();
  const pid_t pid = spawn(words, true);
  if (pid < 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = secondsSince(start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// zavel-cli with the arguments after the connection's.
double cli(uint16_t port, const std::vector<std::string>& args) {
  std::vector<std::string> all = {
      ZAVEL_CLI_PROGRAM,       "--host", "127.0.0.1", "--port", std::to_string(port), "--user",
      DevServerFixture::kUser, "--quiet"};
  all.insert(all.end(), args.begin(), args.end());
  return run(all);
}

bool mountedAt(const fs::path& folder) {
  struct stat inside {};
  struct stat parent {};
  return ::stat(folder.c_str(), &inside) == 0 &&
         ::stat(folder.parent_path().c_str(), &parent) == 0 && inside.st_dev != parent.st_dev;
}

// Waits up to `limit` for the child to end; false when it is still there.
bool reaped(pid_t pid, std::chrono::seconds limit) {
  for (const auto end = Clock::now() + limit; Clock::now() < end;) {
    if (waitpid(pid, nullptr, WNOHANG) != 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// zavel-mount in the foreground as a child, for as long as this lives.
class Mount {
 public:
  Mount(uint16_t port, const fs::path& cache, const fs::path& at) : at_(at) {
    pid_ = spawn({ZAVEL_MOUNT_PROGRAM, "--host", "127.0.0.1", "--port", std::to_string(port),
                  "--user", DevServerFixture::kUser, "--cache", cache.string(), "--cache-time",
                  kCacheTime, "-f", at.string()},
                 false);
    if (pid_ < 0) {
      problem_ = "zavel-mount did not start";
      return;
    }
    for (const auto end = Clock::now() + std::chrono::seconds(10); Clock::now() < end;) {
      if (mountedAt(at_)) return;
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        problem_ = "zavel-mount ended without mounting";
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    problem_ = "the mount was not there after 10 s";
  }

  ~Mount() {
    if (pid_ < 0) return;
    // Unmounted, it uploads what is left and ends; a mount that never came up is told to stop.
    if (mountedAt(at_) && run({"fusermount3", "-u", at_.string()}) >= 0 &&
        reaped(pid_, std::chrono::seconds(10)))
      return;
    kill(pid_, SIGTERM);
    if (reaped(pid_, std::chrono::seconds(10))) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;

  // Why it is not mounted, or "" when it is.
  const std::string& problem() const { return problem_; }

 private:
  fs::path at_;
  pid_t pid_ = -1;
  std::string problem_;
};

// The local folder, removed at the end unless something is still mounted inside it.
struct Scratch {
  fs::path path;
  ~Scratch() {
    if (mountedAt(path / "mnt")) {
      fprintf(stderr, "mount benchmark: %s is still mounted; %s is left\n", (path / "mnt").c_str(),
              path.c_str());
      return;
    }
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  const uint64_t mb = zavel::bench::option(argc, argv, "mb", 256);
  const uint64_t entries = zavel::bench::option(argc, argv, "entries", 10000);
  const uint64_t rounds = std::max<uint64_t>(1, zavel::bench::option(argc, argv, "rounds", 3));
  if (access("/dev/fuse", R_OK | W_OK) != 0) {
    printf("mount benchmark skipped: /dev/fuse is missing or not usable here\n");
    return 0;
  }

  // Everything lives in memory where there is a memory file system: the server's folder, the
  // local copies and the mount's staged copy of a file being written. A local disk's cost,
  // and its flushing of what was written before, is not what is measured.
  if (fs::is_directory("/dev/shm")) setenv("TMPDIR", "/dev/shm", 1);
  // Room for the file on the disk and the two uploaded copies of it.
  DevServerFixture server({.quota_mb = std::max<uint64_t>(1024, 3 * mb + 64)});
  const fs::path disk = server.diskPath();
  zavel::bench::writeSource(disk / "big.bin", mb << 20);
  fs::create_directories(disk / "many");
  for (uint64_t i = 0; i < entries; ++i)
    std::ofstream(disk / "many" / ("f" + std::to_string(i)), std::ios::binary) << 'x';
  Scratch local{fs::temp_directory_path() / ("zavel-bench-mount-" + std::to_string(getpid()))};
  const fs::path mnt = local.path / "mnt";
  fs::create_directories(mnt);
  fs::create_directories(local.path / "cache");
  zavel::bench::writeSource(local.path / "up.bin", mb << 20);
  setenv("ZAVEL_PASSWORD", DevServerFixture::kPassword, 1);

  Mount mount(server.port(), local.path / "cache", mnt);
  if (!mount.problem().empty()) {
    printf("mount benchmark skipped: %s\n", mount.problem().c_str());
    return 0;
  }

  struct Line {
    const char* name;
    std::function<double()> run;
    std::vector<double> times;
  };
  const fs::path down = local.path / "down";
  const std::string up = (local.path / "up.bin").string();
  std::vector<Line> lines = {
      {"zavel-cli get of the file",
       [&] {
         fs::remove_all(down);
         fs::create_directories(down);
         return cli(server.port(), {"get", "big.bin", down.string()});
       },
       {}},
      {"cat of the file through the mount",
       [&] {
         return run({"/bin/cat", (mnt / "big.bin").string()});
       },
       {}},
      {"zavel-cli put of a file",
       [&] {
         const double seconds = cli(server.port(), {"put", up, "/"});
         cli(server.port(), {"rm", "up.bin"});
         return seconds;
       },
       {}},
      {"cp of a file into the mount",
       [&] {
         const double seconds = run({"/bin/cp", up, (mnt / "copied.bin").string()});
         std::error_code ec;
         fs::remove(mnt / "copied.bin", ec);
         return seconds;
       },
       {}},
      {"zavel-cli ls of the folder",
       [&] {
         return cli(server.port(), {"ls", "many"});
       },
       {}},
      {"ls -l of the folder through the mount",
       [&] {
         std::this_thread::sleep_for(kListingWait);
         return run({"/bin/ls", "-l", (mnt / "many").string()});
       },
       {}},
  };
  for (uint64_t round = 0; round < rounds; ++round)
    for (Line& line : lines) line.times.push_back(line.run());
  int status = 0;
  printf("mount benchmark: a %llu MiB file and a folder of %llu files, median of %llu rounds\n",
         static_cast<unsigned long long>(mb), static_cast<unsigned long long>(entries),
         static_cast<unsigned long long>(rounds));
  std::vector<double> median;
  for (Line& line : lines) {
    median.push_back(zavel::bench::median(line.times));
    printf("  %-40s %8.3f s\n", line.name, median.back());
    for (double t : line.times)
      if (t < 0) status = 1;
  }
  printf("  cat through the mount: %.2f of zavel-cli get's speed (at least 0.7)\n",
         median[0] / median[1]);
  printf("  cp into the mount: %.2f of zavel-cli put's speed (at least 0.7)\n",
         median[2] / median[3]);
  printf("  ls -l through the mount: %.2f times zavel-cli ls (at most 3)\n", median[5] / median[4]);
  return status;
}
