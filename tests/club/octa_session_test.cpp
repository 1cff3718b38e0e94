#include "club/octa_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/club/club_test_support.h"

namespace zavel {
namespace {

using testing::CountingOctaSession;
using testing::entryReply;
using testing::listReply;
using testing::resetErrorState;
using testing::ScriptedListServer;

// The requests a call sent, given the replies the list server answers with.
std::vector<std::string> sent(const std::vector<ParamRecord>& replies,
                              const std::function<void(OctaSession&)>& call) {
  ScriptedListServer server;
  for (const ParamRecord& r : replies) server.answer(r);
  server.start();
  CountingOctaSession session(server.port());
  call(session);
  return server.requests();
}

ParamRecord withTime(ParamRecord r, const char* stime) {
  r.setString("stime", stime);
  return r;
}

TEST(OctaSession, DeleteResolvesNamesButTakesIndexPathsAsTheyAre) {
  const struct {
    const char* path;
    std::vector<ParamRecord> replies;
    std::vector<std::string> requests;
  } cases[] = {
      {"<77@>", {listReply()}, {"_cmd:30=deletedir jdidx:13=77"}},
      {"<12>", {listReply()}, {"_cmd:30=deletefile jfidx:13=12"}},
      {"/octa/a/f",
       {entryReply(5, 1), listReply()},
       {"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/a/f",
        "_cmd:30=deletefile jfidx:13=5"}},
      {"/a/d/",
       {entryReply(4294967297, 2), listReply()},
       {"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/a/d",
        "_cmd:30=deletedir jdidx:13=4294967297"}},
  };
  for (const auto& c : cases) {
    bool ok = false;
    EXPECT_EQ(sent(c.replies, [&](OctaSession& s) { ok = s.deleteFile(c.path, 1); }), c.requests)
        << c.path;
    EXPECT_TRUE(ok) << c.path;
  }
}

TEST(OctaSession, UnusablePathsFailWithSixBeforeAnyRequest) {
  const std::function<bool(OctaSession&)> calls[] = {
      [](OctaSession& s) { return s.deleteFile("<0>", 0); },
      [](OctaSession& s) { return s.deleteFile("abc", 0); },
      [](OctaSession& s) { return s.deleteFile(nullptr, 0); },
      // A name inside an index folder is no entry an index request can reach.
      [](OctaSession& s) { return s.deleteFile("<77@>/x", 0); },
      [](OctaSession& s) { return s.makeFolder("/"); },
      [](OctaSession& s) { return s.makeFolder("<0@>/new"); },
      [](OctaSession& s) { return s.renameFile("<12>", "<77@>"); },
      [](OctaSession& s) { return s.moveFile("<12>", "<0@>"); },
      [](OctaSession& s) { return s.copyFile("abc", "/b"); },
      [](OctaSession& s) { return s.getFileSize("<x>") != -1; },
      [](OctaSession& s) { return s.setFileDescription("", "d"); },
  };
  int i = 0;
  for (const auto& call : calls) {
    resetErrorState();
    bool ok = true;
    EXPECT_TRUE(sent({}, [&](OctaSession& s) { ok = call(s); }).empty()) << i;
    EXPECT_FALSE(ok) << i;
    EXPECT_EQ(zavel_GetLastError(), 6) << i;
    ++i;
  }
}

TEST(OctaSession, MoveAndCopyResolveDestinationThenSource) {
  const struct {
    const char* what;
    bool copy;
    const char* source;
    const char* folder;
    std::vector<ParamRecord> replies;
    bool ok;
    int32_t error;
    std::vector<std::string> requests;
  } cases[] = {
      {"copy of a folder",
       true,
       "/a/d",
       "/b",
       {entryReply(20, 2), entryReply(10, 2)},
       false,
       37,
       {"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/b",
        "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/a/d"}},
      {"copy of an index folder",
       true,
       "<10@>",
       "<20@>",
       {entryReply(20, 2), entryReply(10, 2)},
       false,
       37,
       {"_cmd:30=getfileinfoopt ioption:12=538984512 jfidx:13=20",
        "_cmd:30=getfileinfoopt ioption:12=538984512 jfidx:13=10"}},
      {"copy of a file",
       true,
       "<11>",
       "/b",
       {entryReply(20, 2), entryReply(11, 1), listReply()},
       true,
       0,
       {"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/b",
        "_cmd:30=getfileinfoopt ioption:12=538984512 jfidx:13=11",
        "_cmd:30=copyfile ioption:12=0 jfidx:13=11 jtidx:13=20"}},
      {"move of a folder",
       false,
       "/a/d",
       "<20@>",
       {entryReply(20, 2), entryReply(10, 2), listReply()},
       true,
       0,
       {"_cmd:30=getfileinfoopt ioption:12=538984512 jfidx:13=20",
        "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/a/d",
        "_cmd:30=movedir jdidx:13=10 jtidx:13=20"}},
      {"move of a file",
       false,
       "/a/f",
       "/b",
       {entryReply(20, 2), entryReply(11, 3), listReply()},
       true,
       0,
       {"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/b",
        "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/a/f",
        "_cmd:30=movefile jfidx:13=11 jtidx:13=20"}},
  };
  for (const auto& c : cases) {
    resetErrorState();
    bool ok = !c.ok;
    EXPECT_EQ(sent(c.replies,
                   [&](OctaSession& s) {
                     ok = c.copy ? s.copyFile(c.source, c.folder) : s.moveFile(c.source, c.folder);
                   }),
              c.requests)
        << c.what;
    EXPECT_EQ(ok, c.ok) << c.what;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.what;
  }
}

TEST(OctaSession, RenameMakeFolderAndSettersPickTheRequestOfTheKind) {
  ParamRecord club_root = entryReply(3, 0);
  const struct {
    const char* what;
    std::function<bool(OctaSession&)> call;
    std::vector<ParamRecord> replies;
    std::vector<std::string> requests;
  } cases[] = {
      {"rename index file",
       [](OctaSession& s) { return s.renameFile("<12>", "/x/new.txt"); },
       {listReply()},
       {"_cmd:30=renamefile jfidx:13=12 sname:30=new.txt"}},
      {"rename named folder",
       [](OctaSession& s) { return s.renameFile("/octa/d", "/octa/e"); },
       {entryReply(9, 2), listReply()},
       {"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/d",
        "_cmd:30=renamedir jdidx:13=9 sname:30=e"}},
      {"folder in a named parent",
       [](OctaSession& s) { return s.makeFolder("/octa/a/new"); },
       {entryReply(9, 2), listReply()},
       {"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=2097152 spath:30=/a",
        "_cmd:30=createdir jtidx:13=9 sname:30=new"}},
      {"folder in the root",
       [](OctaSession& s) { return s.makeFolder("/octa/new"); },
       {club_root, listReply()},
       {"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=2097152 spath:30=/",
        "_cmd:30=createdir jtidx:13=3 sname:30=new"}},
      {"folder in an index parent",
       [](OctaSession& s) { return s.makeFolder("<77@>/new"); },
       {listReply()},
       {"_cmd:30=createdir jtidx:13=77 sname:30=new"}},
      {"expiry of an index folder",
       [](OctaSession& s) { return s.setFileExpireTime("<77@>", "20050101"); },
       {listReply()},
       {"_cmd:30=setdirexpiretime jdidx:13=77 setime:30=20050101"}},
      {"description of a named file",
       [](OctaSession& s) { return s.setFileDescription("/f", "about"); },
       {entryReply(5, 1), listReply()},
       {"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538984512 spath:30=/f",
        "_cmd:30=setfiledescription jfidx:13=5 sdes:30=about"}},
      {"time of an index folder",
       [](OctaSession& s) { return s.setFileTime("<77@>", 0, 1102951805); },
       {entryReply(77, 2), listReply()},
       {"_cmd:30=getdirinfoopt ioption:12=136316992 jdidx:13=77",
        "_cmd:30=setfiletime jfidx:13=77 stime:30=20041213153005"}},
  };
  for (const auto& c : cases) {
    bool ok = false;
    EXPECT_EQ(sent(c.replies, [&](OctaSession& s) { ok = c.call(s); }), c.requests) << c.what;
    EXPECT_TRUE(ok) << c.what;
  }
}

TEST(OctaSession, QuotaCountsKilobytesAndNeverGoesBelowZero) {
  const struct {
    int32_t quota_mb;
    int64_t used;
    uint32_t total;
    uint32_t free;
  } cases[] = {
      {100, 52428800, 102400, 51200},
      {100, 200000000, 102400, 0},
      {0, 0, 0, 0},
      // Beyond 32 bits of kilobytes: the most that can be said.
      {8388608, 1024, 0xFFFFFFFFu, 0xFFFFFFFFu},
  };
  for (const auto& c : cases) {
    ParamRecord reply = listReply();
    reply.setInt32("iquota", c.quota_mb);
    reply.setInt64("jsize", c.used);
    DiskSpaceInfo info{};
    bool ok = false;
    EXPECT_EQ(sent({reply}, [&](OctaSession& s) { ok = s.getQuota(&info); }),
              std::vector<std::string>{"_cmd:30=getclubinfo iclubno:12=4242"});
    ASSERT_TRUE(ok);
    EXPECT_EQ(info.block, 1024u);
    EXPECT_EQ(info.total, c.total) << c.quota_mb;
    EXPECT_EQ(info.free, c.free) << c.quota_mb;
  }
  EXPECT_TRUE(sent({}, [](OctaSession& s) { EXPECT_FALSE(s.getQuota(nullptr)); }).empty());
}

TEST(OctaSession, FileSizeAndTimeReadTheEntry) {
  ParamRecord big = entryReply(5, 1);
  big.setInt64("jsize", 3000000000);
  resetErrorState();
  int64_t size = 0;
  EXPECT_EQ(sent({big}, [&](OctaSession& s) { size = s.getFileSize("<5@>"); }),
            std::vector<std::string>{"_cmd:30=getfileinfoopt ioption:12=16960 jfidx:13=5"});
  EXPECT_EQ(size, 3000000000);

  sent({entryReply(5, 3)}, [&](OctaSession& s) { size = s.getFileSize("/f"); });
  EXPECT_EQ(size, -1);
  EXPECT_EQ(zavel_GetLastError(), 15);

  int32_t access = 0, write = 0;
  bool ok = false;
  sent({withTime(entryReply(5, 1), "20041213153005")},
       [&](OctaSession& s) { ok = s.getFileTime("/f", &access, &write); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(access, 1102951805);
  EXPECT_EQ(write, 1102951805);

  zavel_SetLastError(777);
  sent({withTime(entryReply(5, 1), "2004121315300")},
       [&](OctaSession& s) { ok = s.getFileTime("/f", &access, &write); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(zavel_GetLastError(), 777);
}

// A listing reply of entries given as (index, name, kind).
struct Listed {
  int64_t index;
  const char* name;
  int32_t kind;
};
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
  bool ok = false;
  EXPECT_EQ(
      sent({file}, [&](OctaSession& s) { ok = s.getFileInfo("/octa/a/f.txt", 63, 1, items); }),
      std::vector<std::string>{"_cmd:30=getfileinfofrompath iclubno:12=4242 "
                               "ioption:12=698370880 spath:30=/a/f.txt"});
  ASSERT_TRUE(ok);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, "/octa/a/f.txt");  // as the caller wrote it
  EXPECT_EQ(items[0].size, 3000000000);
  EXPECT_EQ(items[0].type, 0);
  EXPECT_EQ(items[0].date, "2004-12-13 PM 03:30");
  const auto* detail = static_cast<const ZavelClubEntry*>(items[0].detail.get());
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(detail->jidx, 5);
  EXPECT_STREQ(detail->sname, "f.txt");
}

TEST(OctaSession, ListingsPutAFoldersContentsBeforeTheFolder) {
  const auto names = [](const std::vector<FileInfoItem>& items) {
    std::vector<std::string> out;
    for (const FileInfoItem& i : items) out.push_back(i.name + (i.type == 1 ? "@" : ""));
    return out;
  };
  const ParamRecord top = listingOf({{11, "a", 1}, {12, "s", 2}, {13, "b", 1}});
  const ParamRecord inner = listingOf({{14, "c", 1}});
  const struct {
    const char* what;
    int32_t info_type;
    int32_t level;
    std::vector<ParamRecord> replies;
    std::vector<std::string> names;
    const char* list_request;
  } cases[] = {
      {"one level",
       63,
       1,
       {entryReply(10, 2), top},
       {"<10@>@", "<10@>/a", "<10@>/s@", "<10@>/b"},
       "_cmd:30=getfilelistopt ioption:12=698370880 jdidx:13=10"},
      {"every level",
       63,
       -1,
       {entryReply(10, 2), top, inner},
       {"<10@>@", "<10@>/a", "<10@>/s/c", "<10@>/s@", "<10@>/b"},
       "_cmd:30=getfilelistopt ioption:12=698370880 jdidx:13=10"},
      // Files only: the folder half of the scope goes from the listing's mask.
      {"files only",
       1 | 4 | 8 | 16 | 32,
       1,
       {entryReply(10, 2), listingOf({{11, "a", 1}})},
       {"<10@>@", "<10@>/a"},
       "_cmd:30=getfilelistopt ioption:12=19264 jdidx:13=10"},
  };
  for (const auto& c : cases) {
    std::vector<FileInfoItem> items;
    bool ok = false;
    const auto requests = sent(c.replies, [&](OctaSession& s) {
      ok = s.getFileInfo("<10@>", c.info_type, c.level, items);
    });
    ASSERT_TRUE(ok) << c.what;
    EXPECT_EQ(names(items), c.names) << c.what;
    ASSERT_GE(requests.size(), 2u) << c.what;
    EXPECT_EQ(requests[1], c.list_request) << c.what;
    for (const FileInfoItem& i : items) ASSERT_NE(i.detail, nullptr) << c.what;
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

}  // namespace
}  // namespace zavel
