#include "club/list_server.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
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
  const ParamRecord no_result(kFlagScramble), bare_failure = rec("result:12=1", no_result);
  const std::optional<ParamRecord> hang_up;
  const char* kRecv = "ZavelListSvr RecvPacket Error";
  // Success leaves the error state as it was; a hang-up is a reply that never came.
  // clang-format off
  const struct { std::vector<std::optional<ParamRecord>> replies; int32_t retries; bool ok;
                 int pauses; int32_t error; const char* text; } cases[] = {
      {{listReply()},                                  2, true,  0, 777,   "before"},
      {{no_result},                                    2, true,  0, 777,   "before"},
      {{bare_failure, bare_failure},                   1, false, 1, 0,     ""},
      {{listFailure(23006, "no such entry")},          0, false, 0, 23006, "no such entry"},
      {{listFailure(23006, "busy"), listReply()},      2, true,  1, 23006, "busy"},
      {{hang_up},                                      0, false, 0, 21003, kRecv},
      {{hang_up, listReply()},                         1, true,  1, 21003, kRecv}};
  // clang-format on
  for (const auto& c : cases) {
    zavel_SetLastError(777);
    zavel_SetLastErrStr("before");
    ScriptedListServer server;
    server.script(c.replies).start();
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
  int64_t made = 0;
  using S = OctaSession&;
  const std::vector<ParamRecord> r = {listReply("jidx:13=4294967297")};
  // clang-format off
  expectCalls({
      {[](S s) { return s.cmdCreateDir(kBig, "new"); },         r,
       {"_cmd:30=createdir jtidx:13=4294967297 sname:30=new"}},
      {[](S s) { return s.cmdRenameFile(kBig, "b"); },          r,
       {"_cmd:30=renamefile jfidx:13=4294967297 sname:30=b"}},
      {[](S s) { return s.cmdUploadNotify(5, kBig); },          r,
       {"_cmd:30=uploadnotify jfidx:13=5 jfsize:13=4294967297"}},
      {[](S s) { return s.cmdUploadCancel(5, true); },          r,
       {"_cmd:30=uploadend jfidx:13=5 jfsize:13=-1"}},
      {[](S s) { return s.cmdSetFileExpireTime(5, "e"); },      r,
       {"_cmd:30=setfileexpiretime jfidx:13=5 setime:30=e"}},
      {[](S s) { return s.cmdSetDirDescription(5, "d"); },      r,
       {"_cmd:30=setdirdescription jdidx:13=5 sdes:30=d"}},
      {[&](S s) { return s.cmdUploadStart(&t, "0123"); },       r,
       {"_cmd:30=uploadstart ioption:12=3 jfsize:13=4294967297 jtidx:13=8 schecksum:30=0123 "
        "sname:30=f.bin"}},
      {[&](S s) { return s.cmdCopyFile(5, kBig, true, &made) && made == kBig; }, r,
       {"_cmd:30=copyfile ioption:12=1 jfidx:13=5 jtidx:13=4294967297"}},
      {[&](S s) { return s.cmdGetFileInfoOpt(&big, 0x80000000u, nullptr, nullptr); }, r,
       {"_cmd:30=getfileinfoopt ioption:12=-2147483648 jfidx:13=4294967297"}}});
  // clang-format on
}

TEST(ListServer, ClubInfoAndSizesBeyond32BitsArriveWholeAndMissingFieldsAreEmpty) {
  const ParamRecord full = listReply(
      "jdidx:13=4294967297;iquota:12=100;sid:30=club id;stime:30=20041213153005;"
      "jsize:13=3000000000;jfilenum:13=12;jdirnum:13=3");
  for (const auto& [reply, text] :
       {std::pair{full, "0,4294967297,100,club id,20041213153005,3000000000,12,3,,,0,0,0"},
        std::pair{listReply(), "0,0,0,,,0,0,0,,,0,0,0"}}) {
    ClubEntry club;
    club.itype = 1;
    club.sname = "stale";
    sent({reply}, [&](OctaSession& s) { ASSERT_TRUE(s.cmdGetClubInfo(7, &club)); });
    EXPECT_EQ(entryText(club), text);
  }
}

TEST(ListServer, InfoRepliesAreReadByMask) {
  const ParamRecord reply = listReply(
      "jidx:13=55;jpidx:13=44;sname:30=name;jsize:13=3000000000;itype:12=3;iclubno:12=99;"
      "seip:30=10.1.1.1;siip:30=10.2.2.2;spath:30=/octa/b1/55;suserid:30=octa");
  const char* kNothing = "1,55,0,,,0,0,0,,,0,0,0";
  const char* kAll = "3,55,44,name,,3000000000,0,0,,,0,0,0";
  // The index is always read; where: outside host, inside host, path, owner.
  // clang-format off
  const struct { uint32_t mask; bool with_location; const char* entry; int32_t club;
                 const char* where; } cases[] = {
      {0,                                                       true,  kNothing, 31, ",,,"},
      {0x80 | 0x100 | 0x200 | 0x4000 | 0x10000 | 0x20000,       true,  kAll,     99, "10.1.1.1,,,"},
      {0x400000 | 0x800000 | 0x1000000 | 0x20000000 | 0x80000000u, true, kAll,   99, ",,,"},
      {0x40000 | 0x80000 | 0x100000, true, kNothing, 31, ",10.2.2.2,/octa/b1/55,octa"},
      {0x20000,                                                 false, kNothing, 31, ",,,"}};
  // clang-format on
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
    EXPECT_EQ(where.seip + "," + where.siip + "," + where.spath + "," + where.suserid, c.where)
        << c.mask;
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
  // jfilenum1 and jtsize2 are not fields of their kinds; entry 3 has no kind: taken as 0,
  // with the file fields read.
  const ParamRecord reply = listReply(
      "ifilecnt:12=3;jidx1:13=4294967297;sname1:30=file;itype1:12=1;jsize1:13=3000000000;"
      "jtsize1:13=10;jdown1:13=4;icopy1:12=1;jfilenum1:13=99;jidx2:13=8;sname2:30=folder;"
      "itype2:12=2;jfilenum2:13=5;jdirnum2:13=6;jtsize2:13=99;sdes2:30=about;"
      "stime2:30=20041213153005;setime2:30=20051213;jidx3:13=9;sname3:30=kindless;jdown3:13=7");
  std::vector<ClubEntry> list;
  sent({reply}, [&](OctaSession& s) { ASSERT_TRUE(s.cmdGetFileListOpt(77, 0, &list)); });
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(entryText(list[0]), "1,4294967297,77,file,,3000000000,0,0,,,10,4,1");
  EXPECT_EQ(entryText(list[1]), "2,8,77,folder,20041213153005,0,5,6,20051213,about,0,0,0");
  EXPECT_EQ(entryText(list[2]), "0,9,77,kindless,,0,0,0,,,0,7,0");
}

TEST(ListServer, ListingCountsThatTheReplyCannotHoldAreRefused) {
  // The reply holds three fields: result, the count and one name; no count at all is none.
  for (const auto& [count, listed] :
       {std::pair{0, 0u}, {-4, 0u}, {1, 1u}, {3, 3u}, {4, 0u}, {2000000000, 0u}, {-1000, 0u}}) {
    resetErrorState();
    const std::string field = count == -1000 ? "" : "ifilecnt:12=" + std::to_string(count) + ";";
    std::vector<ClubEntry> list;
    bool ok = false;
    sent({listReply(field + "sname1:30=only one")},
         [&](OctaSession& s) { ok = s.cmdGetFileListOpt(77, 0, &list); });
    EXPECT_EQ(ok, count <= 3) << count;
    ASSERT_EQ(list.size(), listed) << count;
    if (listed > 0) {
      EXPECT_EQ(list[0].sname, "only one");
    }
    EXPECT_EQ(zavel_GetLastError(), count <= 3 ? 0 : 21003) << count;
  }
}

}  // namespace
}  // namespace zavel::testing
