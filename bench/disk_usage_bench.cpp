// What a disk's size costs an upload: many small zavel_Upload calls onto a disk that already
// holds thousands of files, against the same uploads onto an empty disk of the same server,
// in one run. The file server keeps each disk's used space as a running total, so the ratio
// should stay near 1 however full the disk is.
//
//   zavel_bench_disk_usage [--uploads=N] [--files=N] [--rounds=N]
//     default 500 uploads of 2 KiB, a disk of 5000 files, median of 5 rounds.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tests/support/devserver_fixture.h"
#include "zavelsdk.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using zavel::testing::DevServerFixture;

constexpr uint32_t kFileBytes = 2048;
constexpr double kTarget = 1.2;

int32_t fill(void* buffer, uint32_t count, uint64_t, void*) {
  memset(buffer, 'u', count);
  return static_cast<int32_t>(count);
}

// Puts files into the folder behind the server's back, before the disk is first used: the
// first upload counts them.
bool addFiles(const fs::path& folder, uint64_t count) {
  const std::string bytes(kFileBytes, 'f');
  for (uint64_t i = 0; i < count; ++i) {
    const fs::path dir = folder / ("folder " + std::to_string(i / 100));
    if (i % 100 == 0) fs::create_directories(dir);
    std::ofstream out(dir / ("file " + std::to_string(i) + ".bin"), std::ios::binary);
    if (!out.write(bytes.data(), bytes.size())) return false;
  }
  return true;
}

std::string remoteName(const char* user, uint64_t round, uint64_t i) {
  return std::string("/") + user + "/up-" + std::to_string(round) + "-" + std::to_string(i) +
         ".bin";
}

// Seconds for the uploads, or -1 when one failed. Deletes them afterwards (not timed), so
// every round starts from the same disk.
double uploads(ZavelSession* session, const char* user, uint64_t round, uint64_t count) {
  const auto start = Clock::now();
  for (uint64_t i = 0; i < count; ++i) {
    const std::string name = remoteName(user, round, i);
    TransferSpec spec{};
    spec.destination = name.c_str();
    spec.end = kFileBytes;
    spec.truncate = 1;
    spec.dataCallback = &fill;
    if (zavel_Upload(session, &spec, nullptr) != 1) return -1;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (uint64_t i = 0; i < count; ++i)
    zavel_DeleteFile(remoteName(user, round, i).c_str(), 0, session);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  using zavel::bench::option;
  const uint64_t count = option(argc, argv, "uploads", 500);
  const uint64_t files = option(argc, argv, "files", 5000);
  const uint64_t rounds = std::max<uint64_t>(1, option(argc, argv, "rounds", 5));

  DevServerFixture server;  // two accounts: tester stays empty, peer is filled
  if (!addFiles(server.diskPath(DevServerFixture::kPeerUser), files)) {
    fprintf(stderr, "disk usage bench: cannot fill %s\n", server.dataPath().c_str());
    return 1;
  }
  ZavelSession* empty =
      zavel_CreateSession(server.host().c_str(), server.port(), DevServerFixture::kUser,
                          DevServerFixture::kPassword, 60000);
  ZavelSession* full =
      zavel_CreateSession(server.host().c_str(), server.port(), DevServerFixture::kPeerUser,
                          DevServerFixture::kPeerPassword, 60000);
  int status = empty != nullptr && full != nullptr ? 0 : 1;
  std::vector<double> onto_empty, onto_full;
  for (uint64_t round = 0; round < rounds && status == 0; ++round) {
    // Alternating which goes first, so neither always runs on a warmer machine.
    const bool empty_first = round % 2 == 0;
    for (int turn = 0; turn < 2 && status == 0; ++turn) {
      const bool on_empty = (turn == 0) == empty_first;
      const double seconds = on_empty ? uploads(empty, DevServerFixture::kUser, round, count)
                                      : uploads(full, DevServerFixture::kPeerUser, round, count);
      if (seconds < 0) {
        fprintf(stderr, "disk usage bench: upload failed: error %d\n", zavel_GetLastError());
        status = 1;
      }
      (on_empty ? onto_empty : onto_full).push_back(seconds);
    }
  }
  if (status == 0) {
    using zavel::bench::median;
    const double ratio = median(onto_full) / median(onto_empty);
    printf("disk usage benchmark: %llu uploads of %u bytes, median of %llu rounds\n",
           static_cast<unsigned long long>(count), kFileBytes,
           static_cast<unsigned long long>(rounds));
    printf("  %-40s %8.3f s\n", "onto an empty disk", median(onto_empty));
    printf("  %-40s %8.3f s\n", ("onto a disk holding " + std::to_string(files) + " files").c_str(),
           median(onto_full));
    printf("  %-40s %8.2f   (target: at most %.1f)\n", "ratio", ratio, kTarget);
  }
  if (empty != nullptr) zavel_DestroySession(empty);
  if (full != nullptr) zavel_DestroySession(full);
  return status;
}
