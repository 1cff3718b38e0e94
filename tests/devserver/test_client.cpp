#include "tests/devserver/test_client.h"

#include <ace/ACE.h>
#include <sys/socket.h>

#include <fstream>
#include <sstream>

namespace zavel::testing {

bool TestClient::sendRaw(const void* data, size_t size) {
  ACE_Time_Value tv(kTimeoutMs / 1000);
  size_t sent = 0;
  ACE::send_n(handle(), data, size, MSG_NOSIGNAL, &tv, &sent);
  return sent == size;
}

std::string TestClient::receiveRaw(size_t size) {
  std::string bytes(size, '\0');
  ACE_Time_Value tv(kTimeoutMs / 1000);
  size_t got = 0;
  ACE::recv_n(handle(), bytes.data(), size, &tv, &got);
  bytes.resize(got);
  return bytes;
}

ParamRecord listCall(const DevServerFixture& server, const ParamRecord& request) {
  ParamRecord reply(kFlagScramble);
  Connection c;
  if (!c.connect(server.host().c_str(), server.listPort()) ||
      c.sendRecord(request, TestClient::kTimeoutMs) <= 0 ||
      c.receiveRecord(reply, TestClient::kTimeoutMs) <= 0)
    reply.setInt32("result", -1);
  return reply;
}

int32_t resultOf(const ParamRecord& reply) {
  int32_t result = -2;
  reply.getInt32("result", &result);
  return result;
}

int32_t errorCodeOf(const ParamRecord& reply) {
  int32_t code = -2;
  reply.getInt32("errorcode", &code);
  return code;
}

int32_t errorOf(const ParamRecord& reply) {
  int32_t error = 0;
  reply.getInt32("error", &error);
  return error;
}

std::string textOf(const ParamRecord& reply, const char* name) {
  const char* text = nullptr;
  return reply.getString(name, &text) ? std::string(text) : std::string("<absent>");
}

int64_t numberOf(const ParamRecord& reply, const char* name) {
  int64_t value = -999;
  reply.getInt64(name, &value);
  return value;
}

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string patternBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& b : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<char>(state);
  }
  return bytes;
}

}  // namespace zavel::testing
