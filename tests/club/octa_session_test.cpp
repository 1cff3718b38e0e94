#include "club/octa_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/club/club_test_support.h"
#include "zavelsdk.h"

namespace zavel::testing {
namespace {

using Lines = std::vector<std::string>;

// The info requests that resolve a path or an index, with the usual option.
std::string byPath(const std::string& path, int64_t option = 538984512) {
  return "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=" + std::to_string(option) +
         " spath:30=" + path;
}
std::string byIndex(int64_t index) {
  return "_cmd:30=getfileinfoopt ioption:12=538984512 jfidx:13=" + std::to_string(index);
}

ParamRecord withTime(ParamRecord r, const char* stime) {
  r.setString("stime", stime);
  return r;
}

const std::string kDelFile = "_cmd:30=deletefile jfidx:13=",
                  kDelDir = "_cmd:30=deletedir jdidx:13=";

TEST(OctaSession, DeleteResolvesNamesButTakesIndexPathsAsTheyAre) {
  // clang-format off
  expectCalls({
      {CALL(deleteFile("<77@>", 1)),     {listReply()},                   {kDelDir + "77"}},
      {CALL(deleteFile("<12>", 1)),      {listReply()},                   {kDelFile + "12"}},
      {CALL(deleteFile("/octa/a/f", 1)), {entryReply(5, 1), listReply()},
       {byPath("/a/f"), kDelFile + "5"}},
      {CALL(deleteFile("/a/d/", 1)),     {entryReply(4294967297, 2), listReply()},
       {byPath("/a/d"), kDelDir + "4294967297"}},
  });
  // clang-format on
}

// Index 0, no name, a name inside an index folder: nothing an index request can reach.
TEST(OctaSession, UnusablePathsFailWithSixBeforeAnyRequest) {
  const std::function<bool(OctaSession&)> calls[] = {
      CALL(deleteFile("<0>", 0)),
      CALL(deleteFile("abc", 0)),
      CALL(deleteFile(nullptr, 0)),
      CALL(deleteFile("<77@>/x", 0)),
      CALL(makeFolder("/")),
      CALL(makeFolder("<0@>/new")),
      CALL(renameFile("<12>", "<77@>")),
      CALL(moveFile("<12>", "<0@>")),
      CALL(copyFile("abc", "/b")),
      [](OctaSession& s) { return s.getFileSize("<x>") != -1; },
      [](OctaSession& s) { return s.getFileSize("<0>") != -1; },
      CALL(setFileTime("<0@>", 0, 1)),
      CALL(setFileDescription("", "d")),
      [](OctaSession& s) {
        std::vector<FileInfoItem> items;
        return s.getFileInfo("<0@>", 63, 1, items) || !items.empty();
      }};
  std::vector<Call> cases;
  for (const auto& call : calls) cases.push_back({call, {}, {}, false, 6});
  expectCalls(cases);
}

TEST(OctaSession, MoveAndCopyResolveDestinationThenSource) {
  const ParamRecord d20 = entryReply(20, 2), d10 = entryReply(10, 2), ok = listReply();
  // clang-format off
  expectCalls({
      {CALL(copyFile("/a/d", "/b")),      {d20, d10},  {byPath("/b"), byPath("/a/d")}, false, 37},
      {CALL(copyFile("<10@>", "<20@>")),  {d20, d10},  {byIndex(20), byIndex(10)}, false, 37},
      {CALL(copyFile("<11>", "/b")),      {d20, entryReply(11, 1), ok},
       {byPath("/b"), byIndex(11), "_cmd:30=copyfile ioption:12=0 jfidx:13=11 jtidx:13=20"}},
      {CALL(moveFile("/a/d", "<20@>")),   {d20, d10, ok},
       {byIndex(20), byPath("/a/d"), "_cmd:30=movedir jdidx:13=10 jtidx:13=20"}},
      {CALL(moveFile("/a/f", "/b")),      {d20, entryReply(11, 3), ok},
       {byPath("/b"), byPath("/a/f"), "_cmd:30=movefile jfidx:13=11 jtidx:13=20"}},
  });
  // clang-format on
}

TEST(OctaSession, RenameMakeFolderAndSettersPickTheRequestOfTheKind) {
  const ParamRecord ok = listReply(), d9 = entryReply(9, 2), d77 = entryReply(77, 2);
  const std::string kInfo77 = "_cmd:30=getdirinfoopt ioption:12=136316992 jdidx:13=77",
                    kTime77 = "_cmd:30=setfiletime jfidx:13=77 stime:30=";
  // clang-format off
  expectCalls({
      {CALL(renameFile("<12>", "/x/new.txt")),       {ok},
       {"_cmd:30=renamefile jfidx:13=12 sname:30=new.txt"}},
      {CALL(renameFile("/octa/d", "/octa/e")),       {d9, ok},
       {byPath("/d"), "_cmd:30=renamedir jdidx:13=9 sname:30=e"}},
      {CALL(makeFolder("/octa/a/new")),              {d9, ok},
       {byPath("/a", 2097152), "_cmd:30=createdir jtidx:13=9 sname:30=new"}},
      {CALL(makeFolder("/octa/new")),                {entryReply(3, 0), ok},
       {byPath("/", 2097152), "_cmd:30=createdir jtidx:13=3 sname:30=new"}},
      {CALL(makeFolder("<77@>/new")),                {ok},
       {"_cmd:30=createdir jtidx:13=77 sname:30=new"}},
      {CALL(setFileExpireTime("<77@>", "20050101")), {ok},
       {"_cmd:30=setdirexpiretime jdidx:13=77 setime:30=20050101"}},
      {CALL(setFileDescription("/f", "about")),      {entryReply(5, 1), ok},
       {byPath("/f"), "_cmd:30=setfiledescription jfidx:13=5 sdes:30=about"}},
      {CALL(setFileTime("<77@>", 0, 1102951805)),    {d77, ok},
       {kInfo77, kTime77 + "20041213153005"}},
      {CALL(setFileTime("<77@>", 0, 0)),             {d77, ok},
       {kInfo77, kTime77 + "19700101000000"}},
  });
  // clang-format on
}

// A call that must succeed with the quota it reads.
std::function<bool(OctaSession&)> quotaIs(uint32_t total, uint32_t free) {
  return [=](OctaSession& s) {
    DiskSpaceInfo i{};
    return s.getQuota(&i) && i.block == 1024u && i.total == total && i.free == free;
  };
}
ParamRecord quota(int32_t megabytes, int64_t used) {
  return listReply("iquota:12=" + std::to_string(megabytes) + ";jsize:13=" + std::to_string(used));
}

TEST(OctaSession, QuotaSizeAndTimeReadTheReply) {
  const std::string kClub = "_cmd:30=getclubinfo iclubno:12=4242", kTime = byPath("/f", 136316992),
                    kSize = "_cmd:30=getfileinfoopt ioption:12=16960 jfidx:13=5";
  const ParamRecord big = listReply("jidx:13=5;itype:12=1;jsize:13=3000000000");
  const auto timeIs = [](int32_t seconds) {
    return [=](OctaSession& s) {
      int32_t access = 0, write = 0;
      return s.getFileTime("/f", &access, &write) && access == seconds && write == seconds;
    };
  };
  const auto sizeIs = [](const char* path, int64_t size) {
    return [=](OctaSession& s) { return s.getFileSize(path) == size; };
  };
  // Kilobytes, never below zero; beyond 32 bits of kilobytes, the most that can be said.
  // A time text that is no time, or none at all, leaves the error state alone.
  // clang-format off
  expectCalls({
      {quotaIs(102400, 51200), {quota(100, 52428800)}, {kClub}},
      {quotaIs(102400, 0), {quota(100, 200000000)}, {kClub}},
      {quotaIs(0, 0), {quota(0, 0)}, {kClub}},
      {quotaIs(0xFFFFFFFFu, 0xFFFFFFFFu), {quota(8388608, 1024)}, {kClub}},
      {CALL(getQuota(nullptr)), {}, {}, false},
      {sizeIs("<5@>", 3000000000), {big}, {kSize}},
      {sizeIs("<5>", 0), {entryReply(5, 1)}, {kSize}},
      {sizeIs("/f", -1), {entryReply(5, 3)}, {byPath("/f", 16960)}, true, 15},
      {timeIs(1102951805), {withTime(entryReply(5, 1), "20041213153005")}, {kTime}},
      {timeIs(0), {withTime(entryReply(5, 1), "19700101000000")}, {kTime}},
      {timeIs(0), {withTime(entryReply(5, 1), "2004121315300")}, {kTime}, false},
      {timeIs(0), {entryReply(5, 1)}, {kTime}, false},
  });
  // clang-format on
}

// A listing reply of entries given as (index, name, kind).
// clang-format off
struct Listed { int64_t index; const char* name; int32_t kind; };
// clang-format on
ParamRecord listingOf(std::initializer_list<Listed> entries) {
  ParamRecord r = listReply();
  int32_t i = 0;
  for (const Listed& e : entries) {
    const std::string n = std::to_string(++i);
    r.setInt64(("jidx" + n).c_str(), e.index);
    r.setString(("sname" + n).c_str(), e.name);
    r.setInt32(("itype" + n).c_str(), e.kind);
    r.setInt64(("jsize" + n).c_str(), 100 * e.index);
    r.setString(("stime" + n).c_str(), "20041213153005");
  }
  r.setInt32("ifilecnt", i);
  return r;
}

TEST(OctaSession, InfoTypeSixtyThreeAsksForEverythingOfBothKinds) {
  ParamRecord file = withTime(entryReply(5, 1), "20041213153005");
  file.setString("sname", "f.txt");
  file.setInt64("jsize", 3000000000);
  std::vector<FileInfoItem> items;
  EXPECT_EQ(
      sent({file},
           [&](OctaSession& s) { EXPECT_TRUE(s.getFileInfo("/octa/a/f.txt", 63, 1, items)); }),
      Lines{byPath("/a/f.txt", 698370880)});
  ASSERT_EQ(items.size(), 1u);
  const auto* detail = static_cast<const ZavelClubEntry*>(items[0].detail.get());
  ASSERT_NE(detail, nullptr);
  // The name as the caller wrote it; the detail's time is the entry's, not its expiry.
  EXPECT_EQ(std::tuple(items[0].name, items[0].size, items[0].type, items[0].date, detail->jidx,
                       std::string(detail->sname), std::string(detail->stime)),
            std::tuple("/octa/a/f.txt", 3000000000, 0, "2004-12-13 PM 03:30", 5, "f.txt",
                       "20041213153005"));
}

TEST(OctaSession, ListingsPutAFoldersContentsBeforeTheFolder) {
  const ParamRecord top = listingOf({{11, "a", 1}, {12, "s", 2}, {13, "b", 1}});
  const std::string kAll = "_cmd:30=getfilelistopt ioption:12=698370880 jdidx:13=10";
  const ParamRecord d10 = entryReply(10, 2);
  const Lines kFour = {"<10@>@", "<10@>/a", "<10@>/s@", "<10@>/b"};
  // Files only: the folder half of the scope goes from the listing's mask.
  // clang-format off
  const struct { int32_t info_type; int32_t level; std::vector<ParamRecord> replies; Lines names;
                 std::string list_request; } cases[] = {
      {63, 1, {d10, top}, kFour, kAll},
      {63, 0, {d10, top}, kFour, kAll},
      {63, 1, {d10, listingOf({})}, {"<10@>@"}, kAll},
      {63, -1, {d10, top, listingOf({{14, "c", 1}})},
       {"<10@>@", "<10@>/a", "<10@>/s/c", "<10@>/s@", "<10@>/b"}, kAll},
      {1 | 4 | 8 | 16 | 32, 1, {d10, listingOf({{11, "a", 1}})}, {"<10@>@", "<10@>/a"},
       "_cmd:30=getfilelistopt ioption:12=19264 jdidx:13=10"}};
  // clang-format on
  for (const auto& c : cases) {
    std::vector<FileInfoItem> items;
    const auto requests = sent(c.replies, [&](OctaSession& s) {
      ASSERT_TRUE(s.getFileInfo("<10@>", c.info_type, c.level, items));
    });
    Lines names;
    for (const FileInfoItem& i : items) {
      names.push_back(i.name + (i.type == 1 ? "@" : ""));
      EXPECT_NE(i.detail, nullptr) << i.name;
    }
    EXPECT_EQ(names, c.names) << c.level;
    ASSERT_GE(requests.size(), 2u) << c.level;
    EXPECT_EQ(requests[1], c.list_request) << c.level;
  }
}

TEST(OctaSession, ASelfContainingFolderDoesNotListForever) {
  // Every listing of folder 10 names folder 10 again.
  ScriptedListServer server;
  server.answer(entryReply(10, 2));
  for (int i = 0; i < 300; ++i) server.answer(listingOf({{10, "again", 2}}));
  server.start();
  CountingOctaSession session(server.port());
  std::vector<FileInfoItem> items;
  EXPECT_FALSE(session.getFileInfo("<10@>", 63, -1, items));
  EXPECT_EQ(zavel_GetLastError(), 21003);
}

// The exports on a club-disk session.
constexpr int32_t kMode = 2;

ZavelSession* openClub(const ScriptedListServer& list) {
  return zavel_CreateOCTASession("127.0.0.1", list.port(), 2000, kMode, kTestClub, 0);
}

TEST(ClubExports, CreationSendsNothingAndTheSessionSaysWhatItIs) {
  ScriptedListServer list;
  list.start();
  ZavelSession* session = openClub(list);
  ASSERT_NE(session, nullptr);
  zavel_SetLastError(777);
  char buffer[8] = "keep";
  ServerInfo info{};
  // What a club disk is, and exports it has no use for; none of them sets an error.
  EXPECT_EQ(zavel_IsOCTASession(session), 1);
  EXPECT_STREQ(zavel_GetSessionPath(session), "/octa");
  EXPECT_EQ(zavel_GetSessionMode(session), kMode);
  EXPECT_TRUE(!zavel_GetSessionOpenUrl(session) && !zavel_GetSessionMessage(session));
  EXPECT_EQ(zavel_MakeFolder2("/", buffer, sizeof buffer, session), 0);
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(zavel_CreateFile("/x", session), 0);
  EXPECT_EQ(zavel_GetBlockSize("/x", session), 0xFFFFFFFFu);
  EXPECT_TRUE(!zavel_GetServerInfo(&info, session) && !zavel_OpenCmd("ls", session));
  EXPECT_EQ(zavel_GetLastError(), 777);
  zavel_DestroySession(session);
  EXPECT_EQ(list.connections(), 0);
}

TEST(ClubExports, ADuplicateKeepsTheClubAndTheChangedTimeout) {
  ScriptedListServer list;
  list.answer(listReply("iquota:12=1")).start();
  ZavelSession* session = openClub(list);
  zavel_SetSessionTimeout(session, 12345);
  ZavelSession* copy = zavel_DuplicateSession(session);
  zavel_DestroySession(session);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(zavel_IsOCTASession(copy) * 10 + zavel_GetSessionMode(copy), 10 + kMode);
  DiskSpaceInfo space{};
  EXPECT_EQ(zavel_GetDiskSpace(&space, copy), 1);
  EXPECT_EQ(space.total, 1024u);
  EXPECT_EQ(list.requests(), std::vector<std::string>{"_cmd:30=getclubinfo iclubno:12=4242"});
  zavel_DestroySession(copy);
}

// The folder first, then each entry with its club record: name, size, kind, index, parent,
// description.
TEST(ClubExports, ListingsOwnTheirClubEntriesPastTheSession) {
  ScriptedListServer list;
  list.answer(listReply("jidx:13=10;itype:12=2;sname:30=docs"))
      .answer(listReply("ifilecnt:12=2;jidx1:13=4294967297;sname1:30=report.txt;itype1:12=1;"
                        "jsize1:13=3000000000;sdes1:30=quarterly;jidx2:13=12;sname2:30=old;"
                        "itype2:12=2"))
      .start();
  ZavelSession* session = openClub(list);
  int32_t count = 0;
  ZavelFileInfoList* entries = zavel_OpenFileInfo("/octa/docs", ZAVEL_INFO_ALL, 1, &count, session);
  ASSERT_NE(entries, nullptr);
  zavel_DestroySession(session);
  std::vector<std::string> seen;
  for (int32_t i = 0; i < count; ++i) {
    const ZavelFileInfo* e = zavel_ReadFileInfo(entries, i);
    const auto* d = static_cast<const ZavelClubEntry*>(e->detail);
    std::ostringstream o;
    o << e->name << "," << e->size << "," << e->type;
    if (d) o << "," << d->itype << "," << d->jidx << "," << d->jpidx << "," << d->sdes;
    seen.push_back(o.str());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "/octa/docs,0,1,2,10,0,",
                      "/octa/docs/report.txt,3000000000,0,1,4294967297,10,quarterly",
                      "/octa/docs/old,0,1,2,12,10,"}));
  EXPECT_EQ(zavel_CloseFileInfo(entries), 1);
}

}  // namespace
}  // namespace zavel::testing
