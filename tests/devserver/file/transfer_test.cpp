#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "api/error_state.h"
#include "tests/devserver/test_client.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

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
  // Ranges the file cannot give are refused before any data, and the session goes on.
  EXPECT_EQ(download(client_, "/tester/big.bin", 0, size + 1).opening, kErrWrongParameter);
  EXPECT_EQ(download(client_, "/tester/big.bin", 10, 5).opening, kErrWrongParameter);
  EXPECT_EQ(download(client_, "/tester/none", 0, 0).opening, kErrNotExists);
  EXPECT_EQ(download(client_, "/tester", 0, 0).opening, kErrRemoteFile);
  EXPECT_EQ(run(Req("getquota")), 0);
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
  // A start past the end would leave zeros that look like data.
  EXPECT_EQ(upload(client_, "/tester/up.bin", 6, "gap").opening, kErrWrongParameter);
  EXPECT_EQ(upload(client_, "/tester/new.bin", 1, "gap", 1).opening, kErrWrongParameter);
  EXPECT_FALSE(fs::exists(disk("new.bin")));
  EXPECT_EQ(upload(client_, "/tester/nofolder/x.bin", 0, "x").opening, kErrNotExists);
  EXPECT_EQ(readFile(disk("up.bin")), "short");
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
}

TEST_F(Transfers, CopyExUploadsTheRangeToTheTargetAndReportsPositions) {
  const std::string bytes = patternBytes((2 << 20) + 500, 5);
  const uint64_t size = bytes.size();
  writeFile(disk("src.bin"), bytes);
  auto copy = [&](const std::string& ip, const char* id, const char* password, const char* dest,
                  uint64_t start, uint64_t end) {
    return run(copyExReq(
        {ip, server_.port(), id, password, "/tester/src.bin", dest, start, end, start == 0}));
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

}  // namespace
}  // namespace zavel::testing
