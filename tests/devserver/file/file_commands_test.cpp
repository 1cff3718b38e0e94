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
  struct Case {
    const char* id;
    const char* pass;
    int32_t error;
    const char* errstr;
  } cases[] = {
      {"tester", nullptr, 0, ""},
      {"tester", "secret", 0, ""},
      {"tester", "tester-key", 0, ""},
      {"tester", "wrong", kErrWrongPasswd, "wrong passwd"},
      {"nobody", nullptr, kErrWrongId, "wrong id"},
  };
  for (const Case& c : cases) {
    TestClient client(server);
    Req req("setuser");
    req.s("id", c.id).s("version", "4.10.20.1");
    if (c.pass) req.s("pass", c.pass);
    const ParamRecord reply = client.call(req);
    EXPECT_EQ(errorOf(reply), c.error) << c.id << "/" << (c.pass ? c.pass : "-");
    EXPECT_EQ(textOf(reply, "errstr"), c.errstr);
    if (c.error == 0) {
      EXPECT_EQ(textOf(reply, "path"), "/tester");
      EXPECT_EQ(numberOf(reply, "mode"), 1);
      EXPECT_TRUE(reply.has("openurl") && reply.has("msg"));
    }
  }
}

TEST(SignOn, NothingButSignOnIsServedBeforeIt) {
  DevServerFixture server;
  TestClient client(server);
  EXPECT_EQ(errorOf(client.call(Req("createdir").s("fullpath", "/tester/x"))), kErrNotAllowed);
  EXPECT_FALSE(fs::exists(server.diskPath() / "x"));
}

TEST(SignOn, ConnectionsBeyondTheLimitAreToldSoAndClosed) {
  DevServerFixture data;
  devserver::DevServerOptions options;
  options.data_dir = data.dataPath();
  options.useFreePorts();
  options.max_connections = 1;
  devserver::DevServer server(options);
  std::string error;
  ASSERT_TRUE(server.start(&error)) << error;
  TestClient first("127.0.0.1", server.filePort()), second("127.0.0.1", server.filePort());
  EXPECT_EQ(first.run(Req("setuser").s("id", "tester")), 0);
  EXPECT_EQ(second.run(Req("setuser").s("id", "tester")), kErrSessionLimit);
  EXPECT_EQ(errorOf(second.receive()), -1);
  EXPECT_EQ(first.run(Req("getquota")), 0) << "the first connection is untouched";
}

TEST_F(FileCommands, FoldersAndFilesAreMadeOnceAndDeletedOnlyWhenEmptyOrForced) {
  steps({{Req("createdir").s("fullpath", "/tester/문서"), 0},
         {Req("createdir").s("fullpath", "/tester/문서"), kErrExists},
         {Req("createdir").s("fullpath", "/tester/none/x"), kErrNotExists},
         {Req("createfile").s("fullpath", "/tester/문서/메모 1.txt"), 0},
         {Req("createfile").s("fullpath", "/tester/문서/메모 1.txt"), kErrExists},
         {Req("deletefile").s("path", "/tester/문서"), kErrNotEmpty},
         {Req("deletefile").s("path", "/tester/문서").s("opt", "other"), kErrNotEmpty}});
  EXPECT_TRUE(fs::is_regular_file(disk("문서/메모 1.txt")));
  steps({{Req("deletefile").s("path", "/tester/문서").s("opt", "force"), 0},
         {Req("deletefile").s("path", "/tester/문서"), kErrNotExists},
         {Req("deletefile").s("path", "/tester").s("opt", "force"), kErrPermission}});
  EXPECT_FALSE(fs::exists(disk("문서")));
  EXPECT_TRUE(fs::exists(disk()));
}

TEST_F(FileCommands, CreateDirInABasePathPicksTheNextFreeName) {
  const ParamRecord first = client_.call(Req("createdir").s("basepath", "/tester"));
  const ParamRecord second = client_.call(Req("createdir").s("basepath", "/tester"));
  EXPECT_EQ(textOf(first, "path"), "/tester/새 폴더");
  EXPECT_EQ(textOf(second, "path"), "/tester/새 폴더 (2)");
  EXPECT_TRUE(fs::is_directory(disk("새 폴더 (2)")));
  writeFile(disk("plain"), "x");
  EXPECT_EQ(run(Req("createdir").s("basepath", "/tester/plain")), kErrNotDirectory);
}

Req renaming(const std::string& from, const std::string& to) {
  return std::move(Req("renamefile").s("oldpath", from).s("newpath", to));
}
Req copyOrMove(const char* cmd, const std::string& from, const std::string& to) {
  return std::move(Req(cmd).s("srcpath", from).s("dirpath", to));
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
  EXPECT_EQ(readFile(disk("b/a/1.txt")), "one");
  EXPECT_EQ(readFile(disk("b/1.txt")), "one");
  EXPECT_FALSE(fs::exists(disk("a/1.txt")));
}

TEST_F(FileCommands, SizesAndTimesReadBackWhatTheDiskHolds) {
  writeFile(disk("f.bin"), patternBytes(123457));
  const ParamRecord length = client_.call(Req("getlength").s("filename", "/tester/f.bin"));
  EXPECT_EQ(numberOf(length, "size"), 123457);
  EXPECT_GT(number(Req("getblocksize").s("filename", "/tester/f.bin"), "size"), 0);
  EXPECT_EQ(run(Req("getlength").s("filename", "/tester/none")), kErrNotExists);

  EXPECT_EQ(run(Req("setfiletime")
                    .s("path", "/tester/f.bin")
                    .i32("lastaccesstime", 1000000000)
                    .i32("lastwritetime", 1102951805)),
            0);
  const ParamRecord times = client_.call(Req("getfiletime").s("path", "/tester/f.bin"));
  EXPECT_EQ(numberOf(times, "lastaccesstime"), 1000000000);
  EXPECT_EQ(numberOf(times, "lastwritetime"), 1102951805);
  struct stat st {};
  ASSERT_EQ(::stat(disk("f.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1102951805);
}

TEST_F(FileCommands, ListingStartsWithTheFolderItselfAndHonoursTheRecursionLevel) {
  writeFile(disk("사진/바다 1.jpg"), patternBytes(65536));
  writeFile(disk("사진/여름/b.jpg"), "bb");
  writeFile(disk("readme.txt"), "hello");
  const std::regex date(R"(\d{4}-\d{2}-\d{2} (AM|PM) \d{2}:\d{2})");

  const ParamRecord one = client_.call(
      Req("getfileinfo").s("path", "/tester/사진").i32("infotype", 63).i32("recursivelevel", 1));
  ASSERT_EQ(numberOf(one, "num"), 3);
  EXPECT_EQ(textOf(one, "p1"), "/tester/사진");
  EXPECT_EQ(numberOf(one, "t1"), 1);
  EXPECT_EQ(textOf(one, "p2"), "/tester/사진/바다 1.jpg");
  EXPECT_EQ(numberOf(one, "s2"), 65536);
  EXPECT_EQ(numberOf(one, "t2"), 0);
  EXPECT_EQ(textOf(one, "p3"), "/tester/사진/여름");
  EXPECT_EQ(numberOf(one, "t3"), 1);
  for (const char* d : {"d1", "d2", "d3"})
    EXPECT_TRUE(std::regex_match(textOf(one, d), date)) << textOf(one, d);

  struct Case {
    const char* path;
    int32_t level;
    int64_t count;
  } cases[] = {{"/tester", 0, 1}, {"/tester", 1, 3},  {"/tester", 2, 5},
               {"/tester", 3, 6}, {"/tester", 99, 6}, {"/tester/readme.txt", 1, 1}};
  for (const Case& c : cases) {
    const ParamRecord r = client_.call(
        Req("getfileinfo").s("path", c.path).i32("infotype", 63).i32("recursivelevel", c.level));
    EXPECT_EQ(numberOf(r, "num"), c.count) << c.path << " level " << c.level;
  }
  EXPECT_EQ(run(Req("getfileinfo")
                    .s("path", "/tester/none")
                    .i32("infotype", 63)
                    .i32("recursivelevel", 1)),
            kErrNotExists);
}

TEST(Quota, ReportsKilobyteBlocksAndRefusesGrowthPastIt) {
  DevServerFixture server({.quota_mb = 1});
  TestClient client(server);
  client.signOn();
  writeFile(server.diskPath() / "half.bin", patternBytes(600 * 1024));
  const ParamRecord quota = client.call(Req("getquota").s("id", "tester"));
  EXPECT_EQ(numberOf(quota, "block"), 1024);
  EXPECT_EQ(numberOf(quota, "total"), 1024);
  EXPECT_EQ(numberOf(quota, "free"), 1024 - 600);
  fs::create_directory(server.diskPath() / "b");
  EXPECT_EQ(client.run(copyOrMove("copyfile", "/tester/half.bin", "/tester/b")), kErrDiskFull);
  EXPECT_FALSE(fs::exists(server.diskPath() / "b/half.bin"));
}

TEST_F(FileCommands, RemoteCommandsAnswerFromTheServerAndRunNothing) {
  const ParamRecord who = client_.call(Req("remotecmd").s("command", "whoami").i32("getresult", 1));
  EXPECT_EQ(textOf(who, "result"), "tester\n");
  EXPECT_EQ(numberOf(who, "retlen"), 7);
  writeFile(disk("d/x"), "x");
  EXPECT_EQ(textOf(client_.call(Req("remotecmd").s("command", "ls /tester").i32("getresult", 1)),
                   "result"),
            "d/\n");
  const ParamRecord quiet =
      client_.call(Req("remotecmd").s("command", "whoami").i32("getresult", 0));
  EXPECT_EQ(numberOf(quiet, "retlen"), 0);
  EXPECT_EQ(run(Req("remotecmd").s("command", "rm -rf /").i32("getresult", 1)), kErrNotAllowed);
  EXPECT_EQ(run(Req("remotecmd").s("command", "ls /etc").i32("getresult", 1)), kErrPermission);

  const ParamRecord info = client_.call(Req("getserverinfo"));
  EXPECT_EQ(numberOf(info, "nCurrentNum"), 1);
  EXPECT_EQ(numberOf(info, "nMyNum"), 1);
  EXPECT_FALSE(textOf(info, "Version").empty());
}

// Every command that takes a path refuses the ways out of the disk, and nothing outside
// it changes.
TEST_F(FileCommands, TraversalAttemptsAreRefusedAndTouchNothingOutside) {
  const fs::path outside = server_.dataPath() / "outside";
  writeFile(outside / "secret.txt", "secret");
  writeFile(disk("inside.txt"), "inside");
  fs::create_symlink("../../outside", disk("escape"));
  fs::create_symlink(outside, disk("absolute"));
  const std::string bad[] = {
      "/tester/../../outside/secret.txt",
      "/tester/..",
      "../outside/secret.txt",
      "/tmp",
      "/tester/escape/secret.txt",
      "/tester/absolute/secret.txt",
      "/tester\\..\\..\\outside",
      std::string("/tester/inside.txt\0/../x", 24),
      "/tester/" + std::string(300, 'x'),
  };
  for (const std::string& path : bad) {
    const std::vector<ParamRecord> requests = {
        Req("createdir").s("fullpath", path + "/new"),
        Req("createdir").s("basepath", path),
        Req("createfile").s("fullpath", path + "/new"),
        Req("deletefile").s("path", path).s("opt", "force"),
        Req("renamefile").s("oldpath", path).s("newpath", "/tester/got"),
        Req("renamefile").s("oldpath", "/tester/inside.txt").s("newpath", path + "/moved"),
        Req("copyfile").s("srcpath", path).s("dirpath", "/tester"),
        Req("copyfile").s("srcpath", "/tester/inside.txt").s("dirpath", path),
        Req("movefile").s("srcpath", "/tester/inside.txt").s("dirpath", path),
        Req("getlength").s("filename", path),
        Req("setfiletime").s("path", path).i32("lastwritetime", 0),
        Req("getfileinfo").s("path", path).i32("infotype", 63).i32("recursivelevel", 1),
        Req("download").s("path", path).u64("startpos", 0).u64("endpos", 6),
        Req("upload").s("path", path + "/up").u64("startpos", 0).u64("endpos", 0).i32("istrunc", 1),
        Req("llf_open2").s("filename", path + "/llf").i32("flags", 0101).u32("mode", 0644),
        Req("llf_stat").s("filename", path),
    };
    for (const ParamRecord& request : requests) {
      const ParamRecord reply = client_.call(request);
      const char* cmd = "";
      request.getString("_cmd", &cmd);
      EXPECT_EQ(errorOf(reply), kErrPermission) << cmd << " " << path;
      EXPECT_EQ(textOf(reply, "errstr"), "permission deny");
    }
  }
  EXPECT_EQ(readFile(outside / "secret.txt"), "secret");
  EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
  EXPECT_EQ(readFile(disk("inside.txt")), "inside");
}

TEST_F(FileCommands, MalformedRequestsGetAnErrorReplyAndTheConnectionGoesOn) {
  // A body whose entry has type code 50: framed correctly, unreadable inside.
  ParamRecord good(kFlagScramble);
  good.setString("_cmd", "getquota");
  std::vector<uint8_t> message(encodedSize(good));
  encodeMessage(good, message.data(), message.size());
  ParamRecord bad(0);
  bad.setInt32("x", 1);
  std::vector<uint8_t> raw(encodedSize(bad));
  encodeMessage(bad, raw.data(), raw.size());
  raw[kHeaderSize + 3] = 50;
  ASSERT_TRUE(client_.sendRaw(raw.data(), raw.size()));
  EXPECT_EQ(errorOf(client_.receive()), kErrWrongPacket);

  EXPECT_EQ(run(Req("nosuchcommand")), kErrNotAllowed);
  ParamRecord no_command(kFlagScramble);
  no_command.setString("path", "/tester");
  EXPECT_EQ(run(no_command), kErrWrongPacket);
  EXPECT_EQ(run(Req("createdir")), kErrWrongParameter);
  EXPECT_EQ(run(Req("createdir").i32("fullpath", 5)), kErrWrongParameter);
  EXPECT_EQ(run(Req("getquota")), 0);

  // A header with the wrong magic cannot be followed: the server hangs up.
  message[0] = 'x';
  ASSERT_TRUE(client_.sendRaw(message.data(), message.size()));
  EXPECT_EQ(errorOf(client_.receive()), -1);
}

}  // namespace
}  // namespace zavel::testing
