#include "club/list_server.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/club/club_test_support.h"

namespace zavel::testing {
namespace {

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
  // Success leaves the error state as it was.
  const struct {
    std::vector<ParamRecord> replies;
    int32_t retries;
    bool ok;
    int pauses;
    int32_t error;
    const char* text;
  } cases[] = {{{listReply()}, 2, true, 0, 777, "before"},
               {{no_result}, 2, true, 0, 777, "before"},
               {{bare_failure, bare_failure}, 1, false, 1, 0, ""},
               {{listFailure(23006, "no such entry")}, 0, false, 0, 23006, "no such entry"},
               {{listFailure(23006, "busy"), listReply()}, 2, true, 1, 23006, "busy"}};
  for (const auto& c : cases) {
    zavel_SetLastError(777);
    zavel_SetLastErrStr("before");
    ScriptedListServer server;
    for (const ParamRecord& r : c.replies) server.answer(r);
    server.start();
    CountingOctaSession session(server.port(), c.retries);
    EXPECT_EQ(session.cmdDeleteFile(12), c.ok) << c.text;
    // The request goes out unchanged each time, each on a connection of its own.
    EXPECT_EQ(server.requests(),
              std::vector<std::string>(c.replies.size(), "_cmd:30=deletefile jfidx:13=12"));
    EXPECT_EQ(server.connections(), static_cast<int>(c.replies.size())) << c.text;
    EXPECT_EQ(session.pauses, c.pauses) << c.text;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.text;
    EXPECT_STREQ(zavel_GetLastErrStr(), c.text);
  }
}

// Commands the higher-level tests do not already send, with values beyond 32 bits.
TEST(ListServer, CommandsSendTheirNamesAndTypes) {
  constexpr int64_t kBig = 4294967297;
  UploadTicket t;
  t.ioption = 3;
  t.sname = "f.bin";
  t.jfsize = kBig;
  t.jtidx = 8;
  ClubEntry big;
  big.jidx = kBig;
  const struct {
    std::function<bool(OctaSession&)> call;
    const char* request;
  } cases[] = {
      {[](OctaSession& s) { return s.cmdCreateDir(kBig, "new"); },
       "_cmd:30=createdir jtidx:13=4294967297 sname:30=new"},
      {[](OctaSession& s) { return s.cmdRenameFile(kBig, "b"); },
       "_cmd:30=renamefile jfidx:13=4294967297 sname:30=b"},
      {[](OctaSession& s) { return s.cmdUploadNotify(5, kBig); },
       "_cmd:30=uploadnotify jfidx:13=5 jfsize:13=4294967297"},
      {[](OctaSession& s) { return s.cmdUploadCancel(5, true); },
       "_cmd:30=uploadend jfidx:13=5 jfsize:13=-1"},
      {[](OctaSession& s) { return s.cmdSetFileExpireTime(5, "e"); },
       "_cmd:30=setfileexpiretime jfidx:13=5 setime:30=e"},
      {[](OctaSession& s) { return s.cmdSetDirDescription(5, "d"); },
       "_cmd:30=setdirdescription jdidx:13=5 sdes:30=d"},
      {[&](OctaSession& s) { return s.cmdUploadStart(&t, "0123"); },
       "_cmd:30=uploadstart ioption:12=3 jfsize:13=4294967297 jtidx:13=8 schecksum:30=0123 "
       "sname:30=f.bin"},
      {[&](OctaSession& s) { return s.cmdGetFileInfoOpt(&big, 0x80000000u, nullptr, nullptr); },
       "_cmd:30=getfileinfoopt ioption:12=-2147483648 jfidx:13=4294967297"}};
  for (const auto& c : cases) {
    bool ok = false;
    EXPECT_EQ(sent({listReply()}, [&](OctaSession& s) { ok = c.call(s); }),
              std::vector<std::string>{c.request});
    EXPECT_TRUE(ok) << c.request;
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
  ClubEntry club;
  sent({reply}, [&](OctaSession& s) { ASSERT_TRUE(s.cmdGetClubInfo(7, &club)); });
  EXPECT_EQ(entryText(club), "0,4294967297,100,club id,20041213153005,3000000000,12,3,,,0,0,0");
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
  const char* kNothing = "1,55,0,,,0,0,0,,,0,0,0";
  const char* kAll = "3,55,44,name,,3000000000,0,0,,,0,0,0";
  const struct {
    uint32_t mask;
    bool with_location;
    const char* entry;  // the index is always read
    int32_t club;
    const char* seip;
  } cases[] = {{0, true, kNothing, 31, ""},
               {0x80 | 0x100 | 0x200 | 0x4000 | 0x10000 | 0x20000, true, kAll, 99, "10.1.1.1"},
               {0x400000 | 0x800000 | 0x1000000 | 0x20000000 | 0x80000000u, true, kAll, 99, ""},
               {0x20000, false, kNothing, 31, ""}};
  for (const auto& c : cases) {
    int32_t club = 31;
    ClubEntry e;
    ServerLocation where;
    sent({reply}, [&](OctaSession& s) {
      ASSERT_TRUE(
          s.cmdGetFileInfoFromPath(&club, "/x", c.mask, &e, c.with_location ? &where : nullptr));
    });
    EXPECT_EQ(entryText(e), c.entry) << c.mask;
    EXPECT_EQ(club, c.club) << c.mask;
    EXPECT_EQ(where.seip, c.seip) << c.mask;
  }

  // The folder request reads only the folder half of the mask, and no storage place.
  ClubEntry by_file_bits, by_folder_bits;
  by_file_bits.jidx = by_folder_bits.jidx = 55;
  sent({reply, reply}, [&](OctaSession& s) {
    ASSERT_TRUE(s.cmdGetDirInfoOpt(&by_file_bits, 0x100 | 0x4000, nullptr));
    ASSERT_TRUE(s.cmdGetDirInfoOpt(&by_folder_bits, 0x800000 | 0x20000000, nullptr));
  });
  EXPECT_EQ(entryText(by_file_bits), kNothing);
  EXPECT_EQ(entryText(by_folder_bits), "3,55,0,name,,0,0,0,,,0,0,0");
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
  std::vector<ClubEntry> list;
  sent({reply}, [&](OctaSession& s) { ASSERT_TRUE(s.cmdGetFileListOpt(77, 0, &list)); });
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(entryText(list[0]), "1,4294967297,77,file,,3000000000,0,0,,,10,4,1");
  EXPECT_EQ(entryText(list[1]), "2,8,77,folder,20041213153005,0,5,6,20051213,about,0,0,0");
  EXPECT_EQ(entryText(list[2]), "0,9,77,kindless,,0,0,0,,,0,7,0");
}

TEST(ListServer, ListingCountsThatTheReplyCannotHoldAreRefused) {
  for (int32_t count : {0, -4, 2000000000}) {
    resetErrorState();
    ParamRecord reply = listReply();
    reply.setInt32("ifilecnt", count);
    reply.setString("sname1", "only one");
    std::vector<ClubEntry> list;
    bool ok = false;
    sent({reply}, [&](OctaSession& s) { ok = s.cmdGetFileListOpt(77, 0, &list); });
    EXPECT_EQ(ok, count <= 0) << count;
    EXPECT_TRUE(list.empty()) << count;
    EXPECT_EQ(zavel_GetLastError(), count <= 0 ? 0 : 21003) << count;
  }
}

}  // namespace
}  // namespace zavel::testing
