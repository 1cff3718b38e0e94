#include "session/standard_session.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/session/wire_text.h"

namespace zavel {
namespace {

using testing::FakeServer;
using testing::okReply;
using testing::rec;
using testing::runCommand;
using testing::Scripted;
using testing::signOnReply;
using testing::wireText;

const ParamRecord kBare(kFlagScramble);  // a reply without error number or text

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
    Scripted t([](FakeServer&) {}, c.password);
    ASSERT_TRUE(t.server.waitDone());
    const auto seen = t.server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(wireText(seen[0].record), c.request);
    EXPECT_TRUE(seen[0].record.scrambled());
    EXPECT_EQ(seen[0].record.bodyFormat(), kBodyTypedNetwork);
  }
}

TEST(StandardSession, SignOnKeepsWhatTheServerSaidAndDefaultsTheRest) {
  const struct {
    ParamRecord reply;
    const char *path, *msg, *url;
    int32_t mode;
  } cases[] = {
      {rec("path:30=/home/alice;msg:30=hello;openurl:30=http://x/;mode:12=1"), "/home/alice",
       "hello", "http://x/", 1},
      {okReply(), "", "", "", kDefaultMode},
  };
  for (const auto& c : cases) {
    FakeServer server;
    server.answer(c.reply).start();
    StandardSession session("127.0.0.1", server.port(), "alice", "", 10000);
    ASSERT_TRUE(session.signOn());
    EXPECT_STREQ(session.getPath(), c.path);
    EXPECT_STREQ(session.getMessage(), c.msg);
    EXPECT_STREQ(session.getOpenUrl(), c.url);
    EXPECT_EQ(session.getMode(), c.mode);
  }
}

TEST(StandardSession, SignOnFailuresReportWhy) {
  uint16_t closed_port = FakeServer().port();  // nobody listens there once it is gone
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
    zavel_SetLastError(0);
    zavel_SetLastErrStr("");
    StandardSession session(c.host, c.port, "alice", "", 10000);
    EXPECT_FALSE(session.signOn());
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.port;
    EXPECT_STREQ(zavel_GetLastErrStr(), c.text);
  }
}

TEST(StandardSession, EveryCommandSendsItsExactRequest) {
  std::string text;
  std::vector<FileInfoItem> items;
  int32_t a = 0, w = 0;
  ServerInfo info{};
  const struct {
    std::function<void(StandardSession&)> run;
    const char* request;
  } cases[] = {
      {[](StandardSession& s) { s.getQuota(nullptr); }, "_cmd:30=getquota id:30=alice"},
      {[](StandardSession& s) { s.makeFolder("/a/b"); }, "_cmd:30=createdir fullpath:30=/a/b"},
      {[&](StandardSession& s) { s.makeFolderIn("/a", text); }, "_cmd:30=createdir basepath:30=/a"},
      {[](StandardSession& s) { s.createFile("/a/f"); }, "_cmd:30=createfile fullpath:30=/a/f"},
      {[](StandardSession& s) { s.deleteFile("/a/f", 0); }, "_cmd:30=deletefile path:30=/a/f"},
      {[](StandardSession& s) { s.deleteFile("/a/f", 7); },
       "_cmd:30=deletefile opt:30=force path:30=/a/f"},
      {[](StandardSession& s) { s.renameFile("/a/f", "/a/g"); },
       "_cmd:30=renamefile newpath:30=/a/g oldpath:30=/a/f"},
      {[](StandardSession& s) { s.moveFile("/a/f", "/b"); },
       "_cmd:30=movefile dirpath:30=/b srcpath:30=/a/f"},
      {[](StandardSession& s) { s.copyFile("/a/f", "/b"); },
       "_cmd:30=copyfile dirpath:30=/b srcpath:30=/a/f"},
      {[](StandardSession& s) { s.getFileSize("/a/f"); }, "_cmd:30=getlength filename:30=/a/f"},
      {[](StandardSession& s) { s.getBlockSize("/a/f"); }, "_cmd:30=getblocksize filename:30=/a/f"},
      {[&](StandardSession& s) { s.getFileTime("/a/f", &a, &w); },
       "_cmd:30=getfiletime path:30=/a/f"},
      {[](StandardSession& s) { s.setFileTime("/a/f", -5, 1700000000); },
       "_cmd:30=setfiletime lastaccesstime:12=-5 lastwritetime:12=1700000000 path:30=/a/f"},
      {[&](StandardSession& s) { s.getServerInfo(&info); }, "_cmd:30=getserverinfo"},
      {[&](StandardSession& s) { s.remoteCommand("df -h", text); },
       "_cmd:30=remotecmd command:30=df -h getresult:12=1"},
      {[&](StandardSession& s) { s.getFileInfo("/a", 63, 1, items); },
       "_cmd:30=getfileinfo infotype:12=63 path:30=/a recursivelevel:12=1"},
      {[&](StandardSession& s) { s.getFileInfoEx("/a", 4, 2, items, 99); },
       "_cmd:30=getfileinfo infotype:12=4 path:30=/a recursivelevel:12=2"},
  };
  for (const auto& c : cases) EXPECT_EQ(runCommand(okReply(), c.run), c.request);
}

TEST(StandardSession, ReplyErrorsBecomeTheThreadsErrorState) {
  const struct {
    ParamRecord reply;
    bool ok;
    int32_t error;
    const char* text;
  } cases[] = {
      {okReply(23006, "no such file"), false, 23006, "no such file"},
      {rec("error:12=23010;errno:12=24002;errstr:30=see errno", kBare), false, 24002, "see errno"},
      {rec("error:12=23010", kBare), true, 0, ""},
      {rec("errstr:30=fine", kBare), true, 0, "fine"},
      {rec("error:30=23005", kBare), false, 23005, ""},
  };
  for (const auto& c : cases) {
    zavel_SetLastError(-7);
    zavel_SetLastErrStr("stale");
    bool ok = !c.ok;
    runCommand(c.reply, [&](StandardSession& s) { ok = s.makeFolder("/x"); });
    EXPECT_EQ(ok, c.ok) << wireText(c.reply);
    EXPECT_EQ(zavel_GetLastError(), c.error) << wireText(c.reply);
    EXPECT_STREQ(zavel_GetLastErrStr(), c.text) << wireText(c.reply);
  }
}

TEST(StandardSession, SuccessAfterAFailureClearsTheErrorState) {
  Scripted t([](FakeServer& s) { s.answer(okReply(23009, "permission deny")).answer(okReply()); });
  EXPECT_FALSE(t.session->deleteFile("/x", 0));
  EXPECT_EQ(zavel_GetLastError(), 23009);
  EXPECT_TRUE(t.session->deleteFile("/y", 0));
  EXPECT_EQ(zavel_GetLastError(), 0);
  EXPECT_STREQ(zavel_GetLastErrStr(), "");
}

TEST(StandardSession, DroppedConnectionIsRenewedAndTheCommandRepeated) {
  Scripted t(
      [](FakeServer& s) {
        s.close().accept().answer(signOnReply("/second")).answer(rec("size:12=77"));
      },
      "pw");
  ASSERT_EQ(t.session->getFileSize("/big"), 77);
  ASSERT_TRUE(t.server.waitDone());
  const auto seen = t.server.requests();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].connection, 1);
  EXPECT_EQ(wireText(seen[1].record),
            "_cmd:30=setuser id:30=alice pass:30=pw version:30=4.10.20.1");
  EXPECT_EQ(seen[2].connection, 1);
  EXPECT_EQ(wireText(seen[2].record), "_cmd:30=getlength filename:30=/big");
  EXPECT_STREQ(t.session->getPath(), "/second");  // the renewed sign-on replaced the first
  EXPECT_EQ(zavel_GetLastError(), 0);
}

TEST(StandardSession, FailedRenewalOrRepeatFailsTheCommandAfterOneRenewal) {
  const struct {
    const char* what;
    std::function<void(FakeServer&)> after_renewal;
    int32_t error;
    const char* text;
    size_t requests;
  } cases[] = {
      // A refused renewal: the command is not sent again.
      {"renewal refused", [](FakeServer& s) { s.answer(okReply(22004, "session limit")); }, 22004,
       "session limit", 2},
      {"repeat breaks again", [](FakeServer& s) { s.answer(signOnReply()).receive().close(); },
       21002, "socket error", 3},
  };
  for (const auto& c : cases) {
    Scripted t([&](FakeServer& s) { c.after_renewal(s.close().accept()); });
    EXPECT_FALSE(t.session->createFile("/x")) << c.what;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.what;
    EXPECT_STREQ(zavel_GetLastErrStr(), c.text) << c.what;
    ASSERT_TRUE(t.server.waitDone());
    EXPECT_EQ(t.server.requests().size(), c.requests) << c.what;
    EXPECT_EQ(t.server.connectionsAccepted(), 2) << c.what;
  }
}

TEST(StandardSession, BrokenSignOnIsNeverRepeated) {
  FakeServer server;
  // Were the sign-on repeated, the second connection would be answered and succeed.
  server.receive().close().accept().answer(signOnReply()).start();
  StandardSession session("127.0.0.1", server.port(), "alice", "", 10000);
  EXPECT_FALSE(session.signOn());
  EXPECT_EQ(zavel_GetLastError(), 21002);
  EXPECT_STREQ(zavel_GetLastErrStr(), "socket error");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(StandardSession, SizesAreRead64BitWide) {
  const struct {
    ParamRecord reply;
    int64_t size;
  } cases[] = {
      {rec("size:12=2048"), 2048},
      {rec("size:30=2048"), 2048},
      {rec("size:13=3000000000"), 3000000000LL},
      {rec("size:23=3000000000"), 3000000000LL},
      {rec("size:22=3000000000"), 3000000000LL},
      {rec("size:30=5000000000"), 5000000000LL},
      {okReply(), -1},
      {okReply(23006, "gone"), -1},
  };
  for (const auto& c : cases) {
    int64_t size = 0;
    runCommand(c.reply, [&](StandardSession& s) { size = s.getFileSize("/f"); });
    EXPECT_EQ(size, c.size) << wireText(c.reply);
  }
}

TEST(StandardSession, RepliesFillTheOutputsAndAbsentValuesKeepTheirDefaults) {
  const ParamRecord quota = rec("block:12=4096;free:12=10;total:30=300");
  DiskSpaceInfo space{1, 1, 1};
  runCommand(quota, [&](StandardSession& s) { EXPECT_TRUE(s.getQuota(&space)); });
  EXPECT_EQ(space.block, 4096u);
  EXPECT_EQ(space.free, 10u);
  EXPECT_EQ(space.total, 300u);
  runCommand(quota, [&](StandardSession& s) { EXPECT_TRUE(s.getQuota(nullptr)); });

  std::string folder = "old";
  runCommand(signOnReply("/a/New Folder"),
             [&](StandardSession& s) { EXPECT_TRUE(s.makeFolderIn("/a", folder)); });
  EXPECT_EQ(folder, "/a/New Folder");
  runCommand(okReply(), [&](StandardSession& s) { EXPECT_TRUE(s.makeFolderIn("/a", folder)); });
  EXPECT_EQ(folder, "");

  const struct {
    ParamRecord reply;
    uint32_t size;
  } blocks[] = {
      {rec("size:12=512"), 512u}, {okReply(), 0xFFFFFFFFu}, {okReply(23006, ""), 0xFFFFFFFFu}};
  for (const auto& b : blocks) {
    uint32_t size = 0;
    runCommand(b.reply, [&](StandardSession& s) { size = s.getBlockSize("/f"); });
    EXPECT_EQ(size, b.size);
  }

  const ParamRecord times = rec("lastwritetime:12=1234");
  int32_t access = -9, write = -9;
  runCommand(times, [&](StandardSession& s) { EXPECT_TRUE(s.getFileTime("/f", &access, &write)); });
  EXPECT_EQ(access, -9);
  EXPECT_EQ(write, 1234);
  runCommand(times,
             [&](StandardSession& s) { EXPECT_TRUE(s.getFileTime("/f", nullptr, nullptr)); });
}

TEST(StandardSession, ServerInfoFillsItsCountersAndCutsTheVersion) {
  const std::string long_version(200, 'v');
  ParamRecord info = rec("nCurrentNum:12=3;nUpNum:12=5;Version:30=" + long_version);
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
  ParamRecord binary = rec("retlen:12=99");
  binary.setBinary("result", "ab\0cd", 5);
  const struct {
    ParamRecord reply;
    const char* text;
  } cases[] = {
      {rec("retlen:12=3;result:30=up 3 days"), "up 3 days"},
      {binary, "ab"},
      {rec("retlen:12=0;result:30=ignored"), ""},
      {rec("result:30=ignored"), ""},
      {okReply(), ""},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    runCommand(c.reply, [&](StandardSession& s) { EXPECT_TRUE(s.remoteCommand("uptime", out)); });
    EXPECT_EQ(out, c.text) << wireText(c.reply);
  }
}

TEST(StandardSession, SlotsThisKindDoesNotOfferSendNothingAndKeepTheText) {
  Scripted t([](FakeServer&) {});
  zavel_SetLastErrStr("kept");
  EXPECT_FALSE(t.session->setFileExpireTime("/f", "2030-01-01"));
  EXPECT_EQ(zavel_GetLastError(), 24004);
  EXPECT_FALSE(t.session->setFileDescription("/f", "notes"));
  EXPECT_EQ(zavel_GetLastError(), 24004);
  EXPECT_STREQ(zavel_GetLastErrStr(), "kept");
  EXPECT_TRUE(t.commands().empty());
}

// Items written as "name|size|type|date" joined by commas.
std::string itemsText(const std::vector<FileInfoItem>& items) {
  std::string out;
  for (const FileInfoItem& i : items) {
    out += (out.empty() ? "" : ",") + i.name + '|' + std::to_string(i.size) + '|' +
           std::to_string(i.type) + '|' + i.date;
    EXPECT_EQ(i.detail, nullptr);
  }
  return out;
}

ParamRecord listing(int32_t num, const std::string& entries) {
  return rec((num == INT32_MIN ? "" : "num:12=" + std::to_string(num) + ";") + entries);
}

TEST(StandardSession, ListingsFillOnlyWhatTheReplyAndInfoTypeGive) {
  const std::string full =
      "p1:30=docs;s1:12=0;t1:12=1;d1:30=2004-05-06 07:08;p2:30=movie.avi;s2:13=3000000000;t2:12=0;"
      "d2:30=2005-01-01 00:00";
  const struct {
    ParamRecord reply;
    int32_t info_type;
    const char* items;
  } cases[] = {
      {listing(2, full), 63, "docs|0|1|2004-05-06 07:08,movie.avi|3000000000|0|2005-01-01 00:00"},
      {listing(2, full), 4, "docs|0|0|,movie.avi|0|0|"},
      {listing(2, full), 8 | 16, "|0|1|,|3000000000|0|"},
      {listing(2, "p1:30=a;s1:12=5;p2:30=b"), 63, "a|5|0|,b|0|0|"},
      {listing(3, "p1:30=a"), 63, "a|0|0|,|0|0|,|0|0|"},
      {listing(1, "s1:30=4096"), 8, "|4096|0|"},
      {listing(1, "t1:12=7"), 16, "|0|7|"},
      {listing(0, full), 63, ""},
      {listing(INT32_MIN, full), 63, ""},
      {listing(-5, full), 63, ""},
  };
  for (const auto& c : cases) {
    std::vector<FileInfoItem> items;
    runCommand(c.reply,
               [&](StandardSession& s) { EXPECT_TRUE(s.getFileInfo("/", c.info_type, 1, items)); });
    EXPECT_EQ(itemsText(items), c.items) << wireText(c.reply);
  }
}

TEST(StandardSession, ListingIntoAUsedVectorKeepsWhatTheReplyDoesNotReplace) {
  std::vector<FileInfoItem> items(3);
  items[0].name = "old0";
  items[0].date = "olddate";
  items[1].name = "old1";
  runCommand(listing(2, "p2:30=new1"),
             [&](StandardSession& s) { EXPECT_TRUE(s.getFileInfo("/", 63, 1, items)); });
  EXPECT_EQ(itemsText(items), "old0|0|0|olddate,new1|0|0|");
}

TEST(StandardSession, ListingLongerThanAnyReplyCanCarryIsRefused) {
  std::vector<FileInfoItem> items(1);
  runCommand(listing(kMaxListingEntries + 1, ""),
             [&](StandardSession& s) { EXPECT_FALSE(s.getFileInfo("/", 63, 1, items)); });
  EXPECT_EQ(zavel_GetLastError(), 21003);
  EXPECT_EQ(items.size(), 1u);
}

}  // namespace
}  // namespace zavel
