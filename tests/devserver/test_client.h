// A raw protocol client for driving the dev servers in tests: request record in, reply out.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "protocol/connection.h"
#include "protocol/param_record.h"
#include "tests/support/devserver_fixture.h"
#include "tests/support/local_files.h"

namespace zavel::testing {

// Builds a request the way the client library does: body format 3, scrambled.
class Req {
 public:
  explicit Req(const char* command) : record_(kFlagScramble) { record_.setString("_cmd", command); }
  // The whole text goes out, NUL bytes inside it included, as a client could send it.
  Req& s(const char* name, const std::string& value) {
    return record_.set(name, value.c_str(), static_cast<uint32_t>(value.size() + 1), kTypeString),
           *this;
  }
  Req& i32(const char* name, int32_t value) { return record_.setInt32(name, value), *this; }
  Req& u32(const char* name, uint32_t value) { return record_.setUInt32(name, value), *this; }
  Req& i64(const char* name, int64_t value) { return record_.setInt64(name, value), *this; }
  Req& u64(const char* name, uint64_t value) { return record_.setUInt64(name, value), *this; }
  Req& bin(const char* name, const std::string& bytes) {
    return record_.setBinary(name, bytes.data(), static_cast<uint32_t>(bytes.size())), *this;
  }
  operator const ParamRecord&() const { return record_; }

 private:
  ParamRecord record_;
};

// File-server requests the tests send often.
Req fileInfo(const std::string& path, int32_t level);  // getfileinfo, every info type
Req downloadReq(const std::string& path, uint64_t start, uint64_t end);
Req uploadReq(const std::string& path, uint64_t start, uint64_t end, int32_t truncate);

// Reads of a reply. Absent: "error" reads 0, "result" and "errorcode" -2, numbers -999,
// texts "<absent>" and types 0.
int32_t int32Of(const ParamRecord& reply, const char* name, int32_t absent);
inline int32_t errorOf(const ParamRecord& r) {
  return int32Of(r, "error", 0);
}
inline int32_t resultOf(const ParamRecord& r) {
  return int32Of(r, "result", -2);
}
inline int32_t errorCodeOf(const ParamRecord& r) {
  return int32Of(r, "errorcode", -2);
}
std::string textOf(const ParamRecord& reply, const char* name);
int64_t numberOf(const ParamRecord& reply, const char* name);
uint32_t typeOf(const ParamRecord& reply, const char* name);

// Reply fields and the values they should hold: a number, or a text ("<absent>" for none).
using Fields = std::vector<std::pair<std::string, std::variant<int64_t, std::string>>>;
void expectFields(const ParamRecord& reply, const Fields& fields);

class TestClient {
 public:
  static constexpr int32_t kTimeoutMs = 20000;

  TestClient(const std::string& host, uint16_t port) { conn_.connect(host.c_str(), port); }
  explicit TestClient(const DevServerFixture& server) : TestClient(server.host(), server.port()) {}

  ACE_HANDLE handle() { return conn_.stream().get_handle(); }

  // One exchange; a record with "error" -1 when it failed on the wire.
  ParamRecord call(const ParamRecord& request) {
    return conn_.sendRecord(request, kTimeoutMs) <= 0 ? failed() : receive();
  }
  ParamRecord receive() {
    ParamRecord reply(kFlagScramble);
    return conn_.receiveRecord(reply, kTimeoutMs) > 0 ? reply : failed();
  }
  int32_t run(const ParamRecord& request) { return errorOf(call(request)); }

  // Signs on and checks that it worked.
  void signOn(const char* user = DevServerFixture::kUser) {
    ASSERT_EQ(run(Req("setuser").s("id", user).s("version", "4.10.20.1")), 0) << user;
  }

  bool sendRaw(const void* data, size_t size);
  // Receives exactly size bytes; fewer when the stream ended or stalled for wait_ms.
  std::string receiveRaw(size_t size, int32_t wait_ms = kTimeoutMs);

 private:
  static ParamRecord failed() {
    ParamRecord reply(kFlagScramble);
    reply.setInt32("error", -1);
    return reply;
  }
  Connection conn_;
};

// One request on a connection of its own, as the club client sends them to the list
// server. A request that fails on the wire gives a record with "result" -1.
ParamRecord ask(const std::string& host, uint16_t port, const ParamRecord& request);

// File-server transfers: the opening reply's error, the bytes of a download's data phase,
// and the closing reply's error (-1 when it never came).
struct Transfer {
  int32_t opening = -1;
  std::string data;
  int32_t final = -1;
};
Transfer download(TestClient& c, const std::string& path, uint64_t start, uint64_t end);
Transfer upload(TestClient& c, const std::string& path, uint64_t start, const std::string& bytes,
                int32_t truncate = 0);
// A "copyex" request's progress: 8-byte positions in network order up to end; a read
// that fails ends the list with UINT64_MAX.
std::vector<uint64_t> copyPositions(TestClient& c, uint64_t end);

// Another server over a data folder on free loopback ports, its options changed by adjust.
std::unique_ptr<devserver::DevServer> startServer(
    const std::filesystem::path& data,
    const std::function<void(devserver::DevServerOptions&)>& adjust = {});

// Reproducible bytes of a given length (files are read and written by local_files.h).
std::string patternBytes(size_t size, uint32_t seed = 1);
// What a disk's folder holds, walked afresh: the size of every regular file, each file once
// however many names it has. And the used space the file server reports for the disk c is
// signed on to ("df"), -1 when it did not answer.
uint64_t walkedBytes(const std::filesystem::path& folder);
int64_t usedBytes(TestClient& c);
// A fresh folder under the temporary directory, removed with the object.
struct TempDir {
  TempDir();
  ~TempDir() { std::filesystem::remove_all(path); }
  std::filesystem::path path;
};

// A fixture with a server and a client signed on as the test account.
class SignedOnTest : public ::testing::Test {
 protected:
  explicit SignedOnTest(DevServerFixtureOptions options = {}) : server_(options) {}
  void SetUp() override { client_.signOn(); }
  std::filesystem::path disk(const std::string& rel = "") const { return server_.diskPath() / rel; }
  int32_t run(const ParamRecord& request) { return client_.run(request); }
  ParamRecord call(const ParamRecord& request) { return client_.call(request); }
  int64_t number(const ParamRecord& request, const char* name) {
    return numberOf(client_.call(request), name);
  }
  // Runs requests in order, each expecting its error number.
  void steps(const std::vector<std::pair<ParamRecord, int32_t>>& list) {
    for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(run(list[i].first), list[i].second) << i;
  }
  // Waits (at most 20 s) until no more than `uploads` uploads are running.
  void waitForUploads(int64_t uploads);

  DevServerFixture server_;
  TestClient client_{server_};
};

}  // namespace zavel::testing
