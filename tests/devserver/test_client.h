// A raw protocol client for driving the file server in tests: request record in, reply out.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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
    record_.set(name, value.c_str(), static_cast<uint32_t>(value.size() + 1), kTypeString);
    return *this;
  }
  Req& i32(const char* name, int32_t value) {
    record_.setInt32(name, value);
    return *this;
  }
  Req& u32(const char* name, uint32_t value) {
    record_.setUInt32(name, value);
    return *this;
  }
  Req& i64(const char* name, int64_t value) {
    record_.setInt64(name, value);
    return *this;
  }
  Req& u64(const char* name, uint64_t value) {
    record_.setUInt64(name, value);
    return *this;
  }
  Req& bin(const char* name, const std::string& bytes) {
    record_.setBinary(name, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return *this;
  }
  operator const ParamRecord&() const { return record_; }

 private:
  ParamRecord record_;
};

class TestClient {
 public:
  static constexpr int32_t kTimeoutMs = 20000;

  explicit TestClient(const DevServerFixture& server) {
    connected_ = conn_.connect(server.host().c_str(), server.port());
  }

  bool connected() const { return connected_ && conn_.connected(); }
  Connection& connection() { return conn_; }
  ACE_HANDLE handle() { return conn_.stream().get_handle(); }

  // One exchange; an empty record with "error" -1 when it failed on the wire.
  ParamRecord call(const ParamRecord& request) {
    ParamRecord reply(kFlagScramble);
    if (conn_.sendRecord(request, kTimeoutMs) <= 0 || conn_.receiveRecord(reply, kTimeoutMs) <= 0)
      reply.setInt32("error", -1);
    return reply;
  }
  ParamRecord receive() {
    ParamRecord reply(kFlagScramble);
    if (conn_.receiveRecord(reply, kTimeoutMs) <= 0) reply.setInt32("error", -1);
    return reply;
  }

  // Signs on and checks that it worked.
  void signOn(const char* user = DevServerFixture::kUser) {
    const ParamRecord reply = call(Req("setuser").s("id", user).s("version", "4.10.20.1"));
    int32_t error = -1;
    reply.getInt32("error", &error);
    ASSERT_EQ(error, 0) << "sign-on as " << user;
  }

  bool sendRaw(const void* data, size_t size);
  // Receives exactly size bytes; fewer when the stream ended or stalled.
  std::string receiveRaw(size_t size);

 private:
  Connection conn_;
  bool connected_ = false;
};

// One list-server request on a connection of its own, as the club client sends them. A
// request that fails on the wire gives a record with "result" -1.
ParamRecord listCall(const DevServerFixture& server, const ParamRecord& request);
int32_t resultOf(const ParamRecord& reply);
int32_t errorCodeOf(const ParamRecord& reply);

int32_t errorOf(const ParamRecord& reply);
std::string textOf(const ParamRecord& reply, const char* name);
int64_t numberOf(const ParamRecord& reply, const char* name);

// Host file helpers.
std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);
// Reproducible bytes of a given length.
std::string patternBytes(size_t size, uint32_t seed = 1);

}  // namespace zavel::testing
