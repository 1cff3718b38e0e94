#include "club/list_server.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/club/club_test_support.h"

namespace zavel {
namespace {

using testing::closedPort;
using testing::CountingOctaSession;
using testing::listFailure;
using testing::listReply;
using testing::resetErrorState;
using testing::ScriptedListServer;

TEST(ListServer, ADownServerIsTriedRetryCountPlusOneTimesWithPausesBetween) {
  const uint16_t port = closedPort();
  for (int32_t retries : {0, 2}) {
    resetErrorState();
    CountingOctaSession session(port, retries);
    EXPECT_FALSE(session.cmdDeleteFile(12));
    EXPECT_EQ(session.pauses, retries);
    EXPECT_EQ(zavel_GetLastError(), 21001);
    EXPECT_STREQ(zavel_GetLastErrStr(), "ZavelListSvr Connect Error");
  }
}

TEST(ListServer, ResultDecidesAndFailuresAreRetriedLikeTransportFailures) {
  ParamRecord no_result(kFlagScramble);
  ParamRecord bare_failure(kFlagScramble);
  bare_failure.setInt32("result", 1);
  const struct {
    const char* what;
    std::vector<ParamRecord> replies;
    int32_t retries;
    bool ok;
    int pauses;
    int32_t error;
    const char* text;
  } cases[] = {
      // Success leaves the error state as it was.
      {"result 0", {listReply()}, 2, true, 0, 777, "before"},
      {"no result", {no_result}, 2, true, 0, 777, "before"},
      {"result 1 alone", {bare_failure, bare_failure}, 1, false, 1, 0, ""},
      {"server error", {listFailure(23006, "no such entry")}, 0, false, 0, 23006, "no such entry"},
      {"second attempt", {listFailure(23006, "busy"), listReply()}, 2, true, 1, 23006, "busy"},
  };
  for (const auto& c : cases) {
    zavel_SetLastError(777);
    zavel_SetLastErrStr("before");
    ScriptedListServer server;
    for (const ParamRecord& r : c.replies) server.answer(r);
    server.start();
    CountingOctaSession session(server.port(), c.retries);
    EXPECT_EQ(session.cmdDeleteFile(12), c.ok) << c.what;
    const auto seen = server.requests();
    EXPECT_EQ(seen.size(), c.replies.size()) << c.what;
    // The request goes out unchanged each time, each on a connection of its own.
    for (const std::string& line : seen) EXPECT_EQ(line, "_cmd:30=deletefile jfidx:13=12");
    EXPECT_EQ(server.connections(), static_cast<int>(c.replies.size())) << c.what;
    EXPECT_EQ(session.pauses, c.pauses) << c.what;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.what;
    EXPECT_STREQ(zavel_GetLastErrStr(), c.text) << c.what;
  }
}

TEST(ListServer, EveryCommandSendsItsNamesAndTypes) {
  constexpr int64_t kBig = 4294967297;  // beyond 32 bits
  const struct {
    std::function<bool(OctaSession&)> call;
    const char* request;
  } cases[] = {
      {[](OctaSession& s) { return s.cmdGetClubInfo(7, nullptr); },
       "_cmd:30=getclubinfo iclubno:12=7"},
      {[](OctaSession& s) { return s.cmdCreateDir(kBig, "new"); },
       "_cmd:30=createdir jtidx:13=4294967297 sname:30=new"},
      {[](OctaSession& s) { return s.cmdRenameFile(kBig, "b"); },
       "_cmd:30=renamefile jfidx:13=4294967297 sname:30=b"},
      {[](OctaSession& s) { return s.cmdRenameDir(5, "d"); },
       "_cmd:30=renamedir jdidx:13=5 sname:30=d"},
      {[](OctaSession& s) { return s.cmdMoveFile(5, 6); },
       "_cmd:30=movefile jfidx:13=5 jtidx:13=6"},
      {[](OctaSession& s) { return s.cmdMoveDir(5, 6); }, "_cmd:30=movedir jdidx:13=5 jtidx:13=6"},
      {[](OctaSession& s) { return s.cmdDeleteDir(kBig); },
       "_cmd:30=deletedir jdidx:13=4294967297"},
      {[](OctaSession& s) { return s.cmdCopyFile(5, 6, true, nullptr); },
       "_cmd:30=copyfile ioption:12=1 jfidx:13=5 jtidx:13=6"},
      {[](OctaSession& s) { return s.cmdUploadMkdirEnd(9); },
       "_cmd:30=uploadmkdirend jpathidx:13=9"},
      {[](OctaSession& s) { return s.cmdUploadNotify(5, kBig); },
       "_cmd:30=uploadnotify jfidx:13=5 jfsize:13=4294967297"},
      {[](OctaSession& s) { return s.cmdUploadEnd(5, 100, "abc"); },
       "_cmd:30=uploadend checksum:30=abc jfidx:13=5 jfsize:13=100"},
      {[](OctaSession& s) { return s.cmdUploadCancel(5, true); },
       "_cmd:30=uploadend jfidx:13=5 jfsize:13=-1"},
      {[](OctaSession& s) { return s.cmdSetFileTime(5, "20041213153005"); },
       "_cmd:30=setfiletime jfidx:13=5 stime:30=20041213153005"},
      {[](OctaSession& s) { return s.cmdSetFileExpireTime(5, "e"); },
       "_cmd:30=setfileexpiretime jfidx:13=5 setime:30=e"},
      {[](OctaSession& s) { return s.cmdSetFileDescription(5, "d"); },
       "_cmd:30=setfiledescription jfidx:13=5 sdes:30=d"},
      {[](OctaSession& s) { return s.cmdSetDirExpireTime(5, "e"); },
       "_cmd:30=setdirexpiretime jdidx:13=5 setime:30=e"},
      {[](OctaSession& s) { return s.cmdSetDirDescription(5, "d"); },
       "_cmd:30=setdirdescription jdidx:13=5 sdes:30=d"},
      {[](OctaSession& s) {
         UploadTicket t;
         t.ioption = 3;
         t.sname = "f.bin";
         t.jfsize = kBig;
         t.jtidx = 8;
         return s.cmdUploadStart(&t, "0123");
       },
       "_cmd:30=uploadstart ioption:12=3 jfsize:13=4294967297 jtidx:13=8 schecksum:30=0123 "
       "sname:30=f.bin"},
      {[](OctaSession& s) {
         int32_t club = 31;
         ClubEntry e;
         return s.cmdGetFileInfoFromPath(&club, "/a/b", 0x4040, &e, nullptr);
       },
       "_cmd:30=getfileinfofrompath iclubno:12=31 ioption:12=16448 spath:30=/a/b"},
      {[](OctaSession& s) {
         ClubEntry e;
         e.jidx = kBig;
         return s.cmdGetFileInfoOpt(&e, 0x80000000u, nullptr, nullptr);
       },
       "_cmd:30=getfileinfoopt ioption:12=-2147483648 jfidx:13=4294967297"},
      {[](OctaSession& s) {
         ClubEntry e;
         e.jidx = 77;
         return s.cmdGetDirInfoOpt(&e, 0x200000, nullptr);
       },
       "_cmd:30=getdirinfoopt ioption:12=2097152 jdidx:13=77"},
      {[](OctaSession& s) {
         std::vector<ClubEntry> list;
         return s.cmdGetFileListOpt(77, 0x20204040, &list);
       },
       "_cmd:30=getfilelistopt ioption:12=538984512 jdidx:13=77"},
  };
  for (const auto& c : cases) {
    ScriptedListServer server;
    server.answer(listReply()).start();
    CountingOctaSession session(server.port());
    EXPECT_TRUE(c.call(session)) << c.request;
    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 1u) << c.request;
    EXPECT_EQ(seen[0], c.request);
  }
}

TEST(ListServer, ClubInfoAndSizesBeyond32BitsArriveWhole) {
  ParamRecord reply = listReply();
  reply.setInt64("jdidx", 4294967297);
  reply.setInt32("iquota", 100);
  reply.setString("sid", "club id");
  reply.setString("stime", "20041213153005");
  reply.setInt64("jsize", 3000000000);
  reply.setInt64("jfilenum", 12);
  reply.setInt64("jdirnum", 3);
  ScriptedListServer server;
  server.answer(reply).start();
  CountingOctaSession session(server.port());
  ClubEntry club;
  ASSERT_TRUE(session.cmdGetClubInfo(testing::kTestClub, &club));
  EXPECT_EQ(club.itype, 0);
  EXPECT_EQ(club.jidx, 4294967297);
  EXPECT_EQ(club.jpidx, 100);
  EXPECT_EQ(club.sname, "club id");
  EXPECT_EQ(club.stime, "20041213153005");
  EXPECT_EQ(club.jsize, 3000000000);
  EXPECT_EQ(club.jfilenum, 12);
  EXPECT_EQ(club.jdirnum, 3);
}

TEST(ListServer, InfoRepliesAreReadByMask) {
  ParamRecord reply = listReply();
  reply.setInt64("jidx", 55);
  reply.setInt64("jpidx", 44);
  reply.setString("sname", "name");
  reply.setInt64("jsize", 3000000000);
  reply.setInt32("itype", 3);
  reply.setInt32("iclubno", 99);
  reply.setString("seip", "10.1.1.1");
  reply.setString("spath", "/octa/b1/55");
  reply.setString("suserid", "octa");
  const struct {
    const char* what;
    uint32_t mask;
    bool with_location;
    int64_t jpidx;
    const char* sname;
    int64_t jsize;
    int32_t itype;
    int32_t club;
    const char* seip;
  } cases[] = {
      {"nothing asked", 0, true, 0, "", 0, 1, 31, ""},
      {"file bits", 0x80 | 0x100 | 0x200 | 0x4000 | 0x10000 | 0x20000, true, 44, "name", 3000000000,
       3, 99, "10.1.1.1"},
      {"folder bits", 0x400000 | 0x800000 | 0x1000000 | 0x20000000 | 0x80000000u, true, 44, "name",
       3000000000, 3, 99, ""},
      {"no location asked for", 0x20000, false, 0, "", 0, 1, 31, ""},
  };
  for (const auto& c : cases) {
    ScriptedListServer server;
    server.answer(reply).start();
    CountingOctaSession session(server.port());
    int32_t club = 31;
    ClubEntry e;
    ServerLocation where;
    ASSERT_TRUE(
        session.cmdGetFileInfoFromPath(&club, "/x", c.mask, &e, c.with_location ? &where : nullptr))
        << c.what;
    EXPECT_EQ(e.jidx, 55) << c.what;  // always read
    EXPECT_EQ(e.jpidx, c.jpidx) << c.what;
    EXPECT_EQ(e.sname, c.sname) << c.what;
    EXPECT_EQ(e.jsize, c.jsize) << c.what;
    EXPECT_EQ(e.itype, c.itype) << c.what;
    EXPECT_EQ(club, c.club) << c.what;
    EXPECT_EQ(where.seip, c.seip) << c.what;
  }

  // The folder request reads only the folder half of the mask, and no storage place.
  ScriptedListServer server;
  server.answer(reply).answer(reply).start();
  CountingOctaSession session(server.port());
  ClubEntry by_file_bits;
  by_file_bits.jidx = 55;
  ASSERT_TRUE(session.cmdGetDirInfoOpt(&by_file_bits, 0x100 | 0x4000, nullptr));
  EXPECT_EQ(by_file_bits.sname, "");
  EXPECT_EQ(by_file_bits.itype, 1);
  ClubEntry by_folder_bits;
  by_folder_bits.jidx = 55;
  ASSERT_TRUE(session.cmdGetDirInfoOpt(&by_folder_bits, 0x800000 | 0x20000000, nullptr));
  EXPECT_EQ(by_folder_bits.sname, "name");
  EXPECT_EQ(by_folder_bits.itype, 3);
}

TEST(ListServer, ListingsKeepReplyOrderAndReadFieldsByKind) {
  ParamRecord reply = listReply();
  reply.setInt32("ifilecnt", 3);
  reply.setInt64("jidx1", 4294967297);
  reply.setString("sname1", "file");
  reply.setInt32("itype1", 1);
  reply.setInt64("jsize1", 3000000000);
  reply.setInt64("jtsize1", 10);
  reply.setInt64("jdown1", 4);
  reply.setInt32("icopy1", 1);
  reply.setInt64("jfilenum1", 99);  // not a file's field
  reply.setInt64("jidx2", 8);
  reply.setString("sname2", "folder");
  reply.setInt32("itype2", 2);
  reply.setInt64("jfilenum2", 5);
  reply.setInt64("jdirnum2", 6);
  reply.setInt64("jtsize2", 99);  // not a folder's field
  reply.setString("sdes2", "about");
  reply.setString("stime2", "20041213153005");
  reply.setString("setime2", "20051213");
  // No kind: taken as 0, with the file fields read.
  reply.setInt64("jidx3", 9);
  reply.setString("sname3", "kindless");
  reply.setInt64("jdown3", 7);

  ScriptedListServer server;
  server.answer(reply).start();
  CountingOctaSession session(server.port());
  std::vector<ClubEntry> list;
  ASSERT_TRUE(session.cmdGetFileListOpt(77, 0, &list));
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].jidx, 4294967297);
  EXPECT_EQ(list[0].jpidx, 77);
  EXPECT_EQ(list[0].sname, "file");
  EXPECT_EQ(list[0].jsize, 3000000000);
  EXPECT_EQ(list[0].jtsize, 10);
  EXPECT_EQ(list[0].jdown, 4);
  EXPECT_EQ(list[0].icopy, 1);
  EXPECT_EQ(list[0].jfilenum, 0);
  EXPECT_EQ(list[1].sname, "folder");
  EXPECT_EQ(list[1].jfilenum, 5);
  EXPECT_EQ(list[1].jdirnum, 6);
  EXPECT_EQ(list[1].jtsize, 0);
  EXPECT_EQ(list[1].sdes, "about");
  EXPECT_EQ(list[1].stime, "20041213153005");
  EXPECT_EQ(list[1].setime, "20051213");
  EXPECT_EQ(list[2].itype, 0);
  EXPECT_EQ(list[2].jdown, 7);
}

TEST(ListServer, ListingCountsThatTheReplyCannotHoldAreRefused) {
  ParamRecord empty = listReply();
  empty.setInt32("ifilecnt", 0);
  ParamRecord negative = listReply();
  negative.setInt32("ifilecnt", -4);
  ParamRecord inflated = listReply();
  inflated.setInt32("ifilecnt", 2000000000);
  inflated.setString("sname1", "only one");
  const struct {
    const char* what;
    ParamRecord reply;
    bool ok;
  } cases[] = {
      {"none", empty, true},
      {"negative", negative, true},
      {"more than it carries", inflated, false},
  };
  for (const auto& c : cases) {
    resetErrorState();
    ScriptedListServer server;
    server.answer(c.reply).start();
    CountingOctaSession session(server.port());
    std::vector<ClubEntry> list;
    EXPECT_EQ(session.cmdGetFileListOpt(77, 0, &list), c.ok) << c.what;
    EXPECT_TRUE(list.empty()) << c.what;
    if (!c.ok) {
      EXPECT_EQ(zavel_GetLastError(), 21003) << c.what;
    }
  }
}

}  // namespace
}  // namespace zavel
