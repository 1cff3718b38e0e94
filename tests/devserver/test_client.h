// A raw protocol client for driving the file server in tests: request record in, reply out.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "protocol/connection.h"
#include "protocol/param_record.h"
#include "tests/support/devserver_fixture.h"

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

class TestClient {
 public:
  static constexpr int32_t kTimeoutMs = 20000;

  TestClient(const std::string& host, uint16_t port) {
    connected_ = conn_.connect(host.c_str(), port);
  }
  explicit TestClient(const DevServerFixture& server) : TestClient(server.host(), server.port()) {}

  bool connected() const { return connected_ && conn_.connected(); }
  ACE_HANDLE handle() { return conn_.stream().get_handle(); }

  // One exchange; an empty record with "error" -1 when it failed on the wire.
  ParamRecord call(const ParamRecord& request) {
    if (conn_.sendRecord(request, kTimeoutMs) <= 0) return failed();
    return receive();
  }
  ParamRecord receive() {
    ParamRecord reply(kFlagScramble);
    return conn_.receiveRecord(reply, kTimeoutMs) > 0 ? reply : failed();
  }
  int32_t run(const ParamRecord& request);

  // Signs on and checks that it worked.
  void signOn(const char* user = DevServerFixture::kUser) {
    ASSERT_EQ(run(Req("setuser").s("id", user).s("version", "4.10.20.1")), 0) << user;
  }

  bool sendRaw(const void* data, size_t size);
  // Receives exactly size bytes; fewer when the stream ended or stalled.
  std::string receiveRaw(size_t size);

 private:
  static ParamRecord failed() {
    ParamRecord reply(kFlagScramble);
    reply.setInt32("error", -1);
    return reply;
  }
  Connection conn_;
  bool connected_ = false;
};

// One request on a connection of its own, as the club client sends them to the list
// server. A request that fails on the wire gives a record with "result" -1.
ParamRecord ask(const std::string& host, uint16_t port, const ParamRecord& request);
inline ParamRecord listCall(const DevServerFixture& server, const ParamRecord& request) {
  return ask(server.host(), server.listPort(), request);
}
int32_t resultOf(const ParamRecord& reply);
int32_t errorCodeOf(const ParamRecord& reply);

int32_t errorOf(const ParamRecord& reply);
std::string textOf(const ParamRecord& reply, const char* name);
int64_t numberOf(const ParamRecord& reply, const char* name);

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

// Host file helpers.
std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);
// Reproducible bytes of a given length.
std::string patternBytes(size_t size, uint32_t seed = 1);
std::string sha256(const std::string& bytes);

// A fixture with a server and a client signed on as the test account.
class SignedOnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(client_.connected());
    client_.signOn();
  }
  std::filesystem::path disk(const std::string& rel = "") const { return server_.diskPath() / rel; }
  int32_t run(const ParamRecord& request) { return client_.run(request); }
  int64_t number(const ParamRecord& request, const char* name) {
    return numberOf(client_.call(request), name);
  }
  // Runs requests in order, each expecting its error number.
  struct Step {
    ParamRecord request;
    int32_t error;
  };
  void steps(const std::vector<Step>& list) {
    for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(run(list[i].request), list[i].error) << i;
  }

  DevServerFixture server_;
  TestClient client_{server_};
};

}  // namespace zavel::testing
