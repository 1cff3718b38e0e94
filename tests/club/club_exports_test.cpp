// The exports on a club-disk session.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/club/club_test_support.h"
#include "zavelsdk.h"

namespace zavel {
namespace {

using testing::entryReply;
using testing::listReply;
using testing::ScriptedListServer;

constexpr int32_t kMode = 2;

ZavelSession* openClub(const ScriptedListServer& list) {
  return zavel_CreateOCTASession("127.0.0.1", list.port(), 2000, kMode, testing::kTestClub, 0);
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
}  // namespace zavel
