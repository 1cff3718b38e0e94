#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "api/error_state.h"
#include "tests/devserver/test_client.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

// The F parameters of a descriptor request, and those of a stream request.
Req onFd(const char* cmd, int64_t fd) {
  Req r(cmd);
  r.i32("fd", static_cast<int32_t>(fd)).s("filepath", "f").i32("flags", 0).u32("mode", 0);
  return r.i64("offsetex", 0);
}
Req onStream(const char* cmd, int64_t fp) {
  return Req(cmd).i32("fp", static_cast<int32_t>(fp)).s("filename", "f").s("mode", "r");
}
Req writing(Req request, const std::string& bytes) {
  return request.i32("size", static_cast<int32_t>(bytes.size())).bin("data", bytes);
}
std::string dataOf(const ParamRecord& reply) {
  std::vector<uint8_t> bytes;
  reply.getBinaryVector("data", &bytes);
  return std::string(bytes.begin(), bytes.end());
}
Req open1(const std::string& name, int32_t flags) {
  return Req("llf_open1").s("filename", name).i32("flags", flags);
}
Req onPath(const char* cmd, const std::string& path) {
  return Req(cmd).s("path", path);
}
Req onFile(const char* cmd, const std::string& name) {
  return Req(cmd).s("filename", name);
}
Req paths(const char* cmd, const std::string& from, const std::string& to) {
  return Req(cmd).s("oldpath", from).s("newpath", to);
}
Req readDir(const std::string& path, int64_t hdir, int32_t offset) {
  return Req("llf_readdir")
      .s("dirpath", path)
      .i32("hdir", static_cast<int32_t>(hdir))
      .i32("offset", offset);
}
fs::perms permsOf(const fs::path& p) {
  return fs::status(p).permissions() & (fs::perms::all | fs::perms::set_uid);
}

using Llf = SignedOnTest;

TEST_F(Llf, DescriptorsWriteReadSeekAndCloseLikePosixOnes) {
  const int64_t fd = number(Req("llf_open2")
                                .s("filename", "/tester/notes.txt")
                                .i32("flags", O_CREAT | O_RDWR)
                                .u32("mode", 0640),
                            "fd");
  EXPECT_EQ(number(onFd("llf_write", fd).i32("size", 5).bin("data", "hello world"), "size"), 5);
  EXPECT_EQ(number(onFd("llf_seek", fd).i64("offset", 1).i32("whence", 0), "size"), 1);
  const ParamRecord read = call(onFd("llf_read", fd).i32("size", 100));
  EXPECT_TRUE(numberOf(read, "size") == 4 && dataOf(read) == "ello");
  EXPECT_EQ(number(onFd("llf_seek", fd).i64("offset", -2).i32("whence", 2), "size"), 3);
  EXPECT_EQ(number(onFd("llf_fstat", fd), "st_size"), 5);
  steps({{onFd("llf_close", fd), 0},
         {onFd("llf_read", fd).i32("size", 1), kErrInvalidHandle},
         {onFd("llf_close", fd), kErrInvalidHandle},
         {open1("/tester/none", O_RDONLY), kErrNotExists},
         {open1("/tester/notes.txt", O_CREAT | O_EXCL | O_WRONLY), kErrExists}});
  EXPECT_EQ(readFile(disk("notes.txt")), "hello");
  EXPECT_EQ(permsOf(disk("notes.txt")),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const int64_t ro = number(open1("/tester/notes.txt", O_RDONLY), "fd");
  EXPECT_EQ(run(writing(onFd("llf_write", ro), "x")), kErrPermission);
}

TEST_F(Llf, DescriptorsBelongToTheirConnection) {
  writeFile(disk("shared.txt"), "abc");
  const int64_t fd = number(open1("/tester/shared.txt", O_RDONLY), "fd");
  const int64_t dir = number(onPath("llf_opendir", "/tester"), "hdir");
  TestClient other(server_);
  other.signOn();
  EXPECT_EQ(other.run(onFd("llf_read", fd).i32("size", 3)), kErrInvalidHandle);
  EXPECT_EQ(other.run(readDir("/tester", dir, 0)), kErrInvalidHandle);
  EXPECT_EQ(dataOf(call(onFd("llf_read", fd).i32("size", 3))), "abc");
}

TEST_F(Llf, DirectoriesListTheirEntriesOneByOne) {
  writeFile(disk("d/b.txt"), "b");
  writeFile(disk("d/a.txt"), "a");
  fs::create_directory(disk("d/c"));
  const int64_t hdir = number(onPath("llf_opendir", "/tester/d"), "hdir");
  std::vector<std::string> names;
  int32_t offset = 0;
  for (int i = 0; i < 10; ++i) {
    const ParamRecord r = call(readDir("/tester/d", hdir, offset));
    if (!r.has("file")) break;
    names.push_back(textOf(r, "file"));
    offset += static_cast<int32_t>(numberOf(r, "offset"));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt", "c"}));
  EXPECT_EQ(run(Req("llf_closedir").s("dirpath", "/tester/d").i32("hdir", hdir)), 0);
  EXPECT_EQ(run(onPath("llf_opendir", "/tester/d/a.txt")), kErrNotDirectory);
}

TEST_F(Llf, MetadataLinksAndNamesStayInsideTheDisk) {
  writeFile(disk("f.txt"), "12345");
  fs::create_directory(disk("sub"));
  EXPECT_EQ(run(paths("llf_symlink", "../f.txt", "/tester/sub/link")), 0);
  EXPECT_EQ(number(onFile("llf_stat", "/tester/f.txt"), "st_mode") & S_IFMT, S_IFREG);
  EXPECT_EQ(number(onFile("llf_lstat", "/tester/sub/link"), "st_mode") & S_IFMT, S_IFLNK);
  EXPECT_EQ(number(onFile("llf_stat", "/tester/sub/link"), "st_size"), 5);
  EXPECT_EQ(textOf(call(onPath("llf_readlink", "/tester/sub/link")), "data"), "../f.txt");
  EXPECT_EQ(textOf(call(onPath("llf_realpath", "/tester/sub/link")), "realpath"), "/tester/f.txt");
  for (const char* target : {"../../outside", "/etc/passwd", "../sub/../../x"})
    EXPECT_EQ(run(paths("llf_symlink", target, "/tester/sub/bad")), kErrPermission) << target;
  EXPECT_FALSE(fs::is_symlink(disk("sub/bad")));

  EXPECT_EQ(run(paths("llf_link", "/tester/f.txt", "/tester/hard.txt")), 0);
  EXPECT_EQ(fs::hard_link_count(disk("f.txt")), 2u);
  steps({{paths("llf_rename", "/tester/hard.txt", "/tester/sub/moved.txt"), 0},
         {onPath("llf_rmdir", "/tester/sub"), kErrNotEmpty},
         {onPath("llf_unlink", "/tester/sub/moved.txt"), 0},
         {onPath("llf_unlink", "/tester/sub/link"), 0},
         {onPath("llf_rmdir", "/tester/sub"), 0}});
  EXPECT_TRUE(fs::exists(disk("f.txt")));

  EXPECT_EQ(number(Req("llf_umask").u32("mode", 077), "oldmode"), 022);
  EXPECT_EQ(run(onPath("llf_mkdir", "/tester/private").u32("mode", 0777)), 0);
  EXPECT_EQ(permsOf(disk("private")), fs::perms::owner_all);
  EXPECT_EQ(run(onPath("llf_chmod", "/tester/f.txt").u32("mode", 04755)), 0);
  EXPECT_EQ(permsOf(disk("f.txt")), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
  auto chown = [](uint32_t owner) {
    return onPath("llf_chown", "/tester/f.txt").u32("owner", owner).u32("group", 0xFFFFFFFF);
  };
  EXPECT_EQ(run(chown(0xFFFFFFFF)), 0);
  EXPECT_EQ(run(chown(::getuid() + 1)), kErrPermission);
  const std::string tmp = textOf(call(Req("llf_tmpnam")), "filename");
  EXPECT_TRUE(tmp.rfind("/tester/", 0) == 0 && !fs::exists(disk(tmp.substr(8)))) << tmp;
}

TEST_F(Llf, StreamsKeepTheirPositionOnTheServer) {
  const int64_t fp = number(onFile("llf_fopen", "/tester/s.txt").s("mode", "w+b"), "fp");
  EXPECT_EQ(number(writing(onStream("llf_fwrite", fp), "stream"), "size"), 6);
  EXPECT_EQ(number(onStream("llf_ftell", fp), "size"), 6);
  expectFields(
      call(onStream("llf_fseek", fp).i64("offsetex", 6).i64("offset", -3).i32("whence", 2)),
      {{"error", 0}, {"size", 0}});
  // The client's guess of the position ("offset") does not move the stream.
  EXPECT_EQ(dataOf(call(onStream("llf_fread", fp).i64("offset", 0).u32("size", 10))), "eam");
  steps({{onStream("llf_fclose", fp), 0}, {onStream("llf_ftell", fp), kErrInvalidHandle}});
  for (const char* mode : {"", "q", "rw", "r+z"})
    EXPECT_EQ(run(onFile("llf_fopen", "/tester/s.txt").s("mode", mode)), kErrWrongParameter)
        << mode;
  const int64_t append = number(onFile("llf_fopen", "/tester/s.txt").s("mode", "a"), "fp");
  call(writing(onStream("llf_fwrite", append), "!"));
  EXPECT_EQ(readFile(disk("s.txt")), "stream!");
}

}  // namespace
}  // namespace zavel::testing
