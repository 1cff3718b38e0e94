// The R family against the scripted fake server: what goes on the wire, how replies are
// read, and how handles live and die.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "api/remote_handles.h"
#include "tests/api/api_test_support.h"

namespace zavel {
namespace {

using testing::reply;

using Remote = testing::ExportSession;

TEST_F(Remote, RequestsCarryTheirCommandAndParameters) {
  RFileHandle* file = nullptr;
  RDirHandle* dir = nullptr;
  RStreamHandle* stream = nullptr;
  char name[16];
  char bytes[16];
  uint32_t old_mask = 0;
  // What each request repeats about its file and its stream.
  const std::string f = " fd:12=7 filepath:30=/d/f.txt flags:12=66 mode:22=a4010000",
                    st = " filename:30=/d/s fp:12=9 mode:30=rb";
  // clang-format off
  const struct { const char* answer; std::function<void()> call; std::string request; } steps[] = {
    {"fd:12=7", [&] { file = ROpen2("/d/f.txt", 66, 0644, session_); },
     "_cmd:30=llf_open2 filename:30=/d/f.txt flags:12=66 mode:22=a4010000"},
    {"size:12=5", [&] { EXPECT_EQ(RWrite(file, "hello", 5), 5); },
     "_cmd:30=llf_write data:40=68656c6c6f" + f + " offsetex:13=0 size:12=5"},
    {"size:12=0", [&] { EXPECT_EQ(RRead(file, bytes, 16), 0); },
     "_cmd:30=llf_read" + f + " offsetex:13=0 size:12=16"},
    {"size:13=8589934597", [&] { EXPECT_EQ(RSeek(file, 8589934592LL, 1), 8589934597LL); },
     "_cmd:30=llf_seek" + f + " offset:13=8589934592 offsetex:13=0 whence:12=1"},
    {"", [&] { EXPECT_EQ(RClose(file), 1); }, "_cmd:30=llf_close fd:12=7 filepath:30=/d/f.txt"},
    {"hdir:12=3", [&] { dir = ROpenDir("/d", session_); }, "_cmd:30=llf_opendir path:30=/d"},
    {"file:30=a.txt offset:12=1", [&] { EXPECT_EQ(RReadDir(dir, name, sizeof name), 1); },
     "_cmd:30=llf_readdir dirpath:30=/d hdir:12=3 offset:12=0"},
    {"", [&] { EXPECT_EQ(RCloseDir(dir), 1); }, "_cmd:30=llf_closedir dirpath:30=/d hdir:12=3"},
    {"fp:12=9", [&] { stream = RFopen("/d/s", "rb", session_); },
     "_cmd:30=llf_fopen filename:30=/d/s mode:30=rb"},
    {"size:12=4 data:40=abcd", [&] { EXPECT_EQ(RFread(stream, bytes, 10), 4); },
     "_cmd:30=llf_fread" + st + " offset:13=0 size:22=0a000000"},
    {"size:12=0", [&] { EXPECT_EQ(RFseek(stream, 2, 0), 0); },
     "_cmd:30=llf_fseek" + st + " offset:13=2 offsetex:13=4 whence:12=0"},
    {"size:12=2", [&] { EXPECT_EQ(RFwrite(stream, "xy", 2), 2); },
     "_cmd:30=llf_fwrite data:40=7879" + st + " size:12=2"},
    {"", [&] { EXPECT_EQ(RChgrp("/d/f.txt", 100, session_), 1); },
     "_cmd:30=llf_chown group:22=64000000 owner:22=ffffffff path:30=/d/f.txt"},
    {"oldmode:22=077", [&] { EXPECT_EQ(RUmask(022, &old_mask, session_), 1); },
     "_cmd:30=llf_umask mode:22=12000000"},
    {"filename:30=/tmp1", [&] { EXPECT_EQ(RTempnam(name, sizeof name, session_), 1); },
     "_cmd:30=llf_tmpnam"},
  };
  // clang-format on
  std::vector<std::string> answers;
  for (const auto& s : steps) answers.push_back(s.answer);
  start(answers);
  for (const auto& s : steps) s.call();
  EXPECT_EQ(old_mask, 077u);
  EXPECT_STREQ(name, "/tmp1");

  const auto requests = sent();
  ASSERT_EQ(requests.size(), std::size(steps));
  for (size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(requests[i], steps[i].request) << i;
}

TEST_F(Remote, ReadCopiesNoMoreThanTheBufferOrTheReplyHolds) {
  // asked: the caller's size.
  // clang-format off
  const struct { const char* what; const char* reply; int32_t asked; int32_t result; } cases[] = {
      {"whole reply",                   "size:12=5 data:40=hello",  16, 5},
      {"buffer smaller than the reply", "size:12=5 data:40=hello",  3,  3},
      {"size exactly the buffer",       "size:12=5 data:40=hello",  5,  5},
      {"one byte",                      "size:12=1 data:40=h",      1,  1},
      {"end of file",                   "size:12=0",                16, 0},
      {"bytes claimed but not sent",    "size:12=4",                16, -1},
      {"neither size nor data",         "",                         16, -1},
      {"data without size",             "data:40=hello",            16, 5},
      {"size beyond the data",          "size:12=9 data:40=hello",  16, 5},
      {"size short of the data",        "size:12=2 data:40=hello",  16, 2},
      {"negative size",                 "size:12=-1 data:40=hello", 16, -1}};
  // clang-format on
  std::vector<std::string> answers{"fd:12=1"};
  for (const auto& c : cases) answers.push_back(c.reply);
  answers.push_back("error:12=23006 errstr:30=gone");
  start(answers);
  RFileHandle* file = ROpen("/f", 0, session_);
  ASSERT_NE(file, nullptr);
  for (const auto& c : cases) {
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(RRead(file, buffer, c.asked), c.result) << c.what;
    const int copied = c.result > 0 ? c.result : 0;
    EXPECT_EQ(std::string(buffer, copied), std::string("hello", copied)) << c.what;
    for (int i = copied; i < 16; ++i) ASSERT_EQ(buffer[i], '#') << c.what << " byte " << i;
  }
  char buffer[4];
  EXPECT_RESULT(RRead(file, buffer, sizeof buffer), -1, 23006);
  EXPECT_STREQ(zavel_GetLastErrStr(), "gone");

  // Sizes that cannot describe a buffer are refused before anything is sent.
  const size_t before = server_.requests().size();
  EXPECT_RESULT(RRead(file, buffer, -1), -1, 24001);
  EXPECT_RESULT(RWrite(file, buffer, -5), -1, 24001);
  EXPECT_RESULT(RWrite(file, nullptr, 5), -1, 24001);
  EXPECT_EQ(server_.requests().size(), before);
}

TEST_F(Remote, TextAnswersFillTheBufferOnlyWhenTheyFitWithTheirNul) {
  // 7 characters and the NUL: exactly full; one too many; the empty text (null: the reply
  // names none) still needs its NUL.
  // clang-format off
  const struct { const char* answer; uint32_t size; int32_t result; } cases[] = {
      {"/abcdef", 8, 1}, {"/abcdefg", 8, 0}, {"/abcdefg", 9, 1}, {nullptr, 1, 1}, {nullptr, 0, 0}};
  // clang-format on
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
  char small[4], name[16];
  EXPECT_RESULT(RReadDir(dir, small, sizeof small), 0, 24003);
  EXPECT_EQ(dir->offset, 0);  // the same entry can be asked for again
  // Past the end: no name, no step.
  for (const char* expected : {"long-name", "b", "", ""}) {
    EXPECT_EQ(RReadDir(dir, name, sizeof name), 1);
    EXPECT_STREQ(name, expected);
  }
  EXPECT_EQ(dir->offset, 3);
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
  EXPECT_RESULT(ROpenDir("/d", session_), nullptr, 23006);
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
  EXPECT_RESULT(RFclose(stream), 0, 23001);
  ASSERT_TRUE(server_.waitDone());
  const size_t sent_before = server_.requests().size();

  RFileHandle never_opened{};
  char buffer[8];
  RStatRecord st{};
  // clang-format off
  const struct { const char* what; std::function<bool()> failsWithItsValue; } calls[] = {
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
  // clang-format on
  for (const auto& c : calls) {
    zavel_SetLastError(0);
    EXPECT_TRUE(c.failsWithItsValue()) << c.what;
    EXPECT_EQ(zavel_GetLastError(), 24002) << c.what;
  }
  EXPECT_EQ(server_.requests().size(), sent_before);
}

TEST_F(Remote, HandlesOfADestroyedSessionFailAsInvalid) {
  start({"fd:12=4"});
  RFileHandle* file = ROpen("/f", 0, session_);
  ASSERT_NE(file, nullptr);
  zavel_DestroySession(session_);
  session_ = nullptr;
  char buffer[4];
  EXPECT_RESULT(RRead(file, buffer, 4), -1, 24002);
  // Closing still releases the handle, though nothing can reach the server any more.
  EXPECT_EQ(RClose(file), 0);
  EXPECT_RESULT(RClose(file), 0, 24002);
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
  EXPECT_EQ(memcmp(&st, &expected, sizeof st), 0);  // and every field not sent is as it was
  // A failed stat touches nothing.
  EXPECT_RESULT(RStat("/g", &st, session_), 0, 23006);
  EXPECT_EQ(memcmp(&st, &expected, sizeof st), 0);
}

TEST_F(Remote, ModeTestsLookOnlyAtTheKindBits) {
  // A file, a folder, a link (which shares a bit with files), a block device (which shares
  // one with folders), a socket (both bits), a character device.
  // clang-format off
  const struct { uint32_t mode; int32_t file, dir, link; } cases[] = {
      {0100644, 1, 0, 0}, {040755, 0, 1, 0}, {0120777, 0, 0, 1}, {060660, 0, 0, 0},
       {0140755, 0, 0, 0}, {020666, 0, 0, 0}};
  // clang-format on
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
    const int32_t ok = RIs_file("/p", &is_file, session_) + RIs_dir("/p", &is_dir, session_) +
                       RIs_link("/p", &is_link, session_) + RFileperms("/p", &perms, session_) +
                       RFiletype("/p", &type, session_);
    EXPECT_EQ(ok, 5);
    EXPECT_EQ(std::tuple(is_file, is_dir, is_link, perms, type),
              std::tuple(c.file, c.dir, c.link, c.mode, c.mode))
        << std::oct << c.mode;
  }
  int64_t size = 123;
  EXPECT_EQ(RFilesize("/p", &size, session_), 0);
  EXPECT_EQ(size, 123);
  EXPECT_EQ(RFilesize("/p", &size, session_), 1);
  EXPECT_EQ(size, 123);  // the server named no size: the caller's value stands

  const auto requests = sent();
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(requests[i * 5 + 1], "_cmd:30=llf_stat filename:30=/p");
    EXPECT_EQ(requests[i * 5 + 2], "_cmd:30=llf_lstat filename:30=/p");
  }
}

TEST_F(Remote, StreamPositionFollowsReadsWritesAndSeeks) {
  RStreamHandle* s = nullptr;
  char buffer[8];
  int64_t at = 0;
  // From the end the result is the server's to say: it is asked; a failed seek stays put.
  // clang-format off
  const struct { const char* answer; std::function<int64_t()> call; int64_t result,
      position; const char* request; } steps[] = {
      {"fp:12=2",                           [&] { return (s = RFopen("/s", "w+",
       session_)) != nullptr; }, 1, 0, nullptr},
      {"size:12=5",                         [&] { return RFwrite(s, "hello", 5); },      5,  5,
       nullptr},
      {"size:12=3 data:40=abc",             [&] { return RFread(s, buffer, 8); },        3,  8,
       "offset:13=5 "},
      {"size:12=1 data:40=d",               [&] { return RFread(s, buffer, 1); },        1,  9,
       "offset:13=8 "},
      {"size:12=0",                         [&] { return RFseek(s, 2, 0); },             0,  2,
       nullptr},
      {"size:12=0",                         [&] { return RFseek(s, -3, 2); },            0,  42,
       "offset:13=-3 offsetex:13=2 whence:12=2"},
      {"size:13=42",                        nullptr,                                     0,  42,
       "_cmd:30=llf_ftell filename:30=/s fp:12=2 mode:30=w+"},
      {"error:12=23001 errstr:30=bad-seek", [&] { return RFseek(s, 7, 0); },             -1, 42,
       nullptr},
      {"size:12=0",                         [&] { return RRewind(s); },                  1,  0,
       "offset:13=0 offsetex:13=42 whence:12=0"},
      {"size:13=1099511627776",             [&] { return RFtell(s, &at) * at; },         1LL << 40,
       0, nullptr},
      {"",                                  [&] { return RFclose(s); },                  1,  0,
       nullptr}};
  // clang-format on
  std::vector<std::string> answers;
  for (const auto& step : steps) answers.push_back(step.answer);
  start(answers);
  for (size_t i = 0; i < std::size(steps); ++i) {
    if (!steps[i].call) continue;  // the seek from the end asks for the position itself
    EXPECT_EQ(steps[i].call(), steps[i].result) << i;
    EXPECT_TRUE(i + 1 == std::size(steps) || s->position == steps[i].position) << i;  // closed
  }
  const auto requests = sent();
  ASSERT_EQ(requests.size(), std::size(steps));
  for (size_t i = 0; i < std::size(steps); ++i) {
    EXPECT_TRUE(!steps[i].request || requests[i].find(steps[i].request) != std::string::npos)
        << requests[i];
  }
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
