#include "tests/devserver/test_client.h"

#include <ace/ACE.h>
#include <sys/socket.h>

#include <openssl/evp.h>

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

int32_t TestClient::run(const ParamRecord& request) {
  return errorOf(call(request));
}

ParamRecord ask(const std::string& host, uint16_t port, const ParamRecord& request) {
  ParamRecord reply(kFlagScramble);
  Connection c;
  if (!c.connect(host.c_str(), port) || c.sendRecord(request, TestClient::kTimeoutMs) <= 0 ||
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

std::string sha256(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  return std::string(reinterpret_cast<char*>(digest), length);
}

Transfer download(TestClient& c, const std::string& path, uint64_t start, uint64_t end) {
  Transfer t;
  t.opening = c.run(Req("download").s("path", path).u64("startpos", start).u64("endpos", end));
  if (t.opening != 0) return t;
  t.data = c.receiveRaw(end - start);
  t.final = errorOf(c.receive());
  return t;
}

Transfer upload(TestClient& c, const std::string& path, uint64_t start, const std::string& bytes,
                int32_t truncate) {
  Transfer t;
  t.opening = c.run(Req("upload")
                        .s("path", path)
                        .u64("startpos", start)
                        .u64("endpos", start + bytes.size())
                        .i32("istrunc", truncate));
  if (t.opening == 0 && c.sendRaw(bytes.data(), bytes.size())) t.final = errorOf(c.receive());
  return t;
}

std::vector<uint64_t> copyPositions(TestClient& c, uint64_t end) {
  std::vector<uint64_t> positions;
  do {
    const std::string raw = c.receiveRaw(8);
    if (raw.size() != 8) return positions.push_back(UINT64_MAX), positions;
    uint64_t p = 0;
    for (unsigned char byte : raw) p = (p << 8) | byte;
    positions.push_back(p);
  } while (positions.back() != end);
  return positions;
}

}  // namespace zavel::testing
