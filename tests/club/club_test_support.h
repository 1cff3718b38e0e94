// Scripted list and file servers for the club-disk tests, and a club-disk session that
// counts its pauses instead of sleeping through them.
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "club/octa_session.h"
#include "tests/session/wire_text.h"
#include "tests/support/fake_server.h"

namespace zavel::testing {

inline constexpr int32_t kTestClub = 4242;
inline constexpr int32_t kTestTimeout = 10000;

// A list-server reply that reports success.
inline ParamRecord listReply() {
  ParamRecord r(kFlagScramble);
  r.setInt32("result", 0);
  return r;
}

// A list-server reply that reports a failure.
inline ParamRecord listFailure(int32_t code, const char* text) {
  ParamRecord r(kFlagScramble);
  r.setInt32("result", 1);
  r.setInt32("errorcode", code);
  r.setString("errormsg", text);
  return r;
}

// One entry as an info request's reply.
inline ParamRecord entryReply(int64_t index, int32_t kind) {
  ParamRecord r = listReply();
  r.setInt64("jidx", index);
  r.setInt32("itype", kind);
  return r;
}

// A list server that answers each request on a connection of its own, from a script.
class ScriptedListServer {
 public:
  ScriptedListServer& answer(const ParamRecord& reply) {
    server_.accept().answer(reply);
    return *this;
  }
  void start() { server_.start(); }
  uint16_t port() const { return server_.port(); }

  // Every request seen, one line each ("name:type=value ..."), once the script has run.
  std::vector<std::string> requests() {
    EXPECT_TRUE(server_.waitDone()) << "the client sent fewer requests than scripted";
    std::vector<std::string> lines;
    for (const ReceivedRequest& r : server_.requests()) lines.push_back(wireText(r.record));
    return lines;
  }
  int connections() const { return server_.connectionsAccepted(); }

 private:
  FakeServer server_;
};

// A club-disk session on a scripted list server; its pauses between attempts are counted,
// not slept.
class CountingOctaSession : public OctaSession {
 public:
  explicit CountingOctaSession(uint16_t port, int32_t retries = 0, const char* host = "127.0.0.1")
      : OctaSession(host, port, kTestTimeout, 2, kTestClub, retries) {
    signOn();
  }
  int pauses = 0;

 protected:
  void pauseBeforeRetry() override { ++pauses; }
};

inline void resetErrorState() {
  zavel_SetLastError(0);
  zavel_SetLastErrStr("");
}

// A port on which nothing listens any more.
inline uint16_t closedPort() {
  FakeServer probe;
  return probe.port();
}

// A temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string name = (std::filesystem::temp_directory_path() / "zavel-club-XXXXXX").string();
    if (::mkdtemp(name.data()) != nullptr) path_ = name;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string file(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The MD5 digest of bytes as lowercase hexadecimal digits.
inline std::string md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    char two[3];
    snprintf(two, sizeof two, "%02x", digest[i]);
    hex += two;
  }
  return hex;
}

}  // namespace zavel::testing
