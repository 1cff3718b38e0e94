#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "api/enumerations.h"
#include "api/session_registry.h"
#include "session/standard_session.h"
#include "tests/session/wire_text.h"
#include "tests/support/fake_server.h"
#include "zavelsdk.h"

namespace zavel {
namespace {

using testing::FakeServer;
using testing::okReply;
using testing::wireText;

constexpr int32_t kTimeout = 10000;

ParamRecord signOnReply() {
  ParamRecord r = okReply();
  r.setString("path", "/home/alice");
  return r;
}

ZavelSession* open(const FakeServer& server, const char* password = "") {
  return zavel_CreateSession("127.0.0.1", server.port(), "alice", password, kTimeout);
}

// Every handle-taking export with its failure value, as one call that reports whether
// it gave exactly that value.
const struct {
  const char* name;
  std::function<bool(ZavelSession*)> failsWithItsValue;
} kHandleExports[] = {
    {"DuplicateSession", [](ZavelSession* h) { return zavel_DuplicateSession(h) == nullptr; }},
    {"SetSessionTimeout",
     [](ZavelSession* h) {
       zavel_SetSessionTimeout(h, 5);
       return true;
     }},
    {"IsOCTASession", [](ZavelSession* h) { return zavel_IsOCTASession(h) == 0; }},
    {"SetFileDescription",
     [](ZavelSession* h) { return zavel_SetFileDescription(h, "/f", "d") == 0; }},
    {"SetFileExpireTime",
     [](ZavelSession* h) { return zavel_SetFileExpireTime(h, "/f", "e") == 0; }},
    {"GetSessionPath", [](ZavelSession* h) { return zavel_GetSessionPath(h) == nullptr; }},
    {"GetSessionMode", [](ZavelSession* h) { return zavel_GetSessionMode(h) == 0; }},
    {"GetSessionOpenUrl", [](ZavelSession* h) { return zavel_GetSessionOpenUrl(h) == nullptr; }},
    {"GetSessionMessage", [](ZavelSession* h) { return zavel_GetSessionMessage(h) == nullptr; }},
    {"GetDiskSpace",
     [](ZavelSession* h) {
       DiskSpaceInfo d{7, 7, 7};
       return zavel_GetDiskSpace(&d, h) == 0 && d.block == 7 && d.free == 7 && d.total == 7;
     }},
    {"MakeFolder", [](ZavelSession* h) { return zavel_MakeFolder("/a", h) == 0; }},
    {"MakeFolder2",
     [](ZavelSession* h) {
       char buffer[8] = "intact";
       return zavel_MakeFolder2("/a", buffer, sizeof buffer, h) == 0 &&
              strcmp(buffer, "intact") == 0;
     }},
    {"CreateFile", [](ZavelSession* h) { return zavel_CreateFile("/a", h) == 0; }},
    {"DeleteFile", [](ZavelSession* h) { return zavel_DeleteFile("/a", 1, h) == 0; }},
    {"RenameFile", [](ZavelSession* h) { return zavel_RenameFile("/a", "/b", h) == 0; }},
    {"MoveFile", [](ZavelSession* h) { return zavel_MoveFile("/a", "/b", h) == 0; }},
    {"CopyFile", [](ZavelSession* h) { return zavel_CopyFile("/a", "/b", h) == 0; }},
    {"GetFileSize", [](ZavelSession* h) { return zavel_GetFileSize("/a", h) == -1; }},
    {"GetBlockSize", [](ZavelSession* h) { return zavel_GetBlockSize("/a", h) == 0xFFFFFFFFu; }},
    {"GetFileTime",
     [](ZavelSession* h) {
       int32_t a = 3, w = 4;
       return zavel_GetFileTime("/a", &a, &w, h) == 0 && a == 3 && w == 4;
     }},
    {"SetFileTime", [](ZavelSession* h) { return zavel_SetFileTime("/a", 1, 2, h) == 0; }},
    {"GetServerInfo",
     [](ZavelSession* h) {
       ServerInfo info{};
       return zavel_GetServerInfo(&info, h) == 0 && info.version[0] == '\0';
     }},
    {"OpenFileInfo",
     [](ZavelSession* h) {
       int32_t count = -3;
       return zavel_OpenFileInfo("/", 63, 1, &count, h) == nullptr && count == -3;
     }},
    {"OpenFileInfoEx",
     [](ZavelSession* h) {
       int32_t count = -3;
       return zavel_OpenFileInfoEx("/", 63, 1, &count, 0, h) == nullptr && count == -3;
     }},
    {"OpenCmd", [](ZavelSession* h) { return zavel_OpenCmd("ls", h) == nullptr; }},
    {"DestroySession",
     [](ZavelSession* h) {
       zavel_DestroySession(h);
       return true;
     }},
};

TEST(SessionExports, BadHandlesGiveTheFailureValueAnd24002) {
  FakeServer server;
  server.answer(signOnReply()).accept().answer(signOnReply()).start();
  ZavelSession* destroyed = open(server);
  ASSERT_NE(destroyed, nullptr);
  ZavelSession* alive = open(server);  // another session stays alive throughout
  ASSERT_NE(alive, nullptr);
  zavel_DestroySession(destroyed);
  ASSERT_TRUE(server.waitDone());
  int not_a_session = 0;
  const struct {
    const char* what;
    ZavelSession* handle;
  } handles[] = {
      {"null", nullptr},
      {"destroyed", destroyed},
      {"unknown", reinterpret_cast<ZavelSession*>(&not_a_session)},
  };
  const size_t live = sessionRegistry().size();
  for (const auto& h : handles) {
    for (const auto& e : kHandleExports) {
      zavel_SetLastError(0);
      zavel_SetLastErrStr("before");
      EXPECT_TRUE(e.failsWithItsValue(h.handle)) << e.name << " with a " << h.what << " handle";
      EXPECT_EQ(zavel_GetLastError(), 24002) << e.name << " with a " << h.what << " handle";
      EXPECT_STREQ(zavel_GetLastErrStr(), "before") << e.name;
    }
  }
  EXPECT_EQ(sessionRegistry().size(), live);
  // Nothing above reached the live session's server.
  EXPECT_EQ(server.requests().size(), 2u);
  EXPECT_STREQ(zavel_GetSessionPath(alive), "/home/alice");
  zavel_DestroySession(alive);
}

TEST(SessionExports, RefusedSignOnRegistersNothing) {
  FakeServer server;
  server.answer(okReply(22001, "wrong id")).start();
  const size_t before = sessionRegistry().size();
  EXPECT_EQ(open(server), nullptr);
  EXPECT_EQ(zavel_GetLastError(), 22001);
  EXPECT_STREQ(zavel_GetLastErrStr(), "wrong id");
  EXPECT_EQ(sessionRegistry().size(), before);
}

TEST(SessionExports, DuplicateSignsOnAnewWithTheCurrentTimeout) {
  FakeServer server;
  server.answer(signOnReply()).accept().answer(signOnReply()).start();
  ZavelSession* first = open(server, "pw");
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

TEST(SessionExports, MakeFolder2CopiesOnlyAPathThatFits) {
  const char* made = "/a/New";  // 6 bytes and a NUL
  const struct {
    uint32_t size;
    int32_t result;
    int32_t error;
  } cases[] = {{16, 1, 0}, {7, 1, 0}, {6, 0, 24003}, {1, 0, 24003}, {0, 0, 24003}};
  FakeServer server;
  server.answer(signOnReply());
  ParamRecord reply = okReply();
  reply.setString("path", made);
  for (size_t i = 0; i < std::size(cases); ++i) server.answer(reply);
  server.start();
  ZavelSession* s = open(server);
  ASSERT_NE(s, nullptr);
  for (const auto& c : cases) {
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(zavel_MakeFolder2("/a", buffer, c.size, s), c.result) << c.size;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.size;
    if (c.result == 1) {
      EXPECT_STREQ(buffer, made);
      for (uint32_t i = 6; i < c.size; ++i) EXPECT_EQ(buffer[i], '\0') << i;
      for (uint32_t i = c.size; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;
    } else {
      for (char b : buffer) EXPECT_EQ(b, '#');
    }
  }
  zavel_DestroySession(s);
}

ParamRecord listingReply() {
  ParamRecord r = okReply();
  r.setInt32("num", 2);
  r.setString("p1", "docs");
  r.setInt32("t1", 1);
  r.setString("d1", "2004-05-06");
  r.setString("p2", "big.iso");
  r.setUInt64("s2", 5000000000ULL);
  r.setString("d2", "2005-01-01");
  return r;
}

TEST(Listings, EntriesReadByIndexAndOutliveTheirSession) {
  FakeServer server;
  server.answer(signOnReply()).answer(listingReply()).start();
  ZavelSession* s = open(server);
  ASSERT_NE(s, nullptr);
  int32_t count = -1;
  ZavelFileInfoList* list = zavel_OpenFileInfo("/", ZAVEL_INFO_ALL, 1, &count, s);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(count, 2);
  zavel_DestroySession(s);

  const ZavelFileInfo* docs = zavel_ReadFileInfo(list, 0);
  ASSERT_NE(docs, nullptr);
  EXPECT_STREQ(docs->name, "docs");
  EXPECT_EQ(docs->type, ZAVEL_TYPE_FOLDER);
  EXPECT_STREQ(docs->date, "2004-05-06");
  EXPECT_EQ(docs->detail, nullptr);
  const ZavelFileInfo* big = zavel_ReadFileInfo(list, 1);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->size, 5000000000LL);
  EXPECT_EQ(big->type, 0);
  // Reading again hands out a second record; the first stays valid.
  const ZavelFileInfo* again = zavel_ReadFileInfo(list, 0);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, docs);
  EXPECT_STREQ(again->name, docs->name);
  EXPECT_STREQ(docs->name, "docs");

  for (int32_t index : {-1, 2, INT32_MAX, INT32_MIN}) {
    zavel_SetLastError(0);
    EXPECT_EQ(zavel_ReadFileInfo(list, index), nullptr) << index;
    EXPECT_EQ(zavel_GetLastError(), 24002) << index;
  }
  EXPECT_EQ(zavel_CloseFileInfo(list), 1);
  zavel_SetLastError(0);
  EXPECT_EQ(zavel_CloseFileInfo(list), 0);
  EXPECT_EQ(zavel_GetLastError(), 24002);
  zavel_SetLastError(0);
  EXPECT_EQ(zavel_ReadFileInfo(list, 0), nullptr);
  EXPECT_EQ(zavel_GetLastError(), 24002);
  EXPECT_EQ(zavel_CloseFileInfo(nullptr), 0);
}

TEST(Listings, FailedListingOpensNothing) {
  FakeServer server;
  server.answer(signOnReply()).answer(okReply(23006, "no folder")).start();
  ZavelSession* s = open(server);
  ASSERT_NE(s, nullptr);
  const size_t before = enumerationTable().size();
  int32_t count = 42;
  EXPECT_EQ(zavel_OpenFileInfoEx("/nope", 63, 1, &count, 0, s), nullptr);
  EXPECT_EQ(count, 42);
  EXPECT_EQ(zavel_GetLastError(), 23006);
  EXPECT_EQ(enumerationTable().size(), before);
  zavel_DestroySession(s);
}

TEST(RemoteCommands, ResultTextLivesUntilClosed) {
  ParamRecord reply = okReply();
  reply.setInt32("retlen", 8);
  const char bytes[] = "first\0second";
  reply.setBinary("result", bytes, sizeof bytes);
  FakeServer server;
  server.answer(signOnReply()).answer(reply).start();
  ZavelSession* s = open(server);
  ASSERT_NE(s, nullptr);
  const char* text = zavel_OpenCmd("uname", s);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "first");
  EXPECT_EQ(zavel_GetCmd(text), text);
  EXPECT_EQ(zavel_CloseCmd(text), 1);
  zavel_SetLastError(0);
  EXPECT_EQ(zavel_GetCmd(text), nullptr);
  EXPECT_EQ(zavel_GetLastError(), 24002);
  zavel_SetLastError(0);
  EXPECT_EQ(zavel_CloseCmd(text), 0);
  EXPECT_EQ(zavel_GetLastError(), 24002);
  const char never[] = "not ours";
  EXPECT_EQ(zavel_CloseCmd(never), 0);
  EXPECT_EQ(zavel_CloseCmd(nullptr), 0);
  zavel_DestroySession(s);
}

}  // namespace
}  // namespace zavel
