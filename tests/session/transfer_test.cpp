#include "session/transfer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "platform/queued_window.h"
#include "session/server_copy.h"
#include "tests/session/wire_text.h"  // the fake server, the session and the standard headers
#include "tests/support/local_files.h"

namespace zavel {
namespace {

namespace fs = std::filesystem;
using testing::expectThreadError;
using testing::FakeServer;
using testing::framedBytes;
using testing::okReply;
using testing::readFile;
using testing::Scripted;
using testing::writeFile;
using Bytes = std::vector<uint8_t>;

// Bytes whose value depends on their position, so a byte out of place shows.
Bytes pattern(uint64_t from, size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i)
    bytes[i] = static_cast<uint8_t>(((from + i) * 2654435761u) >> 13);
  return bytes;
}

template <typename... Parts>
Bytes joined(const Parts&... parts) {
  Bytes out;
  (out.insert(out.end(), parts.begin(), parts.end()), ...);
  return out;
}

Bytes position8(uint64_t position) {
  Bytes bytes(8);
  for (int i = 7; i >= 0; --i, position >>= 8) bytes[static_cast<size_t>(i)] = position & 0xFF;
  return bytes;
}

std::string str(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

const ParamRecord kSize5 = testing::rec("size:12=5");

// A transfer's opening request as the server sees it.
std::string opening(const char* command, const char* path, uint64_t start, uint64_t end,
                    const char* truncate = "") {
  return std::string("_cmd:30=") + command + " endpos:23=" + std::to_string(end) + truncate +
         " path:30=" + path + " startpos:23=" + std::to_string(start);
}

// Every progress report, copied while it ran.
std::vector<TransferProgress> g_reports;
std::function<void(const TransferProgress&)> g_on_report;

void recordReport(const TransferProgress* p) {
  g_reports.push_back(*p);
  if (g_on_report) g_on_report(*p);
}

std::vector<uint64_t> reportedPositions() {
  std::vector<uint64_t> out;
  for (const auto& p : g_reports) out.push_back(p.position);
  return out;
}

// Download chunks a data callback was given.
struct Chunk {
  uint64_t position;
  Bytes bytes;
};
std::vector<Chunk> g_chunks;

int32_t keepChunk(void* buffer, uint32_t count, uint64_t position, void*) {
  const auto* b = static_cast<const uint8_t*>(buffer);
  g_chunks.push_back({position, Bytes(b, b + count)});
  return 0;
}

// Upload source over a byte vector: hands out at most `step` bytes a call, then 0.
struct Supply {
  Bytes data;
  size_t given = 0;
  size_t step = 65536;
  std::vector<uint64_t> positions;  // the position of each call
};

int32_t supply(void* buffer, uint32_t count, uint64_t position, void* user) {
  auto* s = static_cast<Supply*>(user);
  s->positions.push_back(position);
  const size_t n = std::min({static_cast<size_t>(count), s->step, s->data.size() - s->given});
  memcpy(buffer, s->data.data() + s->given, n);
  s->given += n;
  return static_cast<int32_t>(n);
}

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    reset();
    fs::create_directories(temp_.base);
  }
  void TearDown() override {
    g_on_report = nullptr;
    fs::remove_all(temp_.base);
  }

  static void reset() {
    g_reports.clear();
    g_chunks.clear();
    g_on_report = nullptr;
    testing::staleThreadError();
  }

  static TransferSpec job(const char* source, const char* destination, uint64_t start, uint64_t end,
                          int32_t truncate = 0) {
    return {source, destination,   start,   end,     truncate, nullptr,
            0,      &recordReport, nullptr, nullptr, nullptr,  nullptr};
  }

  // Runs a 'd'ownload, 'u'pload or 'c'opy to a standard server.
  static bool run(char kind, Scripted& t, TransferSpec& s, int32_t* cancel = nullptr) {
    CopyTarget target{"127.0.0.1", 9553, "peer", ""};
    if (kind == 'd') return t.session->download(&s, cancel);
    if (kind == 'u') return t.session->upload(&s, cancel);
    return t.session->copyEx(&target, &s, cancel);
  }

  // Every report names this session, TransferSpec and direction; positions never go back.
  static void expectReportsOf(Scripted& t, const TransferSpec& s, int32_t direction) {
    const auto* session = reinterpret_cast<ZavelSession*>(static_cast<Session*>(t.session.get()));
    ASSERT_FALSE(g_reports.empty());
    uint64_t last = 0;
    for (const TransferProgress& p : g_reports) {
      EXPECT_EQ(p.session, session);
      EXPECT_EQ(p.spec, &s);
      EXPECT_EQ(p.direction, direction);
      EXPECT_EQ(p.userValue, direction == ZAVEL_DIRECTION_COPY ? nullptr : s.userValue);
      EXPECT_EQ(p.reserved[0] | p.reserved[1] | p.reserved[2] | p.reserved[3], 0u);
      EXPECT_GE(p.position, last);
      last = p.position;
    }
  }

  // At least one report per step of at most 64 KiB besides the first, from start to end.
  static void expectSteps(uint64_t start, uint64_t end, size_t first_reports) {
    const auto positions = reportedPositions();
    ASSERT_GE(positions.size(), first_reports + (end - start + 65535) / 65536);
    EXPECT_GE(positions.front(), start);
    EXPECT_EQ(positions.back(), end);
    for (size_t i = 1; i < positions.size(); ++i)
      EXPECT_LE(positions[i] - positions[i - 1], 65536u);
  }

  struct {
    fs::path base = fs::temp_directory_path() / ("zavel-transfer-" + std::to_string(::getpid()));
    std::string operator/(const char* name) const { return (base / name).string(); }
  } temp_;
};

TEST_F(Transfer, DownloadMovesItsRangeInStepsOfAtMost64KiBThenReadsTheFinalReply) {
  const struct {
    const char* what;
    uint64_t start, end;
    bool to_file;
    int32_t truncate;
    int32_t final_error;
    bool with_reply = false;  // the opening reply comes in the same piece as the data
  } cases[] = {
      // Data and final reply come in one piece: the last step must take only what is left.
      {"to a local file", 1000, 151000, true, 0, 0},
      {"to the data callback", 1000, 151000, false, 0, 0},
      {"right behind the opening reply", 1000, 151000, false, 0, 0, true},
      {"exactly one step", 0, 65536, false, 0, 0},
      {"resumed after the file's bytes", 1000, 1500, true, 0, 0},
      {"resumed into an emptied file", 1000, 1500, true, 1, 0},
      {"an empty range into a new file", 0, 0, true, 0, 0},
      {"an empty range", 4096, 4096, false, 0, 0},
      // A refusal in the final reply leaves the stream in step.
      {"an empty range the final reply refuses", 4096, 4096, false, 0, 23007},
  };
  const std::string local = temp_ / "down";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    reset();
    const Bytes data = pattern(c.start, c.end - c.start);
    Scripted t([&](FakeServer& s) {
      const Bytes rest = joined(data, framedBytes(okReply(c.final_error, "final")));
      if (c.with_reply) s.receive().raw(joined(framedBytes(okReply()), rest));
      if (!c.with_reply) s.answer(okReply()).raw(rest);
      s.answer(kSize5);
    });
    const std::string before = str(pattern(0, c.start));
    fs::remove(local);
    if (c.start > 0) writeFile(local, before);
    TransferSpec s = job("/r/big", c.to_file ? local.c_str() : nullptr, c.start, c.end, c.truncate);
    s.userValue = &t;
    if (!c.to_file) s.dataCallback = &keepChunk;

    EXPECT_EQ(t.session->download(&s, nullptr), c.final_error == 0);
    expectThreadError(c.final_error, "");        // the opening request's text, not the final's
    EXPECT_EQ(t.session->getFileSize("/r"), 5);  // the stream stayed in step
    const auto commands = t.commands();
    EXPECT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], opening("download", "/r/big", c.start, c.end));
    EXPECT_EQ(t.server.connectionsAccepted(), 1);
    if (c.to_file) {
      EXPECT_EQ(readFile(local), (c.truncate ? std::string(c.start, '\0') : before) + str(data));
    } else {
      uint64_t next = c.start;
      Bytes got;
      for (const Chunk& k : g_chunks) {
        EXPECT_LE(k.bytes.size(), 65536u);
        EXPECT_EQ(k.position, next);
        next += k.bytes.size();
        got.insert(got.end(), k.bytes.begin(), k.bytes.end());
      }
      EXPECT_EQ(got, data);
    }
    expectReportsOf(t, s, ZAVEL_DIRECTION_DOWNLOAD);
    expectSteps(c.start, c.end, 1);
    EXPECT_EQ(reportedPositions().front(), c.start);
    EXPECT_TRUE(c.start != c.end || g_reports.size() == 1u) << "an empty range reports once";
    for (const auto& p : g_reports) EXPECT_EQ(p.status, 0);
  }
}

TEST_F(Transfer, UnusableSpecsOrLocalFilesFailBeforeAnythingIsSent) {
  const uint64_t kHuge = uint64_t{1} << 63;
  const std::string missing = temp_ / "no/such/folder/f";
  const std::string too_long = "/tmp/" + std::string(5000, 'a');
  const std::string never = temp_ / "never-made";
  const std::string any = temp_ / "f";
  const std::string source = temp_ / "source";
  writeFile(source, "abc");
  const struct {
    const char* what;
    char kind;
    const char* source;
    const char* destination;
    uint64_t start, end;
    bool callback;
    int32_t error;
  } cases[] = {
      {"download to a file and a callback", 'd', "/r/f", never.c_str(), 0, 10, true, 24001},
      {"download with its end below its start", 'd', "/r/f", never.c_str(), 10, 9, false, 24001},
      {"upload from a file and a callback", 'u', source.c_str(), "/r/f", 0, 3, true, 24001},
      {"upload with its end below its start", 'u', source.c_str(), "/r/f", 3, 0, false, 24001},
      {"upload of a range from nothing", 'u', nullptr, "/r/f", 0, 3, false, 24001},
      {"copy with its end below its start", 'c', "/r/f", "/r/g", 1, 0, false, 24001},
      // /dev/null takes any position but always lands on 0.
      {"download to /dev/null at 1000", 'd', "/r/f", "/dev/null", 1000, 2000, false, 23002},
      {"download beyond any file offset", 'd', "/r/f", any.c_str(), kHuge, kHuge, false, 23002},
      {"download into a missing folder", 'd', "/r/f", missing.c_str(), 0, 10, false, 23002},
      {"download to a name too long", 'd', "/r/f", too_long.c_str(), 0, 10, false, 23002},
      {"upload from a missing file", 'u', missing.c_str(), "/r/f", 0, 10, false, 23002},
      {"upload from /dev/null at 1000", 'u', "/dev/null", "/r/f", 1000, 2000, false, 23002},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    reset();
    Scripted t([](FakeServer&) {});
    testing::staleThreadError();
    TransferSpec s = job(c.source, c.destination, c.start, c.end);
    if (c.callback) s.dataCallback = &keepChunk;
    EXPECT_FALSE(run(c.kind, t, s));
    expectThreadError(c.error, "kept");
    EXPECT_TRUE(t.commands().empty());
    EXPECT_TRUE(g_reports.empty());
    EXPECT_FALSE(fs::exists(never));
    EXPECT_EQ(readFile(source), "abc");
  }
  // No TransferSpec or no CopyTarget at all.
  Scripted t([](FakeServer&) {});
  TransferSpec s = job("/r/f", "/r/g", 0, 1);
  CopyTarget target{"127.0.0.1", 9553, "peer", ""};
  EXPECT_FALSE(t.session->download(nullptr, nullptr) || t.session->upload(nullptr, nullptr) ||
               t.session->copyEx(&target, nullptr, nullptr) ||
               t.session->copyEx(nullptr, &s, nullptr));
  expectThreadError(24001);
  EXPECT_TRUE(t.commands().empty());
}

TEST_F(Transfer, CancelledDownloadSucceedsClosesTheConnectionAndTheNextCommandSignsOnAgain) {
  Scripted t([&](FakeServer& s) {
    s.answer(okReply()).raw(pattern(0, 66000)).accept().answer(okReply()).answer(kSize5);
  });
  int32_t cancel = 0;
  // Cancelled from the report that follows the first data.
  g_on_report = [&](const TransferProgress& p) {
    if (p.position > 0) cancel = 1;
  };
  TransferSpec s = job("/r/f", nullptr, 0, 1000000);
  EXPECT_TRUE(t.session->download(&s, &cancel));
  expectThreadError(0);
  EXPECT_FALSE(t.session->connection().connected());
  // One step was taken, then the closing report.
  ASSERT_EQ(g_reports.size(), 3u);
  EXPECT_EQ(g_reports[2].position, g_reports[1].position);
  EXPECT_EQ(g_reports[2].status, 0);

  EXPECT_EQ(t.session->getFileSize("/r/f"), 5);
  const auto commands = t.commands();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[1], "_cmd:30=setuser id:30=alice version:30=4.10.20.1");
  EXPECT_EQ(t.server.connectionsAccepted(), 2);
}

TEST_F(Transfer, FailureMidwayEndsWithItsStatusReportedAndTheConnectionClosed) {
  const std::string local = temp_ / "short";
  writeFile(local, str(pattern(0, 1000)));
  auto refuse = [](void*, uint32_t, uint64_t, void*) { return int32_t{-1}; };
  auto overfill = [](void*, uint32_t count, uint64_t, void*) {
    return static_cast<int32_t>(count) + 1;
  };
  const struct {
    const char* what;
    char kind;
    std::function<void(FakeServer&)> after;  // what the server does after the opening reply
    ZavelDataCallback callback;
    const char* file;
    int32_t error;
    uint64_t position;    // of the last report
    size_t received = 0;  // bytes the server takes in
  } cases[] = {
      {"download: the server stalls longer than a step may wait", 'd',
       [](FakeServer& s) { s.raw(pattern(0, 1000)).stall(60000); }, nullptr, nullptr, 21002, 1000},
      {"download: the server closes, receives come back empty", 'd',
       [](FakeServer& s) { s.raw(pattern(0, 1000)).close(); }, nullptr, nullptr, 21002, 1000},
      {"download callback gives -1", 'd', [](FakeServer& s) { s.raw(pattern(0, 1000)); }, refuse,
       nullptr, 23002, 0},
      {"upload callback gives -1", 'u', [](FakeServer&) {}, refuse, nullptr, 23002, 0},
      {"upload callback claims more than it was asked for", 'u', [](FakeServer&) {}, overfill,
       nullptr, 23002, 0},
      // After the file's bytes the server waits for more: only a closed connection ends it.
      {"upload whose file ends before the range", 'u',
       [](FakeServer& s) { s.receiveRaw(1000).receive(); }, nullptr, local.c_str(), 23002, 1000,
       1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    reset();
    Scripted t([&](FakeServer& s) { c.after(s.answer(okReply())); });
    TransferSpec s = c.kind == 'd' ? job("/r/f", nullptr, 0, 5000) : job(c.file, "/r/f", 0, 5000);
    s.dataCallback = c.callback;
    // Should a transfer wait for bytes that never come, the cancel flag ends it.
    int32_t cancel = 0;
    g_on_report = [&](const TransferProgress&) {
      if (g_reports.size() > 100) cancel = 1;
    };
    EXPECT_FALSE(run(c.kind, t, s, &cancel));
    expectThreadError(c.error);
    EXPECT_FALSE(t.session->connection().connected());
    ASSERT_FALSE(g_reports.empty());
    EXPECT_EQ(g_reports.back().status, c.error);
    EXPECT_EQ(g_reports.back().position, c.position);
    if (c.received > 0) {
      EXPECT_TRUE(t.server.waitDone());
      EXPECT_EQ(t.server.rawReceived(), pattern(0, c.received));
      EXPECT_LE(t.server.requests().back().result, 0);
    }
  }
}

TEST_F(Transfer, UploadSendsItsRangeThenReadsTheFinalReply) {
  const struct {
    const char* what;
    bool from_file;
    uint64_t start, end;
    size_t given;  // bytes the source holds from start
    size_t step;   // most a callback gives at once
    int stall;     // the server reads nothing for this long first
    int32_t truncate;
  } cases[] = {
      {"from a file", true, 1000, 150000, 149000, 0, 0, 1},
      // More than the socket buffers of both ends hold, while the server does not read.
      {"meeting a full socket", false, 0, 16u << 20, 16u << 20, 65536, 500, 0},
      // What a callback that ends early gave is sent, and the final reply read.
      {"from a callback that ends early", false, 0, 300000, 100000, 40000, 0, 0},
      {"an empty range", true, 1000, 1000, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    reset();
    const Bytes file = pattern(0, c.start + c.given);
    const std::string local = temp_ / "up";
    writeFile(local, str(file));
    Supply source{Bytes(file.begin() + static_cast<ptrdiff_t>(c.start), file.end()), 0, c.step, {}};
    Scripted t([&](FakeServer& s) {
      s.answer(okReply()).stall(c.stall).receiveRaw(c.given).reply(okReply()).answer(kSize5);
    });
    TransferSpec s =
        job(c.from_file ? local.c_str() : nullptr, "/r/up", c.start, c.end, c.truncate);
    s.dataCallback = c.from_file ? nullptr : &supply;
    s.userValue = &source;
    EXPECT_TRUE(t.session->upload(&s, nullptr));
    expectThreadError(0);
    EXPECT_TRUE(t.session->connection().connected());
    EXPECT_EQ(t.session->getFileSize("/r/up"), 5);
    const std::string truncate = " istrunc:12=" + std::to_string(c.truncate);
    EXPECT_EQ(t.commands()[0], opening("upload", "/r/up", c.start, c.end, truncate.c_str()));
    EXPECT_TRUE(t.server.rawReceived() == source.data);  // no dump of 16 MiB
    EXPECT_EQ(t.server.connectionsAccepted(), 1);
    expectReportsOf(t, s, ZAVEL_DIRECTION_UPLOAD);
    expectSteps(c.start, c.start + c.given, 1);
    // The callback is told what has been sent, never more than it gave.
    for (size_t i = 1; i < source.positions.size(); ++i)
      EXPECT_LE(source.positions[i - 1], source.positions[i]);
  }
}

TEST_F(Transfer, CopyFollowsTheServersPositionsAndTakesAnyFinalReplyAsSuccess) {
  Scripted t([&](FakeServer& s) {
    s.answer(okReply())
        .raw(joined(position8(0), position8(65536), position8(150000),
                    framedBytes(okReply(23007, "disk full"))))
        .answer(kSize5);
  });
  CopyTarget target{"10.0.0.2", 9553, "peer", "pw"};
  const CopyTarget target_before = target;
  TransferSpec s = job("/a/f", "/peer/f", 0, 150000, 1);
  const TransferSpec job_before = s;
  EXPECT_TRUE(t.session->copyEx(&target, &s, nullptr));
  expectThreadError(0);
  EXPECT_EQ(t.session->getFileSize("/a/f"), 5);
  EXPECT_EQ(t.commands()[0],
            "_cmd:30=copyex destpath:30=/peer/f endpos:23=150000 id:30=peer ip:30=10.0.0.2 "
            "istrunc:12=1 pass:30=pw port:12=9553 srcpath:30=/a/f startpos:23=0 version:12=2");
  EXPECT_EQ(reportedPositions(), (std::vector<uint64_t>{0, 65536, 150000}));
  expectReportsOf(t, s, ZAVEL_DIRECTION_COPY);
  EXPECT_EQ(memcmp(&target, &target_before, sizeof target), 0);
  EXPECT_EQ(memcmp(&s, &job_before, sizeof s), 0);
}

TEST_F(Transfer, CopyFailsWhenItsPositionStreamIsOutOfStep) {
  struct Case {
    const char* what;
    Bytes stream;
    uint64_t start;
  };
  const Case cases[] = {
      {"a position past the end", joined(position8(65536), position8(150001)), 0},
      {"a position before the start", position8(5), 1000},
      {"a position cut short", Bytes{0, 0, 0, 0}, 0},
      {"no position at all", Bytes{}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    reset();
    Scripted t([&](FakeServer& s) { s.answer(okReply()).raw(c.stream).close(); });
    CopyTarget target{"10.0.0.2", 9553, "peer", "pw"};
    TransferSpec s = job("/a/f", "/peer/f", c.start, 150000);
    EXPECT_FALSE(t.session->copyEx(&target, &s, nullptr));
    expectThreadError(21002);
    EXPECT_FALSE(t.session->connection().connected());
    for (uint64_t p : reportedPositions()) EXPECT_TRUE(p >= c.start && p <= 150000u) << p;
  }
}

// A club-disk destination that records what the copy told it.
struct FakeClubDestination : PreparedDestination {
  static inline std::vector<std::string> events;
  bool prepare(Where* where) override {
    *where = {"10.9.9.9", "octa", "/club/prepared", 77, 0};
    events.push_back("prepare");
    return true;
  }
  void notify(uint64_t position) override {
    events.push_back("notify " + std::to_string(position));
  }
  void end(int64_t size) override { events.push_back("end " + std::to_string(size)); }
};

std::unique_ptr<PreparedDestination> makeFakeClubDestination(const CopyTarget&, const TransferSpec&,
                                                             int32_t) {
  return std::make_unique<FakeClubDestination>();
}

TEST_F(Transfer, CopyToAClubDiskGoesThroughItsPreparedDestination) {
  int32_t club_kind = kDestinationClubDisk;
  int32_t club_number = 42;
  CopyTarget target{"10.0.0.2", 22222, "member", "pw"};
  {
    // Without club-disk support nothing is sent.
    Scripted t([](FakeServer&) {});
    TransferSpec s = job("/a/f", "/club/f", 0, 10);
    s.destinationKind = &club_kind;
    EXPECT_FALSE(t.session->copyEx(&target, &s, nullptr));
    expectThreadError(24004);
    EXPECT_TRUE(t.commands().empty());
  }
  setClubDestinationMaker(&makeFakeClubDestination);
  const struct {
    const char* what;
    bool accepted;
    uint64_t start;
    std::vector<std::string> events;
  } cases[] = {
      {"copied", true, 0, {"prepare", "notify 0", "notify 10", "end 10"}},
      {"refused from the start", false, 0, {"prepare", "end -2"}},
      {"refused midway", false, 4, {"prepare", "end -3"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    reset();
    FakeClubDestination::events.clear();
    Scripted t([&](FakeServer& s) {
      if (c.accepted) {
        s.answer(okReply()).raw(joined(position8(0), position8(10), framedBytes(okReply())));
      } else {
        s.answer(okReply(23009, "no"));
      }
    });
    TransferSpec s = job("/a/f", "/club/f", c.start, 10);
    s.destinationKind = &club_kind;
    s.destinationExtra = &club_number;
    EXPECT_EQ(t.session->copyEx(&target, &s, nullptr), c.accepted);
    EXPECT_EQ(FakeClubDestination::events, c.events);
    // Reached through the prepared server, on this server's port.
    EXPECT_EQ(t.commands()[0],
              "_cmd:30=copyex destpath:30=/club/prepared endpos:23=10 id:30=octa ip:30=10.9.9.9 "
              "istrunc:12=0 pass:30=pw port:12=" +
                  std::to_string(t.server.port()) +
                  " srcpath:30=/a/f startpos:23=" + std::to_string(c.start) + " version:12=2");
    EXPECT_STREQ(target.host, "10.0.0.2");
    EXPECT_STREQ(s.destination, "/club/f");
  }
  setClubDestinationMaker(nullptr);
}

// Reports and data steps in the order they happened, from whichever thread.
struct Timeline {
  struct Event {
    bool report;
    uint64_t position;
    std::thread::id thread;
    uint32_t message;
    uintptr_t wparam;
  };
  std::mutex mutex;
  std::vector<Event> events;

  void add(const Event& event) {
    std::lock_guard lock(mutex);
    events.push_back(event);
  }
};

int32_t logStep(void*, uint32_t, uint64_t position, void* user) {
  static_cast<Timeline*>(user)->add({false, position, {}, 0, 0});
  return 0;
}

TEST_F(Transfer, ProgressSentToAWindowOnAnotherThreadIsHandledThereInOrderWhileTheTransferWaits) {
  const Bytes data = pattern(0, 300000);
  Scripted t([&](FakeServer& s) { s.answer(okReply()).raw(joined(data, framedBytes(okReply()))); });
  Timeline timeline;
  std::atomic<bool> finished{false};
  std::promise<platform::QueuedWindow*> made;
  std::thread window_thread([&] {
    platform::QueuedWindow window([&](uint32_t message, uintptr_t wparam, intptr_t lparam) {
      const auto* p = reinterpret_cast<const TransferProgress*>(lparam);
      timeline.add({true, p->position, std::this_thread::get_id(), message, wparam});
      return intptr_t{0};
    });
    made.set_value(&window);
    while (!finished) window.dispatch(std::chrono::milliseconds(10));
  });
  const std::thread::id window_id = window_thread.get_id();
  TransferSpec s = job("/r/f", nullptr, 0, data.size());
  s.window = made.get_future().get();
  s.message = 2075;
  s.progressCallback = nullptr;
  s.dataCallback = &logStep;
  s.userValue = &timeline;
  const bool ok = t.session->download(&s, nullptr);
  finished = true;
  window_thread.join();
  EXPECT_TRUE(ok);

  // report start, data start, report p1, data p1, ..., report end: each report was handled
  // on the window's thread before the transfer went on.
  const auto& events = timeline.events;
  ASSERT_GE(events.size(), 3u);
  for (size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(i);
    const Timeline::Event& e = events[i];
    ASSERT_EQ(e.report, i % 2 == 0);
    if (!e.report) {
      EXPECT_EQ(e.position, events[i - 1].position);  // a step starts where the report was
      continue;
    }
    EXPECT_EQ(e.thread, window_id);
    EXPECT_EQ(e.message, 2075u);
    EXPECT_EQ(e.wparam, 0u);
    if (i > 0) {
      EXPECT_GT(e.position, events[i - 1].position);  // the report after a step: where it ended
    }
  }
  EXPECT_TRUE(events.back().report);
  EXPECT_EQ(events.back().position, data.size());
}

}  // namespace
}  // namespace zavel
