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
  return std::move(r.i64("offsetex", 0));
}
Req onStream(const char* cmd, int64_t fp) {
  return std::move(Req(cmd).i32("fp", static_cast<int32_t>(fp)).s("filename", "f").s("mode", "r"));
}
std::string dataOf(const ParamRecord& reply) {
  std::vector<uint8_t> bytes;
  reply.getBinaryVector("data", &bytes);
  return std::string(bytes.begin(), bytes.end());
}
Req open1(const std::string& name, int32_t flags) {
  return std::move(Req("llf_open1").s("filename", name).i32("flags", flags));
}
Req paths(const char* cmd, const std::string& from, const std::string& to) {
  return std::move(Req(cmd).s("oldpath", from).s("newpath", to));
}

using Llf = SignedOnTest;

TEST_F(Llf, DescriptorsWriteReadSeekAndCloseLikePosixOnes) {
  const ParamRecord opened = client_.call(Req("llf_open2")
                                              .s("filename", "/tester/notes.txt")
                                              .i32("flags", O_CREAT | O_RDWR)
                                              .u32("mode", 0640));
  ASSERT_EQ(errorOf(opened), 0);
  const int64_t fd = numberOf(opened, "fd");
  EXPECT_EQ(number(onFd("llf_write", fd).i32("size", 5).bin("data", "hello world"), "size"), 5);
  EXPECT_EQ(number(onFd("llf_seek", fd).i64("offset", 1).i32("whence", 0), "size"), 1);
  const ParamRecord read = client_.call(onFd("llf_read", fd).i32("size", 100));
  EXPECT_EQ(numberOf(read, "size"), 4);
  EXPECT_EQ(dataOf(read), "ello");
  EXPECT_EQ(number(onFd("llf_seek", fd).i64("offset", -2).i32("whence", 2), "size"), 3);
  EXPECT_EQ(number(onFd("llf_fstat", fd), "st_size"), 5);
  EXPECT_EQ(run(onFd("llf_close", fd)), 0);
  EXPECT_EQ(run(onFd("llf_read", fd).i32("size", 1)), kErrInvalidHandle);
  EXPECT_EQ(run(onFd("llf_close", fd)), kErrInvalidHandle);
  EXPECT_EQ(readFile(disk("notes.txt")), "hello");
  EXPECT_EQ(fs::status(disk("notes.txt")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  EXPECT_EQ(run(open1("/tester/none", O_RDONLY)), kErrNotExists);
  EXPECT_EQ(run(open1("/tester/notes.txt", O_CREAT | O_EXCL | O_WRONLY)), kErrExists);
  const int64_t ro = number(open1("/tester/notes.txt", O_RDONLY), "fd");
  EXPECT_EQ(run(onFd("llf_write", ro).i32("size", 1).bin("data", "x")), kErrPermission);
}

TEST_F(Llf, DescriptorsBelongToTheirConnection) {
  writeFile(disk("shared.txt"), "abc");
  const int64_t fd = number(open1("/tester/shared.txt", O_RDONLY), "fd");
  const int64_t dir = number(Req("llf_opendir").s("path", "/tester"), "hdir");
  TestClient other(server_);
  other.signOn();
  EXPECT_EQ(errorOf(other.call(onFd("llf_read", fd).i32("size", 3))), kErrInvalidHandle);
  EXPECT_EQ(errorOf(other.call(Req("llf_readdir")
                                   .s("dirpath", "/tester")
                                   .i32("hdir", static_cast<int32_t>(dir))
                                   .i32("offset", 0))),
            kErrInvalidHandle);
  EXPECT_EQ(dataOf(client_.call(onFd("llf_read", fd).i32("size", 3))), "abc");
}

TEST_F(Llf, DirectoriesListTheirEntriesOneByOne) {
  writeFile(disk("d/b.txt"), "b");
  writeFile(disk("d/a.txt"), "a");
  fs::create_directory(disk("d/c"));
  const ParamRecord opened = client_.call(Req("llf_opendir").s("path", "/tester/d"));
  const int32_t hdir = static_cast<int32_t>(numberOf(opened, "hdir"));
  ASSERT_GT(hdir, 0);
  std::vector<std::string> names;
  int32_t offset = 0;
  for (int i = 0; i < 10; ++i) {
    const ParamRecord r = client_.call(
        Req("llf_readdir").s("dirpath", "/tester/d").i32("hdir", hdir).i32("offset", offset));
    ASSERT_EQ(errorOf(r), 0);
    if (!r.has("file")) break;
    names.push_back(textOf(r, "file"));
    offset += static_cast<int32_t>(numberOf(r, "offset"));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt", "c"}));
  EXPECT_EQ(run(Req("llf_closedir").s("dirpath", "/tester/d").i32("hdir", hdir)), 0);
  EXPECT_EQ(run(Req("llf_opendir").s("path", "/tester/d/a.txt")), kErrNotDirectory);
}

TEST_F(Llf, MetadataLinksAndNamesStayInsideTheDisk) {
  writeFile(disk("f.txt"), "12345");
  fs::create_directory(disk("sub"));
  const ParamRecord st = client_.call(Req("llf_stat").s("filename", "/tester/f.txt"));
  EXPECT_EQ(numberOf(st, "st_size"), 5);
  EXPECT_EQ(numberOf(st, "st_mode") & S_IFMT, S_IFREG);

  EXPECT_EQ(run(paths("llf_symlink", "../f.txt", "/tester/sub/link")), 0);
  EXPECT_EQ(number(Req("llf_lstat").s("filename", "/tester/sub/link"), "st_mode") & S_IFMT,
            S_IFLNK);
  EXPECT_EQ(number(Req("llf_stat").s("filename", "/tester/sub/link"), "st_size"), 5);
  EXPECT_EQ(textOf(client_.call(Req("llf_readlink").s("path", "/tester/sub/link")), "data"),
            "../f.txt");
  EXPECT_EQ(textOf(client_.call(Req("llf_realpath").s("path", "/tester/sub/link")), "realpath"),
            "/tester/f.txt");
  for (const char* target : {"../../outside", "/etc/passwd", "../sub/../../x"})
    EXPECT_EQ(run(paths("llf_symlink", target, "/tester/sub/bad")), kErrPermission) << target;
  EXPECT_FALSE(fs::is_symlink(disk("sub/bad")));

  EXPECT_EQ(run(paths("llf_link", "/tester/f.txt", "/tester/hard.txt")), 0);
  EXPECT_EQ(fs::hard_link_count(disk("f.txt")), 2u);
  EXPECT_EQ(run(paths("llf_rename", "/tester/hard.txt", "/tester/sub/moved.txt")), 0);
  EXPECT_EQ(run(Req("llf_rmdir").s("path", "/tester/sub")), kErrNotEmpty);
  EXPECT_EQ(run(Req("llf_unlink").s("path", "/tester/sub/moved.txt")), 0);
  EXPECT_EQ(run(Req("llf_unlink").s("path", "/tester/sub/link")), 0);
  EXPECT_TRUE(fs::exists(disk("f.txt")));
  EXPECT_EQ(run(Req("llf_rmdir").s("path", "/tester/sub")), 0);

  const ParamRecord old_mask = client_.call(Req("llf_umask").u32("mode", 077));
  EXPECT_EQ(numberOf(old_mask, "oldmode"), 022);
  EXPECT_EQ(run(Req("llf_mkdir").s("path", "/tester/private").u32("mode", 0777)), 0);
  EXPECT_EQ(fs::status(disk("private")).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(run(Req("llf_chmod").s("path", "/tester/f.txt").u32("mode", 04755)), 0);
  EXPECT_EQ(fs::status(disk("f.txt")).permissions() & (fs::perms::all | fs::perms::set_uid),
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(run(Req("llf_chown")
                    .s("path", "/tester/f.txt")
                    .u32("owner", 0xFFFFFFFF)
                    .u32("group", 0xFFFFFFFF)),
            0);
  EXPECT_EQ(run(Req("llf_chown")
                    .s("path", "/tester/f.txt")
                    .u32("owner", ::getuid() + 1)
                    .u32("group", 0xFFFFFFFF)),
            kErrPermission);

  const std::string tmp = textOf(client_.call(Req("llf_tmpnam")), "filename");
  EXPECT_EQ(tmp.rfind("/tester/", 0), 0u) << tmp;
  EXPECT_FALSE(fs::exists(disk(tmp.substr(8))));
}

TEST_F(Llf, StreamsKeepTheirPositionOnTheServer) {
  const int64_t fp = numberOf(
      client_.call(Req("llf_fopen").s("filename", "/tester/s.txt").s("mode", "w+b")), "fp");
  ASSERT_GT(fp, 0);
  EXPECT_EQ(number(onStream("llf_fwrite", fp).i32("size", 6).bin("data", "stream"), "size"), 6);
  EXPECT_EQ(number(onStream("llf_ftell", fp), "size"), 6);
  const ParamRecord sought =
      client_.call(onStream("llf_fseek", fp).i64("offsetex", 6).i64("offset", -3).i32("whence", 2));
  EXPECT_EQ(errorOf(sought), 0);
  EXPECT_EQ(numberOf(sought, "size"), 0);
  // The client's guess of the position ("offset") does not move the stream.
  EXPECT_EQ(dataOf(client_.call(onStream("llf_fread", fp).i64("offset", 0).u32("size", 10))),
            "eam");
  EXPECT_EQ(run(onStream("llf_fclose", fp)), 0);
  EXPECT_EQ(run(onStream("llf_ftell", fp)), kErrInvalidHandle);
  for (const char* mode : {"", "q", "rw", "r+z"})
    EXPECT_EQ(run(Req("llf_fopen").s("filename", "/tester/s.txt").s("mode", mode)),
              kErrWrongParameter)
        << mode;
  const int64_t append =
      number(Req("llf_fopen").s("filename", "/tester/s.txt").s("mode", "a"), "fp");
  client_.call(onStream("llf_fwrite", append).i32("size", 1).bin("data", "!"));
  EXPECT_EQ(readFile(disk("s.txt")), "stream!");
}

TEST(LlfQuota, WritesPastTheQuotaAreRefused) {
  DevServerFixture server({.quota_mb = 1});
  TestClient client(server);
  client.signOn();
  const int64_t fd = numberOf(client.call(open1("/tester/q.bin", O_CREAT | O_WRONLY)), "fd");
  auto write = [&](size_t size) {
    return client.run(onFd("llf_write", fd)
                          .i32("size", static_cast<int32_t>(size))
                          .bin("data", patternBytes(size)));
  };
  EXPECT_EQ(write(800 * 1024), 0);
  EXPECT_EQ(write(300 * 1024), kErrDiskFull);
  EXPECT_EQ(fs::file_size(server.diskPath() / "q.bin"), 800u * 1024);
}

}  // namespace
}  // namespace zavel::testing
