#include "session/standard_session.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "session/error_state.h"
#include "tests/session/wire_text.h"

namespace zavel {
namespace {

using testing::expectThreadError;
using testing::FakeServer;
using testing::okReply;
using testing::rec;
using testing::runCommand;
using testing::Scripted;
using testing::signOnReply;
using testing::wireText;
using S = StandardSession;

const ParamRecord kBare(kFlagScramble);  // a reply without error number or text
const std::string kSetuser = "_cmd:30=setuser id:30=alice version:30=4.10.20.1";
const std::string kSetuserPw = "_cmd:30=setuser id:30=alice pass:30=pw version:30=4.10.20.1";

TEST(StandardSession, SignOnSendsSetuserAndKeepsWhatTheServerSaid) {
  const struct {
    const char* password;  // pass goes only when there is one
    ParamRecord reply;
    const std::string& request;
    const char *path, *msg, *url;
    int32_t mode;
  } cases[] = {
      {"", rec("path:30=/home/alice;msg:30=hello;openurl:30=http://x/;mode:12=1"), kSetuser,
       "/home/alice", "hello", "http://x/", 1},
      {nullptr, okReply(), kSetuser, "", "", "", kDefaultMode},
      {"pw", okReply(), kSetuserPw, "", "", "", kDefaultMode},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    FakeServer server;
    server.answer(c.reply).start();
    StandardSession session("127.0.0.1", server.port(), "alice", c.password, 10000);
    ASSERT_TRUE(session.signOn());
    EXPECT_STREQ(session.getPath(), c.path);
    EXPECT_STREQ(session.getMessage(), c.msg);
    EXPECT_STREQ(session.getOpenUrl(), c.url);
    EXPECT_EQ(session.getMode(), c.mode);
    ASSERT_TRUE(server.waitDone());
    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(wireText(seen[0].record), c.request);
    EXPECT_TRUE(seen[0].record.scrambled());
    EXPECT_EQ(seen[0].record.bodyFormat(), kBodyTypedNetwork);
  }
  // A second sign-on keeps nothing of what the first was told.
  FakeServer server;
  server.answer(cases[0].reply).accept().answer(okReply()).start();
  StandardSession session("127.0.0.1", server.port(), "alice", "", 10000);
  ASSERT_TRUE(session.signOn() && session.signOn());
  EXPECT_EQ(std::string(session.getPath()) + session.getMessage() + session.getOpenUrl(), "");
  EXPECT_EQ(session.getMode(), kDefaultMode);
}

TEST(StandardSession, SignOnFailuresReportWhyAndAreNeverRepeated) {
  const uint16_t closed_port = FakeServer().port();  // nobody listens there once it is gone
  constexpr uint32_t kScripted = UINT32_MAX;         // the port of a server that hangs up
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
      {"127.0.0.1", kScripted, 21002, "socket error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port);
    std::unique_ptr<FakeServer> server;
    if (c.port == kScripted) {
      // Were the sign-on repeated, the second connection would be answered and succeed.
      server = std::make_unique<FakeServer>();
      server->receive().close().accept().answer(signOnReply()).start();
    }
    setLastError(0);
    setLastErrorText("");
    StandardSession session(c.host, server ? server->port() : c.port, "alice", "", 10000);
    EXPECT_FALSE(session.signOn());
    expectThreadError(c.error, c.text);
    EXPECT_TRUE(!server || server->requests().size() == 1u) << "one sign-on request";
  }
}

TEST(StandardSession, ReplyErrorsBecomeTheThreadsErrorStateUntilTheNextReply) {
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
    SCOPED_TRACE(wireText(c.reply));
    Scripted t([&](FakeServer& s) { s.answer(c.reply).answer(okReply()); });
    testing::staleThreadError();
    EXPECT_EQ(t.session->makeFolder("/x"), c.ok);
    expectThreadError(c.error, c.text);
    // The stream stays in step, and a success clears what a failure left.
    EXPECT_TRUE(t.session->deleteFile("/y", 0));
    expectThreadError(0, "");
  }
}

TEST(StandardSession, BrokenConnectionIsRenewedOnceAndTheCommandRepeated) {
  const std::vector<std::string> all = {"0 " + kSetuserPw, "1 " + kSetuserPw,
                                        "1 _cmd:30=getlength filename:30=/big"};
  const struct {
    const char* what;
    std::function<void(FakeServer&)> after_renewal;
    int64_t size;
    int32_t error;
    const char* text;
    const char* path;  // the renewed sign-on replaces the first one's
    size_t requests;   // the first of all
  } cases[] = {
      {"repeated",
       [](FakeServer& s) { s.answer(signOnReply("/second")).answer(rec("size:12=77")); }, 77, 0, "",
       "/second", 3},
      // A refused renewal: the command is not sent again.
      {"renewal refused", [](FakeServer& s) { s.answer(okReply(22004, "session limit")); }, -1,
       22004, "session limit", "/home/alice", 2},
      {"repeat breaks again", [](FakeServer& s) { s.answer(signOnReply()).receive().close(); }, -1,
       21002, "socket error", "/home/alice", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scripted t([&](FakeServer& s) { c.after_renewal(s.close().accept()); }, "pw");
    EXPECT_EQ(t.session->getFileSize("/big"), c.size);
    expectThreadError(c.error, c.text);
    EXPECT_STREQ(t.session->getPath(), c.path);
    ASSERT_TRUE(t.server.waitDone());
    std::vector<std::string> seen;
    for (const auto& r : t.server.requests())
      seen.push_back(std::to_string(r.connection) + " " + wireText(r.record));
    EXPECT_EQ(seen, std::vector<std::string>(all.begin(), all.begin() + c.requests));
    EXPECT_EQ(t.server.connectionsAccepted(), 2);
  }
}

TEST(StandardSession, SlotsThisKindDoesNotOfferSendNothingAndKeepTheText) {
  Scripted t([](FakeServer&) {});
  setLastErrorText("kept");
  EXPECT_FALSE(t.session->setFileExpireTime("/f", "2030-01-01"));
  expectThreadError(24004);
  EXPECT_FALSE(t.session->setFileDescription("/f", "notes"));
  expectThreadError(24004, "kept");
  EXPECT_TRUE(t.commands().empty());
}

// A command, the request it must send, and what it gave written as text.
struct Command {
  std::string request;
  std::function<std::string(S&)> run;
};

std::string done(bool ok) {
  return ok ? "ok" : "failed";
}

// The values as text, separated by spaces.
template <typename... T>
std::string words(const T&... values) {
  std::ostringstream out;
  ((out << values << ' '), ...);
  std::string text = out.str();
  return text.substr(0, text.size() - 1);
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

// A listing of "/" into a vector that held before.
Command listing(int32_t info_type, std::vector<FileInfoItem> before = {}) {
  return {"_cmd:30=getfileinfo infotype:12=" + std::to_string(info_type) +
              " path:30=/ recursivelevel:12=1",
          [=](S& s) {
            std::vector<FileInfoItem> items = before;
            const bool ok = s.getFileInfo("/", info_type, 1, items);
            return words(done(ok), itemsText(items));
          }};
}

// A listing reply naming num entries (none when INT32_MIN).
ParamRecord numbered(int32_t num, const std::string& entries) {
  return rec((num == INT32_MIN ? "" : "num:12=" + std::to_string(num) + ";") + entries);
}

TEST(StandardSession, EveryCommandSendsItsExactRequestAndReadsItsReply) {
  const Command quota{"_cmd:30=getquota id:30=alice", [](S& s) {
                        DiskSpaceInfo d{1, 1, 1};
                        return words(done(s.getQuota(&d)), d.block, d.free, d.total);
                      }};
  const Command folder_in{"_cmd:30=createdir basepath:30=/a", [](S& s) {
                            std::string made = "old";
                            return words(done(s.makeFolderIn("/a", made)), made);
                          }};
  const Command size{"_cmd:30=getlength filename:30=/a/f",
                     [](S& s) { return words(s.getFileSize("/a/f")); }};
  const Command block{"_cmd:30=getblocksize filename:30=/a/f",
                      [](S& s) { return words(s.getBlockSize("/a/f")); }};
  const Command times{"_cmd:30=getfiletime path:30=/a/f", [](S& s) {
                        int32_t access = -9, write = -9;
                        return words(done(s.getFileTime("/a/f", &access, &write)), access, write);
                      }};
  const Command info{"_cmd:30=getserverinfo", [](S& s) {
                       ServerInfo i;
                       memset(&i, 0x55, sizeof i);  // what is absent stays as it was
                       return words(done(s.getServerInfo(&i)), i.nCurrentNum, i.nUpNum, i.nClubNum,
                                    i.version);
                     }};
  const Command remote{"_cmd:30=remotecmd command:30=df -h getresult:12=1", [](S& s) {
                         std::string out = "stale";
                         return words(done(s.remoteCommand("df -h", out)), out);
                       }};
  auto just = [](std::string request, std::function<bool(S&)> run) {
    return Command{std::move(request), [run](S& s) { return done(run(s)); }};
  };
  const std::string kept = std::to_string(0x55555555);
  const std::string full =
      "p1:30=docs;s1:12=0;t1:12=1;d1:30=2004-05-06 07:08;p2:30=movie.avi;s2:13=3000000000;t2:12=0;"
      "d2:30=2005-01-01 00:00";
  ParamRecord binary = rec("retlen:12=99");
  binary.setBinary("result", "ab\0cd", 5);
  std::vector<FileInfoItem> used(3);
  used[0].name = "old0";
  used[0].date = "olddate";
  used[1].name = "old1";
  const struct {
    Command command;
    std::string outcome = "ok";
    ParamRecord reply = okReply();
    int32_t error = 0;
  } cases[] = {
      {quota, "ok 4096 10 300", rec("block:12=4096;free:12=10;total:30=300")},
      {quota, "ok 0 0 0"},
      {quota, "failed 1 1 1", okReply(23006, ""), 23006},
      {just("_cmd:30=getquota id:30=alice", [](S& s) { return s.getQuota(nullptr); }), "ok",
       rec("block:12=4096")},
      {just("_cmd:30=createdir fullpath:30=/a/b", [](S& s) { return s.makeFolder("/a/b"); })},
      {folder_in, "ok /a/New Folder", signOnReply("/a/New Folder")},
      {folder_in, "ok "},
      {folder_in, "failed old", okReply(23005, ""), 23005},
      {just("_cmd:30=createfile fullpath:30=/a/f", [](S& s) { return s.createFile("/a/f"); })},
      {just("_cmd:30=deletefile path:30=/a/f", [](S& s) { return s.deleteFile("/a/f", 0); })},
      {just("_cmd:30=deletefile opt:30=force path:30=/a/f",
            [](S& s) { return s.deleteFile("/a/f", 7); })},
      {just("_cmd:30=renamefile newpath:30=/a/g oldpath:30=/a/f",
            [](S& s) { return s.renameFile("/a/f", "/a/g"); })},
      {just("_cmd:30=movefile dirpath:30=/b srcpath:30=/a/f",
            [](S& s) { return s.moveFile("/a/f", "/b"); })},
      {just("_cmd:30=copyfile dirpath:30=/b srcpath:30=/a/f",
            [](S& s) { return s.copyFile("/a/f", "/b"); })},
      // Sizes are read 64 bits wide.
      {size, "2048", rec("size:12=2048")},
      {size, "2048", rec("size:30=2048")},
      {size, "3000000000", rec("size:13=3000000000")},
      {size, "3000000000", rec("size:23=3000000000")},
      {size, "3000000000", rec("size:22=3000000000")},
      {size, "5000000000", rec("size:30=5000000000")},
      {size, "-1"},
      {size, "-1", okReply(23006, "gone"), 23006},
      {block, "512", rec("size:12=512")},
      {block, "4294967295"},
      {block, "4294967295", okReply(23006, ""), 23006},
      {times, "ok -9 1234", rec("lastwritetime:12=1234")},
      {just("_cmd:30=getfiletime path:30=/a/f",
            [](S& s) { return s.getFileTime("/a/f", nullptr, nullptr); }),
       "ok", rec("lastwritetime:12=1234")},
      {just("_cmd:30=setfiletime lastaccesstime:12=-5 lastwritetime:12=1700000000 path:30=/a/f",
            [](S& s) { return s.setFileTime("/a/f", -5, 1700000000); })},
      // The version is cut to its array.
      {info, words("ok 3 5", kept, std::string(sizeof(ServerInfo::version) - 1, 'v')),
       rec("nCurrentNum:12=3;nUpNum:12=5;Version:30=" + std::string(200, 'v'))},
      {info, words("ok", kept, kept, kept, "Unknown")},
      // The result needs retlen and ends at its first NUL.
      {remote, "ok up 3 days", rec("retlen:12=3;result:30=up 3 days")},
      {remote, "ok ab", binary},
      {remote, "ok ", rec("retlen:12=0;result:30=ignored")},
      {remote, "ok ", rec("result:30=ignored")},
      {remote, "ok "},
      // Listings fill only what the reply and the info type give.
      {listing(63), "ok docs|0|1|2004-05-06 07:08,movie.avi|3000000000|0|2005-01-01 00:00",
       numbered(2, full)},
      {listing(4), "ok docs|0|0|,movie.avi|0|0|", numbered(2, full)},
      {listing(8 | 16), "ok |0|1|,|3000000000|0|", numbered(2, full)},
      {listing(63), "ok a|5|0|,b|0|0|", numbered(2, "p1:30=a;s1:12=5;p2:30=b")},
      {listing(63), "ok a|0|0|,|0|0|,|0|0|", numbered(3, "p1:30=a")},
      {listing(8), "ok |4096|0|", numbered(1, "s1:30=4096")},
      {listing(16), "ok |0|7|", numbered(1, "t1:12=7")},
      {listing(63), "ok ", numbered(0, full)},
      {listing(63), "ok ", numbered(INT32_MIN, full)},
      {listing(63), "ok ", numbered(-5, full)},
      // A used vector keeps what the reply does not replace.
      {listing(63, used), "ok old0|0|0|olddate,new1|0|0|", numbered(2, "p2:30=new1")},
      // Longer than any reply can carry.
      {listing(63, std::vector<FileInfoItem>(1)), "failed |0|0|",
       numbered(kMaxListingEntries + 1, ""), 21003},
      {just("_cmd:30=getfileinfo infotype:12=4 path:30=/a recursivelevel:12=2",
            [](S& s) {
              std::vector<FileInfoItem> items;
              return s.getFileInfoEx("/a", 4, 2, items, 99);
            })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command.request + " <- " + wireText(c.reply));
    std::string outcome;
    EXPECT_EQ(runCommand(c.reply, [&](S& s) { outcome = c.command.run(s); }), c.command.request);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(lastError(), c.error);
  }
}

}  // namespace
}  // namespace zavel
