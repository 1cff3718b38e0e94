// Scripted list and file servers for the club-disk tests, and a club-disk session that
// counts its pauses instead of sleeping through them.
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "club/octa_session.h"
#include "tests/session/wire_text.h"
#include "tests/support/fake_server.h"

namespace zavel::testing {

inline constexpr int32_t kTestClub = 4242;
inline constexpr int32_t kTestTimeout = 10000;

// A list-server reply: success with fields as rec() reads them ("name:type=value;..."), a
// failure with its code and text, one entry as an info request's reply.
inline ParamRecord listReply(const std::string& fields = "") {
  return rec("result:12=0" + (fields.empty() ? "" : ";" + fields), ParamRecord(kFlagScramble));
}
inline ParamRecord listFailure(int32_t code, const char* text) {
  ParamRecord r =
      rec("result:12=1;errorcode:12=" + std::to_string(code), ParamRecord(kFlagScramble));
  r.setString("errormsg", text);
  return r;
}
inline ParamRecord entryReply(int64_t index, int32_t kind) {
  return listReply("jidx:13=" + std::to_string(index) + ";itype:12=" + std::to_string(kind));
}

// Every request a fake server saw, one line each ("name:type=value ..."), once its script ran.
inline std::vector<std::string> linesOf(FakeServer& server) {
  EXPECT_TRUE(server.waitDone()) << "the client sent fewer requests than scripted";
  std::vector<std::string> lines;
  for (const ReceivedRequest& r : server.requests()) lines.push_back(wireText(r.record));
  return lines;
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
  // Answers each reply in turn; a missing one reads the request and hangs up instead.
  ScriptedListServer& script(const std::vector<std::optional<ParamRecord>>& replies) {
    for (const auto& r : replies) r ? answer(*r) : (server_.accept().receive().close(), *this);
    return *this;
  }
  std::vector<std::string> requests() { return linesOf(server_); }
  int connections() const { return server_.connectionsAccepted(); }

 private:
  FakeServer server_;
};

// A club-disk session on a scripted list server; its pauses between attempts are counted,
// not slept.
class CountingOctaSession : public OctaSession {
 public:
  explicit CountingOctaSession(uint16_t port, int32_t retries = 0)
      : OctaSession("127.0.0.1", port, kTestTimeout, 2, kTestClub, retries) {
    signOn();
  }
  int pauses = 0;

 protected:
  void pauseBeforeRetry() override { ++pauses; }
};

// The requests a call sent, given the replies the list server answers with.
inline std::vector<std::string> sent(const std::vector<ParamRecord>& replies,
                                     const std::function<void(OctaSession&)>& call) {
  ScriptedListServer server;
  for (const ParamRecord& r : replies) server.answer(r);
  server.start();
  CountingOctaSession session(server.port());
  call(session);
  return server.requests();
}

// Every field of a club entry, to compare in one assertion.
inline std::string entryText(const ClubEntry& e) {
  std::ostringstream o;
  o << e.itype << "," << e.jidx << "," << e.jpidx << "," << e.sname << "," << e.stime << ","
    << e.jsize << "," << e.jfilenum << "," << e.jdirnum << "," << e.setime << "," << e.sdes << ","
    << e.jtsize << "," << e.jdown << "," << e.icopy;
  return o.str();
}

inline void resetErrorState() {
  zavel_SetLastError(0);
  zavel_SetLastErrStr("");
}

// A call, the replies the list server gives it, the requests it must send, what it returns
// and the error it leaves; expectCalls() runs each row on a list server of its own.
#define CALL(call) [](OctaSession& s) { return s.call; }
struct Call {
  std::function<bool(OctaSession&)> call;
  std::vector<ParamRecord> replies;
  std::vector<std::string> requests;
  bool ok = true;
  int32_t error = 0;
};

inline void expectCalls(const std::vector<Call>& cases) {
  for (size_t i = 0; i < cases.size(); ++i) {
    const Call& c = cases[i];
    resetErrorState();
    bool ok = !c.ok;
    EXPECT_EQ(sent(c.replies, [&](OctaSession& s) { ok = c.call(s); }), c.requests) << "row " << i;
    EXPECT_EQ(ok, c.ok) << "row " << i;
    EXPECT_EQ(zavel_GetLastError(), c.error) << "row " << i;
  }
}

inline uint16_t closedPort() {  // nothing listens there any more
  return FakeServer().port();
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
  std::string file(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bytes that differ from place to place, so a piece read or written at the wrong offset shows.
inline std::string patterned(size_t size, uint32_t seed = 2463534242u) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    c = static_cast<char>(seed);
  }
  return bytes;
}

// The MD5 digest of bytes as lowercase hexadecimal digits.
inline std::string md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i)
    hex.append({kHex[digest[i] >> 4], kHex[digest[i] & 15]});
  return hex;
}

// Sessions made through the exports, destroyed with their owner.
struct SessionCloser {
  void operator()(ZavelSession* s) const { zavel_DestroySession(s); }
};
using SessionPtr = std::unique_ptr<ZavelSession, SessionCloser>;

// A transfer of [start, end) from source to destination: the texts must outlive it.
inline TransferSpec transferSpec(const char* source, const char* destination, uint64_t start,
                                 uint64_t end, int32_t truncate = 0) {
  TransferSpec s{};
  s.source = source;
  s.destination = destination;
  s.start = start;
  s.end = end;
  s.truncate = truncate;
  return s;
}

}  // namespace zavel::testing

// Clears the error state, makes the call and checks what it gave and the error it left.
#define EXPECT_RESULT(call, value, error)              \
  do {                                                 \
    zavel_SetLastError(0);                             \
    EXPECT_EQ(call, value) << #call;                   \
    EXPECT_EQ(zavel_GetLastError(), (error)) << #call; \
  } while (0)
