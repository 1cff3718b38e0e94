// Many small files with zavel-cli: 1,000 files of 4 KiB through a relay that holds each
// chunk for 1 ms in either direction, with one job and with eight; the same files on plain
// loopback with one job against one 4 MiB file plus 1,000 round trips measured in the same
// run; and --limit-rate 10M on a 100 MiB file. Ratios within one run.
//
//   zavel_bench_many_files [--files=N] [--rounds=N] [--rate-mb=N]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tests/support/devserver_fixture.h"
#include "tests/support/tcp_relay.h"
#include "zavelsdk.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using zavel::testing::DevServerFixture;
using zavel::testing::TcpRelay;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs zavel-cli with the arguments after the connection's; seconds, or -1 when it failed.
double cli(uint16_t port, const std::vector<std::string>& args) {
  std::vector<std::string> all = {
      ZAVEL_CLI_PROGRAM,       "--host", "127.0.0.1", "--port", std::to_string(port), "--user",
      DevServerFixture::kUser, "--quiet"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  setenv("ZAVEL_PASSWORD", DevServerFixture::kPassword, 1);
  const auto start = Clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, ZAVEL_CLI_PROGRAM, nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = secondsSince(start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// Seconds for `count` size questions on one session: round trips, one after another.
double roundTrips(const DevServerFixture& server, uint16_t port, int count) {
  ZavelSession* s = zavel_CreateSession("127.0.0.1", port, DevServerFixture::kUser,
                                        DevServerFixture::kPassword, 10000);
  if (s == nullptr) return -1;
  const std::string path = server.basePath() + "/one.bin";
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) zavel_GetFileSize(path.c_str(), s);
  const double seconds = secondsSince(start);
  zavel_DestroySession(s);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  const uint64_t files = zavel::bench::option(argc, argv, "files", 1000);
  const uint64_t rounds = std::max<uint64_t>(1, zavel::bench::option(argc, argv, "rounds", 3));
  const uint64_t rate_mb = zavel::bench::option(argc, argv, "rate-mb", 100);

  DevServerFixture server;
  const fs::path disk = server.diskPath();
  const std::string small(4096, 's');
  fs::create_directories(disk / "many");
  for (uint64_t i = 0; i < files; ++i)
    std::ofstream(disk / "many" / ("f" + std::to_string(i) + ".bin"), std::ios::binary) << small;
  zavel::bench::writeSource(disk / "one.bin", 4 << 20);
  if (rate_mb > 0) zavel::bench::writeSource(disk / "rated.bin", rate_mb << 20);
  // Downloads land in memory where there is a memory file system: creating a thousand files
  // on a disk costs about as much as fetching them, and that is the disk's cost, not ours.
  const fs::path scratch =
      fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  const fs::path local = scratch / ("zavel-bench-many-" + std::to_string(getpid()));
  fs::create_directories(local);
  TcpRelay slow("127.0.0.1", server.port());
  slow.setDelay(std::chrono::milliseconds(1));

  struct Line {
    const char* name;
    std::function<double()> run;
    std::vector<double> times;
  };
  const auto get = [&](uint16_t port, int jobs, const char* what) {
    fs::remove_all(local / "down");
    return cli(port, {"-j", std::to_string(jobs), "get", what, (local / "down").string()});
  };
  const auto put = [&](uint16_t port, int jobs) {
    const std::string to = "up-" + std::to_string(jobs);
    cli(server.port(), {"rm", "-r", to});
    return cli(port, {"-j", std::to_string(jobs), "put", (disk / "many").string(), to});
  };
  std::vector<Line> lines = {
      {"get, 1 ms relay, -j 1", [&] { return get(slow.port(), 1, "many"); }, {}},
      {"get, 1 ms relay, -j 8", [&] { return get(slow.port(), 8, "many"); }, {}},
      {"put, 1 ms relay, -j 1", [&] { return put(slow.port(), 1); }, {}},
      {"put, 1 ms relay, -j 8", [&] { return put(slow.port(), 8); }, {}},
      {"get, loopback, -j 1", [&] { return get(server.port(), 1, "many"); }, {}},
      {"get of one 4 MiB file", [&] { return get(server.port(), 1, "one.bin"); }, {}},
      {"1,000 round trips", [&] { return roundTrips(server, server.port(), 1000); }, {}},
      {"1,000 round trips, 1 ms relay", [&] { return roundTrips(server, slow.port(), 1000); }, {}},
      {"get of 1,000 files, loopback, -j 8", [&] { return get(server.port(), 8, "many"); }, {}},
      {"put of 1,000 files, loopback, -j 1", [&] { return put(server.port(), 1); }, {}},
      {"put of 1,000 files, loopback, -j 8", [&] { return put(server.port(), 8); }, {}},
  };
  for (uint64_t round = 0; round < rounds; ++round)
    for (Line& line : lines) line.times.push_back(line.run());
  int status = 0;
  printf("many-files benchmark: %llu files of 4 KiB, median of %llu rounds\n",
         static_cast<unsigned long long>(files), static_cast<unsigned long long>(rounds));
  std::vector<double> median;
  for (Line& line : lines) {
    median.push_back(zavel::bench::median(line.times));
    printf("  %-40s %8.3f s\n", line.name, median.back());
    if (median.back() < 0) status = 1;
  }
  printf("  get -j 8 through the relay: %.1f times as fast as -j 1 (at least 5)\n",
         median[0] / median[1]);
  printf("  put -j 8 through the relay: %.1f times as fast as -j 1 (at least 5)\n",
         median[2] / median[3]);
  printf("  get -j 1 on loopback: %.2f of one 4 MiB file plus 1,000 round trips (at most 1.2)\n",
         median[4] / (median[5] + median[6] * static_cast<double>(files) / 1000.0));
  printf("  get -j 1 through the relay: %.2f round trips per file (one waiting round trip: 1)\n",
         median[0] / (median[7] * static_cast<double>(files) / 1000.0));
  if (rate_mb > 0) {
    fs::remove_all(local / "down");
    const double rated =
        cli(server.port(), {"--limit-rate", "10M", "get", "rated.bin", (local / "down").string()});
    printf("  --limit-rate 10M, %llu MiB: %.2f s (%.2f s at exactly 10 MiB/s)\n",
           static_cast<unsigned long long>(rate_mb), rated, static_cast<double>(rate_mb) / 10.0);
    if (rated < 0) status = 1;
  }
  fs::remove_all(local);
  return status;
}
