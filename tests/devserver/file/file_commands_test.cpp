#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "api/error_state.h"
#include "protocol/framing.h"
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

TEST_F(FileCommands, FoldersAndFilesAreMadeOnceAndDeletedOnlyWhenEmptyOrForced) {
  steps({{makeDir("/tester/문서"), 0},
         {makeDir("/tester/문서"), kErrExists},
         {makeDir("/tester/none/x"), kErrNotExists},
         {Req("createfile").s("fullpath", "/tester/문서/메모 1.txt"), 0},
         {Req("createfile").s("fullpath", "/tester/문서/메모 1.txt"), kErrExists},
         {deleting("/tester/문서"), kErrNotEmpty},
         {deleting("/tester/문서", "other"), kErrNotEmpty},
         {deleting("/tester/문서", "force"), 0},
         {deleting("/tester/문서"), kErrNotExists},
         {deleting("/tester", "force"), kErrPermission}});
  EXPECT_TRUE(fs::exists(disk()) && !fs::exists(disk("문서")));
  // In a base path createdir picks the next free name.
  EXPECT_EQ(textOf(call(Req("createdir").s("basepath", "/tester")), "path"), "/tester/새 폴더");
  EXPECT_EQ(textOf(call(Req("createdir").s("basepath", "/tester")), "path"), "/tester/새 폴더 (2)");
  EXPECT_TRUE(fs::is_directory(disk("새 폴더 (2)")));
  writeFile(disk("plain"), "x");
  EXPECT_EQ(run(Req("createdir").s("basepath", "/tester/plain")), kErrNotDirectory);
}

TEST_F(FileCommands, RenameMoveAndCopyNeverReplaceAndNeverNestAFolderInItself) {
  writeFile(disk("a/one.txt"), "one");
  writeFile(disk("a/deep/two.bin"), patternBytes(200000));
  writeFile(disk("b/taken.txt"), "taken");
  steps({{renaming("/tester/a/one.txt", "/tester/b/taken.txt"), kErrExists},
         {renaming("/tester/a/one.txt", "/tester/a/1.txt"), 0},
         {renaming("/tester/a", "/tester/a/deep/a"), kErrPermission},
         {copyOrMove("copyfile", "/tester/a", "/tester/b"), 0},
         {copyOrMove("copyfile", "/tester/a", "/tester/b"), kErrExists},
         {copyOrMove("copyfile", "/tester/a", "/tester/a/deep"), kErrPermission},
         {copyOrMove("copyfile", "/tester/a", "/tester/b/taken.txt"), kErrNotDirectory},
         {copyOrMove("movefile", "/tester/a/1.txt", "/tester/b"), 0},
         {copyOrMove("movefile", "/tester/a", "/tester/a/deep"), kErrPermission},
         {copyOrMove("movefile", "/tester/gone", "/tester/b"), kErrNotExists}});
  EXPECT_EQ(readFile(disk("b/taken.txt")), "taken");
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
  EXPECT_EQ(run(Req("getlength").s("filename", "/tester/none")), kErrNotExists);
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
  EXPECT_EQ(run(fileInfo("/tester/none", 1)), kErrNotExists);
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
  auto remote = [](const char* command, int32_t get) {
    return Req("remotecmd").s("command", command).i32("getresult", get);
  };
  expectFields(call(remote("whoami", 1)), {{"result", "tester\n"}, {"retlen", 7}});
  writeFile(disk("d/x"), "x");
  EXPECT_EQ(textOf(call(remote("ls /tester", 1)), "result"), "d/\n");
  EXPECT_EQ(number(remote("whoami", 0), "retlen"), 0);
  EXPECT_EQ(run(remote("rm -rf /", 1)), kErrNotAllowed);
  EXPECT_EQ(run(remote("ls /etc", 1)), kErrPermission);
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
  const std::string bad[] = {"/tester/../../outside/secret.txt", "/tester/..",
                             "../outside/secret.txt", "/tester/escape/secret.txt",
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
  ParamRecord no_command(kFlagScramble);
  no_command.setString("path", "/tester");
  steps({{Req("nosuchcommand"), kErrNotAllowed},
         {no_command, kErrWrongPacket},
         {Req("createdir"), kErrWrongParameter},
         {Req("createdir").i32("fullpath", 5), kErrWrongParameter},
         {Req("getquota"), 0}});
  // A header with the wrong magic cannot be followed: the server hangs up.
  raw = encoded(Req("getquota"));
  raw[0] = 'x';
  ASSERT_TRUE(client_.sendRaw(raw.data(), raw.size()));
  EXPECT_EQ(errorOf(client_.receive()), -1);
}

}  // namespace
}  // namespace zavel::testing
