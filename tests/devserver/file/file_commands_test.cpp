#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "protocol/framing.h"
#include "session/error_state.h"
#include "tests/devserver/test_client.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

using FileCommands = SignedOnTest;

TEST(SignOn, AnswersWithTheDiskOrTheReasonItCannot) {
  DevServerFixture server;
  const std::tuple<const char*, const char*, int32_t, const char*> cases[] = {
      {"tester", nullptr, 0, ""},
      {"tester", "secret", 0, ""},
      {"tester", "tester-key", 0, ""},
      {"tester", "wrong", kErrWrongPasswd, "wrong passwd"},
      {"nobody", nullptr, kErrWrongId, "wrong id"},
  };
  for (const auto& [id, pass, error, errstr] : cases) {
    SCOPED_TRACE(std::string(id) + "/" + (pass ? pass : "-"));
    TestClient client(server);
    Req req("setuser");
    req.s("id", id).s("version", "4.10.20.1");
    const ParamRecord reply = client.call(pass ? req.s("pass", pass) : req);
    expectFields(reply, {{"error", error}, {"errstr", errstr}});
    if (error == 0) expectFields(reply, {{"path", "/tester"}, {"mode", 1}});
    EXPECT_TRUE(error != 0 || (reply.has("openurl") && reply.has("msg")));
  }
  // Nothing but sign-on is served before it.
  TestClient client(server);
  EXPECT_EQ(client.run(Req("createdir").s("fullpath", "/tester/x")), kErrNotAllowed);
  EXPECT_FALSE(fs::exists(server.diskPath() / "x"));
}

TEST(SignOn, ConnectionsBeyondTheLimitAreToldSoAndClosed) {
  DevServerFixture data;
  auto server = startServer(data.dataPath(), [](auto& o) { o.max_connections = 1; });
  TestClient first("127.0.0.1", server->filePort()), second("127.0.0.1", server->filePort());
  EXPECT_EQ(first.run(Req("setuser").s("id", "tester")), 0);
  EXPECT_EQ(second.run(Req("setuser").s("id", "tester")), kErrSessionLimit);
  EXPECT_EQ(errorOf(second.receive()), -1);
  EXPECT_EQ(first.run(Req("getquota")), 0) << "the first connection is untouched";
}

Req makeDir(const std::string& path) {
  return Req("createdir").s("fullpath", path);
}
Req deleting(const std::string& path, const char* opt = nullptr) {
  Req r("deletefile");
  return opt ? r.s("path", path).s("opt", opt) : r.s("path", path);
}
Req renaming(const std::string& from, const std::string& to) {
  return Req("renamefile").s("oldpath", from).s("newpath", to);
}
Req copyOrMove(const char* cmd, const std::string& from, const std::string& to) {
  return Req(cmd).s("srcpath", from).s("dirpath", to);
}
Req remote(const char* command, int32_t get) {
  return Req("remotecmd").s("command", command).i32("getresult", get);
}
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

// Every refusal of the file server on one disk: its error number and text, and the session
// goes on with nothing changed.
TEST_F(FileCommands, RefusalsAnswerWithTheirErrorAndText) {
  writeFile(disk("a/one.txt"), "one");
  writeFile(disk("a/deep/two.bin"), "two");
  writeFile(disk("b/taken.txt"), "taken");
  writeFile(disk("short"), "short");
  const int64_t ro = number(open1("/tester/short", O_RDONLY), "fd");
  ParamRecord no_command(kFlagScramble);
  no_command.setString("path", "/tester");
  const std::pair<ParamRecord, int32_t> cases[] = {
      // clang-format off
      {makeDir("/tester/a"),                                          kErrExists},
      {makeDir("/tester/none/x"),                                     kErrNotExists},
      {Req("createfile").s("fullpath", "/tester/a/one.txt"),          kErrExists},
      {deleting("/tester/a"),                                         kErrNotEmpty},
      {deleting("/tester/a", "other"),                                kErrNotEmpty},
      {deleting("/tester/none"),                                      kErrNotExists},
      {deleting("/tester", "force"),                                  kErrPermission},
      {Req("createdir").s("basepath", "/tester/short"),               kErrNotDirectory},
      {renaming("/tester/a/one.txt", "/tester/b/taken.txt"),          kErrExists},
      {renaming("/tester/a", "/tester/a/deep/a"),                     kErrPermission},
      {copyOrMove("copyfile", "/tester/b/taken.txt", "/tester/b"),    kErrExists},
      {copyOrMove("copyfile", "/tester/a", "/tester/a/deep"),         kErrPermission},
      {copyOrMove("copyfile", "/tester/a", "/tester/b/taken.txt"),    kErrNotDirectory},
      {copyOrMove("movefile", "/tester/a", "/tester/a/deep"),         kErrPermission},
      {copyOrMove("movefile", "/tester/gone", "/tester/b"),           kErrNotExists},
      {Req("getlength").s("filename", "/tester/none"),                kErrNotExists},
      {fileInfo("/tester/none", 1),                                   kErrNotExists},
      {remote("rm -rf /", 1),                                         kErrNotAllowed},
      {remote("ls /etc", 1),                                          kErrPermission},
      // Requests the server cannot read.
      {Req("nosuchcommand"),                                          kErrNotAllowed},
      {no_command,                                                    kErrWrongPacket},
      {Req("createdir"),                                              kErrWrongParameter},
      {Req("createdir").i32("fullpath", 5),                           kErrWrongParameter},
      // Descriptors, folders, links (linkTargetStaysInside holds the targets) and streams.
      {open1("/tester/none", O_RDONLY),                               kErrNotExists},
      {open1("/tester/short", O_CREAT | O_EXCL | O_WRONLY),           kErrExists},
      {writing(onFd("llf_write", ro), "x"),                           kErrPermission},
      {onFd("llf_read", 9999).i32("size", 1),                         kErrInvalidHandle},
      {onPath("llf_opendir", "/tester/short"),                        kErrNotDirectory},
      {onPath("llf_rmdir", "/tester/a"),                              kErrNotEmpty},
      {paths("llf_symlink", "../../outside", "/tester/a/bad"),        kErrPermission},
      {onPath("llf_chown", "/tester/short").u32("owner", ::getuid() + 1).u32("group", 0xFFFFFFFF),
                                                                      kErrPermission},
      {onFile("llf_fopen", "/tester/short").s("mode", ""),            kErrWrongParameter},
      {onFile("llf_fopen", "/tester/short").s("mode", "q"),           kErrWrongParameter},
      {onFile("llf_fopen", "/tester/short").s("mode", "rw"),          kErrWrongParameter},
      {onFile("llf_fopen", "/tester/short").s("mode", "r+z"),         kErrWrongParameter},
      // Transfer ranges the file cannot give are refused before any data; so is a start
      // past the end, which would leave zeros that look like data.
      {downloadReq("/tester/short", 0, 6),                            kErrWrongParameter},
      {downloadReq("/tester/short", 3, 2),                            kErrWrongParameter},
      {downloadReq("/tester/none", 0, 0),                             kErrNotExists},
      {downloadReq("/tester", 0, 0),                                  kErrRemoteFile},
      {uploadReq("/tester/short", 6, 9, 0),                           kErrWrongParameter},
      {uploadReq("/tester/new.bin", 1, 4, 1),                         kErrWrongParameter},
      {uploadReq("/tester/nofolder/x.bin", 0, 1, 0),                  kErrNotExists},
      // clang-format on
  };
  for (const auto& [request, error] : cases) {
    SCOPED_TRACE(textOf(request, "_cmd") + " " + std::to_string(error));
    expectFields(call(request), {{"error", error}, {"errstr", errorMessage(error)}});
  }
  EXPECT_EQ(run(Req("getquota")), 0);
  EXPECT_EQ(readFile(disk("short")) + readFile(disk("b/taken.txt")), "shorttaken");
  EXPECT_TRUE(fs::exists(disk("a/one.txt")) && !fs::exists(disk("new.bin")));
  EXPECT_FALSE(fs::exists(disk("a/bad")) || fs::is_symlink(disk("a/bad")));
}

TEST_F(FileCommands, FoldersAndFilesAreMadeRenamedMovedCopiedAndDeleted) {
  steps({{makeDir("/tester/문서"), 0},
         {Req("createfile").s("fullpath", "/tester/문서/메모 1.txt"), 0},
         {deleting("/tester/문서", "force"), 0},
         {deleting("/tester/문서"), kErrNotExists}});
  EXPECT_TRUE(fs::exists(disk()) && !fs::exists(disk("문서")));
  // In a base path createdir picks the next free name.
  EXPECT_EQ(textOf(call(Req("createdir").s("basepath", "/tester")), "path"), "/tester/새 폴더");
  EXPECT_EQ(textOf(call(Req("createdir").s("basepath", "/tester")), "path"), "/tester/새 폴더 (2)");
  EXPECT_TRUE(fs::is_directory(disk("새 폴더 (2)")));

  writeFile(disk("a/one.txt"), "one");
  writeFile(disk("a/deep/two.bin"), patternBytes(200000));
  fs::create_directory(disk("b"));
  steps({{renaming("/tester/a/one.txt", "/tester/a/1.txt"), 0},
         {copyOrMove("copyfile", "/tester/a", "/tester/b"), 0},
         {copyOrMove("copyfile", "/tester/a", "/tester/b"), kErrExists},
         {copyOrMove("movefile", "/tester/a/1.txt", "/tester/b"), 0}});
  EXPECT_EQ(readFile(disk("b/a/deep/two.bin")), patternBytes(200000));
  EXPECT_EQ(readFile(disk("b/a/1.txt")) + readFile(disk("b/1.txt")), "oneone");
  EXPECT_FALSE(fs::exists(disk("a/1.txt")));
}

TEST_F(FileCommands, SizesTimesAndListingsReadBackWhatTheDiskHolds) {
  writeFile(disk("사진/바다 1.jpg"), patternBytes(65536));
  writeFile(disk("사진/여름/b.jpg"), "bb");
  writeFile(disk("readme.txt"), "hello");
  EXPECT_EQ(number(Req("getlength").s("filename", "/tester/readme.txt"), "size"), 5);
  EXPECT_GT(number(Req("getblocksize").s("filename", "/tester/readme.txt"), "size"), 0);
  const Fields times = {{"lastaccesstime", 1000000000}, {"lastwritetime", 1102951805}};
  Req set("setfiletime");
  set.s("path", "/tester/readme.txt").i32("lastaccesstime", 1000000000);
  EXPECT_EQ(run(set.i32("lastwritetime", 1102951805)), 0);
  expectFields(call(Req("getfiletime").s("path", "/tester/readme.txt")), times);
  struct stat st {};
  EXPECT_TRUE(::stat(disk("readme.txt").c_str(), &st) == 0 && st.st_mtime == 1102951805);

  // A listing starts with the folder itself and honours the recursion level.
  const ParamRecord one = call(fileInfo("/tester/사진", 1));
  expectFields(one, {{"num", 3},
                     {"p1", "/tester/사진"},
                     {"t1", 1},
                     {"p2", "/tester/사진/바다 1.jpg"},
                     {"s2", 65536},
                     {"t2", 0},
                     {"p3", "/tester/사진/여름"},
                     {"t3", 1}});
  const std::regex date(R"(\d{4}-\d{2}-\d{2} (AM|PM) \d{2}:\d{2})");
  EXPECT_TRUE(std::regex_match(textOf(one, "d2"), date)) << textOf(one, "d2");
  const std::tuple<const char*, int32_t, int64_t> cases[] = {
      {"/tester", 0, 1}, {"/tester", 1, 3},  {"/tester", 2, 5},
      {"/tester", 3, 6}, {"/tester", 99, 6}, {"/tester/readme.txt", 1, 1}};
  for (const auto& [path, level, count] : cases)
    EXPECT_EQ(number(fileInfo(path, level), "num"), count) << path << " " << level;
}

class Quota : public SignedOnTest {
 protected:
  Quota() : SignedOnTest({.quota_mb = 1}) {}
};

// Every way of growing the one-megabyte disk stops at its quota.
TEST_F(Quota, ReportsKilobyteBlocksAndRefusesGrowthPastIt) {
  writeFile(disk("half.bin"), patternBytes(600 * 1024));
  expectFields(call(Req("getquota").s("id", "tester")),
               {{"block", 1024}, {"total", 1024}, {"free", 1024 - 600}});
  fs::create_directory(disk("b"));
  EXPECT_EQ(run(copyOrMove("copyfile", "/tester/half.bin", "/tester/b")), kErrDiskFull);
  EXPECT_FALSE(fs::exists(disk("b/half.bin")));

  const int64_t fd = number(
      Req("llf_open1").s("filename", "/tester/q.bin").i32("flags", O_CREAT | O_WRONLY), "fd");
  auto write = [&](int32_t kib) {
    Req r("llf_write");
    r.i32("fd", static_cast<int32_t>(fd)).i64("offsetex", 0).i32("size", kib * 1024);
    return run(r.bin("data", patternBytes(kib * 1024)));
  };
  EXPECT_EQ(write(200), 0);
  EXPECT_EQ(write(300), kErrDiskFull);
  EXPECT_EQ(fs::file_size(disk("q.bin")), 200u * 1024);

  // An upload is refused before its data; replacing a file counts only what it grows by.
  EXPECT_EQ(upload(client_, "/tester/c.bin", 0, patternBytes(400 * 1024)).opening, kErrDiskFull);
  EXPECT_FALSE(fs::exists(disk("c.bin")));
  EXPECT_EQ(upload(client_, "/tester/half.bin", 0, patternBytes(800 * 1024), 1).final, 0);
}

TEST_F(FileCommands, RemoteCommandsAnswerFromTheServerAndRunNothing) {
  expectFields(call(remote("whoami", 1)), {{"result", "tester\n"}, {"retlen", 7}});
  writeFile(disk("d/x"), "x");
  EXPECT_EQ(textOf(call(remote("ls /tester", 1)), "result"), "d/\n");
  EXPECT_EQ(number(remote("whoami", 0), "retlen"), 0);
  const ParamRecord info = call(Req("getserverinfo"));
  expectFields(info, {{"nCurrentNum", 1}, {"nMyNum", 1}});
  EXPECT_FALSE(textOf(info, "Version").empty());
}

// Every command that takes a path refuses the ways out of the disk, by name, by link and past
// a NUL (the path tests hold the other ways), and nothing outside it changes.
TEST_F(FileCommands, TraversalAttemptsAreRefusedAndTouchNothingOutside) {
  const fs::path outside = server_.dataPath() / "outside";
  writeFile(outside / "secret.txt", "secret");
  writeFile(disk("inside.txt"), "inside");
  fs::create_symlink("../../outside", disk("escape"));
  const std::string bad[] = {"/tester/../../outside/secret.txt", "/tester/escape/secret.txt",
                             std::string("/tester/inside.txt\0/../x", 24)};
  for (const std::string& path : bad) {
    const ParamRecord requests[] = {
        makeDir(path + "/new"),
        Req("createdir").s("basepath", path),
        Req("createfile").s("fullpath", path + "/new"),
        deleting(path, "force"),
        renaming(path, "/tester/got"),
        renaming("/tester/inside.txt", path + "/moved"),
        copyOrMove("copyfile", path, "/tester"),
        copyOrMove("copyfile", "/tester/inside.txt", path),
        copyOrMove("movefile", "/tester/inside.txt", path),
        Req("getlength").s("filename", path),
        Req("setfiletime").s("path", path).i32("lastwritetime", 0),
        fileInfo(path, 1),
        downloadReq(path, 0, 6),
        uploadReq(path + "/up", 0, 0, 1),
        Req("llf_open2").s("filename", path + "/llf").i32("flags", 0101).u32("mode", 0644),
        Req("llf_stat").s("filename", path)};
    for (const ParamRecord& request : requests)
      expectFields(call(request), {{"error", kErrPermission}, {"errstr", "permission deny"}});
  }
  EXPECT_EQ(readFile(outside / "secret.txt"), "secret");
  EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
  EXPECT_EQ(readFile(disk("inside.txt")), "inside");
}

TEST_F(FileCommands, MalformedRequestsGetAnErrorReplyAndTheConnectionGoesOn) {
  auto encoded = [](const ParamRecord& record) {
    std::vector<uint8_t> bytes(encodedSize(record));
    encodeMessage(record, bytes.data(), bytes.size());
    return bytes;
  };
  // A body whose entry has type code 50: framed correctly, unreadable inside.
  ParamRecord bad(0);
  bad.setInt32("x", 1);
  std::vector<uint8_t> raw = encoded(bad);
  raw[kHeaderSize + 3] = 50;
  ASSERT_TRUE(client_.sendRaw(raw.data(), raw.size()));
  EXPECT_EQ(errorOf(client_.receive()), kErrWrongPacket);
  EXPECT_EQ(run(Req("getquota")), 0);
  // A header with the wrong magic cannot be followed: the server hangs up.
  raw = encoded(Req("getquota"));
  raw[0] = 'x';
  ASSERT_TRUE(client_.sendRaw(raw.data(), raw.size()));
  EXPECT_EQ(errorOf(client_.receive()), -1);
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
         {onFd("llf_close", fd), kErrInvalidHandle}});
  EXPECT_EQ(readFile(disk("notes.txt")), "hello");
  EXPECT_EQ(permsOf(disk("notes.txt")),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
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

  EXPECT_EQ(run(paths("llf_link", "/tester/f.txt", "/tester/hard.txt")), 0);
  EXPECT_EQ(fs::hard_link_count(disk("f.txt")), 2u);
  steps({{paths("llf_rename", "/tester/hard.txt", "/tester/sub/moved.txt"), 0},
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
  EXPECT_EQ(
      run(onPath("llf_chown", "/tester/f.txt").u32("owner", 0xFFFFFFFF).u32("group", 0xFFFFFFFF)),
      0);
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
  const int64_t append = number(onFile("llf_fopen", "/tester/s.txt").s("mode", "a"), "fp");
  call(writing(onStream("llf_fwrite", append), "!"));
  EXPECT_EQ(readFile(disk("s.txt")), "stream!");
}

}  // namespace
}  // namespace zavel::testing
