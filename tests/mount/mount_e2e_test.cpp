// zavel-mount itself: the program mounts a devserver's disk through FUSE, and the tests use
// the folder as any program would. Skipped where there is no /dev/fuse.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/demo_server.h"
#include "tests/support/devserver_fixture.h"
#include "tests/support/local_files.h"
#include "tests/support/tcp_relay.h"

extern char** environ;

namespace zavel {
namespace {

namespace fs = std::filesystem;
using testing::DevServerFixture;
using Clock = std::chrono::steady_clock;
using testing::randomBytes;
using testing::readFile;
using testing::until;
using testing::writeFile;

// Runs a program to its end; its exit status, or -1.
int run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// zavel-mount in the foreground on a fresh folder, unmounted at the end.
class Mounted {
 public:
  Mounted(std::vector<std::string> args, const std::string& password)
      : base_(::mkdtemp((fs::temp_directory_path() / "zavel-mount-e2e-XXXXXX").string().data())),
        dir_(base_ / "disk") {
    fs::create_directories(dir_);
    args.insert(args.begin(), ZAVEL_MOUNT_PATH);
    for (const std::string& a :
         {std::string("-f"), std::string("--cache"), cache_.string(), dir_.string()})
      args.push_back(a);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::setenv("ZAVEL_PASSWORD", password.c_str(), 1);
    for (const char* name : {"ZAVEL_ACCOUNT", "ZAVEL_SESSION_KEY"}) ::unsetenv(name);
    posix_spawn_file_actions_t io;
    ::posix_spawn_file_actions_init(&io);
    ::posix_spawn_file_actions_adddup2(&io, err_, 2);
    if (::posix_spawn(&pid_, argv[0], &io, nullptr, argv.data(), environ) != 0) pid_ = -1;
    ::posix_spawn_file_actions_destroy(&io);
    // Mounted once the folder is on a device of its own; a program that ended never will be.
    struct stat parent {};
    ::stat(base_.c_str(), &parent);
    const auto onItsOwn = [&] {
      struct stat st {};
      return ::stat(dir_.c_str(), &st) == 0 && st.st_dev != parent.st_dev;
    };
    until([&] { return pid_ <= 0 || ::kill(pid_, 0) != 0 || onItsOwn(); },
          std::chrono::seconds(20));
    mounted_ = pid_ > 0 && onItsOwn();
  }
  ~Mounted() {
    unmount();
    ::close(err_);
    fs::remove_all(base_);
  }

  bool mounted() const { return mounted_; }
  const fs::path& dir() const { return dir_; }
  const fs::path& cache() const { return cache_; }
  std::string err() const { return readFile("/proc/self/fd/" + std::to_string(err_)); }

  // fusermount3 -u, then the program's exit status (-1 when it had to be killed).
  int unmount() {
    if (pid_ <= 0) return -1;
    if (mounted_) run({"fusermount3", "-u", dir_.string()});
    mounted_ = false;
    int status = 0;
    if (!until([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; },
               std::chrono::seconds(20))) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      run({"fusermount3", "-uz", dir_.string()});
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  fs::path base_, dir_, cache_ = base_ / "cache";
  const int err_ = ::memfd_create("zavel-mount-err", MFD_CLOEXEC);
  pid_t pid_ = -1;
  bool mounted_ = false;
};

#define SKIP_WITHOUT_FUSE()                    \
  if (::access("/dev/fuse", R_OK | W_OK) != 0) \
  GTEST_SKIP() << "no usable /dev/fuse here: the mount cannot be tried"

class MountE2e : public ::testing::Test {
 protected:
  explicit MountE2e(testing::DevServerFixtureOptions options = {}) : server_(options) {}
  std::vector<std::string> personal(uint16_t port, std::vector<std::string> more = {}) const {
    std::vector<std::string> args = {
        "--host", "127.0.0.1", "--port", std::to_string(port), "--user", DevServerFixture::kUser};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  DevServerFixture server_;
};

TEST_F(MountE2e, ATreeGoesInAndOutWithCpAndFilesChangeInPlace) {
  SKIP_WITHOUT_FUSE();
  Mounted m(personal(server_.port()), DevServerFixture::kPassword);
  ASSERT_TRUE(m.mounted()) << m.err();
  const fs::path local = m.dir().parent_path() / "local";
  fs::create_directories(local / "tree/a/b");
  writeFile(local / "tree/a/big.bin", randomBytes(5 * 1024 * 1024 + 3, 1));
  writeFile(local / "tree/a/b/small.txt", "small");
  writeFile(local / "tree/empty", "");
  ASSERT_EQ(run({"cp", "-r", (local / "tree").string(), (m.dir() / "tree").string()}), 0);
  EXPECT_EQ(run({"diff", "-r", (local / "tree").string(), (server_.diskPath() / "tree").string()}),
            0);
  ASSERT_EQ(run({"cp", "-r", (m.dir() / "tree").string(), (local / "back").string()}), 0);
  EXPECT_EQ(run({"diff", "-r", (local / "tree").string(), (local / "back").string()}), 0);

  // Open, seek, write, close: only those bytes change.
  const fs::path small = m.dir() / "tree/a/b/small.txt";
  const int fd = ::open(small.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::lseek(fd, 2, SEEK_SET), 2);
  ASSERT_EQ(::write(fd, "AL", 2), 2);
  EXPECT_EQ(::close(fd), 0);
  EXPECT_EQ(readFile(small), "smALl");
  EXPECT_EQ(readFile(server_.diskPath() / "tree/a/b/small.txt"), "smALl");

  // Renamed across folders, removed, and df from the disk's space.
  fs::rename(small, m.dir() / "tree/moved.txt");
  EXPECT_EQ(readFile(server_.diskPath() / "tree/moved.txt"), "smALl");
  EXPECT_FALSE(fs::exists(m.dir() / "tree/a/b/small.txt"));
  fs::remove_all(m.dir() / "tree");
  EXPECT_FALSE(fs::exists(server_.diskPath() / "tree"));
  struct statvfs space {};
  ASSERT_EQ(::statvfs(m.dir().c_str(), &space), 0);
  EXPECT_EQ(space.f_blocks * space.f_frsize, uint64_t{1024} << 20);
  EXPECT_EQ(m.unmount(), 0);
}

TEST_F(MountE2e, AServerThatStopsAnsweringFailsAReadInTimeAndTheMountStillGoes) {
  SKIP_WITHOUT_FUSE();
  writeFile(server_.diskPath() / "big.bin", randomBytes(8 * 1024 * 1024, 2));
  testing::TcpRelay relay("127.0.0.1", server_.port());
  Mounted m(personal(relay.port(), {"--timeout", "2000", "--retries", "0", "--sessions", "1"}),
            DevServerFixture::kPassword);
  ASSERT_TRUE(m.mounted()) << m.err();
  const int fd = ::open((m.dir() / "big.bin").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  char block[65536];
  ASSERT_EQ(::read(fd, block, sizeof block), static_cast<ssize_t>(sizeof block));
  relay.setDelay(std::chrono::minutes(10));
  const auto start = Clock::now();
  errno = 0;
  EXPECT_EQ(::pread(fd, block, sizeof block, 6 * 1024 * 1024), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
  ::close(fd);
  EXPECT_EQ(m.unmount(), 0);
}

// The demo account: a club's disk by its name, and the club where the user only reads.
TEST(MountAccountE2e, AClubDiskByNameAndAReadOnlyClubThatRefusesEveryChange) {
  SKIP_WITHOUT_FUSE();
  testing::DemoServer demo(true);
  const std::vector<std::string> account = {"--account",     "demo@zavel.net", "--auth-server",
                                            demo.auth(),     "--portal",       demo.portal(),
                                            "--club-server", demo.portal(),    "--disk"};
  std::vector<std::string> args = account;
  args.push_back("데모 클럽");
  {
    Mounted club(args, "demo");
    ASSERT_TRUE(club.mounted()) << club.err();
    EXPECT_EQ(readFile(club.dir() / "모임 안내.txt").rfind("데모 클럽의 공유 디스크입니다.\n", 0),
              0u);
    writeFile(club.dir() / "자료실/new.txt", "into the club");
    EXPECT_EQ(readFile(club.dir() / "자료실/new.txt"), "into the club");
    fs::rename(club.dir() / "자료실/new.txt", club.dir() / "renamed.txt");
    EXPECT_EQ(readFile(club.dir() / "renamed.txt"), "into the club");
    fs::remove(club.dir() / "renamed.txt");
    EXPECT_FALSE(fs::exists(club.dir() / "renamed.txt"));
  }
  args = account;
  args.push_back("사진 동호회");
  Mounted readOnly(args, "demo");
  ASSERT_TRUE(readOnly.mounted()) << readOnly.err();
  const fs::path dir = readOnly.dir();
  const auto listing = [&] {
    std::string names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
      names +=
          e.path().string() + " " + std::to_string(e.is_directory() ? 0 : e.file_size()) + "\n";
    return names;
  };
  const std::string before = listing();
  EXPECT_NE(before.find("읽기 전용 안내.txt"), std::string::npos) << before;
  const fs::path notice = dir / "읽기 전용 안내.txt";
  errno = 0;
  EXPECT_LT(::open((dir / "new.txt").c_str(), O_WRONLY | O_CREAT, 0644), 0);
  EXPECT_EQ(errno, EROFS);
  EXPECT_LT(::open(notice.c_str(), O_WRONLY | O_TRUNC), 0);
  EXPECT_NE(::mkdir((dir / "made").c_str(), 0755), 0);
  EXPECT_NE(::unlink(notice.c_str()), 0);
  EXPECT_NE(::rename(notice.c_str(), (dir / "moved.txt").c_str()), 0);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(listing(), before);
}

// A disk that takes no more: the close of a file written there fails, as cp reports.
class FullMountE2e : public MountE2e {
 protected:
  FullMountE2e() : MountE2e({.quota_mb = 1}) {}
};

TEST_F(FullMountE2e, AFileThatCannotBeUploadedFailsItsClose) {
  SKIP_WITHOUT_FUSE();
  Mounted m(personal(server_.port(), {"--retries", "0"}), DevServerFixture::kPassword);
  ASSERT_TRUE(m.mounted()) << m.err();
  const std::string bytes = randomBytes(2 * 1024 * 1024, 3);
  const int fd = ::open((m.dir() / "big.bin").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  errno = 0;
  EXPECT_NE(::close(fd), 0);
  EXPECT_EQ(errno, ENOSPC);
  const std::string log = m.err();
  const size_t kept = log.find("what was written is kept in ");
  ASSERT_NE(kept, std::string::npos) << log;
  const std::string path = log.substr(kept + 28, log.find('\n', kept) - kept - 28);
  EXPECT_EQ(fs::path(path).parent_path(), m.cache());
  EXPECT_TRUE(readFile(path) == bytes) << path;
}

}  // namespace
}  // namespace zavel
