// The mount's file system logic, called directly (no FUSE) on an in-process devserver.
#include "mount/mount_fs.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/support/devserver_fixture.h"
#include "tests/support/fake_server.h"
#include "tests/support/local_files.h"

namespace zavel::mount {
namespace {

namespace fs = std::filesystem;
using testing::DevServerFixture;
using testing::randomBytes;
using testing::readFile;

class MountFsTest : public ::testing::Test {
 protected:
  MountFsTest()
      : cache_(fs::temp_directory_path() / ("zavel-mount-test-" + std::to_string(::getpid()))) {}
  ~MountFsTest() override { fs::remove_all(cache_); }

  // The test account's disk, as the user with these rights there.
  std::unique_ptr<MountFs> mount(int32_t mode = 1) {
    ZavelSession* session =
        zavel_CreateSession(server_.host().c_str(), server_.port(), DevServerFixture::kUser,
                            DevServerFixture::kPassword, 10000);
    EXPECT_NE(session, nullptr);
    MountOptions options;
    options.sessions = 2;
    options.cacheDir = cache_;
    options.cacheTime = std::chrono::hours(1);
    options.retry.retries = 0;
    options.log = [this](const std::string& line) { log_.push_back(line); };
    options.now = [this] { return now_; };
    return std::make_unique<MountFs>(cli::Disk::adopt(session, false, mode), options);
  }

  fs::path disk() const { return server_.diskPath(); }

  DevServerFixture server_;
  fs::path cache_;
  std::vector<std::string> log_;
  std::chrono::steady_clock::time_point now_{};
};

TEST_F(MountFsTest, EachRightsModeAllowsWhatItShould) {
  const int kAll = 0;
  struct Case {
    const char* what;
    int modes[4];  // the result in modes 1, 2, 3 and 4
  };
  const Case cases[] = {
      {"create", {kAll, kAll, -EROFS, kAll}},
      {"mkdir", {kAll, kAll, -EROFS, kAll}},
      {"open for writing", {kAll, kAll, -EROFS, kAll}},
      {"truncate", {kAll, kAll, -EROFS, kAll}},
      {"unlink", {kAll, -EACCES, -EROFS, kAll}},
      {"rmdir", {kAll, -EACCES, -EROFS, kAll}},
      {"rename", {kAll, -EACCES, -EROFS, kAll}},
      {"open for reading", {kAll, kAll, kAll, kAll}},
  };
  for (int32_t mode = 1; mode <= 4; ++mode) {
    std::unique_ptr<MountFs> m = mount(mode);
    EXPECT_EQ(m->readOnly(), mode == 3);
    for (const Case& c : cases) {
      // Each case on the same two items, and the mount's listings too old to believe.
      for (const auto& item : fs::directory_iterator(disk())) fs::remove_all(item.path());
      std::ofstream(disk() / "file.txt") << "kept";
      fs::create_directories(disk() / "folder");
      now_ += std::chrono::hours(2);
      const std::string what = c.what;
      uint64_t h = 0;
      int result = 0;
      if (what == "create") result = m->create("/new.txt", O_WRONLY | O_CREAT, &h);
      if (what == "mkdir") result = m->mkdir("/made");
      if (what == "open for writing") result = m->open("/file.txt", O_WRONLY, &h);
      if (what == "open for reading") result = m->open("/file.txt", O_RDONLY, &h);
      if (what == "truncate") result = m->truncate("/file.txt", 2, std::nullopt);
      if (what == "unlink") result = m->unlink("/file.txt");
      if (what == "rmdir") result = m->rmdir("/folder");
      if (what == "rename") result = m->rename("/folder", "/renamed");
      EXPECT_EQ(result, c.modes[mode - 1]) << what << " in mode " << mode;
      if (result == 0 && h != 0) {
        EXPECT_EQ(m->flush(h), 0) << what;
        m->release(h);
      }
    }
  }
}

TEST_F(MountFsTest, ReadsAtAnyOffsetGiveTheDisksBytes) {
  const std::string bytes = randomBytes(3 * 1024 * 1024 + 17, 42);
  std::ofstream(disk() / "big.bin", std::ios::binary) << bytes;
  std::unique_ptr<MountFs> m = mount();
  uint64_t h = 0;
  ASSERT_EQ(m->open("/big.bin", O_RDONLY, &h), 0);
  struct Case {
    uint64_t offset;
    size_t size;
    size_t expected;  // bytes read
  };
  const uint64_t end = bytes.size();
  const Case cases[] = {
      {0, 4096, 4096},
      {1 << 20, 100, 100},
      {(1 << 20) - 10, 100, 100},
      {end - 5, 100, 5},
      {end, 10, 0},
      {end + 100, 10, 0},
      {7, 2 * 1024 * 1024, 2 * 1024 * 1024},  // larger than the first window
      {12345, 1, 1},
  };
  for (const Case& c : cases) {
    std::vector<char> got(c.size);
    EXPECT_EQ(m->read(h, got.data(), c.size, c.offset), static_cast<int64_t>(c.expected))
        << c.offset;
    if (c.expected > 0) {
      EXPECT_EQ(std::string(got.data(), c.expected), bytes.substr(c.offset, c.expected))
          << c.offset;
    }
  }
  // Read straight through, in the steps FUSE uses.
  std::string whole;
  std::vector<char> step(128 * 1024);
  for (uint64_t at = 0;;) {
    const int64_t n = m->read(h, step.data(), step.size(), at);
    ASSERT_GE(n, 0);
    if (n == 0) break;
    whole.append(step.data(), static_cast<size_t>(n));
    at += static_cast<uint64_t>(n);
  }
  EXPECT_TRUE(whole == bytes);
  EXPECT_EQ(m->release(h), 0);
}

TEST_F(MountFsTest, WrittenFilesShowAtOnceAndReachTheDiskWhenClosed) {
  std::unique_ptr<MountFs> m = mount();
  uint64_t h = 0;
  ASSERT_EQ(m->create("/made.txt", O_WRONLY | O_CREAT, &h), 0);
  ASSERT_EQ(m->write(h, "hello world", 11, 0), 11);
  // Before the upload, the mount shows it with what was written; the disk has nothing.
  struct stat st {};
  ASSERT_EQ(m->getattr("/made.txt", &st), 0);
  EXPECT_EQ(st.st_size, 11);
  std::vector<std::pair<std::string, struct stat>> items;
  ASSERT_EQ(m->readdir("/", &items), 0);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].first, "made.txt");
  EXPECT_FALSE(fs::exists(disk() / "made.txt"));
  EXPECT_EQ(m->flush(h), 0);
  EXPECT_EQ(m->release(h), 0);
  EXPECT_EQ(readFile(disk() / "made.txt"), "hello world");
  EXPECT_TRUE(fs::is_empty(cache_));

  // Emptied at open, and cut by path.
  ASSERT_EQ(m->open("/made.txt", O_WRONLY | O_TRUNC, &h), 0);
  ASSERT_EQ(m->write(h, "new", 3, 0), 3);
  EXPECT_EQ(m->release(h), 0);
  EXPECT_EQ(readFile(disk() / "made.txt"), "new");
  EXPECT_EQ(m->truncate("/made.txt", 2, std::nullopt), 0);
  EXPECT_EQ(readFile(disk() / "made.txt"), "ne");
  // Renamed and removed while open: nothing goes to the disk at close.
  ASSERT_EQ(m->create("/gone.txt", O_WRONLY | O_CREAT, &h), 0);
  ASSERT_EQ(m->write(h, "x", 1, 0), 1);
  EXPECT_EQ(m->unlink("/gone.txt"), 0);
  EXPECT_EQ(m->release(h), 0);
  EXPECT_FALSE(fs::exists(disk() / "gone.txt"));
  EXPECT_EQ(m->getattr("/gone.txt", &st), -ENOENT);
}

TEST_F(MountFsTest, RenameReplacesAsRenameDoesAndRefusesWhatItCannot) {
  std::unique_ptr<MountFs> m = mount();
  std::ofstream(disk() / "a.txt") << "a";
  std::ofstream(disk() / "b.txt") << "b";
  fs::create_directories(disk() / "full/inner");
  fs::create_directories(disk() / "empty");
  fs::create_directories(disk() / "dir");
  struct Case {
    const char* from;
    const char* to;
    int result;
  };
  const Case cases[] = {
      {"/a.txt", "/b.txt", 0},  // a file replaces a file
      {"/b.txt", "/dir", -EISDIR},
      {"/dir", "/b.txt", -ENOTDIR},
      {"/dir", "/full", -ENOTEMPTY},
      {"/dir", "/empty", 0},
      {"/empty", "/empty/in", -EINVAL},
      {"/missing", "/x", -ENOENT},
      {"/b.txt", "/full/inner/b.txt", 0},  // into another folder
      {"/full/inner/b.txt", "/bad:name", -EINVAL},
  };
  for (const Case& c : cases) EXPECT_EQ(m->rename(c.from, c.to), c.result) << c.from << c.to;
  EXPECT_EQ(readFile(disk() / "full/inner/b.txt"), "a");
  EXPECT_TRUE(fs::is_directory(disk() / "empty"));
  EXPECT_FALSE(fs::exists(disk() / "dir"));
  EXPECT_EQ(m->rmdir("/full"), -ENOTEMPTY);
}

TEST_F(MountFsTest, ListingsAreKeptForTheirTimeAndDroppedByTheMountsOwnChanges) {
  std::unique_ptr<MountFs> m = mount();
  struct stat st {};
  EXPECT_EQ(m->getattr("/later.txt", &st), -ENOENT);
  std::ofstream(disk() / "later.txt") << "behind the mount's back";
  EXPECT_EQ(m->getattr("/later.txt", &st), -ENOENT);  // the listing is still believed
  EXPECT_EQ(m->mkdir("/own"), 0);                     // an own change drops it
  EXPECT_EQ(m->getattr("/later.txt", &st), 0);
  EXPECT_TRUE(S_ISDIR((m->getattr("/own", &st), st.st_mode)));
  EXPECT_EQ(m->getattr("/own/inside.txt", &st), -ENOENT);
  std::ofstream(disk() / "own/inside.txt") << "x";
  EXPECT_EQ(m->getattr("/own/inside.txt", &st), -ENOENT);
  now_ += std::chrono::hours(2);  // past the listing's time
  EXPECT_EQ(m->getattr("/own/inside.txt", &st), 0);
  EXPECT_EQ(st.st_size, 1);
}

// A server that lists names that are no plain names: none of them shows.
TEST(MountFsNames, OnlyPlainNamesOfTheListedFolderShow) {
  testing::FakeServer server;
  ParamRecord signed_on = testing::okReply();
  signed_on.setString("path", "/home");
  ParamRecord listing = testing::okReply();
  const std::vector<std::string> names = {"/home",     "/home/ok", "/home/", "/home/.",  "/home/..",
                                          "/home/a/b", "/other/x", "../etc", "/home//y", ""};
  listing.setInt32("num", static_cast<int32_t>(names.size()));
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    listing.setString(("p" + n).c_str(), names[i].c_str());
    listing.setInt32(("s" + n).c_str(), 1);
    listing.setInt32(("t" + n).c_str(), 0);
  }
  server.answer(signed_on).answer(listing);
  server.start();
  cli::LibraryError error;
  std::unique_ptr<cli::Disk> disk =
      cli::Disk::openPersonal("127.0.0.1", server.port(), "alice", "pw", 5000, &error);
  ASSERT_TRUE(disk) << error.describe();
  MountOptions options;
  options.sessions = 1;
  MountFs m(std::move(disk), options);
  std::vector<std::pair<std::string, struct stat>> items;
  ASSERT_EQ(m.readdir("/", &items), 0);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].first, "ok");
}

}  // namespace
}  // namespace zavel::mount
