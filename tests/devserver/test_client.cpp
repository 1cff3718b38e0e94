#include "tests/devserver/test_client.h"

#include <ace/ACE.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <thread>

namespace zavel::testing {

bool TestClient::sendRaw(const void* data, size_t size) {
  ACE_Time_Value tv(kTimeoutMs / 1000);
  size_t sent = 0;
  ACE::send_n(handle(), data, size, MSG_NOSIGNAL, &tv, &sent);
  return sent == size;
}

std::string TestClient::receiveRaw(size_t size, int32_t wait_ms) {
  std::string bytes(size, '\0');
  ACE_Time_Value tv(wait_ms / 1000, (wait_ms % 1000) * 1000);
  size_t got = 0;
  ACE::recv_n(handle(), bytes.data(), size, &tv, &got);
  bytes.resize(got);
  return bytes;
}

ParamRecord ask(const std::string& host, uint16_t port, const ParamRecord& request) {
  ParamRecord reply(kFlagScramble);
  Connection c;
  if (!c.connect(host.c_str(), port) || c.sendRecord(request, TestClient::kTimeoutMs) <= 0 ||
      c.receiveRecord(reply, TestClient::kTimeoutMs) <= 0)
    reply.setInt32("result", -1);
  return reply;
}

int32_t int32Of(const ParamRecord& reply, const char* name, int32_t absent) {
  reply.getInt32(name, &absent);
  return absent;
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

uint32_t typeOf(const ParamRecord& reply, const char* name) {
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  reply.find(name, &data, &length, &type);
  return type;
}

void expectFields(const ParamRecord& reply, const Fields& fields) {
  for (const auto& [name, value] : fields) {
    if (const auto* text = std::get_if<std::string>(&value))
      EXPECT_EQ(textOf(reply, name.c_str()), *text) << name;
    else
      EXPECT_EQ(numberOf(reply, name.c_str()), std::get<int64_t>(value)) << name;
  }
}

Req fileInfo(const std::string& path, int32_t level) {
  return Req("getfileinfo").s("path", path).i32("infotype", 63).i32("recursivelevel", level);
}

Req downloadReq(const std::string& path, uint64_t start, uint64_t end) {
  return Req("download").s("path", path).u64("startpos", start).u64("endpos", end);
}

Req uploadReq(const std::string& path, uint64_t start, uint64_t end, int32_t truncate) {
  return Req("upload")
      .s("path", path)
      .u64("startpos", start)
      .u64("endpos", end)
      .i32("istrunc", truncate);
}

std::unique_ptr<devserver::DevServer> startServer(
    const std::filesystem::path& data,
    const std::function<void(devserver::DevServerOptions&)>& adjust) {
  devserver::DevServerOptions options;
  options.data_dir = data;
  options.useFreePorts();
  if (adjust) adjust(options);
  auto server = std::make_unique<devserver::DevServer>(options);
  std::string error;
  EXPECT_TRUE(server->start(&error)) << error;
  return server;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zavel-test-XXXXXX").string();
  EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
  path = pattern;
}

std::string patternBytes(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  std::minstd_rand random(seed);
  for (char& b : bytes) b = static_cast<char>(random() >> 7);
  return bytes;
}

uint64_t walkedBytes(const std::filesystem::path& folder) {
  uint64_t total = 0;
  std::set<std::pair<dev_t, ino_t>> seen;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    struct stat st {};
    if (::lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        seen.insert({st.st_dev, st.st_ino}).second)
      total += static_cast<uint64_t>(st.st_size);
  }
  return total;
}

int64_t usedBytes(TestClient& c) {
  const ParamRecord reply =
      c.call(Req("remotecmd").s("command", "df").i32("getresult", 1));  // "N bytes used of Q"
  const std::string text = textOf(reply, "result");
  return errorOf(reply) == 0 && !text.empty() && std::isdigit(text[0]) ? std::stoll(text) : -1;
}

Transfer download(TestClient& c, const std::string& path, uint64_t start, uint64_t end) {
  Transfer t;
  t.opening = c.run(downloadReq(path, start, end));
  if (t.opening != 0) return t;
  t.data = c.receiveRaw(end - start);
  t.final = errorOf(c.receive());
  return t;
}

Transfer upload(TestClient& c, const std::string& path, uint64_t start, const std::string& bytes,
                int32_t truncate) {
  Transfer t;
  t.opening = c.run(uploadReq(path, start, start + bytes.size(), truncate));
  if (t.opening == 0 && c.sendRaw(bytes.data(), bytes.size())) t.final = errorOf(c.receive());
  return t;
}

void SignedOnTest::waitForUploads(int64_t uploads) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (number(Req("getserverinfo"), "nUpNum") > uploads) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "an upload never ended";
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
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
