// The used space of a disk as a running total: after each change the server makes it must
// equal a fresh walk of the folder, before and after a restart.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "devserver/file/disk_space.h"
#include "devserver/server_errors.h"
#include "tests/devserver/test_client.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

int64_t openFd(TestClient& c, const std::string& path, int32_t flags) {
  return numberOf(c.call(Req("llf_open1").s("filename", path).i32("flags", flags)), "fd");
}

// Writes bytes at a position through a descriptor; the error of the write.
int32_t writeAt(TestClient& c, int64_t fd, int64_t position, const std::string& bytes) {
  const auto handle = static_cast<int32_t>(fd);
  if (int32_t e = c.run(Req("llf_seek").i32("fd", handle).i64("offset", position).i32("whence", 0)))
    return e;
  return c.run(Req("llf_write")
                   .i32("fd", handle)
                   .i64("size", static_cast<int64_t>(bytes.size()))
                   .bin("data", bytes));
}

class DiskSpaceTotal : public SignedOnTest {
 protected:
  int32_t moving(const char* cmd, const std::string& from, const std::string& folder) {
    return run(Req(cmd).s("srcpath", from).s("dirpath", folder));
  }
  int32_t deleting(const std::string& path, bool force = false) {
    Req r("deletefile");
    return run(force ? r.s("path", path).s("opt", "force") : r.s("path", path));
  }
  int32_t twoPaths(const char* cmd, const std::string& from, const std::string& to) {
    return run(Req(cmd).s("oldpath", from).s("newpath", to));
  }
};

// Connections growing one file through descriptors at once, block by block in step: each
// block's growth is counted by whichever got there first, never twice.
constexpr int kWriters = 4;
constexpr int64_t kBlocks = 200;

void writeTogether(DevServerFixture& server) {
  auto writer = [&](uint32_t seed) {
    TestClient c(server);
    c.signOn();
    const int64_t fd = openFd(c, "/tester/both.bin", O_CREAT | O_WRONLY);
    const std::string block = patternBytes(4096, seed);
    for (int64_t i = 0; i < kBlocks; ++i) writeAt(c, fd, i * 4096, block);
  };
  std::vector<std::thread> writers;
  for (uint32_t seed = 1; seed <= kWriters; ++seed) writers.emplace_back(writer, seed);
  for (std::thread& t : writers) t.join();
}

TEST_F(DiskSpaceTotal, EqualsAFreshWalkAfterEveryChangeAndAfterARestart) {
  // There before the disk is first used: the first count finds them.
  writeFile(disk("old/a.bin"), patternBytes(5000));
  writeFile(disk("old/sub/b.bin"), patternBytes(7000));
  int64_t held = -1;  // a descriptor kept open on w.bin across its deletion
  const std::pair<const char*, std::function<void()>> changes[] = {
      {"first count", [] {}},
      {"upload of a new file",
       [&] { EXPECT_EQ(upload(client_, "/tester/up.bin", 0, patternBytes(300000)).final, 0); }},
      {"upload that grows a file",
       [&] { EXPECT_EQ(upload(client_, "/tester/up.bin", 300000, patternBytes(1000)).final, 0); }},
      {"upload inside a file",
       [&] { EXPECT_EQ(upload(client_, "/tester/up.bin", 10, patternBytes(1000)).final, 0); }},
      {"upload that truncates",
       [&] { EXPECT_EQ(upload(client_, "/tester/up.bin", 0, patternBytes(4000), 1).final, 0); }},
      {"writes past the end (the gap counts) and inside",
       [&] {
         held = openFd(client_, "/tester/w.bin", O_CREAT | O_RDWR);
         EXPECT_EQ(writeAt(client_, held, 0, patternBytes(3000)), 0);
         EXPECT_EQ(writeAt(client_, held, 9000, patternBytes(100)), 0);
         EXPECT_EQ(writeAt(client_, held, 10, patternBytes(100)), 0);
       }},
      {"a stream opened to write empties the file",
       [&] { EXPECT_EQ(run(Req("llf_fopen").s("filename", "/tester/up.bin").s("mode", "w")), 0); }},
      {"copy of a folder tree",
       [&] {
         ASSERT_EQ(run(Req("createdir").s("fullpath", "/tester/dest")), 0);
         EXPECT_EQ(moving("copyfile", "/tester/old", "/tester/dest"), 0);
       }},
      {"rename and move",
       [&] {
         EXPECT_EQ(twoPaths("renamefile", "/tester/old", "/tester/older"), 0);
         EXPECT_EQ(moving("movefile", "/tester/older/sub", "/tester"), 0);
       }},
      {"a second name keeps the bytes when the first goes",
       [&] {
         EXPECT_EQ(twoPaths("llf_link", "/tester/older/a.bin", "/tester/hard.bin"), 0);
         EXPECT_EQ(deleting("/tester/older/a.bin"), 0);
       }},
      {"a rename over a file frees the file replaced",
       [&] { EXPECT_EQ(twoPaths("llf_rename", "/tester/sub/b.bin", "/tester/hard.bin"), 0); }},
      {"delete of a file still open, then writes to it",
       [&] {
         EXPECT_EQ(deleting("/tester/w.bin"), 0);
         EXPECT_EQ(writeAt(client_, held, 20000, patternBytes(100)), 0);
       }},
      {"delete of a folder tree", [&] { EXPECT_EQ(deleting("/tester/dest", true), 0); }},
      {"unlink", [&] { EXPECT_EQ(run(Req("llf_unlink").s("path", "/tester/hard.bin")), 0); }},
      {"connections writing one file at once", [&] { writeTogether(server_); }},
  };
  for (const auto& [name, change] : changes) {
    change();
    EXPECT_EQ(usedBytes(client_), static_cast<int64_t>(walkedBytes(disk()))) << name;
  }
  EXPECT_EQ(fs::file_size(disk("both.bin")), kBlocks * 4096u);

  // Nothing walks the disk per request: a file put there by hand goes unseen...
  writeFile(disk("by hand.bin"), patternBytes(12345));
  EXPECT_EQ(usedBytes(client_), static_cast<int64_t>(walkedBytes(disk())) - 12345);
  // ...until a restart counts again, and the new count follows changes as before.
  server_.stop();
  auto restarted = startServer(server_.dataPath());
  TestClient again("127.0.0.1", restarted->filePort());
  again.signOn();
  EXPECT_EQ(usedBytes(again), static_cast<int64_t>(walkedBytes(disk())));
  EXPECT_EQ(again.run(Req("deletefile").s("path", "/tester/by hand.bin")), 0);
  EXPECT_EQ(upload(again, "/tester/after.bin", 0, patternBytes(777)).final, 0);
  EXPECT_EQ(usedBytes(again), static_cast<int64_t>(walkedBytes(disk())));
}

// Growth takes its bytes out of the reservation made for it, so space is never counted
// both as used and as set aside.
TEST(DiskSpaceReservations, GrowthUsesUpItsReservation) {
  TempDir dir;
  writeFile(dir.path / "there.bin", patternBytes(100));
  devserver::UniqueFd root(::open(dir.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  devserver::DiskSpace space(root.get(), 1000);
  devserver::SpaceReservation first, second;
  ASSERT_EQ(space.reserve(600, &first), 0);
  EXPECT_EQ(space.reserve(301, &second), kErrDiskFull) << "100 used and 600 set aside";
  {
    devserver::UniqueFd fd(::open((dir.path / "new.bin").c_str(), O_CREAT | O_WRONLY, 0644));
    devserver::FileChange change(space, fd.get(), &first);
    const std::string bytes = patternBytes(600);
    ASSERT_EQ(::write(fd.get(), bytes.data(), bytes.size()), 600);
  }
  EXPECT_EQ(space.usedBytes(), 700u);
  EXPECT_EQ(space.reserve(300, &second), 0) << "first still lives, but holds nothing";
  EXPECT_EQ(space.reserve(301, &second), kErrDiskFull);
}

}  // namespace
}  // namespace zavel::testing
