#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "api/enumerations.h"
#include "api/session_registry.h"
#include "club/octa_session.h"
#include "tests/api/api_test_support.h"

namespace zavel {
namespace {

using testing::FakeServer;
using testing::okReply;
using testing::openOn;
using testing::reply;
using testing::signOnReply;
using testing::wireText;

using Signed = testing::ExportSession;

// Every handle-taking export, the R family too, gives its failure value on a handle that is
// no session's, and the R family refuses club-disk sessions, before anything is sent: one
// export for each failure value, and each kind of output that must stay as it was.
TEST(SessionExports, BadHandlesGiveTheFailureValueAnd24002) {
  FakeServer server;
  server.answer(signOnReply()).accept().answer(signOnReply()).start();
  ZavelSession* destroyed = openOn(server);
  ASSERT_NE(destroyed, nullptr);
  ZavelSession* alive = openOn(server);  // another session stays alive throughout
  ASSERT_NE(alive, nullptr);
  zavel_DestroySession(destroyed);
  ASSERT_TRUE(server.waitDone());
  // A club-disk session (kind 1): it sends nothing until its first operation.
  ZavelSession* club =
      sessionRegistry().add(std::make_unique<OctaSession>("club.example", 22222, 2000, 1, 7001, 0));
  int not_a_session = 0;
  // clang-format off
  const struct { const char* what; ZavelSession* handle; bool club; } handles[] = {
      {"null", nullptr, false}, {"destroyed", destroyed, false},
      {"unknown", reinterpret_cast<ZavelSession*>(&not_a_session), false},
       {"club disk", club, true}};
  // clang-format on
  // Each reports whether it gave exactly its failure value; what they would fill must stay
  // as it was.
  using H = ZavelSession*;
  DiskSpaceInfo space{7, 7, 7};
  char buffer[8] = "intact";
  int32_t access = 3, write = 4, count = -3, is = 4;
  ServerInfo info{};
  RStatRecord st{};
  st.st_size = 77;
  uint32_t mask = 5;
  int64_t size = 9;
  // clang-format off
  const struct { const char* name; std::function<bool(ZavelSession*)> failsWithItsValue;
                 bool remote = false; } exports[] = {
      {"ROpen", [](H h) { return ROpen("/f", 0, h) == nullptr; }, true},
      {"RFopen", [](H h) { return RFopen("/f", "r", h) == nullptr; }, true},
      {"RStat", [&](H h) { return RStat("/f", &st, h) == 0 && st.st_size == 77; }, true},
      {"RReadlink",
       [&](H h) { return !RReadlink("/l", buffer, 8, h) && !strcmp(buffer, "intact"); }, true},
      {"RUmask", [&](H h) { return RUmask(0, &mask, h) == 0 && mask == 5; }, true},
      {"RFilesize", [&](H h) { return RFilesize("/f", &size, h) == 0 && size == 9; }, true},
      {"RIs_link", [&](H h) { return RIs_link("/f", &is, h) == 0 && is == 4; }, true},
      {"DuplicateSession", [](H h) { return zavel_DuplicateSession(h) == nullptr; }},
      {"SetSessionTimeout", [](H h) { return zavel_SetSessionTimeout(h, 5), true; }},
      {"GetSessionPath", [](H h) { return zavel_GetSessionPath(h) == nullptr; }},
      {"GetDiskSpace", [&](H h) { return zavel_GetDiskSpace(&space, h) == 0; }},
      {"MakeFolder", [](H h) { return zavel_MakeFolder("/a", h) == 0; }},
      {"MakeFolder2", [&](H h) { return zavel_MakeFolder2("/a", buffer, sizeof buffer, h) == 0; }},
      {"GetFileSize", [](H h) { return zavel_GetFileSize("/a", h) == -1; }},
      {"GetBlockSize", [](H h) { return zavel_GetBlockSize("/a", h) == 0xFFFFFFFFu; }},
      {"GetFileTime", [&](H h) { return zavel_GetFileTime("/a", &access, &write, h) == 0; }},
      {"GetServerInfo", [&](H h) { return zavel_GetServerInfo(&info, h) == 0; }},
      {"OpenFileInfo", [&](H h) { return !zavel_OpenFileInfo("/", 63, 1, &count, h); }},
      {"OpenCmd", [](H h) { return zavel_OpenCmd("ls", h) == nullptr; }},
      {"DestroySession", [](H h) { return zavel_DestroySession(h), true; }},
  };
  // clang-format on
  const size_t live = sessionRegistry().size();
  for (const auto& h : handles) {
    for (const auto& e : exports) {
      if (h.club && !e.remote) continue;
      zavel_SetLastError(0);
      zavel_SetLastErrStr("before");
      EXPECT_TRUE(e.failsWithItsValue(h.handle)) << e.name << " with a " << h.what << " handle";
      EXPECT_EQ(zavel_GetLastError(), h.club ? 24004 : 24002) << e.name << " with " << h.what;
      EXPECT_STREQ(zavel_GetLastErrStr(), "before") << e.name << " with " << h.what;
    }
  }
  EXPECT_TRUE(space.block == 7 && space.free == 7 && space.total == 7);
  EXPECT_STREQ(buffer, "intact");
  EXPECT_TRUE(access == 3 && write == 4 && count == -3);
  EXPECT_EQ(info.version[0], '\0');
  EXPECT_EQ(sessionRegistry().size(), live);
  // Nothing above reached the live session's server.
  EXPECT_EQ(server.requests().size(), 2u);
  EXPECT_STREQ(zavel_GetSessionPath(alive), "/home/alice");
  zavel_DestroySession(alive);
  zavel_DestroySession(club);
}

TEST(SessionExports, RefusedSignOnRegistersNothing) {
  FakeServer server;
  server.answer(okReply(22001, "wrong id")).start();
  const size_t before = sessionRegistry().size();
  EXPECT_RESULT(openOn(server), nullptr, 22001);
  EXPECT_STREQ(zavel_GetLastErrStr(), "wrong id");
  EXPECT_EQ(sessionRegistry().size(), before);
}

TEST(SessionExports, DuplicateSignsOnAnewWithTheCurrentTimeout) {
  FakeServer server;
  server.answer(signOnReply()).accept().answer(signOnReply()).start();
  ZavelSession* first = openOn(server, "pw");
  ASSERT_NE(first, nullptr);
  zavel_SetSessionTimeout(first, 4321);
  ZavelSession* copy = zavel_DuplicateSession(first);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, first);
  EXPECT_EQ(sessionRegistry().find(copy)->timeout(), 4321);
  EXPECT_EQ(zavel_IsOCTASession(copy), 0);
  ASSERT_TRUE(server.waitDone());
  const auto seen = server.requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].connection, 1);
  EXPECT_EQ(wireText(seen[1].record), wireText(seen[0].record));
  zavel_DestroySession(first);
  EXPECT_STREQ(zavel_GetSessionPath(copy), "/home/alice");  // the copy stands alone
  zavel_DestroySession(copy);
}

TEST_F(Signed, MakeFolder2CopiesOnlyAPathThatFits) {
  const char* made = "/a/New";  // 6 bytes and a NUL
  // clang-format off
  const struct { uint32_t size; int32_t result, error; } cases[] = {{16, 1, 0}, {7, 1, 0},
      {6, 0, 24003}, {1, 0, 24003}, {0, 0, 24003}};
  // clang-format on
  startRecords(std::vector<ParamRecord>(std::size(cases), signOnReply(made)));
  for (const auto& c : cases) {
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(zavel_MakeFolder2("/a", buffer, c.size, session_), c.result) << c.size;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.size;
    if (c.result == 1) {
      EXPECT_STREQ(buffer, made);
      for (uint32_t i = 6; i < c.size; ++i) EXPECT_EQ(buffer[i], '\0') << i;
      for (uint32_t i = c.size; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;
    } else {
      for (char b : buffer) EXPECT_EQ(b, '#');
    }
  }
}

TEST_F(Signed, ListingEntriesReadByIndexAndOutliveTheirSession) {
  startRecords({okReply(23006, "no folder"),
                reply("num:12=2 p1:30=docs t1:12=1 d1:30=2004-05-06 p2:30=big.iso "
                      "s2:23=5000000000 d2:30=2005-01-01")});
  const size_t before = enumerationTable().size();
  int32_t count = 42;
  EXPECT_RESULT(zavel_OpenFileInfoEx("/nope", 63, 1, &count, 0, session_), nullptr, 23006);
  EXPECT_EQ(count, 42);
  EXPECT_EQ(enumerationTable().size(), before);  // a failed listing opens nothing

  ZavelFileInfoList* list = zavel_OpenFileInfo("/", ZAVEL_INFO_ALL, 1, &count, session_);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(count, 2);
  zavel_DestroySession(session_);
  session_ = nullptr;

  const ZavelFileInfo* docs = zavel_ReadFileInfo(list, 0);
  const ZavelFileInfo* big = zavel_ReadFileInfo(list, 1);
  ASSERT_TRUE(docs && big);
  EXPECT_EQ(std::string(docs->name) + " " + docs->date + " " + std::to_string(docs->type),
            "docs 2004-05-06 " + std::to_string(ZAVEL_TYPE_FOLDER));
  EXPECT_EQ(docs->detail, nullptr);
  EXPECT_EQ(std::tuple(std::string(big->name), big->size, big->type),
            std::tuple("big.iso", 5000000000LL, 0));
  // Reading again hands out a second record; the first stays valid.
  const ZavelFileInfo* again = zavel_ReadFileInfo(list, 0);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, docs);
  EXPECT_STREQ(docs->name, "docs");

  for (int32_t index : {-1, 2, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(index);
    EXPECT_RESULT(zavel_ReadFileInfo(list, index), nullptr, 24002);
  }
  EXPECT_EQ(zavel_CloseFileInfo(list), 1);
  EXPECT_RESULT(zavel_CloseFileInfo(list), 0, 24002);
  EXPECT_RESULT(zavel_ReadFileInfo(list, 0), nullptr, 24002);
  EXPECT_EQ(zavel_CloseFileInfo(nullptr), 0);
}

TEST_F(Signed, CommandResultTextLivesUntilClosed) {
  ParamRecord result = reply("retlen:12=8");
  const char bytes[] = "first\0second";
  result.setBinary("result", bytes, sizeof bytes);
  startRecords({result});
  const char* text = zavel_OpenCmd("uname", session_);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "first");
  EXPECT_EQ(zavel_GetCmd(text), text);
  EXPECT_EQ(zavel_CloseCmd(text), 1);
  EXPECT_RESULT(zavel_GetCmd(text), nullptr, 24002);
  EXPECT_RESULT(zavel_CloseCmd(text), 0, 24002);
  const char never[] = "not ours";
  EXPECT_EQ(zavel_CloseCmd(never), 0);
  EXPECT_EQ(zavel_CloseCmd(nullptr), 0);
}

}  // namespace
}  // namespace zavel
