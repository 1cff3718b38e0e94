// Transfers through the exported functions against an in-process zavel-devserver, cut by a
// dropped connection and resumed.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/club/club_test_support.h"
#include "tests/support/devserver_fixture.h"
#include "tests/support/tcp_relay.h"
#include "zavelsdk.h"

namespace zavel::testing {
namespace {

constexpr int32_t kTimeout = 30000;
constexpr size_t kFileSize = (8u << 20) + 12345;  // not a whole number of steps
constexpr uint64_t kCutAfter = 3u << 20;

// The last progress report of a transfer.
TransferProgress g_last;
void keepLast(const TransferProgress* p) {
  g_last = *p;
}

// A transfer that reports its progress; the texts must outlive it.
TransferSpec spec(const std::string& source, const std::string& destination, uint64_t start,
                  uint64_t end, int32_t truncate) {
  TransferSpec s = transferSpec(source.c_str(), destination.c_str(), start, end, truncate);
  s.progressCallback = &keepLast;
  return s;
}

// Downloads cut on the way to the client resume from the local size; uploads cut on the
// way to the server resume from the size the server reports, which keeps what arrived.
class RelayedTransfer : public ::testing::TestWithParam<bool> {};

TEST_P(RelayedTransfer, DroppedMidFileAndResumedIsByteIdentical) {
  const bool up = GetParam();
  g_last = TransferProgress{};
  DevServerFixture server;
  TcpRelay relay(server.host(), server.port());
  TempFolder temp;
  const std::string local = temp.file("local.bin");
  const std::string remote = server.basePath() + "/movie.bin";
  const std::string on_disk = (server.diskPath() / "movie.bin").string();
  writeFile(up ? local : on_disk, patterned(kFileSize, up ? 2 : 1));
  relay.cutNextAfter(up ? TcpRelay::Direction::kToServer : TcpRelay::Direction::kToClient,
                     kCutAfter);
  SessionPtr session(zavel_CreateSession("127.0.0.1", relay.port(), DevServerFixture::kUser,
                                         DevServerFixture::kPassword, kTimeout));
  ASSERT_NE(session, nullptr) << zavel_GetLastError();
  const auto transfer = up ? zavel_Upload : zavel_Download;
  const std::string& from = up ? local : remote;
  const std::string& to = up ? remote : local;

  TransferSpec first = spec(from, to, 0, kFileSize, 1);
  EXPECT_RESULT(transfer(session.get(), &first, nullptr), 0, 21002);
  ASSERT_TRUE(relay.cut());
  const int64_t have = up ? zavel_GetFileSize(remote.c_str(), session.get())
                          : static_cast<int64_t>(std::filesystem::file_size(local));
  ASSERT_GE(have, up ? 0 : 1) << zavel_GetLastError();
  EXPECT_LT(static_cast<uint64_t>(have), kFileSize);
  if (!up) {
    EXPECT_EQ(g_last.position, static_cast<uint64_t>(have));
    EXPECT_EQ(g_last.status, 21002);
  }

  TransferSpec rest = spec(from, to, static_cast<uint64_t>(have), kFileSize, 0);
  EXPECT_EQ(transfer(session.get(), &rest, nullptr), 1) << zavel_GetLastError();
  EXPECT_EQ(g_last.position, kFileSize);
  EXPECT_EQ(g_last.direction, up ? ZAVEL_DIRECTION_UPLOAD : ZAVEL_DIRECTION_DOWNLOAD);
  EXPECT_EQ(md5Hex(readFile(local)), md5Hex(readFile(on_disk)));
}

INSTANTIATE_TEST_SUITE_P(Directions, RelayedTransfer, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Upload" : "Download"; });

}  // namespace
}  // namespace zavel::testing
