#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "devserver/file/writer_table.h"
#include "tests/devserver/test_client.h"
#include "tests/support/tcp_relay.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

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
