// The library end to end against an in-process zavel-devserver on real folders, through
// the exported functions only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/devserver_fixture.h"
#include "zavelsdk.h"

extern "C" {
size_t remoteStatRecordSizeInC(void);
size_t remoteStatTimesOffsetInC(void);
int64_t remoteStatSumInC(const RStatRecord* st);
}

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

// Bytes that differ at every position of a block, so a misplaced block shows.
std::string pattern(size_t size) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 131 + i / 65536) & 0xFF);
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
  writeFile(local("media/big.iso"), "");
  fs::resize_file(local("media/big.iso"), 5000000000ULL);  // sparse: no real space used

  int32_t count = 0;
  ZavelFileInfoList* list =
      zavel_OpenFileInfo(remote("media").c_str(), ZAVEL_INFO_ALL, 1, &count, session_);
  ASSERT_NE(list, nullptr) << zavel_GetLastError();
  std::map<std::string, ZavelFileInfo> entries;  // valid until the list is closed
  for (int32_t i = 0; i < count; ++i)
    entries[zavel_ReadFileInfo(list, i)->name] = *zavel_ReadFileInfo(list, i);
  ASSERT_EQ(entries.size(), 4u);  // the folder itself first, then its entries
  EXPECT_EQ(entries[remote("media")].type, ZAVEL_TYPE_FOLDER);
  EXPECT_EQ(entries[remote("media/big.iso")].size, 5000000000LL);
  EXPECT_EQ(entries[remote("media/big.iso")].type, 0);
  EXPECT_EQ(entries[remote("media/note.txt")].size, 5);
  EXPECT_EQ(entries[remote("media/sub")].type, ZAVEL_TYPE_FOLDER);
  EXPECT_STRNE(entries[remote("media/note.txt")].date, "");
  EXPECT_EQ(zavel_CloseFileInfo(list), 1);
  EXPECT_EQ(zavel_GetFileSize(remote("media/big.iso").c_str(), session_), 5000000000LL);

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

TEST_F(DevServerSession, WrittenFileReadsBackThroughAStream) {
  const std::string path = remote("notes.bin");
  const std::string bytes = pattern(200000);
  RFileHandle* out = ROpen2(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0640, session_);
  ASSERT_NE(out, nullptr) << zavel_GetLastError();
  for (size_t at = 0; at < bytes.size(); at += 65536) {
    const int32_t chunk = static_cast<int32_t>(std::min<size_t>(65536, bytes.size() - at));
    ASSERT_EQ(RWrite(out, bytes.data() + at, chunk), chunk) << at;
  }
  ASSERT_EQ(RClose(out), 1);
  EXPECT_EQ(readFile(server_.diskPath() / "notes.bin"), bytes);

  RStreamHandle* in = RFopen(path.c_str(), "rb", session_);
  ASSERT_NE(in, nullptr) << zavel_GetLastError();
  std::string back;
  std::vector<char> buffer(50000);
  int32_t n = 0;
  while ((n = RFread(in, buffer.data(), static_cast<uint32_t>(buffer.size()))) > 0)
    back.append(buffer.data(), static_cast<size_t>(n));
  EXPECT_EQ(n, 0) << "the end of the file reads as 0, error " << zavel_GetLastError();
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(in->position, static_cast<int64_t>(bytes.size()));
  ASSERT_EQ(RFseek(in, -10, 2), 0);
  EXPECT_EQ(in->position, static_cast<int64_t>(bytes.size()) - 10);
  ASSERT_EQ(RFread(in, buffer.data(), 64), 10);
  EXPECT_EQ(std::string(buffer.data(), 10), bytes.substr(bytes.size() - 10));
  EXPECT_EQ(RRewind(in), 1);
  int64_t at = -1;
  ASSERT_EQ(RFtell(in, &at), 1);
  EXPECT_EQ(at, 0);
  EXPECT_EQ(RFclose(in), 1);

  RFileHandle* again = ROpen(path.c_str(), O_RDONLY, session_);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(RSeek(again, 0, 2), static_cast<int64_t>(bytes.size()));
  RStatRecord st{};
  ASSERT_EQ(RFstat(again, &st), 1);
  EXPECT_EQ(st.st_size, static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(RClose(again), 1);
}

TEST_F(DevServerSession, FoldersAreMadeListedRenamedAndRemoved) {
  const std::string folder = remote("sub");
  ASSERT_EQ(RMkdir(folder.c_str(), 0755, session_), 1) << zavel_GetLastError();
  EXPECT_TRUE(fs::is_directory(server_.diskPath() / "sub"));
  {
    std::ofstream(server_.diskPath() / "sub" / "a.txt") << "alpha";
    std::ofstream(server_.diskPath() / "b.txt") << "bravo!";
  }

  const std::string base = server_.basePath();  // the handle keeps this text, not a copy
  RDirHandle* dir = ROpenDir(base.c_str(), session_);
  ASSERT_NE(dir, nullptr) << zavel_GetLastError();
  std::set<std::string> names;
  char name[256];
  for (int guard = 0; guard < 100; ++guard) {
    ASSERT_EQ(RReadDir(dir, name, sizeof name), 1) << zavel_GetLastError();
    if (name[0] == '\0') break;
    names.insert(name);
  }
  EXPECT_EQ(names, (std::set<std::string>{"b.txt", "sub"}));
  EXPECT_EQ(RCloseDir(dir), 1);

  int32_t is = -1;
  ASSERT_EQ(RIs_dir(folder.c_str(), &is, session_), 1);
  EXPECT_EQ(is, 1);
  ASSERT_EQ(RIs_file(remote("b.txt").c_str(), &is, session_), 1);
  EXPECT_EQ(is, 1);
  int64_t size = -1;
  ASSERT_EQ(RFilesize(remote("b.txt").c_str(), &size, session_), 1);
  EXPECT_EQ(size, 6);
  RStatRecord st{};
  ASSERT_EQ(RStat(remote("b.txt").c_str(), &st, session_), 1);
  struct stat host {};
  ASSERT_EQ(::stat((server_.diskPath() / "b.txt").c_str(), &host), 0);
  EXPECT_EQ(st.st_mtime32, static_cast<int32_t>(host.st_mtim.tv_sec));
  EXPECT_EQ(st.st_ino, static_cast<uint64_t>(host.st_ino));

  const std::string moved = remote("sub/b-moved.txt");
  ASSERT_EQ(RRename(remote("b.txt").c_str(), moved.c_str(), session_), 1);
  EXPECT_FALSE(fs::exists(server_.diskPath() / "b.txt"));
  EXPECT_EQ(readFile(server_.diskPath() / "sub" / "b-moved.txt"), "bravo!");

  // A folder with files in it stays; emptied, it goes.
  EXPECT_EQ(RRmdir(folder.c_str(), session_), 0);
  EXPECT_EQ(zavel_GetLastError(), 23003);
  EXPECT_EQ(RUnlink(moved.c_str(), session_), 1);
  EXPECT_EQ(RUnlink(remote("sub/a.txt").c_str(), session_), 1);
  EXPECT_EQ(RRmdir(folder.c_str(), session_), 1);
  EXPECT_FALSE(fs::exists(server_.diskPath() / "sub"));
  EXPECT_EQ(RStat(folder.c_str(), &st, session_), 0);
  EXPECT_EQ(zavel_GetLastError(), 23006);
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
}  // namespace zavel
