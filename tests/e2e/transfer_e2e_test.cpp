// Transfers through the exported functions against in-process zavel-devservers on real
// folders, interrupted by a dropped connection and resumed.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/support/devserver_fixture.h"
#include "tests/support/tcp_relay.h"
#include "zavelsdk.h"

namespace zavel {
namespace {

namespace fs = std::filesystem;
using testing::DevServerFixture;
using testing::TcpRelay;

constexpr int32_t kTimeout = 30000;
constexpr size_t kFileSize = (8u << 20) + 12345;  // not a whole number of steps
constexpr uint64_t kCutAfter = 3u << 20;

void writeRandomFile(const fs::path& path, size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<char> bytes(size);
  for (char& b : bytes) b = static_cast<char>(random());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

std::string sha256(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
  std::vector<char> buffer(1 << 16);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
    EVP_DigestUpdate(ctx, buffer.data(), static_cast<size_t>(in.gcount()));
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(ctx, digest, &length);
  EVP_MD_CTX_free(ctx);
  std::string hex;
  char two[3];
  for (unsigned int i = 0; i < length; ++i) {
    snprintf(two, sizeof two, "%02x", digest[i]);
    hex += two;
  }
  return hex;
}

// The last progress report of a transfer.
TransferProgress g_last;
void keepLast(const TransferProgress* p) {
  g_last = *p;
}

// The TransferSpec points into the texts: they must outlive it.
TransferSpec spec(const std::string& source, const std::string& destination, uint64_t start,
                  uint64_t end, int32_t truncate) {
  TransferSpec s{};
  s.source = source.c_str();
  s.destination = destination.c_str();
  s.start = start;
  s.end = end;
  s.truncate = truncate;
  s.progressCallback = &keepLast;
  return s;
}

// A session through a relay that can drop the connection in front of the devserver.
class RelayedSession : public ::testing::Test {
 protected:
  void SetUp() override { g_last = TransferProgress{}; }
  void TearDown() override {
    if (session_ != nullptr) zavel_DestroySession(session_);
    std::error_code ec;
    fs::remove(local_.string() + "-download", ec);
    fs::remove(local_.string() + "-upload", ec);
  }

  void connect() {
    session_ = zavel_CreateSession("127.0.0.1", relay_.port(), DevServerFixture::kUser,
                                   DevServerFixture::kPassword, kTimeout);
    ASSERT_NE(session_, nullptr) << zavel_GetLastError();
  }
  std::string remote(const char* name) const { return server_.basePath() + "/" + name; }
  fs::path onDisk(const char* name) const { return server_.diskPath() / name; }

  DevServerFixture server_;
  TcpRelay relay_{server_.host(), server_.port()};
  ZavelSession* session_ = nullptr;
  fs::path local_ = fs::temp_directory_path() / ("zavel-e2e-" + std::to_string(::getpid()));
};

TEST_F(RelayedSession, DownloadDroppedMidFileAndResumedFromTheLocalSizeIsByteIdentical) {
  writeRandomFile(onDisk("movie.bin"), kFileSize, 1);
  const std::string local = local_.string() + "-download";
  relay_.cutNextAfter(TcpRelay::Direction::kToClient, kCutAfter);
  connect();

  const std::string source = remote("movie.bin");
  TransferSpec first = spec(source, local, 0, kFileSize, 1);
  EXPECT_EQ(zavel_Download(session_, &first, nullptr), 0);
  EXPECT_EQ(zavel_GetLastError(), 21002);
  ASSERT_TRUE(relay_.cut());
  const uint64_t have = fs::file_size(local);
  EXPECT_GT(have, 0u);
  EXPECT_LT(have, kFileSize);
  EXPECT_EQ(g_last.position, have);
  EXPECT_EQ(g_last.status, 21002);

  TransferSpec rest = spec(source, local, have, kFileSize, 0);
  EXPECT_EQ(zavel_Download(session_, &rest, nullptr), 1) << zavel_GetLastError();
  EXPECT_EQ(g_last.position, kFileSize);
  EXPECT_EQ(g_last.direction, ZAVEL_DIRECTION_DOWNLOAD);
  EXPECT_EQ(sha256(local), sha256(onDisk("movie.bin")));
}

TEST_F(RelayedSession, UploadDroppedMidFileAndResumedFromTheRemoteSizeIsByteIdentical) {
  const std::string local = local_.string() + "-upload";
  writeRandomFile(local, kFileSize, 2);
  relay_.cutNextAfter(TcpRelay::Direction::kToServer, kCutAfter);
  connect();

  const std::string destination = remote("up.bin");
  TransferSpec first = spec(local, destination, 0, kFileSize, 1);
  EXPECT_EQ(zavel_Upload(session_, &first, nullptr), 0);
  EXPECT_EQ(zavel_GetLastError(), 21002);
  ASSERT_TRUE(relay_.cut());
  // The server keeps what arrived; the size it reports is where to go on.
  const int64_t have = zavel_GetFileSize(destination.c_str(), session_);
  ASSERT_GE(have, 0) << zavel_GetLastError();
  EXPECT_LT(static_cast<uint64_t>(have), kFileSize);

  TransferSpec rest = spec(local, destination, static_cast<uint64_t>(have), kFileSize, 0);
  EXPECT_EQ(zavel_Upload(session_, &rest, nullptr), 1) << zavel_GetLastError();
  EXPECT_EQ(g_last.position, kFileSize);
  EXPECT_EQ(g_last.direction, ZAVEL_DIRECTION_UPLOAD);
  EXPECT_EQ(sha256(onDisk("up.bin")), sha256(local));
}

TEST(ServerCopy, CopyBetweenTwoDevServersInTwoRangesIsByteIdentical) {
  DevServerFixture from, to;
  writeRandomFile(from.diskPath() / "src.bin", kFileSize, 3);
  ZavelSession* session =
      zavel_CreateSession(from.host().c_str(), from.port(), DevServerFixture::kUser,
                          DevServerFixture::kPassword, kTimeout);
  ASSERT_NE(session, nullptr);
  CopyTarget target{to.host().c_str(), to.port(), DevServerFixture::kPeerUser,
                    DevServerFixture::kPeerPassword};
  const std::string source = from.basePath() + "/src.bin";
  const std::string destination = to.basePath(DevServerFixture::kPeerUser) + "/copy.bin";
  // The second range resumes where the first stopped.
  const uint64_t half = kFileSize / 2 + 7;
  TransferSpec first = spec(source, destination, 0, half, 1);
  EXPECT_EQ(zavel_CopyEx(session, &target, &first, nullptr), 1) << zavel_GetLastError();
  EXPECT_EQ(g_last.position, half);
  TransferSpec second = spec(source, destination, half, kFileSize, 0);
  EXPECT_EQ(zavel_CopyEx(session, &target, &second, nullptr), 1) << zavel_GetLastError();
  EXPECT_EQ(g_last.position, kFileSize);
  EXPECT_EQ(g_last.direction, ZAVEL_DIRECTION_COPY);
  EXPECT_EQ(sha256(to.diskPath(DevServerFixture::kPeerUser) / "copy.bin"),
            sha256(from.diskPath() / "src.bin"));
  zavel_DestroySession(session);
}

}  // namespace
}  // namespace zavel
