// The exports on a club-disk session.
#include <gtest/gtest.h>

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

TEST(ClubExports, CreationSendsNothingAndTheSessionSaysWhatItIs) {
  ScriptedListServer list;
  list.start();
  ZavelSession* session =
      zavel_CreateOCTASession("127.0.0.1", list.port(), 2000, kMode, testing::kTestClub, 0);
  ASSERT_NE(session, nullptr);
  zavel_SetLastError(777);
  EXPECT_EQ(zavel_IsOCTASession(session), 1);
  EXPECT_STREQ(zavel_GetSessionPath(session), "/octa");
  EXPECT_EQ(zavel_GetSessionMode(session), kMode);
  EXPECT_EQ(zavel_GetSessionOpenUrl(session), nullptr);
  EXPECT_EQ(zavel_GetSessionMessage(session), nullptr);
  char buffer[8] = "keep";
  EXPECT_EQ(zavel_MakeFolder2("/", buffer, sizeof buffer, session), 0);
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(zavel_CreateFile("/x", session), 0);
  EXPECT_EQ(zavel_GetBlockSize("/x", session), 0xFFFFFFFFu);
  ServerInfo info{};
  EXPECT_EQ(zavel_GetServerInfo(&info, session), 0);
  EXPECT_EQ(zavel_OpenCmd("ls", session), nullptr);
  EXPECT_EQ(zavel_GetLastError(), 777);  // none of them set an error
  zavel_DestroySession(session);
  EXPECT_TRUE(list.requests().empty());
  EXPECT_EQ(list.connections(), 0);
}

TEST(ClubExports, ADuplicateKeepsTheClubAndTheChangedTimeout) {
  ScriptedListServer list;
  ParamRecord club = listReply();
  club.setInt32("iquota", 1);
  list.answer(club).start();
  ZavelSession* session =
      zavel_CreateOCTASession("127.0.0.1", list.port(), 2000, kMode, testing::kTestClub, 0);
  ASSERT_NE(session, nullptr);
  zavel_SetSessionTimeout(session, 12345);
  ZavelSession* copy = zavel_DuplicateSession(session);
  zavel_DestroySession(session);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(zavel_IsOCTASession(copy), 1);
  EXPECT_EQ(zavel_GetSessionMode(copy), kMode);
  DiskSpaceInfo space{};
  EXPECT_EQ(zavel_GetDiskSpace(&space, copy), 1);
  EXPECT_EQ(space.total, 1024u);
  EXPECT_EQ(list.requests(), std::vector<std::string>{"_cmd:30=getclubinfo iclubno:12=4242"});
  zavel_DestroySession(copy);
}

TEST(ClubExports, ListingsOwnTheirClubEntriesPastTheSession) {
  ScriptedListServer list;
  ParamRecord folder = entryReply(10, 2);
  folder.setString("sname", "docs");
  ParamRecord listing = listReply();
  listing.setInt32("ifilecnt", 2);
  listing.setInt64("jidx1", 4294967297);
  listing.setString("sname1", "report.txt");
  listing.setInt32("itype1", 1);
  listing.setInt64("jsize1", 3000000000);
  listing.setString("sdes1", "quarterly");
  listing.setInt64("jidx2", 12);
  listing.setString("sname2", "old");
  listing.setInt32("itype2", 2);
  list.answer(folder).answer(listing).start();
  ZavelSession* session =
      zavel_CreateOCTASession("127.0.0.1", list.port(), 2000, kMode, testing::kTestClub, 0);
  ASSERT_NE(session, nullptr);
  int32_t count = 0;
  ZavelFileInfoList* entries = zavel_OpenFileInfo("/octa/docs", ZAVEL_INFO_ALL, 1, &count, session);
  ASSERT_NE(entries, nullptr);
  zavel_DestroySession(session);
  ASSERT_EQ(count, 3);
  const ZavelFileInfo* self = zavel_ReadFileInfo(entries, 0);
  ASSERT_NE(self, nullptr);
  EXPECT_STREQ(self->name, "/octa/docs");
  EXPECT_EQ(self->type, ZAVEL_TYPE_FOLDER);
  const ZavelFileInfo* file = zavel_ReadFileInfo(entries, 1);
  ASSERT_NE(file, nullptr);
  EXPECT_STREQ(file->name, "/octa/docs/report.txt");
  EXPECT_EQ(file->size, 3000000000);
  const auto* detail = static_cast<const ZavelClubEntry*>(file->detail);
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(detail->jidx, 4294967297);
  EXPECT_EQ(detail->jpidx, 10);
  EXPECT_STREQ(detail->sdes, "quarterly");
  const auto* sub = static_cast<const ZavelClubEntry*>(zavel_ReadFileInfo(entries, 2)->detail);
  EXPECT_EQ(sub->itype, 2);
  EXPECT_EQ(zavel_CloseFileInfo(entries), 1);
}

}  // namespace
}  // namespace zavel
