#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "api/error_state.h"
#include "tests/devserver/test_client.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

// Waits (bounded) until a condition holds.
template <typename F>
bool eventually(F condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

using Transfers = SignedOnTest;

TEST_F(Transfers, DownloadSendsExactlyTheRangeBetweenTwoReplies) {
  const std::string file = patternBytes(3 * 1024 * 1024 + 17);
  writeFile(disk("big.bin"), file);
  const uint64_t size = file.size();
  struct Case {
    uint64_t start, end;
  } cases[] = {{0, 0}, {0, size}, {65535, 65536 + 150000}, {1 << 20, (2 << 20) + 1}, {size, size}};
  for (const Case& c : cases) {
    const Transfer t = download(client_, "/tester/big.bin", c.start, c.end);
    EXPECT_EQ(t.opening, 0) << c.start << ".." << c.end;
    EXPECT_TRUE(t.data == file.substr(c.start, c.end - c.start)) << c.start << ".." << c.end;
    EXPECT_EQ(t.final, 0);
  }
  // Ranges the file cannot give are refused before any data, and the session goes on.
  EXPECT_EQ(download(client_, "/tester/big.bin", 0, size + 1).opening, kErrWrongParameter);
  EXPECT_EQ(download(client_, "/tester/big.bin", 10, 5).opening, kErrWrongParameter);
  EXPECT_EQ(download(client_, "/tester/none", 0, 0).opening, kErrNotExists);
  EXPECT_EQ(download(client_, "/tester", 0, 0).opening, kErrRemoteFile);
  EXPECT_EQ(run(Req("getquota")), 0);
}

TEST_F(Transfers, UploadWritesTheRangeResumesAfterExistingBytesAndNeverLeavesAGap) {
  const std::string whole = patternBytes(1000000, 7);
  EXPECT_EQ(upload(client_, "/tester/up.bin", 0, whole.substr(0, 400000)).final, 0);
  EXPECT_EQ(fs::file_size(disk("up.bin")), 400000u);
  // Resumption continues after the bytes already there.
  EXPECT_EQ(upload(client_, "/tester/up.bin", 400000, whole.substr(400000)).final, 0);
  EXPECT_TRUE(readFile(disk("up.bin")) == whole);
  // Without truncation a range in the middle overwrites and keeps the rest.
  EXPECT_EQ(upload(client_, "/tester/up.bin", 10, std::string(5, 'x')).final, 0);
  std::string expected = whole;
  expected.replace(10, 5, "xxxxx");
  EXPECT_TRUE(readFile(disk("up.bin")) == expected);
  // With truncation everything from start on is replaced.
  EXPECT_EQ(upload(client_, "/tester/up.bin", 0, "short", 1).final, 0);
  EXPECT_EQ(readFile(disk("up.bin")), "short");
  EXPECT_EQ(upload(client_, "/tester/up.bin", 5, "", 0).final, 0);
  EXPECT_EQ(readFile(disk("up.bin")), "short");
  // A start past the end would leave zeros that look like data.
  EXPECT_EQ(upload(client_, "/tester/up.bin", 6, "gap").opening, kErrWrongParameter);
  EXPECT_EQ(upload(client_, "/tester/new.bin", 1, "gap", 1).opening, kErrWrongParameter);
  EXPECT_FALSE(fs::exists(disk("new.bin")));
  EXPECT_EQ(upload(client_, "/tester/nofolder/x.bin", 0, "x").opening, kErrNotExists);
  EXPECT_EQ(readFile(disk("up.bin")), "short");
}

TEST(TransferQuota, AnUploadPastTheQuotaIsRefusedBeforeItsData) {
  DevServerFixture server({.quota_mb = 1});
  TestClient client(server);
  client.signOn();
  EXPECT_EQ(upload(client, "/tester/a.bin", 0, patternBytes(700 * 1024)).final, 0);
  EXPECT_EQ(upload(client, "/tester/b.bin", 0, patternBytes(400 * 1024)).opening, kErrDiskFull);
  EXPECT_FALSE(fs::exists(server.diskPath() / "b.bin"));
  // Replacing a file counts only what it grows by.
  EXPECT_EQ(upload(client, "/tester/a.bin", 0, patternBytes(1000 * 1024), 1).final, 0);
}

TEST_F(Transfers, AClientThatDropsMidUploadLeavesTheBytesThatArrived) {
  const std::string bytes = patternBytes(3 << 20, 3);
  const size_t sent = (1 << 20) + 12345;
  {
    TestClient dropping(server_);
    dropping.signOn();
    ASSERT_EQ(dropping.run(Req("upload")
                               .s("path", "/tester/partial.bin")
                               .u64("startpos", 0)
                               .u64("endpos", bytes.size())
                               .i32("istrunc", 1)),
              0);
    ASSERT_TRUE(dropping.sendRaw(bytes.data(), sent));
  }  // the connection closes here
  ASSERT_TRUE(
      eventually([&] { return numberOf(client_.call(Req("getserverinfo")), "nUpNum") == 0; }));
  EXPECT_TRUE(readFile(disk("partial.bin")) == bytes.substr(0, sent));
  // Resuming from there completes the file.
  EXPECT_EQ(upload(client_, "/tester/partial.bin", sent, bytes.substr(sent)).final, 0);
  EXPECT_TRUE(readFile(disk("partial.bin")) == bytes);
}

TEST_F(Transfers, SixtyFourMebibytesRoundTripWithTheSameDigest) {
  const std::string bytes = patternBytes(64u << 20, 64);
  ASSERT_EQ(upload(client_, "/tester/64m.bin", 0, bytes, 1).final, 0);
  const Transfer back = download(client_, "/tester/64m.bin", 0, bytes.size());
  ASSERT_EQ(back.final, 0);
  EXPECT_EQ(sha256(back.data), sha256(bytes));
  EXPECT_EQ(sha256(readFile(disk("64m.bin"))), sha256(bytes));
}

TEST_F(Transfers, TwoClientsTransferAtOnce) {
  const std::string a = patternBytes(5 << 20, 11), b = patternBytes(5 << 20, 12);
  Transfer got_a, got_b;
  auto work = [&](const std::string& name, const std::string& bytes, Transfer* out) {
    TestClient c(server_);
    c.signOn();
    if (upload(c, "/tester/" + name, 0, bytes, 1).final != 0) return;
    *out = download(c, "/tester/" + name, 0, bytes.size());
  };
  std::thread ta(work, "a.bin", std::cref(a), &got_a);
  std::thread tb(work, "b.bin", std::cref(b), &got_b);
  ta.join();
  tb.join();
  EXPECT_TRUE(got_a.final == 0 && got_a.data == a);
  EXPECT_TRUE(got_b.final == 0 && got_b.data == b);
}

TEST_F(Transfers, CopyExUploadsTheRangeToTheTargetAndReportsPositions) {
  const std::string bytes = patternBytes((2 << 20) + 500, 5);
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
                   .i32("istrunc", start == 0 ? 1 : 0)
                   .i32("version", 2));
  };
  const std::string& host = server_.host();
  const char* peer = DevServerFixture::kPeerUser;
  const char* pass = DevServerFixture::kPeerPassword;
  ASSERT_EQ(copy(host, peer, pass, "/peer/copy.bin", 0, 1 << 20), 0);
  std::vector<uint64_t> positions = copyPositions(client_, 1 << 20);
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back(), 1u << 20);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_EQ(errorOf(client_.receive()), 0);

  ASSERT_EQ(copy(host, peer, pass, "/peer/copy.bin", 1 << 20, bytes.size()), 0);
  EXPECT_EQ(copyPositions(client_, bytes.size()).back(), bytes.size());
  EXPECT_EQ(errorOf(client_.receive()), 0);
  EXPECT_TRUE(readFile(server_.diskPath("peer") / "copy.bin") == bytes);

  // An empty range still reports its end once.
  ASSERT_EQ(copy(host, peer, pass, "/peer/copy.bin", bytes.size(), bytes.size()), 0);
  EXPECT_EQ(copyPositions(client_, bytes.size()), std::vector<uint64_t>{bytes.size()});
  EXPECT_EQ(errorOf(client_.receive()), 0);

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
  ASSERT_EQ(
      client.run(
          Req("download").s("path", "/tester/big.bin").u64("startpos", 0).u64("endpos", 32 << 20)),
      0);
  EXPECT_EQ(client.receiveRaw(1000).size(), 1000u);  // the data phase is under way
  server.stop();
  // The stream ends before the whole range.
  EXPECT_LT(client.receiveRaw(32 << 20).size(), (32u << 20) - 1000);
}

}  // namespace
}  // namespace zavel::testing
