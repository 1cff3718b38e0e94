#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "devserver/file/writer_table.h"
#include "session/error_state.h"
#include "tests/devserver/test_client.h"
#include "tests/support/tcp_relay.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

using Transfers = SignedOnTest;

TEST_F(Transfers, DownloadSendsExactlyTheRangeBetweenTwoReplies) {
  const std::string file = patternBytes(3 * 1024 * 1024 + 17);
  writeFile(disk("big.bin"), file);
  const uint64_t size = file.size();
  const std::pair<uint64_t, uint64_t> cases[] = {
      {0, 0},           {0, 1},      {0, size}, {65535, 65536 + 150000}, {1 << 20, (2 << 20) + 1},
      {size - 1, size}, {size, size}};
  for (const auto& [start, end] : cases) {
    const Transfer t = download(client_, "/tester/big.bin", start, end);
    EXPECT_TRUE(t.opening == 0 && t.data == file.substr(start, end - start) && t.final == 0)
        << start << ".." << end;
  }
}

TEST_F(Transfers, UploadWritesTheRangeResumesAfterExistingBytesAndNeverLeavesAGap) {
  const std::string whole = patternBytes(1000000, 7);
  std::string overwritten = whole;
  overwritten.replace(10, 5, "xxxxx");
  // Each upload in turn, and what the file holds after it: resuming continues after the
  // bytes already there, a range in the middle overwrites, truncation replaces the rest.
  const std::tuple<uint64_t, std::string, int32_t, std::string> cases[] = {
      {0, whole.substr(0, 400000), 0, whole.substr(0, 400000)},
      {400000, whole.substr(400000), 0, whole},
      {10, "xxxxx", 0, overwritten},
      {0, "short", 1, "short"},
      {5, "", 0, "short"},
  };
  for (const auto& [start, bytes, truncate, after] : cases) {
    EXPECT_EQ(upload(client_, "/tester/up.bin", start, bytes, truncate).final, 0) << start;
    EXPECT_TRUE(readFile(disk("up.bin")) == after) << start;
  }
}

TEST_F(Transfers, AClientThatDropsMidUploadLeavesTheBytesThatArrived) {
  const std::string bytes = patternBytes(3 << 20, 3);
  const size_t sent = (1 << 20) + 12345;
  {
    TestClient dropping(server_);
    dropping.signOn();
    ASSERT_EQ(dropping.run(uploadReq("/tester/partial.bin", 0, bytes.size(), 1)), 0);
    dropping.sendRaw(bytes.data(), sent);
  }  // the connection closes here
  waitForUploads(0);
  EXPECT_TRUE(readFile(disk("partial.bin")) == bytes.substr(0, sent));
  // Resuming from there completes the file.
  EXPECT_EQ(upload(client_, "/tester/partial.bin", sent, bytes.substr(sent)).final, 0);
  EXPECT_TRUE(readFile(disk("partial.bin")) == bytes);
}

// A file beyond 32 MiB and a small one go up and come back at the same time.
TEST_F(Transfers, LargeFilesRoundTripTwoAtOnce) {
  const std::string a = patternBytes(64u << 20, 64), b = patternBytes(5 << 20, 12);
  Transfer got_a, got_b;
  auto work = [&](const std::string& name, const std::string& bytes, Transfer* out) {
    TestClient c(server_);
    c.signOn();
    if (upload(c, "/tester/" + name, 0, bytes, 1).final == 0)
      *out = download(c, "/tester/" + name, 0, bytes.size());
  };
  std::thread ta(work, "a.bin", std::cref(a), &got_a), tb(work, "b.bin", std::cref(b), &got_b);
  ta.join();
  tb.join();
  EXPECT_TRUE(got_a.final == 0 && got_a.data == a && readFile(disk("a.bin")) == a);
  EXPECT_TRUE(got_b.final == 0 && got_b.data == b);
  EXPECT_EQ(usedBytes(client_), static_cast<int64_t>(walkedBytes(disk())));
}

TEST_F(Transfers, CopyExUploadsTheRangeToTheTargetAndReportsPositions) {
  const std::string bytes = patternBytes((2 << 20) + 500, 5);
  const uint64_t size = bytes.size();
  writeFile(disk("src.bin"), bytes);
  auto copy = [&](const std::string& ip, const char* id, const char* password, const char* dest,
                  uint64_t start, uint64_t end) {
    return run(Req("copyex")
                   .s("ip", ip)
                   .i32("port", server_.port())
                   .s("id", id)
                   .s("pass", password)
                   .s("srcpath", "/tester/src.bin")
                   .s("destpath", dest)
                   .u64("startpos", start)
                   .u64("endpos", end)
                   .i32("istrunc", start == 0)
                   .i32("version", 2));
  };
  const std::string& host = server_.host();
  const char *peer = DevServerFixture::kPeerUser, *pass = DevServerFixture::kPeerPassword;
  // Two ranges complete the copy; an empty one still reports its end once.
  const std::pair<uint64_t, uint64_t> cases[] = {{0, 1 << 20}, {1 << 20, size}, {size, size}};
  for (const auto& [start, end] : cases) {
    SCOPED_TRACE(start);
    ASSERT_EQ(copy(host, peer, pass, "/peer/copy.bin", start, end), 0);
    const std::vector<uint64_t> positions = copyPositions(client_, end);
    EXPECT_TRUE(positions.back() == end && std::is_sorted(positions.begin(), positions.end()));
    EXPECT_TRUE(start != end || positions.size() == 1u);
    EXPECT_EQ(errorOf(client_.receive()), 0);
  }
  EXPECT_TRUE(readFile(server_.diskPath("peer") / "copy.bin") == bytes);

  // A copy onto its own source would destroy it.
  EXPECT_EQ(copy(host, DevServerFixture::kUser, "", "/tester/./src.bin", 0, 10),
            kErrWrongParameter);
  EXPECT_TRUE(readFile(disk("src.bin")) == bytes);
  // The target's refusal is the request's error.
  EXPECT_EQ(copy(host, peer, "wrong", "/peer/copy.bin", 0, 10), kErrWrongPasswd);
  EXPECT_EQ(copy("192.0.2.1", peer, "", "/peer/x", 0, 1), kErrNotAllowed);
}

TEST(Shutdown, StopEndsARunningDownloadAndLeavesNoConnection) {
  DevServerFixture server;
  writeFile(server.diskPath() / "big.bin", patternBytes(32 << 20));
  TestClient client(server);
  client.signOn();
  ASSERT_EQ(client.run(downloadReq("/tester/big.bin", 0, 32 << 20)), 0);
  EXPECT_EQ(client.receiveRaw(1000).size(), 1000u);  // the data phase is under way
  server.stop();
  // The stream ends before the whole range.
  EXPECT_LT(client.receiveRaw(32 << 20).size(), (32u << 20) - 1000);
}

constexpr milliseconds kLimit{20000};

// An upload whose client is gone while its last bytes are still on the way: the relay
// forwards the requests and the first bytes, drops the client and keeps kLate bytes from
// the server until released.
class WriterOrder : public SignedOnTest {
 protected:
  static constexpr size_t kForwarded = (2u << 20) + 4096;
  static constexpr size_t kLate = 2u << 20;

  void startCutUpload(TcpRelay& relay, const std::string& name) {
    relay.holdNextAfter(kForwarded, kLate);
    TestClient old(server_.host(), relay.port());
    old.signOn();
    ASSERT_EQ(old.run(uploadReq("/tester/" + name, 0, old_.size(), 1)), 0);
    old.sendRaw(old_.data(), kForwarded + kLate + (1u << 20));  // more than gets through
    ASSERT_TRUE(relay.waitUntilHolding(kLimit));
  }

  // Lets the late bytes reach the server and waits until only `uploads` remain running.
  void deliverLateBytes(TcpRelay& relay, int64_t uploads) {
    relay.release();
    waitForUploads(uploads);
  }

  const std::string old_ = patternBytes(8u << 20, 9);
};

TEST_F(WriterOrder, AnOverwriteOfACutUploadHoldsExactlyTheOverwrite) {
  TcpRelay relay(server_.host(), server_.port());
  startCutUpload(relay, "movie.bin");
  const std::string fresh = patternBytes(1u << 20, 10);
  TestClient writer(server_);
  writer.signOn();
  ASSERT_EQ(writer.run(uploadReq("/tester/movie.bin", 0, fresh.size(), 1)), 0);
  deliverLateBytes(relay, 1);  // the overwrite itself is running
  ASSERT_TRUE(writer.sendRaw(fresh.data(), fresh.size()));
  EXPECT_EQ(errorOf(writer.receive()), 0);
  const std::string held = readFile(disk("movie.bin"));
  EXPECT_TRUE(held.size() == fresh.size() && held == fresh) << held.size();
}

TEST_F(WriterOrder, ADeleteRenameOrTruncationOfACutUploadIsNotUndoneByItsLateBytes) {
  fs::create_directories(disk("to"));
  auto at = [](const char* name) { return std::string("/tester/") + name; };
  const Req truncating =
      Req("llf_open1").s("filename", at("f.bin")).i32("flags", O_WRONLY | O_TRUNC);
  // Per request: the upload's file, and where it is afterwards (null: deleted).
  const std::tuple<Req, const char*, const char*> cases[] = {
      // clang-format off
      {Req("deletefile").s("path", at("a.bin")),                               "a.bin", nullptr},
      {Req("llf_unlink").s("path", at("b.bin")),                               "b.bin", nullptr},
      {Req("renamefile").s("oldpath", at("c.bin")).s("newpath", at("c2.bin")), "c.bin", "c2.bin"},
      {Req("movefile").s("srcpath", at("d.bin")).s("dirpath", at("to")),       "d.bin", "to/d.bin"},
      {Req("llf_rename").s("oldpath", at("e.bin")).s("newpath", at("e2.bin")), "e.bin", "e2.bin"},
      {truncating,                                                             "f.bin", "f.bin"},
      // clang-format on
  };
  for (const auto& [request, name, left] : cases) {
    SCOPED_TRACE(name);
    TcpRelay relay(server_.host(), server_.port());
    startCutUpload(relay, name);
    ASSERT_EQ(run(request), 0);
    const std::string before = left ? readFile(disk(left)) : "";
    deliverLateBytes(relay, 0);
    EXPECT_TRUE((left && name == std::string(left)) || !fs::exists(disk(name)));
    if (left == nullptr) continue;
    const std::string after = readFile(disk(left));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_TRUE(after == before && before == old_.substr(0, before.size()));
  }
}

// A writer blocked in a receive on its own socket, as an upload waits for its client.
struct BlockedWriter {
  int fds[2] = {-1, -1};
  devserver::WriterHold hold;
  std::thread thread;
  bool stopped = false;

  bool start(devserver::WriterTable& table, const std::string& key) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return false;
    timeval bound{20, 0};  // a writer nobody stops still ends
    ::setsockopt(fds[0], SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    if (!table.acquire({key}, fds[0], &hold)) return false;
    thread = std::thread([this] {
      char byte;
      ::recv(fds[0], &byte, 1, 0);
      stopped = hold.stopRequested();
      hold.release();
    });
    return true;
  }
  ~BlockedWriter() {
    if (thread.joinable()) thread.join();
    ::close(fds[0]);
    ::close(fds[1]);
  }
};

TEST(WriterTable, ANewcomerStopsTheHoldersOfItsPathsAndTakesThemAllAtOnce) {
  devserver::WriterTable table(kLimit);
  BlockedWriter x, y;
  ASSERT_TRUE(x.start(table, "/disk/x"));
  ASSERT_TRUE(y.start(table, "/disk/y"));
  // A rename between two held paths, named in any order and twice, gets both.
  devserver::WriterHold rename;
  EXPECT_TRUE(table.acquire({"/disk/y", "/disk/x", "/disk/y"}, -1, &rename));
  x.thread.join();
  y.thread.join();
  EXPECT_TRUE(x.stopped && y.stopped);
  // A holder that cannot be interrupted and does not let go makes a newcomer give up.
  devserver::WriterTable quick(milliseconds(50));
  devserver::WriterHold first, second;
  ASSERT_TRUE(quick.acquire({"/disk/x"}, -1, &first));
  EXPECT_FALSE(quick.acquire({"/disk/x"}, -1, &second));
  EXPECT_TRUE(first.stopRequested());
  first.release();
  EXPECT_TRUE(quick.acquire({"/disk/x"}, -1, &second));
}

TEST(WriterTable, AFinishingWriterIsWaitedForNotCutOff) {
  devserver::WriterTable table(milliseconds(50));
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  devserver::WriterHold finishing, newcomer;
  ASSERT_TRUE(table.acquire({"/disk/f"}, fds[0], &finishing));
  finishing.finishing();
  EXPECT_FALSE(table.acquire({"/disk/f"}, -1, &newcomer));
  // Its connection stays usable for the final reply.
  EXPECT_EQ(::send(fds[0], "r", 1, MSG_NOSIGNAL), 1);
  char byte = 0;
  EXPECT_EQ(::recv(fds[1], &byte, 1, 0), 1);
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace zavel::testing
