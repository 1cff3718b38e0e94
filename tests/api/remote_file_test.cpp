// The R family against the scripted fake server: what goes on the wire, how replies are
// read, and how handles live and die.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "api/remote_handles.h"
#include "api/session_registry.h"
#include "club/octa_session.h"
#include "session/session.h"
#include "tests/session/wire_text.h"
#include "tests/support/fake_server.h"
#include "zavelsdk.h"

namespace zavel {
namespace {

using testing::FakeServer;
using testing::okReply;
using testing::wireText;

constexpr int32_t kTimeout = 10000;

// A reply from "name:type=value" entries as wireText() writes them, but numbers in decimal
// (0x and 0 prefixes as in C for unsigned ones) and binary values as they are.
ParamRecord reply(const std::string& entries = "") {
  ParamRecord r = okReply();
  std::istringstream in(entries);
  for (std::string e; in >> e;) {
    const size_t colon = e.find(':'), equals = e.find('=');
    const std::string name = e.substr(0, colon), v = e.substr(equals + 1);
    const int type = std::stoi(e.substr(colon + 1, equals - colon - 1));
    const char* n = name.c_str();
    if (type == kTypeInt32) r.setInt32(n, std::stoi(v));
    if (type == kTypeInt64) r.setInt64(n, std::stoll(v));
    if (type == kTypeUInt32) r.setUInt32(n, static_cast<uint32_t>(std::stoul(v, nullptr, 0)));
    if (type == kTypeUInt64) r.setUInt64(n, std::stoull(v, nullptr, 0));
    if (type == kTypeString) r.setString(n, v.c_str());
    if (type == kTypeBinary) r.setBinary(n, v.data(), static_cast<uint32_t>(v.size()));
  }
  return r;
}

// A session that signs on to a fake server, which then answers the given replies in turn.
class Remote : public ::testing::Test {
 protected:
  void start(const std::vector<std::string>& replies) {
    server_.answer(reply());
    for (const std::string& r : replies) server_.answer(reply(r));
    server_.start();
    session_ = zavel_CreateSession("127.0.0.1", server_.port(), "alice", "", kTimeout);
    ASSERT_NE(session_, nullptr);
  }

  // The requests after sign-on, as text.
  std::vector<std::string> sent() {
    std::vector<std::string> out;
    for (const auto& r : server_.requests()) out.push_back(wireText(r.record));
    if (!out.empty()) out.erase(out.begin());
    return out;
  }

  void TearDown() override { zavel_DestroySession(session_); }

  FakeServer server_;
  ZavelSession* session_ = nullptr;
};

TEST_F(Remote, RequestsCarryTheirCommandAndParameters) {
  RFileHandle* file = nullptr;
  RDirHandle* dir = nullptr;
  RStreamHandle* stream = nullptr;
  char name[16];
  char bytes[16];
  uint32_t old_mask = 0;
  const struct {
    const char* answer;
    std::function<void()> call;
    const char* request;
  } steps[] = {
      {"fd:12=7", [&] { file = ROpen2("/d/f.txt", 66, 0644, session_); },
       "_cmd:30=llf_open2 filename:30=/d/f.txt flags:12=66 mode:22=a4010000"},
      {"size:12=5", [&] { EXPECT_EQ(RWrite(file, "hello", 5), 5); },
       "_cmd:30=llf_write data:40=68656c6c6f fd:12=7 filepath:30=/d/f.txt flags:12=66 "
       "mode:22=a4010000 offsetex:13=0 size:12=5"},
      {"size:12=0", [&] { EXPECT_EQ(RRead(file, bytes, 16), 0); },
       "_cmd:30=llf_read fd:12=7 filepath:30=/d/f.txt flags:12=66 mode:22=a4010000 offsetex:13=0 "
       "size:12=16"},
      {"size:13=8589934597", [&] { EXPECT_EQ(RSeek(file, 8589934592LL, 1), 8589934597LL); },
       "_cmd:30=llf_seek fd:12=7 filepath:30=/d/f.txt flags:12=66 mode:22=a4010000 "
       "offset:13=8589934592 offsetex:13=0 whence:12=1"},
      {"", [&] { EXPECT_EQ(RClose(file), 1); }, "_cmd:30=llf_close fd:12=7 filepath:30=/d/f.txt"},
      {"hdir:12=3", [&] { dir = ROpenDir("/d", session_); }, "_cmd:30=llf_opendir path:30=/d"},
      {"file:30=a.txt offset:12=1", [&] { EXPECT_EQ(RReadDir(dir, name, sizeof name), 1); },
       "_cmd:30=llf_readdir dirpath:30=/d hdir:12=3 offset:12=0"},
      {"", [&] { EXPECT_EQ(RCloseDir(dir), 1); }, "_cmd:30=llf_closedir dirpath:30=/d hdir:12=3"},
      {"fp:12=9", [&] { stream = RFopen("/d/s", "rb", session_); },
       "_cmd:30=llf_fopen filename:30=/d/s mode:30=rb"},
      {"size:12=4 data:40=abcd", [&] { EXPECT_EQ(RFread(stream, bytes, 10), 4); },
       "_cmd:30=llf_fread filename:30=/d/s fp:12=9 mode:30=rb offset:13=0 size:22=0a000000"},
      {"size:12=0", [&] { EXPECT_EQ(RFseek(stream, 2, 0), 0); },
       "_cmd:30=llf_fseek filename:30=/d/s fp:12=9 mode:30=rb offset:13=2 offsetex:13=4 "
       "whence:12=0"},
      {"size:12=2", [&] { EXPECT_EQ(RFwrite(stream, "xy", 2), 2); },
       "_cmd:30=llf_fwrite data:40=7879 filename:30=/d/s fp:12=9 mode:30=rb size:12=2"},
      {"", [&] { EXPECT_EQ(RChgrp("/d/f.txt", 100, session_), 1); },
       "_cmd:30=llf_chown group:22=64000000 owner:22=ffffffff path:30=/d/f.txt"},
      {"oldmode:22=077", [&] { EXPECT_EQ(RUmask(022, &old_mask, session_), 1); },
       "_cmd:30=llf_umask mode:22=12000000"},
      {"filename:30=/tmp1", [&] { EXPECT_EQ(RTempnam(name, sizeof name, session_), 1); },
       "_cmd:30=llf_tmpnam"},
  };
  std::vector<std::string> answers;
  for (const auto& s : steps) answers.push_back(s.answer);
  start(answers);
  for (const auto& s : steps) s.call();
  ASSERT_NE(file, nullptr);
  ASSERT_NE(dir, nullptr);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(old_mask, 077u);
  EXPECT_STREQ(name, "/tmp1");

  ASSERT_TRUE(server_.waitDone());
  const auto requests = sent();
  ASSERT_EQ(requests.size(), std::size(steps));
  for (size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(requests[i], steps[i].request) << i;
}

TEST_F(Remote, ReadCopiesNoMoreThanTheBufferOrTheReplyHolds) {
  const struct {
    const char* what;
    const char* reply;
    int32_t asked;  // the caller's size
    int32_t result;
  } cases[] = {
      {"whole reply", "size:12=5 data:40=hello", 16, 5},
      {"buffer smaller than the reply", "size:12=5 data:40=hello", 3, 3},
      {"size exactly the buffer", "size:12=5 data:40=hello", 5, 5},
      {"end of file", "size:12=0", 16, 0},
      {"bytes claimed but not sent", "size:12=4", 16, -1},
      {"neither size nor data", "", 16, -1},
      {"data without size", "data:40=hello", 16, 5},
      {"size beyond the data", "size:12=9 data:40=hello", 16, 5},
      {"size short of the data", "size:12=2 data:40=hello", 16, 2},
      {"negative size", "size:12=-1 data:40=hello", 16, -1},
  };
  std::vector<std::string> answers{"fd:12=1"};
  for (const auto& c : cases) answers.push_back(c.reply);
  answers.push_back("error:12=23006 errstr:30=gone");
  start(answers);
  RFileHandle* file = ROpen("/f", 0, session_);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->mode, 0u);
  for (const auto& c : cases) {
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(RRead(file, buffer, c.asked), c.result) << c.what;
    const int copied = c.result > 0 ? c.result : 0;
    EXPECT_EQ(std::string(buffer, copied), std::string("hello", copied)) << c.what;
    for (int i = copied; i < 16; ++i) ASSERT_EQ(buffer[i], '#') << c.what << " byte " << i;
  }
  char buffer[4];
  EXPECT_EQ(RRead(file, buffer, sizeof buffer), -1);
  EXPECT_EQ(zavel_GetLastError(), 23006);
  EXPECT_STREQ(zavel_GetLastErrStr(), "gone");

  // Sizes that cannot describe a buffer are refused before anything is sent.
  const size_t before = server_.requests().size();
  EXPECT_EQ(RRead(file, buffer, -1), -1);
  EXPECT_EQ(zavel_GetLastError(), 24001);
  EXPECT_EQ(RWrite(file, buffer, -5), -1);
  EXPECT_EQ(RWrite(file, nullptr, 5), -1);
  EXPECT_EQ(zavel_GetLastError(), 24001);
  EXPECT_EQ(server_.requests().size(), before);
}

TEST_F(Remote, TextAnswersFillTheBufferOnlyWhenTheyFitWithTheirNul) {
  const struct {
    const char* answer;  // null: the reply names none
    uint32_t size;
    int32_t result;
  } cases[] = {
      {"/abcdef", 8, 1},                    // 7 characters and the NUL: exactly full
      {"/abcdefg", 8, 0},                   // one too many
      {"/abcdefg", 9, 1}, {nullptr, 1, 1},  // the empty text still needs its NUL
      {nullptr, 0, 0},
  };
  std::vector<std::string> answers;
  for (const char* name : {"filename", "realpath", "data"}) {
    for (const auto& c : cases) {
      answers.push_back(c.answer ? std::string(name) + ":30=" + c.answer : "");
    }
  }
  start(answers);
  const std::function<int32_t(char*, uint32_t)> calls[] = {
      [&](char* b, uint32_t n) { return RTempnam(b, n, session_); },
      [&](char* b, uint32_t n) { return RRealpath("/x", b, n, session_); },
      [&](char* b, uint32_t n) { return RReadlink("/x", b, n, session_); },
  };
  for (const auto& call : calls) {
    for (const auto& c : cases) {
      char buffer[12];
      memset(buffer, '#', sizeof buffer);
      zavel_SetLastError(0);
      EXPECT_EQ(call(buffer, c.size), c.result) << c.answer << " in " << c.size;
      if (c.result == 1) {
        EXPECT_STREQ(buffer, c.answer ? c.answer : "");
        EXPECT_EQ(zavel_GetLastError(), 0);
      } else {
        EXPECT_EQ(zavel_GetLastError(), 24003);
        for (char b : buffer) ASSERT_EQ(b, '#');
      }
    }
  }
}

TEST_F(Remote, ReadDirAdvancesOnlyAfterTheNameWasDelivered) {
  start({"hdir:12=5", "file:30=long-name offset:12=1", "file:30=long-name offset:12=1",
         "file:30=b offset:12=2", "", "offset:12=0"});
  RDirHandle* dir = ROpenDir("/d", session_);
  ASSERT_NE(dir, nullptr);
  char small[4];
  char name[16];
  EXPECT_EQ(RReadDir(dir, small, sizeof small), 0);
  EXPECT_EQ(zavel_GetLastError(), 24003);
  EXPECT_EQ(dir->offset, 0);  // the same entry can be asked for again
  EXPECT_EQ(RReadDir(dir, name, sizeof name), 1);
  EXPECT_STREQ(name, "long-name");
  EXPECT_EQ(RReadDir(dir, name, sizeof name), 1);
  EXPECT_STREQ(name, "b");
  EXPECT_EQ(dir->offset, 3);
  // Past the end: no name, no step.
  EXPECT_EQ(RReadDir(dir, name, sizeof name), 1);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(RReadDir(dir, name, sizeof name), 1);
  EXPECT_EQ(dir->offset, 3);
  ASSERT_TRUE(server_.waitDone());
  const auto requests = sent();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_NE(requests[2].find("offset:12=0"), std::string::npos);
  EXPECT_NE(requests[3].find("offset:12=1"), std::string::npos);
  EXPECT_NE(requests[5].find("offset:12=3"), std::string::npos);
}

TEST_F(Remote, OpenDirWithoutADescriptorOpensNothing) {
  start({"", "hdir:12=0", "error:12=23006 errstr:30=no-such-folder"});
  const size_t open_before = openDirs().size();
  EXPECT_EQ(ROpenDir("/d", session_), nullptr);
  EXPECT_EQ(ROpenDir("/d", session_), nullptr);
  EXPECT_EQ(ROpenDir("/d", session_), nullptr);
  EXPECT_EQ(zavel_GetLastError(), 23006);
  EXPECT_EQ(openDirs().size(), open_before);
}

TEST_F(Remote, ClosedHandlesAreGoneWhateverTheServerAnswers) {
  start({"fd:12=1", "hdir:12=2", "fp:12=3", "error:12=23001 errstr:30=busy",
         "error:12=23001 errstr:30=busy", "error:12=23001 errstr:30=busy"});
  RFileHandle* file = ROpen("/f", 0, session_);
  RDirHandle* dir = ROpenDir("/d", session_);
  RStreamHandle* stream = RFopen("/s", "r", session_);
  ASSERT_TRUE(file && dir && stream);
  EXPECT_EQ(RClose(file), 0);
  EXPECT_EQ(RCloseDir(dir), 0);
  EXPECT_EQ(RFclose(stream), 0);
  EXPECT_EQ(zavel_GetLastError(), 23001);
  ASSERT_TRUE(server_.waitDone());
  const size_t sent_before = server_.requests().size();

  RFileHandle never_opened{};
  char buffer[8];
  RStatRecord st{};
  const struct {
    const char* what;
    std::function<bool()> failsWithItsValue;
  } calls[] = {
      {"RRead", [&] { return RRead(file, buffer, 8) == -1; }},
      {"RSeek", [&] { return RSeek(file, 0, 0) == -1; }},
      {"RFstat", [&] { return RFstat(file, &st) == 0; }},
      {"RClose again", [&] { return RClose(file) == 0; }},
      {"RRead never opened", [&] { return RRead(&never_opened, buffer, 8) == -1; }},
      {"RClose null", [&] { return RClose(nullptr) == 0; }},
      {"RReadDir", [&] { return RReadDir(dir, buffer, 8) == 0; }},
      {"RCloseDir again", [&] { return RCloseDir(dir) == 0; }},
      {"RFread", [&] { return RFread(stream, buffer, 8) == -1; }},
      {"RRewind", [&] { return RRewind(stream) == 0; }},
      {"RFclose again", [&] { return RFclose(stream) == 0; }},
  };
  for (const auto& c : calls) {
    zavel_SetLastError(0);
    EXPECT_TRUE(c.failsWithItsValue()) << c.what;
    EXPECT_EQ(zavel_GetLastError(), 24002) << c.what;
  }
  EXPECT_EQ(server_.requests().size(), sent_before);
}

TEST(RemoteRefusals, ClubDiskAndUnknownSessionsFailBeforeAnythingIsSent) {
  // A club-disk session (kind 1): it sends nothing until its first operation.
  ZavelSession* club =
      sessionRegistry().add(std::make_unique<OctaSession>("club.example", 22222, 2000, 1, 7001, 0));
  int not_a_session = 0;
  char buffer[8] = "intact";
  RStatRecord st{};
  st.st_size = 77;
  uint32_t mask = 5;
  int64_t size = 9;
  int32_t is = 4;
  const struct {
    const char* what;
    std::function<bool(ZavelSession*)> failsWithItsValue;
  } calls[] = {
      {"ROpen", [](ZavelSession* s) { return ROpen("/f", 0, s) == nullptr; }},
      {"ROpenDir", [](ZavelSession* s) { return ROpenDir("/d", s) == nullptr; }},
      {"RFopen", [](ZavelSession* s) { return RFopen("/f", "r", s) == nullptr; }},
      {"RStat", [&](ZavelSession* s) { return RStat("/f", &st, s) == 0 && st.st_size == 77; }},
      {"RChgrp", [](ZavelSession* s) { return RChgrp("/f", 2, s) == 0; }},
      {"RReadlink",
       [&](ZavelSession* s) {
         return RReadlink("/l", buffer, sizeof buffer, s) == 0 && strcmp(buffer, "intact") == 0;
       }},
      {"RUmask", [&](ZavelSession* s) { return RUmask(0, &mask, s) == 0 && mask == 5; }},
      {"RFilesize", [&](ZavelSession* s) { return RFilesize("/f", &size, s) == 0 && size == 9; }},
      {"RIs_link", [&](ZavelSession* s) { return RIs_link("/f", &is, s) == 0 && is == 4; }},
  };
  const struct {
    const char* what;
    ZavelSession* session;
    int32_t error;
  } sessions[] = {
      {"club disk", club, 24004},
      {"null", nullptr, 24002},
      {"unknown", reinterpret_cast<ZavelSession*>(&not_a_session), 24002},
  };
  for (const auto& s : sessions) {
    for (const auto& c : calls) {
      zavel_SetLastError(0);
      zavel_SetLastErrStr("before");
      EXPECT_TRUE(c.failsWithItsValue(s.session)) << c.what << " on " << s.what;
      EXPECT_EQ(zavel_GetLastError(), s.error) << c.what << " on " << s.what;
      EXPECT_STREQ(zavel_GetLastErrStr(), "before") << c.what << " on " << s.what;
    }
  }
  zavel_DestroySession(club);
}

TEST_F(Remote, HandlesOfADestroyedSessionFailAsInvalid) {
  start({"fd:12=4"});
  RFileHandle* file = ROpen("/f", 0, session_);
  ASSERT_NE(file, nullptr);
  zavel_DestroySession(session_);
  session_ = nullptr;
  char buffer[4];
  zavel_SetLastError(0);
  EXPECT_EQ(RRead(file, buffer, 4), -1);
  EXPECT_EQ(zavel_GetLastError(), 24002);
  // Closing still releases the handle, though nothing can reach the server any more.
  EXPECT_EQ(RClose(file), 0);
  zavel_SetLastError(0);
  EXPECT_EQ(RClose(file), 0);
  EXPECT_EQ(zavel_GetLastError(), 24002);
}

TEST_F(Remote, StatFillsWhatTheServerSendsAndKeepsTheRest) {
  start(
      {"st_ino:23=0xFEDCBA9876543210 st_mode:22=0100644 st_size:13=6000000000 "
       "st_mtime:12=1100000000 st_gid:22=0xFFFFFFFE",
       "error:12=23006 errstr:30=missing"});
  RStatRecord st;
  memset(&st, 0x5A, sizeof st);
  RStatRecord expected;
  memcpy(&expected, &st, sizeof st);
  expected.st_ino = 0xFEDCBA9876543210ULL;
  expected.st_mode = 0100644;
  expected.st_size = 6000000000LL;
  expected.st_mtime32 = 1100000000;
  expected.st_gid = 0xFFFFFFFEu;
  ASSERT_EQ(RStat("/f", &st, session_), 1);
  EXPECT_EQ(st.st_size, expected.st_size);
  EXPECT_EQ(st.st_ino, expected.st_ino);
  EXPECT_EQ(memcmp(&st, &expected, sizeof st), 0);  // and every field not sent is as it was
  // A failed stat touches nothing.
  EXPECT_EQ(RStat("/g", &st, session_), 0);
  EXPECT_EQ(zavel_GetLastError(), 23006);
  EXPECT_EQ(memcmp(&st, &expected, sizeof st), 0);
}

TEST_F(Remote, ModeTestsLookOnlyAtTheKindBits) {
  const struct {
    uint32_t mode;
    int32_t file, dir, link;
  } cases[] = {
      {0100644, 1, 0, 0},  // regular file
      {040755, 0, 1, 0},   // 0x41ED: directory
      {0120777, 0, 0, 1},  // symbolic link: shares a bit with regular files
      {060660, 0, 0, 0},   // block device: shares a bit with directories
      {0140755, 0, 0, 0},  // socket: has both of those bits
      {020666, 0, 0, 0},   // character device
  };
  std::vector<std::string> answers;
  for (const auto& c : cases) {
    for (int i = 0; i < 5; ++i) answers.push_back("st_mode:22=" + std::to_string(c.mode));
  }
  answers.push_back("error:12=23006 errstr:30=missing");
  answers.push_back("");  // a stat that names no mode
  start(answers);
  for (const auto& c : cases) {
    int32_t is_file = -1, is_dir = -1, is_link = -1;
    uint32_t perms = 0, type = 0;
    ASSERT_EQ(RIs_file("/p", &is_file, session_), 1);
    ASSERT_EQ(RIs_dir("/p", &is_dir, session_), 1);
    ASSERT_EQ(RIs_link("/p", &is_link, session_), 1);
    ASSERT_EQ(RFileperms("/p", &perms, session_), 1);
    ASSERT_EQ(RFiletype("/p", &type, session_), 1);
    EXPECT_EQ(is_file, c.file) << std::oct << c.mode;
    EXPECT_EQ(is_dir, c.dir) << std::oct << c.mode;
    EXPECT_EQ(is_link, c.link) << std::oct << c.mode;
    EXPECT_EQ(perms, c.mode);
    EXPECT_EQ(type, c.mode);
  }
  int64_t size = 123;
  EXPECT_EQ(RFilesize("/p", &size, session_), 0);
  EXPECT_EQ(size, 123);
  EXPECT_EQ(RFilesize("/p", &size, session_), 1);
  EXPECT_EQ(size, 123);  // the server named no size: the caller's value stands

  ASSERT_TRUE(server_.waitDone());
  const auto requests = sent();
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(requests[i * 5 + 1], "_cmd:30=llf_stat filename:30=/p");
    EXPECT_EQ(requests[i * 5 + 2], "_cmd:30=llf_lstat filename:30=/p");
  }
}

TEST_F(Remote, StreamPositionFollowsReadsWritesAndSeeks) {
  start({"fp:12=2", "size:12=5", "size:12=3 data:40=abc", "size:12=0", "size:12=0", "size:13=42",
         "error:12=23001 errstr:30=bad-seek", "size:12=0", "size:13=1099511627776", ""});
  RStreamHandle* s = RFopen("/s", "w+", session_);
  ASSERT_NE(s, nullptr);
  char buffer[8];
  EXPECT_EQ(RFwrite(s, "hello", 5), 5);
  EXPECT_EQ(s->position, 5);
  EXPECT_EQ(RFread(s, buffer, 8), 3);
  EXPECT_EQ(s->position, 8);
  EXPECT_EQ(RFseek(s, 2, 0), 0);
  EXPECT_EQ(s->position, 2);
  // From the end the result is the server's to say: it is asked.
  EXPECT_EQ(RFseek(s, -3, 2), 0);
  EXPECT_EQ(s->position, 42);
  EXPECT_EQ(RFseek(s, 7, 0), -1);
  EXPECT_EQ(zavel_GetLastError(), 23001);
  EXPECT_EQ(s->position, 42);
  EXPECT_EQ(RRewind(s), 1);
  EXPECT_EQ(s->position, 0);
  int64_t at = 0;
  EXPECT_EQ(RFtell(s, &at), 1);
  EXPECT_EQ(at, 1LL << 40);

  EXPECT_EQ(RFclose(s), 1);

  ASSERT_TRUE(server_.waitDone());
  const auto requests = sent();
  ASSERT_EQ(requests.size(), 10u);
  EXPECT_NE(requests[2].find("offset:13=5 "), std::string::npos) << requests[2];
  EXPECT_NE(requests[4].find("offset:13=-3 offsetex:13=2 whence:12=2"), std::string::npos)
      << requests[4];
  EXPECT_EQ(requests[5], "_cmd:30=llf_ftell filename:30=/s fp:12=2 mode:30=w+");
  EXPECT_NE(requests[7].find("offset:13=0 offsetex:13=42 whence:12=0"), std::string::npos)
      << requests[7];
}

TEST(RemoteHandles, ListStaysWholeUnderConcurrentOpenAndClose) {
  HandleList<RFileHandle> list;
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  std::atomic<int> lost{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        auto record = std::make_unique<RFileHandle>();
        record->fd = t * kRounds + i;
        RFileHandle* h = list.add(std::move(record));
        std::shared_ptr<RFileHandle> found = list.find(h);
        if (!found || found->fd != t * kRounds + i) ++lost;
        // While the taken record lives its address cannot be handed out again.
        std::shared_ptr<RFileHandle> taken = list.remove(h);
        if (!taken || list.find(h) || list.remove(h)) ++lost;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(lost.load(), 0);
  EXPECT_EQ(list.size(), 0u);
}

}  // namespace
}  // namespace zavel
