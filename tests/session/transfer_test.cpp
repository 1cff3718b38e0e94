#include "session/transfer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/queued_window.h"
#include "protocol/framing.h"
#include "session/server_copy.h"
#include "session/standard_session.h"
#include "tests/session/wire_text.h"
#include "tests/support/fake_server.h"

namespace zavel {
namespace {

namespace fs = std::filesystem;
using testing::FakeServer;
using testing::okReply;
using testing::Scripted;
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

// A framed reply as raw bytes, to follow a data phase in the same send.
Bytes framed(const ParamRecord& record) {
  Bytes bytes(encodedSize(record));
  const int64_t n = encodeMessage(record, bytes.data(), bytes.size());
  bytes.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
  return bytes;
}

Bytes position8(uint64_t position) {
  Bytes bytes(8);
  for (int i = 7; i >= 0; --i, position >>= 8) bytes[static_cast<size_t>(i)] = position & 0xFF;
  return bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string str(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

const ParamRecord kSize5 = testing::rec("size:12=5");

ZavelSession* handle(Scripted& t) {
  return reinterpret_cast<ZavelSession*>(static_cast<Session*>(t.session.get()));
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

int32_t refuse(void*, uint32_t, uint64_t, void*) {
  return -1;
}

int32_t overfill(void*, uint32_t count, uint64_t, void*) {
  return static_cast<int32_t>(count) + 1;
}

// Upload source over a byte vector: hands out at most `step` bytes a call, then 0.
struct Supply {
  explicit Supply(Bytes bytes) : data(std::move(bytes)) {}
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
    zavel_SetLastError(-7);
    zavel_SetLastErrStr("kept");
  }

  static TransferSpec spec(const char* source, const char* destination, uint64_t start,
                           uint64_t end, int32_t truncate = 0) {
    return {source, destination,   start,   end,     truncate, nullptr,
            0,      &recordReport, nullptr, nullptr, nullptr,  nullptr};
  }

  // Every report names this session, TransferSpec and direction; positions never go back.
  static void expectReportsOf(ZavelSession* session, const TransferSpec& s, int32_t direction) {
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

  struct {
    fs::path base = fs::temp_directory_path() / ("zavel-transfer-" + std::to_string(::getpid()));
    std::string operator/(const char* name) const { return (base / name).string(); }
  } temp_;
};

TEST_F(Transfer, DownloadMovesTheRangeInStepsOfAtMost64KiBAtTheirPositions) {
  const uint64_t kStart = 1000, kEnd = 151000;
  const Bytes data = pattern(kStart, kEnd - kStart);
  for (const bool to_file : {true, false}) {
    SCOPED_TRACE(to_file ? "local file" : "data callback");
    reset();
    // Data and final reply come in one piece: the last step must take only what is left.
    Scripted t([&](FakeServer& s) {
      s.answer(okReply()).raw(joined(data, framed(okReply()))).answer(kSize5);
    });
    const std::string local = temp_ / "big";
    writeFile(local, std::string(kStart, 'x'));
    TransferSpec s = spec("/r/big", to_file ? local.c_str() : nullptr, kStart, kEnd);
    s.userValue = &t;
    if (!to_file) s.dataCallback = &keepChunk;

    EXPECT_TRUE(t.session->download(&s, nullptr));
    EXPECT_EQ(zavel_GetLastError(), 0);
    EXPECT_STREQ(zavel_GetLastErrStr(), "");     // the opening request's
    EXPECT_EQ(t.session->getFileSize("/r"), 5);  // the stream stayed in step
    EXPECT_EQ(t.commands()[0], "_cmd:30=download endpos:23=151000 path:30=/r/big startpos:23=1000");
    EXPECT_EQ(t.server.connectionsAccepted(), 1);

    if (to_file) {
      EXPECT_EQ(readFile(local), std::string(kStart, 'x') + str(data));
    } else {
      uint64_t next = kStart;
      Bytes got;
      for (const Chunk& c : g_chunks) {
        EXPECT_LE(c.bytes.size(), 65536u);
        EXPECT_EQ(c.position, next);
        next += c.bytes.size();
        got.insert(got.end(), c.bytes.begin(), c.bytes.end());
      }
      EXPECT_EQ(got, data);
    }
    expectReportsOf(handle(t), s, ZAVEL_DIRECTION_DOWNLOAD);
    const auto positions = reportedPositions();
    ASSERT_GE(positions.size(), 4u);
    EXPECT_EQ(positions.front(), kStart);
    EXPECT_EQ(positions.back(), kEnd);
    for (size_t i = 1; i < positions.size(); ++i)
      EXPECT_LE(positions[i] - positions[i - 1], 65536u);
    for (const auto& p : g_reports) EXPECT_EQ(p.status, 0);
  }
}

TEST_F(Transfer, DownloadOfAnEmptyRangeMovesNothingAndReportsTheFinalReply) {
  const struct {
    int32_t final_error;
    bool ok;
  } cases[] = {{0, true}, {23007, false}};
  for (const auto& c : cases) {
    reset();
    Scripted t([&](FakeServer& s) {
      s.answer(okReply()).reply(okReply(c.final_error, "final")).answer(kSize5);
    });
    TransferSpec s = spec("/r/f", nullptr, 4096, 4096);
    s.dataCallback = &keepChunk;
    EXPECT_EQ(t.session->download(&s, nullptr), c.ok);
    EXPECT_EQ(zavel_GetLastError(), c.final_error);
    EXPECT_STREQ(zavel_GetLastErrStr(), "");  // the final reply's text is not taken
    EXPECT_TRUE(g_chunks.empty());
    EXPECT_EQ(reportedPositions(), std::vector<uint64_t>{4096});
    // A refusal in the final reply leaves the stream in step.
    EXPECT_EQ(t.session->getFileSize("/r"), 5);
    EXPECT_EQ(t.commands().size(), 2u);
    EXPECT_EQ(t.server.connectionsAccepted(), 1);
  }
}

TEST_F(Transfer, ResumedDownloadContinuesAfterTheExistingBytes) {
  const std::string existing = str(pattern(0, 1000));
  const Bytes rest = pattern(1000, 500);
  const struct {
    int32_t truncate;
    std::string before;  // what the local file holds in front of the new bytes
  } cases[] = {{0, existing}, {1, std::string(1000, '\0')}};
  for (const auto& c : cases) {
    reset();
    Scripted t([&](FakeServer& s) { s.answer(okReply()).raw(rest).reply(okReply()); });
    const std::string local = temp_ / "resume";
    writeFile(local, existing);
    TransferSpec s = spec("/r/f", local.c_str(), 1000, 1500, c.truncate);
    EXPECT_TRUE(t.session->download(&s, nullptr));
    EXPECT_EQ(readFile(local), c.before + str(rest)) << c.truncate;
  }
}

TEST_F(Transfer, LocalFileThatCannotBeOpenedOrPlacedAtStartFailsBeforeAnythingIsSent) {
  const uint64_t kHuge = uint64_t{1} << 63;
  const std::string missing = temp_ / "no/such/folder/f";
  const std::string too_long = "/tmp/" + std::string(5000, 'a');
  const struct {
    const char* what;
    bool download;
    std::string local;
    uint64_t start, end;
  } cases[] = {
      // /dev/null takes any position but always lands on 0.
      {"download to /dev/null at 1000", true, "/dev/null", 1000, 2000},
      {"download beyond any file offset", true, temp_ / "f", kHuge, kHuge},
      {"download into a missing folder", true, missing, 0, 10},
      {"download to a name too long", true, too_long, 0, 10},
      {"upload from a missing file", false, missing, 0, 10},
      {"upload from /dev/null at 1000", false, "/dev/null", 1000, 2000},
  };
  for (const auto& c : cases) {
    reset();
    Scripted t([](FakeServer&) {});
    zavel_SetLastErrStr("kept");
    TransferSpec s = c.download ? spec("/r/f", c.local.c_str(), c.start, c.end)
                                : spec(c.local.c_str(), "/r/f", c.start, c.end);
    EXPECT_FALSE(c.download ? t.session->download(&s, nullptr) : t.session->upload(&s, nullptr))
        << c.what;
    EXPECT_EQ(zavel_GetLastError(), 23002) << c.what;
    EXPECT_STREQ(zavel_GetLastErrStr(), "kept") << c.what;
    EXPECT_TRUE(t.commands().empty()) << c.what;
    EXPECT_TRUE(g_reports.empty()) << c.what;
  }
}

TEST_F(Transfer, UnusableSpecsAreRefusedBeforeAnythingIsOpenedOrSent) {
  const std::string local = temp_ / "never-made";
  const std::string source = temp_ / "source";
  writeFile(source, "abc");
  const struct {
    const char* what;
    char kind;  // 'd'ownload, 'u'pload, 'c'opy
    const char* source;
    const char* destination;
    uint64_t start, end;
    bool callback;
  } cases[] = {
      {"download to a file and a callback", 'd', "/r/f", local.c_str(), 0, 10, true},
      {"download with its end below its start", 'd', "/r/f", local.c_str(), 10, 9, false},
      {"upload from a file and a callback", 'u', source.c_str(), "/r/f", 0, 3, true},
      {"upload with its end below its start", 'u', source.c_str(), "/r/f", 3, 0, false},
      {"upload of a range from nothing", 'u', nullptr, "/r/f", 0, 3, false},
      {"copy with its end below its start", 'c', "/r/f", "/r/g", 1, 0, false},
  };
  for (const auto& c : cases) {
    reset();
    Scripted t([](FakeServer&) {});
    zavel_SetLastErrStr("kept");
    TransferSpec s = spec(c.source, c.destination, c.start, c.end);
    if (c.callback) s.dataCallback = &keepChunk;
    CopyTarget target{"127.0.0.1", 9553, "peer", ""};
    bool ok = true;
    switch (c.kind) {
      case 'd':
        ok = t.session->download(&s, nullptr);
        break;
      case 'u':
        ok = t.session->upload(&s, nullptr);
        break;
      default:
        ok = t.session->copyEx(&target, &s, nullptr);
    }
    EXPECT_FALSE(ok) << c.what;
    EXPECT_EQ(zavel_GetLastError(), 24001) << c.what;
    EXPECT_STREQ(zavel_GetLastErrStr(), "kept") << c.what;
    EXPECT_TRUE(t.commands().empty()) << c.what;
    EXPECT_FALSE(fs::exists(local)) << c.what;
    EXPECT_EQ(readFile(source), "abc");
  }
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
  TransferSpec s = spec("/r/f", nullptr, 0, 1000000);
  EXPECT_TRUE(t.session->download(&s, &cancel));
  EXPECT_EQ(zavel_GetLastError(), 0);
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

TEST_F(Transfer, DownloadFailsWhenTheServerStallsOrClosesMidFile) {
  const struct {
    const char* what;
    std::function<void(FakeServer&)> then;
  } cases[] = {
      {"stalls longer than a step may wait", [](FakeServer& s) { s.stall(60000); }},
      {"closes: empty receives", [](FakeServer& s) { s.close(); }},
  };
  for (const auto& c : cases) {
    reset();
    Scripted t([&](FakeServer& s) {
      s.answer(okReply()).raw(pattern(0, 1000));
      c.then(s);
    });
    TransferSpec s = spec("/r/f", nullptr, 0, 5000);
    EXPECT_FALSE(t.session->download(&s, nullptr)) << c.what;
    EXPECT_EQ(zavel_GetLastError(), 21002) << c.what;
    EXPECT_FALSE(t.session->connection().connected()) << c.what;
    ASSERT_FALSE(g_reports.empty());
    EXPECT_EQ(g_reports.back().status, 21002) << c.what;
    EXPECT_EQ(g_reports.back().position, 1000u) << c.what;
  }
}

TEST_F(Transfer, DataCallbackThatAbortsFailsTheTransferAndClosesTheConnection) {
  const struct {
    const char* what;
    bool download;
    ZavelDataCallback callback;
  } cases[] = {
      {"download callback gives -1", true, &refuse},
      {"upload callback gives -1", false, &refuse},
      {"upload callback claims more than it was asked for", false, &overfill},
  };
  for (const auto& c : cases) {
    reset();
    Scripted t([&](FakeServer& s) {
      s.answer(okReply());
      if (c.download) s.raw(pattern(0, 1000));
    });
    TransferSpec s = spec(nullptr, nullptr, 0, 5000);
    (c.download ? s.source : s.destination) = "/r/f";
    s.dataCallback = c.callback;
    EXPECT_FALSE(c.download ? t.session->download(&s, nullptr) : t.session->upload(&s, nullptr))
        << c.what;
    EXPECT_EQ(zavel_GetLastError(), 23002) << c.what;
    EXPECT_FALSE(t.session->connection().connected()) << c.what;
  }
}

TEST_F(Transfer, UploadSendsItsRangeOfTheFileAndReadsTheFinalReply) {
  const Bytes file = pattern(0, 150000);
  const std::string local = temp_ / "up";
  writeFile(local, str(file));
  Scripted t([&](FakeServer& s) {
    s.answer(okReply()).receiveRaw(149000).reply(okReply()).answer(kSize5);
  });
  TransferSpec s = spec(local.c_str(), "/r/up", 1000, 150000, 1);
  s.userValue = &s;
  EXPECT_TRUE(t.session->upload(&s, nullptr));
  EXPECT_EQ(zavel_GetLastError(), 0);
  EXPECT_EQ(t.session->getFileSize("/r/up"), 5);
  EXPECT_EQ(t.commands()[0],
            "_cmd:30=upload endpos:23=150000 istrunc:12=1 path:30=/r/up startpos:23=1000");
  EXPECT_EQ(t.server.rawReceived(), Bytes(file.begin() + 1000, file.end()));
  EXPECT_EQ(t.server.connectionsAccepted(), 1);
  expectReportsOf(handle(t), s, ZAVEL_DIRECTION_UPLOAD);
  const auto positions = reportedPositions();
  ASSERT_GE(positions.size(), 3u);
  EXPECT_EQ(positions.back(), 150000u);
  EXPECT_GE(positions.front(), 1000u);
  for (size_t i = 1; i < positions.size(); ++i) EXPECT_LE(positions[i] - positions[i - 1], 65536u);
}

TEST_F(Transfer, UploadThatMeetsAFullSocketDeliversEveryByteOnceThePeerReadsAgain) {
  // More than the socket buffers of both ends hold, while the server does not read.
  const size_t kSize = 16u << 20;
  Supply source(pattern(0, kSize));
  Scripted t(
      [&](FakeServer& s) { s.answer(okReply()).stall(500).receiveRaw(kSize).reply(okReply()); });
  TransferSpec s = spec(nullptr, "/r/big", 0, kSize);
  s.dataCallback = &supply;
  s.userValue = &source;
  s.progressCallback = nullptr;
  EXPECT_TRUE(t.session->upload(&s, nullptr));
  EXPECT_EQ(zavel_GetLastError(), 0);
  EXPECT_TRUE(t.server.waitDone());
  EXPECT_TRUE(t.server.rawReceived() == source.data);
  // The callback is told what has been sent, never more than it gave.
  for (size_t i = 1; i < source.positions.size(); ++i)
    EXPECT_LE(source.positions[i - 1], source.positions[i]);
}

TEST_F(Transfer, UploadFromACallbackThatEndsEarlySendsWhatItGaveAndReadsTheFinalReply) {
  Supply source(pattern(0, 100000));
  source.step = 40000;
  Scripted t([&](FakeServer& s) { s.answer(okReply()).receiveRaw(100000).reply(okReply()); });
  TransferSpec s = spec(nullptr, "/r/f", 0, 300000);
  s.dataCallback = &supply;
  s.userValue = &source;
  EXPECT_TRUE(t.session->upload(&s, nullptr));
  EXPECT_EQ(zavel_GetLastError(), 0);
  EXPECT_TRUE(t.server.waitDone());
  EXPECT_EQ(t.server.rawReceived(), source.data);
  EXPECT_TRUE(t.session->connection().connected());
  EXPECT_EQ(g_reports.back().position, 100000u);
}

TEST_F(Transfer, UploadWhoseFileEndsBeforeTheRangeFailsAndClosesTheConnection) {
  const std::string local = temp_ / "short";
  writeFile(local, str(pattern(0, 1000)));
  // After the file's bytes the server waits for more: only a closed connection ends it.
  Scripted t([&](FakeServer& s) { s.answer(okReply()).receiveRaw(1000).receive(); });
  TransferSpec s = spec(local.c_str(), "/r/f", 0, 5000);
  // Should the upload wait for bytes that never come, the cancel flag ends it.
  int32_t cancel = 0;
  g_on_report = [&](const TransferProgress&) {
    if (g_reports.size() > 100) cancel = 1;
  };
  EXPECT_FALSE(t.session->upload(&s, &cancel));
  EXPECT_EQ(zavel_GetLastError(), 23002);
  EXPECT_FALSE(t.session->connection().connected());
  EXPECT_TRUE(t.server.waitDone());
  EXPECT_EQ(t.server.rawReceived(), pattern(0, 1000));
  EXPECT_LE(t.server.requests().back().result, 0);
  EXPECT_EQ(g_reports.back().status, 23002);
}

TEST_F(Transfer, CopyFollowsTheServersPositionsAndTakesAnyFinalReplyAsSuccess) {
  Scripted t([&](FakeServer& s) {
    s.answer(okReply())
        .raw(joined(position8(0), position8(65536), position8(150000),
                    framed(okReply(23007, "disk full"))))
        .answer(kSize5);
  });
  CopyTarget target{"10.0.0.2", 9553, "peer", "pw"};
  const CopyTarget target_before = target;
  TransferSpec s = spec("/a/f", "/peer/f", 0, 150000, 1);
  const TransferSpec spec_before = s;
  EXPECT_TRUE(t.session->copyEx(&target, &s, nullptr));
  EXPECT_EQ(zavel_GetLastError(), 0);
  EXPECT_EQ(t.session->getFileSize("/a/f"), 5);
  EXPECT_EQ(t.commands()[0],
            "_cmd:30=copyex destpath:30=/peer/f endpos:23=150000 id:30=peer ip:30=10.0.0.2 "
            "istrunc:12=1 pass:30=pw port:12=9553 srcpath:30=/a/f startpos:23=0 version:12=2");
  EXPECT_EQ(reportedPositions(), (std::vector<uint64_t>{0, 65536, 150000}));
  expectReportsOf(handle(t), s, ZAVEL_DIRECTION_COPY);
  EXPECT_EQ(memcmp(&target, &target_before, sizeof target), 0);
  EXPECT_EQ(memcmp(&s, &spec_before, sizeof s), 0);
}

TEST_F(Transfer, CopyFailsWhenItsPositionStreamIsOutOfStep) {
  const struct {
    const char* what;
    Bytes stream;
    uint64_t start;
  } cases[] = {
      {"a position past the end", joined(position8(65536), position8(150001)), 0},
      {"a position before the start", position8(5), 1000},
      {"a position cut short", Bytes{0, 0, 0, 0}, 0},
  };
  for (const auto& c : cases) {
    reset();
    Scripted t([&](FakeServer& s) { s.answer(okReply()).raw(c.stream).close(); });
    CopyTarget target{"10.0.0.2", 9553, "peer", "pw"};
    TransferSpec s = spec("/a/f", "/peer/f", c.start, 150000);
    EXPECT_FALSE(t.session->copyEx(&target, &s, nullptr)) << c.what;
    EXPECT_EQ(zavel_GetLastError(), 21002) << c.what;
    EXPECT_FALSE(t.session->connection().connected()) << c.what;
    for (uint64_t p : reportedPositions()) EXPECT_LE(p, 150000u) << c.what;
  }
}

// A club-disk destination that records what the copy told it.
struct FakeClubDestination : PreparedDestination {
  static inline std::vector<std::string> events;
  bool prepare(Where* where) override {
    where->host = "10.9.9.9";
    where->user = "octa";
    where->path = "/club/prepared";
    where->file_index = 77;
    where->notify_seconds = 0;
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
    TransferSpec s = spec("/a/f", "/club/f", 0, 10);
    s.destinationKind = &club_kind;
    EXPECT_FALSE(t.session->copyEx(&target, &s, nullptr));
    EXPECT_EQ(zavel_GetLastError(), 24004);
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
    reset();
    FakeClubDestination::events.clear();
    Scripted t([&](FakeServer& s) {
      if (c.accepted) {
        s.answer(okReply()).raw(joined(position8(0), position8(10), framed(okReply())));
      } else {
        s.answer(okReply(23009, "no"));
      }
    });
    TransferSpec s = spec("/a/f", "/club/f", c.start, 10);
    s.destinationKind = &club_kind;
    s.destinationExtra = &club_number;
    EXPECT_EQ(t.session->copyEx(&target, &s, nullptr), c.accepted) << c.what;
    EXPECT_EQ(FakeClubDestination::events, c.events) << c.what;
    const std::string request = t.commands()[0];
    EXPECT_NE(request.find("destpath:30=/club/prepared "), std::string::npos) << request;
    EXPECT_NE(request.find("id:30=octa ip:30=10.9.9.9 "), std::string::npos) << request;
    EXPECT_NE(request.find("port:12=" + std::to_string(t.server.port())), std::string::npos)
        << request;
    EXPECT_STREQ(target.host, "10.0.0.2");
    EXPECT_STREQ(s.destination, "/club/f");
  }
  setClubDestinationMaker(nullptr);
}

// Reports and data steps in the order they happened, from whichever thread.
struct Timeline {
  std::mutex mutex;
  std::vector<std::string> events;
  std::vector<std::thread::id> report_threads;

  void add(std::string event) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
  }
};

int32_t logStep(void*, uint32_t, uint64_t position, void* user) {
  static_cast<Timeline*>(user)->add("data " + std::to_string(position));
  return 0;
}

TEST_F(Transfer, ProgressSentToAWindowOnAnotherThreadIsHandledThereInOrderWhileTheTransferWaits) {
  const Bytes data = pattern(0, 300000);
  Scripted t([&](FakeServer& s) { s.answer(okReply()).raw(joined(data, framed(okReply()))); });
  Timeline timeline;
  std::atomic<bool> finished{false};
  std::promise<platform::QueuedWindow*> made;
  std::thread window_thread([&] {
    platform::QueuedWindow window([&](uint32_t message, uintptr_t wparam, intptr_t lparam) {
      const auto* p = reinterpret_cast<const TransferProgress*>(lparam);
      {
        std::lock_guard lock(timeline.mutex);
        timeline.report_threads.push_back(std::this_thread::get_id());
      }
      timeline.add("report " + std::to_string(p->position) + " message " + std::to_string(message) +
                   " " + std::to_string(wparam));
      return intptr_t{0};
    });
    made.set_value(&window);
    while (!finished) window.dispatch(std::chrono::milliseconds(10));
  });
  const std::thread::id window_id = window_thread.get_id();
  TransferSpec s = spec("/r/f", nullptr, 0, data.size());
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
  // before the transfer went on.
  ASSERT_GE(timeline.events.size(), 3u);
  for (size_t i = 0; i < timeline.events.size(); ++i) {
    const std::string& e = timeline.events[i];
    if (i % 2 == 0) {
      ASSERT_EQ(e.rfind("report ", 0), 0u) << i << ": " << e;
      EXPECT_NE(e.find(" message 2075 0"), std::string::npos) << e;
      if (i > 0) {
        // The report after a step shows where that step ended.
        const uint64_t reported = std::stoull(e.substr(7));
        EXPECT_GT(reported, std::stoull(timeline.events[i - 1].substr(5)));
      }
    } else {
      ASSERT_EQ(e.rfind("data ", 0), 0u) << i << ": " << e;
      EXPECT_EQ(std::stoull(e.substr(5)), std::stoull(timeline.events[i - 1].substr(7))) << e;
    }
  }
  EXPECT_EQ(timeline.events.back(), "report " + std::to_string(data.size()) + " message 2075 0");
  for (const auto& id : timeline.report_threads) EXPECT_EQ(id, window_id);
}

}  // namespace
}  // namespace zavel
