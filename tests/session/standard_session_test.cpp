#include "session/standard_session.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/session/wire_text.h"
#include "tests/support/fake_server.h"

namespace zavel {
namespace {

using testing::FakeServer;
using testing::okReply;
using testing::wireText;

constexpr int32_t kTimeout = 10000;

ParamRecord signOnReply(const char* path = "/home/alice") {
  ParamRecord r = okReply();
  r.setString("path", path);
  return r;
}

void resetErrorState() {
  zavel_SetLastError(0);
  zavel_SetLastErrStr("");
}

// Signs a session on, lets the server answer one command with reply, runs the command and
// gives back the command's request as the server saw it.
std::string runCommand(const ParamRecord& reply, const std::function<void(StandardSession&)>& run,
                       const char* password = "") {
  FakeServer server;
  server.answer(signOnReply()).answer(reply).start();
  StandardSession session("127.0.0.1", server.port(), "alice", password, kTimeout);
  EXPECT_TRUE(session.signOn());
  run(session);
  EXPECT_TRUE(server.waitDone());
  const auto seen = server.requests();
  return seen.size() == 2 ? wireText(seen[1].record) : "<no command request>";
}

TEST(StandardSession, SignOnSendsSetuserAndPassOnlyWhenThereIsOne) {
  const struct {
    const char* password;
    const char* request;
  } cases[] = {
      {"", "_cmd:30=setuser id:30=alice version:30=4.10.20.1"},
      {nullptr, "_cmd:30=setuser id:30=alice version:30=4.10.20.1"},
      {"pw", "_cmd:30=setuser id:30=alice pass:30=pw version:30=4.10.20.1"},
  };
  for (const auto& c : cases) {
    FakeServer server;
    server.answer(signOnReply()).start();
    StandardSession session("127.0.0.1", server.port(), "alice", c.password, kTimeout);
    EXPECT_TRUE(session.signOn());
    ASSERT_TRUE(server.waitDone());
    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(wireText(seen[0].record), c.request);
    EXPECT_TRUE(seen[0].record.scrambled());
    EXPECT_EQ(seen[0].record.bodyFormat(), kBodyTypedNetwork);
  }
}

TEST(StandardSession, SignOnKeepsWhatTheServerSaidAndDefaultsTheRest) {
  ParamRecord full = okReply();
  full.setString("path", "/home/alice");
  full.setString("msg", "hello");
  full.setString("openurl", "http://x/");
  full.setInt32("mode", 1);
  const struct {
    ParamRecord reply;
    const char* path;
    const char* msg;
    const char* url;
    int32_t mode;
  } cases[] = {
      {full, "/home/alice", "hello", "http://x/", 1},
      {okReply(), "", "", "", kDefaultMode},
  };
  for (const auto& c : cases) {
    FakeServer server;
    server.answer(c.reply).start();
    StandardSession session("127.0.0.1", server.port(), "alice", "", kTimeout);
    ASSERT_TRUE(session.signOn());
    EXPECT_STREQ(session.getPath(), c.path);
    EXPECT_STREQ(session.getMessage(), c.msg);
    EXPECT_STREQ(session.getOpenUrl(), c.url);
    EXPECT_EQ(session.getMode(), c.mode);
  }
}

TEST(StandardSession, SignOnFailuresReportWhy) {
  uint16_t closed_port = 0;
  {
    FakeServer probe;  // a port nobody listens on once it is gone
    closed_port = probe.port();
  }
  const struct {
    const char* host;
    uint32_t port;
    int32_t error;
    const char* text;
  } cases[] = {
      {"", 9553, 24001, "ip is null string"},
      {nullptr, 9553, 24001, "ip is null string"},
      {"127.0.0.1", 0, 24001, "ip is null string"},
      {"127.0.0.1", closed_port, 21001, "connect fail.."},
  };
  for (const auto& c : cases) {
    resetErrorState();
    StandardSession session(c.host, c.port, "alice", "", kTimeout);
    EXPECT_FALSE(session.signOn());
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.port;
    EXPECT_STREQ(zavel_GetLastErrStr(), c.text);
  }
}

TEST(StandardSession, EveryCommandSendsItsExactRequest) {
  const struct {
    const char* what;
    std::function<void(StandardSession&)> run;
    const char* request;
  } cases[] = {
      {"quota", [](StandardSession& s) { s.getQuota(nullptr); }, "_cmd:30=getquota id:30=alice"},
      {"make folder", [](StandardSession& s) { s.makeFolder("/a/b"); },
       "_cmd:30=createdir fullpath:30=/a/b"},
      {"make folder in",
       [](StandardSession& s) {
         std::string made;
         s.makeFolderIn("/a", made);
       },
       "_cmd:30=createdir basepath:30=/a"},
      {"create file", [](StandardSession& s) { s.createFile("/a/f"); },
       "_cmd:30=createfile fullpath:30=/a/f"},
      {"delete", [](StandardSession& s) { s.deleteFile("/a/f", 0); },
       "_cmd:30=deletefile path:30=/a/f"},
      {"delete by force", [](StandardSession& s) { s.deleteFile("/a/f", 7); },
       "_cmd:30=deletefile opt:30=force path:30=/a/f"},
      {"rename", [](StandardSession& s) { s.renameFile("/a/f", "/a/g"); },
       "_cmd:30=renamefile newpath:30=/a/g oldpath:30=/a/f"},
      {"move", [](StandardSession& s) { s.moveFile("/a/f", "/b"); },
       "_cmd:30=movefile dirpath:30=/b srcpath:30=/a/f"},
      {"copy", [](StandardSession& s) { s.copyFile("/a/f", "/b"); },
       "_cmd:30=copyfile dirpath:30=/b srcpath:30=/a/f"},
      {"size", [](StandardSession& s) { s.getFileSize("/a/f"); },
       "_cmd:30=getlength filename:30=/a/f"},
      {"block size", [](StandardSession& s) { s.getBlockSize("/a/f"); },
       "_cmd:30=getblocksize filename:30=/a/f"},
      {"get time",
       [](StandardSession& s) {
         int32_t a = 0, w = 0;
         s.getFileTime("/a/f", &a, &w);
       },
       "_cmd:30=getfiletime path:30=/a/f"},
      {"set time", [](StandardSession& s) { s.setFileTime("/a/f", -5, 1700000000); },
       "_cmd:30=setfiletime lastaccesstime:12=-5 lastwritetime:12=1700000000 path:30=/a/f"},
      {"server info",
       [](StandardSession& s) {
         ServerInfo info{};
         s.getServerInfo(&info);
       },
       "_cmd:30=getserverinfo"},
      {"remote command",
       [](StandardSession& s) {
         std::string out;
         s.remoteCommand("df -h", out);
       },
       "_cmd:30=remotecmd command:30=df -h getresult:12=1"},
      {"listing",
       [](StandardSession& s) {
         std::vector<FileInfoItem> items;
         s.getFileInfo("/a", 63, 1, items);
       },
       "_cmd:30=getfileinfo infotype:12=63 path:30=/a recursivelevel:12=1"},
      {"listing ex",
       [](StandardSession& s) {
         std::vector<FileInfoItem> items;
         s.getFileInfoEx("/a", 4, 2, items, 99);
       },
       "_cmd:30=getfileinfo infotype:12=4 path:30=/a recursivelevel:12=2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(runCommand(okReply(), c.run), c.request) << c.what;
  }
}

TEST(StandardSession, ReplyErrorsBecomeTheThreadsErrorState) {
  auto reply = [](std::function<void(ParamRecord&)> fill) {
    ParamRecord r(kFlagScramble);
    fill(r);
    return r;
  };
  const struct {
    const char* what;
    ParamRecord reply;
    bool ok;
    int32_t error;
    const char* text;
  } cases[] = {
      {"plain error", okReply(23006, "no such file"), false, 23006, "no such file"},
      {"23010 with errno", reply([](ParamRecord& r) {
         r.setInt32("error", 23010);
         r.setInt32("errno", 24002);
         r.setString("errstr", "see errno");
       }),
       false, 24002, "see errno"},
      {"23010 without errno", reply([](ParamRecord& r) { r.setInt32("error", 23010); }), true, 0,
       ""},
      {"no error at all", reply([](ParamRecord& r) { r.setString("errstr", "fine"); }), true, 0,
       "fine"},
      {"error as text", reply([](ParamRecord& r) { r.setString("error", "23005"); }), false, 23005,
       ""},
  };
  for (const auto& c : cases) {
    zavel_SetLastError(-7);
    zavel_SetLastErrStr("stale");
    bool ok = !c.ok;
    runCommand(c.reply, [&](StandardSession& s) { ok = s.makeFolder("/x"); });
    EXPECT_EQ(ok, c.ok) << c.what;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.what;
    EXPECT_STREQ(zavel_GetLastErrStr(), c.text) << c.what;
  }
}

TEST(StandardSession, SuccessAfterAFailureClearsTheErrorState) {
  FakeServer server;
  server.answer(signOnReply()).answer(okReply(23009, "permission deny")).answer(okReply()).start();
  StandardSession session("127.0.0.1", server.port(), "alice", "", kTimeout);
  ASSERT_TRUE(session.signOn());
  EXPECT_FALSE(session.deleteFile("/x", 0));
  EXPECT_EQ(zavel_GetLastError(), 23009);
  EXPECT_TRUE(session.deleteFile("/y", 0));
  EXPECT_EQ(zavel_GetLastError(), 0);
  EXPECT_STREQ(zavel_GetLastErrStr(), "");
}

TEST(StandardSession, DroppedConnectionIsRenewedAndTheCommandRepeated) {
  ParamRecord size = okReply();
  size.setInt32("size", 77);
  FakeServer server;
  server.answer(signOnReply("/first"))
      .close()
      .accept()
      .answer(signOnReply("/second"))
      .answer(size)
      .start();
  StandardSession session("127.0.0.1", server.port(), "alice", "pw", kTimeout);
  ASSERT_TRUE(session.signOn());
  ASSERT_EQ(session.getFileSize("/big"), 77);
  ASSERT_TRUE(server.waitDone());
  const auto seen = server.requests();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].connection, 1);
  EXPECT_EQ(wireText(seen[1].record),
            "_cmd:30=setuser id:30=alice pass:30=pw version:30=4.10.20.1");
  EXPECT_EQ(seen[2].connection, 1);
  EXPECT_EQ(wireText(seen[2].record), "_cmd:30=getlength filename:30=/big");
  // The renewed sign-on replaced what the first one said.
  EXPECT_STREQ(session.getPath(), "/second");
  EXPECT_EQ(zavel_GetLastError(), 0);
}

TEST(StandardSession, RefusedRenewalFailsTheCommandWithTheRenewalsError) {
  FakeServer server;
  server.answer(signOnReply()).close().accept().answer(okReply(22004, "session limit")).start();
  StandardSession session("127.0.0.1", server.port(), "alice", "", kTimeout);
  ASSERT_TRUE(session.signOn());
  EXPECT_FALSE(session.makeFolder("/x"));
  EXPECT_EQ(zavel_GetLastError(), 22004);
  EXPECT_STREQ(zavel_GetLastErrStr(), "session limit");
  ASSERT_TRUE(server.waitDone());
  EXPECT_EQ(server.requests().size(), 2u);  // the command was not sent again
}

TEST(StandardSession, RepeatedCommandThatBreaksAgainIsASocketError) {
  FakeServer server;
  server.answer(signOnReply()).close().accept().answer(signOnReply()).receive().close().start();
  StandardSession session("127.0.0.1", server.port(), "alice", "", kTimeout);
  ASSERT_TRUE(session.signOn());
  EXPECT_FALSE(session.createFile("/x"));
  EXPECT_EQ(zavel_GetLastError(), 21002);
  EXPECT_STREQ(zavel_GetLastErrStr(), "socket error");
  ASSERT_TRUE(server.waitDone());
  EXPECT_EQ(server.connectionsAccepted(), 2);  // one renewal only
}

TEST(StandardSession, BrokenSignOnIsNeverRepeated) {
  FakeServer server;
  // Were the sign-on repeated, the second connection would be answered and succeed.
  server.receive().close().accept().answer(signOnReply()).start();
  StandardSession session("127.0.0.1", server.port(), "alice", "", kTimeout);
  EXPECT_FALSE(session.signOn());
  EXPECT_EQ(zavel_GetLastError(), 21002);
  EXPECT_STREQ(zavel_GetLastErrStr(), "socket error");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(StandardSession, SizesAreRead64BitWide) {
  auto sized = [](std::function<void(ParamRecord&)> fill) {
    ParamRecord r = okReply();
    fill(r);
    return r;
  };
  const struct {
    const char* what;
    ParamRecord reply;
    int64_t size;
  } cases[] = {
      {"int32", sized([](ParamRecord& r) { r.setInt32("size", 2048); }), 2048},
      {"text", sized([](ParamRecord& r) { r.setString("size", "2048"); }), 2048},
      {"int64 3e9", sized([](ParamRecord& r) { r.setInt64("size", 3000000000LL); }), 3000000000LL},
      {"uint64 3e9", sized([](ParamRecord& r) { r.setUInt64("size", 3000000000ULL); }),
       3000000000LL},
      {"uint32 3e9", sized([](ParamRecord& r) { r.setUInt32("size", 3000000000u); }), 3000000000LL},
      {"text 5e9", sized([](ParamRecord& r) { r.setString("size", "5000000000"); }), 5000000000LL},
      {"absent", okReply(), -1},
      {"refused", okReply(23006, "gone"), -1},
  };
  for (const auto& c : cases) {
    int64_t size = 0;
    runCommand(c.reply, [&](StandardSession& s) { size = s.getFileSize("/f"); });
    EXPECT_EQ(size, c.size) << c.what;
  }
}

TEST(StandardSession, RepliesFillTheOutputsAndAbsentValuesKeepTheirDefaults) {
  ParamRecord quota = okReply();
  quota.setInt32("block", 4096);
  quota.setInt32("free", 10);
  quota.setString("total", "300");
  DiskSpaceInfo space{1, 1, 1};
  runCommand(quota, [&](StandardSession& s) { EXPECT_TRUE(s.getQuota(&space)); });
  EXPECT_EQ(space.block, 4096u);
  EXPECT_EQ(space.free, 10u);
  EXPECT_EQ(space.total, 300u);
  runCommand(quota, [&](StandardSession& s) { EXPECT_TRUE(s.getQuota(nullptr)); });

  ParamRecord made = okReply();
  made.setString("path", "/a/New Folder");
  std::string folder = "old";
  runCommand(made, [&](StandardSession& s) { EXPECT_TRUE(s.makeFolderIn("/a", folder)); });
  EXPECT_EQ(folder, "/a/New Folder");
  runCommand(okReply(), [&](StandardSession& s) { EXPECT_TRUE(s.makeFolderIn("/a", folder)); });
  EXPECT_EQ(folder, "");

  ParamRecord block = okReply();
  block.setInt32("size", 512);
  uint32_t block_size = 0;
  runCommand(block, [&](StandardSession& s) { block_size = s.getBlockSize("/f"); });
  EXPECT_EQ(block_size, 512u);
  runCommand(okReply(), [&](StandardSession& s) { block_size = s.getBlockSize("/f"); });
  EXPECT_EQ(block_size, 0xFFFFFFFFu);
  runCommand(okReply(23006, ""), [&](StandardSession& s) { block_size = s.getBlockSize("/f"); });
  EXPECT_EQ(block_size, 0xFFFFFFFFu);

  ParamRecord times = okReply();
  times.setInt32("lastwritetime", 1234);
  int32_t access = -9, write = -9;
  runCommand(times, [&](StandardSession& s) { EXPECT_TRUE(s.getFileTime("/f", &access, &write)); });
  EXPECT_EQ(access, -9);
  EXPECT_EQ(write, 1234);
  runCommand(times,
             [&](StandardSession& s) { EXPECT_TRUE(s.getFileTime("/f", nullptr, nullptr)); });
}

TEST(StandardSession, ServerInfoFillsItsCountersAndCutsTheVersion) {
  ParamRecord info = okReply();
  info.setInt32("nCurrentNum", 3);
  info.setInt32("nUpNum", 5);
  const std::string long_version(200, 'v');
  info.setString("Version", long_version.c_str());
  ServerInfo got;
  memset(&got, 0x55, sizeof got);
  runCommand(info, [&](StandardSession& s) { EXPECT_TRUE(s.getServerInfo(&got)); });
  EXPECT_EQ(got.nCurrentNum, 3);
  EXPECT_EQ(got.nUpNum, 5);
  EXPECT_EQ(got.nClubNum, 0x55555555);  // absent: left as it was
  EXPECT_EQ(std::string(got.version), long_version.substr(0, sizeof got.version - 1));

  runCommand(okReply(), [&](StandardSession& s) { EXPECT_TRUE(s.getServerInfo(&got)); });
  EXPECT_STREQ(got.version, "Unknown");
}

TEST(StandardSession, RemoteCommandResultNeedsRetlenAndEndsAtTheFirstNul) {
  auto result = [](bool with_retlen, int32_t retlen, const std::string& bytes, bool as_binary) {
    ParamRecord r = okReply();
    if (with_retlen) r.setInt32("retlen", retlen);
    if (as_binary) {
      r.setBinary("result", bytes.data(), static_cast<uint32_t>(bytes.size()));
    } else {
      r.setString("result", bytes.c_str());
    }
    return r;
  };
  const struct {
    const char* what;
    ParamRecord reply;
    const char* text;
  } cases[] = {
      {"text", result(true, 3, "up 3 days", false), "up 3 days"},
      {"binary with NUL", result(true, 99, std::string("ab\0cd", 5), true), "ab"},
      {"retlen 0", result(true, 0, "ignored", false), ""},
      {"no retlen", result(false, 0, "ignored", false), ""},
      {"no result", okReply(), ""},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    runCommand(c.reply, [&](StandardSession& s) { EXPECT_TRUE(s.remoteCommand("uptime", out)); });
    EXPECT_EQ(out, c.text) << c.what;
  }
}

TEST(StandardSession, SlotsThisKindDoesNotOfferSendNothingAndKeepTheText) {
  FakeServer server;
  server.answer(signOnReply()).start();
  StandardSession session("127.0.0.1", server.port(), "alice", "", kTimeout);
  ASSERT_TRUE(session.signOn());
  zavel_SetLastErrStr("kept");
  EXPECT_FALSE(session.setFileExpireTime("/f", "2030-01-01"));
  EXPECT_EQ(zavel_GetLastError(), 24004);
  EXPECT_FALSE(session.setFileDescription("/f", "notes"));
  EXPECT_EQ(zavel_GetLastError(), 24004);
  EXPECT_STREQ(zavel_GetLastErrStr(), "kept");
  ASSERT_TRUE(server.waitDone());
  EXPECT_EQ(server.requests().size(), 1u);
}

// Items written as "name|size|type|date" joined by commas.
std::string itemsText(const std::vector<FileInfoItem>& items) {
  std::string out;
  for (const FileInfoItem& i : items) {
    if (!out.empty()) out += ',';
    out += i.name + '|' + std::to_string(i.size) + '|' + std::to_string(i.type) + '|' + i.date;
    EXPECT_EQ(i.detail, nullptr);
  }
  return out;
}

TEST(StandardSession, ListingsFillOnlyWhatTheReplyAndInfoTypeGive) {
  auto listing = [](int32_t num, std::function<void(ParamRecord&)> fill) {
    ParamRecord r = okReply();
    if (num != INT32_MIN) r.setInt32("num", num);
    fill(r);
    return r;
  };
  auto full = [](ParamRecord& r) {
    r.setString("p1", "docs");
    r.setInt32("s1", 0);
    r.setInt32("t1", 1);
    r.setString("d1", "2004-05-06 07:08");
    r.setString("p2", "movie.avi");
    r.setInt64("s2", 3000000000LL);
    r.setInt32("t2", 0);
    r.setString("d2", "2005-01-01 00:00");
  };
  const struct {
    const char* what;
    ParamRecord reply;
    int32_t info_type;
    const char* items;
  } cases[] = {
      {"everything", listing(2, full), 63,
       "docs|0|1|2004-05-06 07:08,movie.avi|3000000000|0|2005-01-01 00:00"},
      {"names only", listing(2, full), 4, "docs|0|0|,movie.avi|0|0|"},
      {"sizes and types", listing(2, full), 8 | 16, "|0|1|,|3000000000|0|"},
      {"missing fields",
       listing(2,
               [](ParamRecord& r) {
                 r.setString("p1", "a");
                 r.setInt32("s1", 5);
                 r.setString("p2", "b");
               }),
       63, "a|5|0|,b|0|0|"},
      {"more entries than named", listing(3, [](ParamRecord& r) { r.setString("p1", "a"); }), 63,
       "a|0|0|,|0|0|,|0|0|"},
      {"size as text", listing(1, [](ParamRecord& r) { r.setString("s1", "4096"); }), 8,
       "|4096|0|"},
      {"odd type", listing(1, [](ParamRecord& r) { r.setInt32("t1", 7); }), 16, "|0|7|"},
      {"num 0", listing(0, full), 63, ""},
      {"num absent", listing(INT32_MIN, full), 63, ""},
      {"num negative", listing(-5, full), 63, ""},
  };
  for (const auto& c : cases) {
    std::vector<FileInfoItem> items;
    bool ok = false;
    runCommand(c.reply,
               [&](StandardSession& s) { ok = s.getFileInfo("/", c.info_type, 1, items); });
    EXPECT_TRUE(ok) << c.what;
    EXPECT_EQ(itemsText(items), c.items) << c.what;
  }
}

TEST(StandardSession, ListingIntoAUsedVectorKeepsWhatTheReplyDoesNotReplace) {
  std::vector<FileInfoItem> items(3);
  items[0].name = "old0";
  items[0].date = "olddate";
  items[1].name = "old1";
  ParamRecord reply = okReply();
  reply.setInt32("num", 2);
  reply.setString("p2", "new1");
  runCommand(reply, [&](StandardSession& s) { EXPECT_TRUE(s.getFileInfo("/", 63, 1, items)); });
  EXPECT_EQ(itemsText(items), "old0|0|0|olddate,new1|0|0|");
}

TEST(StandardSession, ListingLongerThanAnyReplyCanCarryIsRefused) {
  ParamRecord reply = okReply();
  reply.setInt32("num", kMaxListingEntries + 1);
  std::vector<FileInfoItem> items(1);
  bool ok = true;
  runCommand(reply, [&](StandardSession& s) { ok = s.getFileInfo("/", 63, 1, items); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(zavel_GetLastError(), 21003);
  EXPECT_EQ(items.size(), 1u);
}

}  // namespace
}  // namespace zavel
