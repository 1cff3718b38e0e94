// The library end to end against an in-process zavel-devserver on real folders, through
// the exported functions only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/club/club_test_support.h"
#include "tests/support/devserver_fixture.h"
#include "zavelsdk.h"

extern "C" {
size_t remoteStatRecordSizeInC(void);
size_t remoteStatTimesOffsetInC(void);
int64_t remoteStatSumInC(const RStatRecord* st);
}

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

class DevServerSession : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = zavel_CreateSession(server_.host().c_str(), server_.port(), DevServerFixture::kUser,
                                   DevServerFixture::kPassword, 10000);
    ASSERT_NE(session_, nullptr) << zavel_GetLastError() << " " << zavel_GetLastErrStr();
  }
  void TearDown() override { zavel_DestroySession(session_); }

  // The path clients see, kept as long as the test runs.
  const char* remote(const std::string& relative) {
    return paths_.emplace_back(server_.basePath() + "/" + relative).c_str();
  }
  std::string local(const std::string& relative) const {
    return (server_.diskPath() / relative).string();
  }

  std::deque<std::string> paths_;
  DevServerFixture server_;
  ZavelSession* session_ = nullptr;
};

// The personal-disk exports: what the server makes, renames, moves, copies and deletes is on
// its disk; a wrong password and unknown user are rows of the cli's failures.
TEST_F(DevServerSession, FoldersAndFilesAreMadeRenamedMovedCopiedAndDeleted) {
  EXPECT_EQ(std::string(zavel_GetSessionPath(session_)), server_.basePath());
  ASSERT_EQ(zavel_MakeFolder(remote("docs"), session_), 1);
  ASSERT_EQ(zavel_MakeFolder(remote("other"), session_), 1);
  EXPECT_RESULT(zavel_MakeFolder(remote("docs"), session_), 0, 23005);
  char made[256];
  ASSERT_EQ(zavel_MakeFolder2(server_.basePath().c_str(), made, sizeof made, session_), 1);
  EXPECT_TRUE(fs::is_directory(server_.diskPath() / fs::path(made).filename())) << made;

  writeFile(local("docs/a.txt"), std::string(1234, 'z'));
  ASSERT_EQ(zavel_RenameFile(remote("docs/a.txt"), remote("docs/b.txt"), session_), 1);
  ASSERT_EQ(zavel_MoveFile(remote("docs/b.txt"), remote("other"), session_), 1);
  ASSERT_EQ(zavel_CopyFile(remote("other/b.txt"), remote("docs"), session_), 1);
  EXPECT_EQ(readFile(local("other/b.txt")), readFile(local("docs/b.txt")));
  EXPECT_EQ(zavel_GetFileSize(remote("docs/b.txt"), session_), 1234);
  // A folder with contents goes only by force.
  EXPECT_RESULT(zavel_DeleteFile(remote("other"), 0, session_), 0, 23003);
  EXPECT_EQ(zavel_DeleteFile(remote("other"), 1, session_), 1);
  EXPECT_FALSE(fs::exists(local("other")));

  ASSERT_EQ(zavel_SetFileTime(remote("docs/b.txt"), 1000000000, 1100000000, session_), 1);
  int32_t access = 0, write = 0;
  ASSERT_EQ(zavel_GetFileTime(remote("docs/b.txt"), &access, &write, session_), 1);
  EXPECT_EQ(std::pair(access, write), std::pair(1000000000, 1100000000));
  DiskSpaceInfo space{};
  ASSERT_EQ(zavel_GetDiskSpace(&space, session_), 1);
  EXPECT_EQ(uint64_t{space.total} * space.block, 1024ull << 20);
}

// The R family: a file written in pieces reads back through a stream, folders list, stat
// and go.
TEST_F(DevServerSession, RemoteFilesStreamsAndFolders) {
  const std::string bytes = patterned(200000);
  ASSERT_EQ(RMkdir(remote("sub"), 0755, session_), 1) << zavel_GetLastError();
  RFileHandle* out = ROpen2(remote("sub/n.bin"), O_WRONLY | O_CREAT | O_TRUNC, 0640, session_);
  ASSERT_NE(out, nullptr) << zavel_GetLastError();
  for (size_t at = 0; at < bytes.size(); at += 65536) {
    const int32_t chunk = static_cast<int32_t>(std::min<size_t>(65536, bytes.size() - at));
    ASSERT_EQ(RWrite(out, bytes.data() + at, chunk), chunk) << at;
  }
  ASSERT_EQ(RClose(out), 1);

  RStreamHandle* in = RFopen(remote("sub/n.bin"), "rb", session_);
  ASSERT_NE(in, nullptr) << zavel_GetLastError();
  std::string back;
  std::vector<char> buffer(50000);
  int32_t n = 0;
  while ((n = RFread(in, buffer.data(), static_cast<uint32_t>(buffer.size()))) > 0)
    back.append(buffer.data(), static_cast<size_t>(n));
  EXPECT_EQ(n, 0) << "the end of the file reads as 0, error " << zavel_GetLastError();
  EXPECT_EQ(back, bytes);
  ASSERT_EQ(RFseek(in, -10, 2), 0);
  ASSERT_EQ(RFread(in, buffer.data(), 64), 10);
  EXPECT_EQ(std::string(buffer.data(), 10), bytes.substr(bytes.size() - 10));
  EXPECT_EQ(RFclose(in), 1);

  RDirHandle* dir = ROpenDir(remote("sub"), session_);
  ASSERT_NE(dir, nullptr) << zavel_GetLastError();
  char name[256], end[8];
  ASSERT_TRUE(RReadDir(dir, name, sizeof name) == 1 && RReadDir(dir, end, sizeof end) == 1);
  EXPECT_EQ(std::string(name) + "|" + end, "n.bin|");
  EXPECT_EQ(RCloseDir(dir), 1);
  RStatRecord st{};
  ASSERT_EQ(RStat(remote("sub/n.bin"), &st, session_), 1);
  struct stat host {};
  ASSERT_EQ(::stat(local("sub/n.bin").c_str(), &host), 0);
  EXPECT_EQ(st.st_mtime32, static_cast<int32_t>(host.st_mtim.tv_sec));
  EXPECT_EQ(st.st_ino, static_cast<uint64_t>(host.st_ino));
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A folder with files in it stays; emptied, it goes.
  EXPECT_RESULT(RRmdir(remote("sub"), session_), 0, 23003);
  ASSERT_EQ(RRename(remote("sub/n.bin"), remote("n.bin"), session_), 1);
  EXPECT_EQ(RRmdir(remote("sub"), session_), 1);
  EXPECT_EQ(RUnlink(remote("n.bin"), session_), 1);
  EXPECT_RESULT(RStat(remote("n.bin"), &st, session_), 0, 23006);
}

TEST(RemoteHeader, StatRecordReadsTheSameFromC) {
  EXPECT_EQ(remoteStatRecordSizeInC(), sizeof(RStatRecord));
  EXPECT_EQ(remoteStatTimesOffsetInC(), offsetof(RStatRecord, st_atime32));
  RStatRecord st{};
  st.st_atime32 = 1;
  st.st_mtime32 = 20;
  st.st_ctime32 = 300;
  EXPECT_EQ(remoteStatSumInC(&st), 321);
}

}  // namespace
}  // namespace zavel::testing
