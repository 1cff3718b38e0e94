// The library end to end against an in-process zavel-devserver on real folders, through
// the exported functions only.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/support/devserver_fixture.h"
#include "zavelsdk.h"

namespace zavel {
namespace {

namespace fs = std::filesystem;
using testing::DevServerFixture;

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Entry {
  int64_t size;
  int32_t type;
  std::string date;
};

// A folder's listing through the enumeration exports, by name.
std::map<std::string, Entry> list(ZavelSession* s, const std::string& folder) {
  std::map<std::string, Entry> out;
  int32_t count = 0;
  ZavelFileInfoList* l = zavel_OpenFileInfo(folder.c_str(), ZAVEL_INFO_ALL, 1, &count, s);
  EXPECT_NE(l, nullptr) << folder << ": " << zavel_GetLastError();
  if (l == nullptr) return out;
  for (int32_t i = 0; i < count; ++i) {
    const ZavelFileInfo* e = zavel_ReadFileInfo(l, i);
    out[e->name] = Entry{e->size, e->type, e->date};
  }
  EXPECT_EQ(zavel_CloseFileInfo(l), 1);
  return out;
}

class DevServerSession : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = zavel_CreateSession(server_.host().c_str(), server_.port(), DevServerFixture::kUser,
                                   DevServerFixture::kPassword, 10000);
    ASSERT_NE(session_, nullptr) << zavel_GetLastError() << " " << zavel_GetLastErrStr();
  }
  void TearDown() override { zavel_DestroySession(session_); }

  std::string remote(const std::string& relative) const {
    return server_.basePath() + "/" + relative;
  }
  fs::path local(const std::string& relative) const { return server_.diskPath() / relative; }

  DevServerFixture server_;
  ZavelSession* session_ = nullptr;
};

TEST_F(DevServerSession, SignOnGivesTheDiskAndRefusesAWrongPassword) {
  EXPECT_EQ(std::string(zavel_GetSessionPath(session_)), server_.basePath());
  EXPECT_EQ(zavel_IsOCTASession(session_), 0);
  EXPECT_EQ(zavel_CreateSession(server_.host().c_str(), server_.port(), DevServerFixture::kUser,
                                "wrong", 10000),
            nullptr);
  EXPECT_EQ(zavel_GetLastError(), 22002);
  EXPECT_EQ(zavel_CreateSession(server_.host().c_str(), server_.port(), "nobody", nullptr, 10000),
            nullptr);
  EXPECT_EQ(zavel_GetLastError(), 22001);
}

TEST_F(DevServerSession, FoldersAndFilesAreMadeRenamedMovedCopiedAndDeleted) {
  ASSERT_EQ(zavel_MakeFolder(remote("docs").c_str(), session_), 1);
  ASSERT_EQ(zavel_MakeFolder(remote("other").c_str(), session_), 1);
  EXPECT_EQ(zavel_MakeFolder(remote("docs").c_str(), session_), 0);
  EXPECT_EQ(zavel_GetLastError(), 23005);
  EXPECT_TRUE(fs::is_directory(local("docs")));

  char made[256];
  ASSERT_EQ(zavel_MakeFolder2(server_.basePath().c_str(), made, sizeof made, session_), 1);
  ASSERT_EQ(std::string(made).rfind(server_.basePath() + "/", 0), 0u) << made;
  EXPECT_TRUE(fs::is_directory(server_.diskPath() / fs::path(made).filename()));

  ASSERT_EQ(zavel_CreateFile(remote("docs/empty").c_str(), session_), 1);
  EXPECT_EQ(zavel_GetFileSize(remote("docs/empty").c_str(), session_), 0);

  const std::string text(1234, 'z');
  writeFile(local("docs/a.txt"), text);
  ASSERT_EQ(zavel_RenameFile(remote("docs/a.txt").c_str(), remote("docs/b.txt").c_str(), session_),
            1);
  ASSERT_EQ(zavel_MoveFile(remote("docs/b.txt").c_str(), remote("other").c_str(), session_), 1);
  ASSERT_EQ(zavel_CopyFile(remote("other/b.txt").c_str(), remote("docs").c_str(), session_), 1);
  EXPECT_FALSE(fs::exists(local("docs/a.txt")));
  EXPECT_EQ(readFile(local("other/b.txt")), text);
  EXPECT_EQ(readFile(local("docs/b.txt")), text);
  EXPECT_EQ(zavel_GetFileSize(remote("docs/b.txt").c_str(), session_), 1234);

  // A folder with contents goes only by force.
  EXPECT_EQ(zavel_DeleteFile(remote("other").c_str(), 0, session_), 0);
  EXPECT_EQ(zavel_GetLastError(), 23003);
  EXPECT_EQ(zavel_DeleteFile(remote("other").c_str(), 1, session_), 1);
  EXPECT_EQ(zavel_DeleteFile(remote("docs/empty").c_str(), 0, session_), 1);
  EXPECT_FALSE(fs::exists(local("other")));
  EXPECT_FALSE(fs::exists(local("docs/empty")));
  EXPECT_EQ(zavel_GetFileSize(remote("docs/empty").c_str(), session_), -1);
  EXPECT_EQ(zavel_GetLastError(), 23006);
}

TEST_F(DevServerSession, ListingShowsSizesBeyond4GiBTypesAndDates) {
  fs::create_directories(local("media/sub"));
  writeFile(local("media/note.txt"), "hello");
  { std::ofstream big(local("media/big.iso"), std::ios::binary); }
  fs::resize_file(local("media/big.iso"), 5000000000ULL);  // sparse: no real space used

  const auto entries = list(session_, remote("media"));
  ASSERT_EQ(entries.count(remote("media/big.iso")), 1u);
  EXPECT_EQ(entries.at(remote("media/big.iso")).size, 5000000000LL);
  EXPECT_EQ(entries.at(remote("media/big.iso")).type, 0);
  EXPECT_EQ(entries.at(remote("media/note.txt")).size, 5);
  EXPECT_EQ(entries.at(remote("media/sub")).type, ZAVEL_TYPE_FOLDER);
  EXPECT_FALSE(entries.at(remote("media/note.txt")).date.empty());
  EXPECT_EQ(zavel_GetFileSize(remote("media/big.iso").c_str(), session_), 5000000000LL);

  int32_t count = 0;
  EXPECT_EQ(zavel_OpenFileInfo(remote("absent").c_str(), ZAVEL_INFO_ALL, 1, &count, session_),
            nullptr);
  EXPECT_EQ(zavel_GetLastError(), 23006);
}

TEST_F(DevServerSession, TimesQuotaServerAndRemoteCommands) {
  writeFile(local("t.txt"), "x");
  ASSERT_EQ(zavel_SetFileTime(remote("t.txt").c_str(), 1000000000, 1100000000, session_), 1);
  int32_t access = 0, write = 0;
  ASSERT_EQ(zavel_GetFileTime(remote("t.txt").c_str(), &access, &write, session_), 1);
  EXPECT_EQ(access, 1000000000);
  EXPECT_EQ(write, 1100000000);

  DiskSpaceInfo space{};
  ASSERT_EQ(zavel_GetDiskSpace(&space, session_), 1);
  ASSERT_GT(space.block, 0u);
  EXPECT_EQ(uint64_t{space.total} * space.block, 1024ull << 20);
  EXPECT_LE(space.free, space.total);

  ServerInfo info{};
  ASSERT_EQ(zavel_GetServerInfo(&info, session_), 1);
  EXPECT_GE(info.nCurrentNum, 1);
  EXPECT_STRNE(info.version, "Unknown");

  const char* who = zavel_OpenCmd("whoami", session_);
  ASSERT_NE(who, nullptr);
  EXPECT_EQ(std::string(who), std::string(DevServerFixture::kUser) + "\n");
  EXPECT_EQ(zavel_CloseCmd(who), 1);
}

TEST_F(DevServerSession, DuplicateWorksAfterTheOriginalIsDestroyed) {
  ZavelSession* copy = zavel_DuplicateSession(session_);
  ASSERT_NE(copy, nullptr);
  zavel_DestroySession(session_);
  session_ = copy;
  writeFile(local("f"), "abc");
  EXPECT_EQ(zavel_GetFileSize(remote("f").c_str(), copy), 3);
}

}  // namespace
}  // namespace zavel
