// Transfer throughput: zavel_Download and zavel_Upload of one large file against a
// zavel-devserver program on loopback, each against a plain loopback TCP copy of the same
// number of bytes with 64 KiB reads and writes, measured in the same run.
//
//   zavel_bench_transfer [--size-mb=N] [--rounds=N] [--only=CASE,...]
//     default 1024 MiB and 3 rounds; ZAVEL_BENCH_TRANSFER_MB=N sets the size as well.
//     Cases: download, upload; download-callback, upload-callback (no local file);
//     client-download[-file], client-upload[-file] (against an in-process server that keeps
//     no files: the client's own cost); file-write, file-read (the local file alone). The
//     TCP baseline always runs.
#include <ace/ACE.h>
#include <ace/INET_Addr.h>
#include <ace/SOCK_Acceptor.h>
#include <ace/SOCK_Connector.h>
#include <ace/SOCK_Stream.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "client/retry.h"
#include "devserver/config.h"
#include "protocol/connection.h"
#include "tests/support/tcp_relay.h"
#include "zavelsdk.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kStep = 65536;
constexpr const char* kUser = "bench";
constexpr const char* kPassword = "bench";

uint64_t peakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<uint64_t>(usage.ru_maxrss);
}

// CPU time of the calling thread: what one end costs, whatever else the machine runs.
double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The baseline sender's CPU time in its last run.
std::atomic<double> g_sender_cpu{0};

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The same bytes over a plain loopback connection: one thread writes 64 KiB at a time, this
// one reads at most 64 KiB at a time. Seconds from connect to the last byte read.
double rawTcpCopy(uint64_t size) {
  ACE_SOCK_Acceptor acceptor;
  ACE_INET_Addr any(static_cast<u_short>(0), "127.0.0.1");
  if (acceptor.open(any, 1) != 0) return -1;
  ACE_INET_Addr bound;
  acceptor.get_local_addr(bound);
  const auto start = Clock::now();
  std::thread sender([port = bound.get_port_number(), size] {
    ACE_SOCK_Stream stream;
    ACE_SOCK_Connector connector;
    if (connector.connect(stream, ACE_INET_Addr(port, "127.0.0.1")) != 0) return;
    const double cpu = threadCpuSeconds();
    std::vector<char> buffer(kStep, 'z');
    for (uint64_t left = size; left > 0;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kStep));
      if (stream.send_n(buffer.data(), n) != static_cast<ssize_t>(n)) break;
      left -= n;
    }
    g_sender_cpu = threadCpuSeconds() - cpu;
    stream.close();
  });
  ACE_SOCK_Stream stream;
  acceptor.accept(stream);
  std::vector<char> buffer(kStep);
  uint64_t got = 0;
  while (got < size) {
    const ssize_t n = stream.recv(buffer.data(), kStep);
    if (n <= 0) break;
    got += static_cast<uint64_t>(n);
  }
  const double seconds = secondsSince(start);
  sender.join();
  stream.close();
  acceptor.close();
  return got == size ? seconds : -1;
}

// zavel-devserver as a child process, listening on a free loopback port.
class DevServerProcess {
 public:
  explicit DevServerProcess(const fs::path& data) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string data_dir = data.string();
    const char* argv[] = {ZAVEL_DEVSERVER_PROGRAM, "--data",   data_dir.c_str(),   "--listen",
                          "file=127.0.0.1:0",      "--listen", "list=127.0.0.1:0", "--listen",
                          "auth=127.0.0.1:0",      "--listen", "log=127.0.0.1:0",  nullptr};
    if (posix_spawn(&pid_, ZAVEL_DEVSERVER_PROGRAM, &actions, nullptr,
                    const_cast<char* const*>(argv), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    // "file 127.0.0.1:PORT"
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    if (const size_t colon = line.rfind(':'); colon != std::string::npos)
      port_ = static_cast<uint16_t>(std::stoul(line.substr(colon + 1)));
  }
  ~DevServerProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  uint16_t port() const { return port_; }

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

using zavel::bench::writeSource;

// A file server that keeps no files: it answers the sign-on, sends downloads from memory and
// drops uploaded bytes, 64 KiB a call like the baseline's ends. Against it a transfer costs
// what the client itself costs.
class MemoryServer {
 public:
  MemoryServer() {
    ACE_INET_Addr any(static_cast<u_short>(0), "127.0.0.1");
    acceptor_.open(any, 1);
    ACE_INET_Addr bound;
    acceptor_.get_local_addr(bound);
    port_ = bound.get_port_number();
    thread_ = std::thread([this] { serve(); });
  }
  ~MemoryServer() {
    stop_ = true;
    thread_.join();
    acceptor_.close();
  }
  uint16_t port() const { return port_; }

 private:
  void serve() {
    std::vector<char> buffer(kStep, 'm');
    while (!stop_) {
      zavel::Connection conn;
      ACE_Time_Value tv(0, 50000);
      if (acceptor_.accept(conn.stream(), nullptr, &tv) != 0) continue;
      zavel::ParamRecord request;
      while (!stop_ && conn.receiveRecord(request, 1000) > 0) {
        const char* cmd = "";
        request.getString("_cmd", &cmd);
        uint64_t start = 0, end = 0;
        request.getUInt64("startpos", &start);
        request.getUInt64("endpos", &end);
        zavel::ParamRecord ok(zavel::kFlagScramble);
        ok.setInt32("error", 0);
        if (conn.sendRecord(ok, 10000) <= 0) break;
        const std::string command = cmd;
        bool in_step = true;
        for (uint64_t left = end - start;
             in_step && left > 0 && (command == "download" || command == "upload");) {
          const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kStep));
          const ssize_t moved = command == "download" ? conn.stream().send_n(buffer.data(), n)
                                                      : conn.stream().recv(buffer.data(), n);
          in_step = moved > 0;
          if (in_step) left -= static_cast<uint64_t>(moved);
        }
        if (!in_step ||
            ((command == "download" || command == "upload") && conn.sendRecord(ok, 10000) <= 0))
          break;
      }
    }
  }

  ACE_SOCK_Acceptor acceptor_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int32_t discard(void*, uint32_t, uint64_t, void*) {
  return 0;
}

// Hands out zero bytes until the range is full.
int32_t zeros(void* buffer, uint32_t count, uint64_t, void*) {
  memset(buffer, 0, count);
  return static_cast<int32_t>(count);
}

using zavel::bench::median;
using zavel::bench::option;

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  uint64_t size_mb = 1024;
  if (const char* env = getenv("ZAVEL_BENCH_TRANSFER_MB"))
    size_mb = std::strtoull(env, nullptr, 10);
  size_mb = option(argc, argv, "size-mb", size_mb);
  const uint64_t rounds = std::max<uint64_t>(1, option(argc, argv, "rounds", 3));
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], "--only=", 7) == 0) only = argv[i] + 7;
  }
  const uint64_t size = size_mb << 20;
  if (size == 0) {
    fprintf(stderr, "transfer bench: size must be at least 1 MiB\n");
    return 2;
  }

  std::string folder = (fs::temp_directory_path() / "zavel-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return 1;
  const fs::path data = folder;
  zavel::devserver::Config config;
  zavel::devserver::AccountConfig account;
  account.id = kUser;
  account.domain = "zavel.net";
  account.password = kPassword;
  account.user_number = 1;
  zavel::devserver::DiskConfig disk;
  disk.name = "My zavel";
  disk.kind = "personal";
  disk.number = "1";
  disk.diskid = kUser;
  disk.folder = kUser;
  disk.base_path = std::string("/") + kUser;
  disk.quota_mb = size_mb * 3 + 64;
  account.disks.push_back(disk);
  config.accounts.push_back(account);
  std::string error;
  const fs::path disk_folder = data / zavel::devserver::kDisksFolderName / kUser;
  fs::create_directories(disk_folder);
  fs::create_directories(data / "local");
  if (!zavel::devserver::saveConfig(data / zavel::devserver::kConfigFileName, config, &error) ||
      !writeSource(disk_folder / "source.bin", size) ||
      !writeSource(data / "local" / "download.bin", size)) {
    fprintf(stderr, "transfer bench: cannot prepare %s: %s\n", folder.c_str(), error.c_str());
    return 1;
  }

  int status = 0;
  {
    DevServerProcess server(data);
    ZavelSession* session = server.port() != 0 ? zavel_CreateSession("127.0.0.1", server.port(),
                                                                     kUser, kPassword, 60000)
                                               : nullptr;
    if (session == nullptr) {
      fprintf(stderr, "transfer bench: no session with zavel-devserver (error %d)\n",
              zavel_GetLastError());
      fs::remove_all(data);
      return 1;
    }
    MemoryServer memory;
    ZavelSession* memory_session =
        zavel_CreateSession("127.0.0.1", memory.port(), kUser, kPassword, 60000);
    const uint64_t rss_before = peakRssKiB();
    const std::string remote_source = std::string("/") + kUser + "/source.bin";
    const std::string remote_upload = std::string("/") + kUser + "/upload.bin";
    const std::string local = (data / "local" / "download.bin").string();

    // Each run: seconds, or -1 when it failed.
    auto transfer = [&](ZavelSession* on, bool down, bool local_file) {
      TransferSpec spec{};
      spec.start = 0;
      spec.end = size;
      spec.truncate = 1;
      if (down) {
        spec.source = remote_source.c_str();
        spec.destination = local_file ? local.c_str() : nullptr;
        if (!local_file) spec.dataCallback = &discard;
      } else {
        spec.source = local_file ? local.c_str() : nullptr;
        spec.destination = remote_upload.c_str();
        if (!local_file) spec.dataCallback = &zeros;
      }
      // Into a fresh file each time: emptying the previous run's file is no part of a transfer.
      if (down && local_file) {
        std::error_code ec;
        fs::remove(local, ec);
      } else if (!down) {
        zavel_DeleteFile(remote_upload.c_str(), 0, on);
      }
      const auto start = Clock::now();
      const int32_t ok =
          down ? zavel_Download(on, &spec, nullptr) : zavel_Upload(on, &spec, nullptr);
      const double seconds = secondsSince(start);
      if (ok != 1) fprintf(stderr, "transfer failed: error %d\n", zavel_GetLastError());
      return ok == 1 ? seconds : -1.0;
    };

    // The download through a relay that drops it at a quarter, a half and three quarters of
    // the file; retries (without waits) sign on again, compare the last 64 KiB and go on.
    zavel::testing::TcpRelay relay("127.0.0.1", server.port());
    auto relayedDownload = [&](int cuts) {
      const auto at = [&](int cut) { return size / 4 * static_cast<uint64_t>(cut); };
      if (cuts > 0) relay.cutNextAfter(zavel::testing::TcpRelay::Direction::kToClient, at(1));
      ZavelSession* cut_session =
          zavel_CreateSession("127.0.0.1", relay.port(), kUser, kPassword, 60000);
      if (cut_session == nullptr) return -1.0;
      std::error_code ec;
      fs::remove(local, ec);
      zavel::client::FileTransfer t;
      t.remote = remote_source;
      t.local = local;
      t.end = size;
      zavel::client::RetryEvents events;
      int retries = 0;
      // Each cut counts from the start of its connection, which begins where the last ended.
      events.retrying = [&](int retry, int, int, uint64_t, int32_t) {
        retries = retry;
        if (retry < cuts) relay.cutNextAfter(zavel::testing::TcpRelay::Direction::kToClient, at(1));
      };
      const auto start = Clock::now();
      const bool ok = zavel::client::transferFile(cut_session, t, nullptr, {5, 0, 0}, events);
      const double seconds = secondsSince(start);
      zavel_DestroySession(cut_session);
      return ok && retries == cuts ? seconds : -1.0;
    };

    // The second half of the file after its first, as a resume continues it: straight on, or
    // first comparing the 64 KiB before the point on both sides.
    auto resumed = [&](bool verified) {
      fs::resize_file(local, size / 2);
      const auto start = Clock::now();
      bool ok = false;
      if (verified) {
        zavel::client::FileTransfer t;
        t.remote = remote_source;
        t.local = local;
        t.start = size / 2;
        t.end = size;
        ok = zavel::client::transferFile(session, t, nullptr, {0, 0, 0});
      } else {
        TransferSpec spec{};
        spec.source = remote_source.c_str();
        spec.destination = local.c_str();
        spec.start = size / 2;
        spec.end = size;
        ok = zavel_Download(session, &spec, nullptr) == 1;
      }
      const double seconds = secondsSince(start);
      return ok && fs::file_size(local) == size ? seconds : -1.0;
    };

    // The same bytes through a local file alone, 64 KiB a call: what the file end of a
    // transfer costs by itself.
    auto fileCopy = [&](bool write) {
      const std::string path = (data / "local" / "plain.bin").string();
      std::error_code ec;
      if (write) fs::remove(path, ec);
      std::vector<char> buffer(kStep, 'f');
      const auto start = Clock::now();
      FILE* f = fopen(write ? path.c_str() : local.c_str(), write ? "wb" : "rb");
      if (f == nullptr) return -1.0;
      setvbuf(f, nullptr, _IONBF, 0);
      uint64_t done = 0;
      while (done < size) {
        const size_t n =
            write ? fwrite(buffer.data(), 1, kStep, f) : fread(buffer.data(), 1, kStep, f);
        if (n == 0) break;
        done += n;
      }
      fclose(f);
      return done >= size ? secondsSince(start) : -1.0;
    };

    struct Case {
      const char* key;
      const char* name;
      std::function<double()> run;
      double share = 1.0;  // of the file's bytes that the case moves
    };
    const Case all[] = {
        {"tcp", "raw TCP, 64 KiB reads and writes", [&] { return rawTcpCopy(size); }},
        {"download", "zavel_Download to a local file",
         [&] { return transfer(session, true, true); }},
        {"upload", "zavel_Upload from a local file",
         [&] { return transfer(session, false, true); }},
        {"resume", "  the second half, resumed", [&] { return resumed(false); }, 0.5},
        {"resume-verified", "  the same, verified first", [&] { return resumed(true); }, 0.5},
        {"download-relayed", "  download through a relay", [&] { return relayedDownload(0); }},
        {"download-cut", "  the same, cut 3 times, finished by retries",
         [&] { return relayedDownload(3); }},
        // Where the time goes: the same transfers without the local file, against a server
        // that keeps no files, and the local file alone.
        {"download-callback", "  zavel_Download to a callback",
         [&] { return transfer(session, true, false); }},
        {"upload-callback", "  zavel_Upload from a callback",
         [&] { return transfer(session, false, false); }},
        {"client-download-file", "  memory server: download to a file",
         [&] { return transfer(memory_session, true, true); }},
        {"client-upload-file", "  memory server: upload from a file",
         [&] { return transfer(memory_session, false, true); }},
        {"client-download", "  memory server: download to a callback",
         [&] { return transfer(memory_session, true, false); }},
        {"client-upload", "  memory server: upload from a callback",
         [&] { return transfer(memory_session, false, false); }},
        {"file-write", "  local file alone, 64 KiB writes", [&] { return fileCopy(true); }},
        {"file-read", "  local file alone, 64 KiB reads", [&] { return fileCopy(false); }},
    };
    std::vector<const Case*> cases;
    for (const Case& c : all) {
      if (c.key == std::string("tcp") || only.empty() ||
          ("," + only + ",").find("," + std::string(c.key) + ",") != std::string::npos)
        cases.push_back(&c);
    }
    std::vector<std::vector<double>> times(cases.size()), cpu(cases.size());
    std::vector<double> sender_cpu;
    for (uint64_t round = 0; round < rounds && status == 0; ++round) {
      for (size_t i = 0; i < cases.size(); ++i) {
        const double cpu_before = threadCpuSeconds();
        const double seconds = cases[i]->run();
        cpu[i].push_back(threadCpuSeconds() - cpu_before);
        if (i == 0) sender_cpu.push_back(g_sender_cpu);
        if (seconds <= 0) {
          fprintf(stderr, "transfer bench: %s failed\n", cases[i]->key);
          status = 1;
          break;
        }
        times[i].push_back(seconds);
      }
    }
    std::error_code ec;
    if (status == 0 && fs::file_size(local, ec) != size) status = 1;

    if (status == 0) {
      printf("transfer benchmark: %llu MiB over loopback, median of %llu rounds\n",
             static_cast<unsigned long long>(size_mb), static_cast<unsigned long long>(rounds));
      const double baseline = static_cast<double>(size) / median(times[0]) / 1e6;
      const double gib = static_cast<double>(size) / (1u << 30);
      printf("  %-42s %10s %8s %14s\n", "", "MB/s", "ratio", "CPU ms/GiB");
      for (size_t i = 0; i < cases.size(); ++i) {
        const double rate = static_cast<double>(size) * cases[i]->share / median(times[i]) / 1e6;
        printf("  %-42s %10.1f %8.3f %14.0f\n", cases[i]->name, rate, rate / baseline,
               median(cpu[i]) * 1000 / gib);
      }
      printf(
          "  (CPU: the calling thread; for raw TCP the reading end, the writing end took %.0f)\n",
          median(sender_cpu) * 1000 / gib);
      printf("  client peak resident memory: %.1f MiB (%.1f MiB before the transfers)\n",
             static_cast<double>(peakRssKiB()) / 1024.0, static_cast<double>(rss_before) / 1024.0);
    }
    zavel_DestroySession(memory_session);
    zavel_DestroySession(session);
  }
  std::error_code ec;
  fs::remove_all(data, ec);
  return status;
}
