// Helpers shared by the session tests. wireText writes a record as one line of text, so a test
// compares a whole request at once: "name:type=value" per entry in wire order, space-separated.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/param_record.h"
#include "session/error_state.h"
#include "session/standard_session.h"
#include "tests/support/fake_server.h"

namespace zavel::testing {

inline std::string wireText(const ParamRecord& record) {
  std::string out;
  for (const auto& [name, value] : record.entries()) {
    out += (out.empty() ? "" : " ") + name + ':' + std::to_string(value.type()) + '=';
    int32_t v32 = 0;
    int64_t v64 = 0;
    if (value.type() == kTypeString) {
      out.append(reinterpret_cast<const char*>(value.data()), value.length() - 1);
    } else if (value.type() == kTypeInt32 && record.getInt32(name.c_str(), &v32)) {
      out += std::to_string(v32);
    } else if ((value.type() == kTypeInt64 || value.type() == kTypeUInt64) &&
               record.getInt64(name.c_str(), &v64)) {
      out += std::to_string(v64);
    } else {
      char hex[3];
      for (uint32_t i = 0; i < value.length(); ++i)
        out.append(hex, snprintf(hex, sizeof hex, "%02x", value.data()[i]));
    }
  }
  return out;
}

// The reverse, for replies: "name:type=value" entries separated by ';', added to base.
inline ParamRecord rec(const std::string& text, ParamRecord r = okReply()) {
  for (size_t at = 0; at < text.size();) {
    size_t end = std::min(text.find(';', at), text.size()), colon = text.find(':', at),
           equals = text.find('=', colon);
    const std::string name = text.substr(at, colon - at),
                      value = text.substr(equals + 1, end - equals - 1);
    const int type = std::stoi(text.substr(colon + 1, equals - colon - 1));
    if (type == kTypeString) r.setString(name.c_str(), value.c_str());
    if (type == kTypeInt32) r.setInt32(name.c_str(), static_cast<int32_t>(std::stoll(value)));
    if (type == kTypeInt64) r.setInt64(name.c_str(), std::stoll(value));
    if (type == kTypeUInt32) r.setUInt32(name.c_str(), static_cast<uint32_t>(std::stoull(value)));
    if (type == kTypeUInt64) r.setUInt64(name.c_str(), std::stoull(value));
    at = end + 1;
  }
  return r;
}

// The thread's error state as a command left it; a null text is not compared.
inline void expectThreadError(int32_t number, const char* text = nullptr) {
  EXPECT_EQ(lastError(), number);
  if (text != nullptr) {
    EXPECT_STREQ(lastErrorText(), text);
  }
}

// Sets the thread's error state to values no command leaves, to see what a command changed.
inline void staleThreadError() {
  setLastError(-7);
  setLastErrorText("kept");
}

inline ParamRecord signOnReply(const char* path = "/home/alice") {
  ParamRecord r = okReply();
  r.setString("path", path);
  return r;
}

// A session signed on to a scripted server: the server answers the sign-on, then follows
// the script.
struct Scripted {
  explicit Scripted(const std::function<void(FakeServer&)>& script, const char* password = "") {
    script(server.answer(signOnReply()));
    server.start();
    session =
        std::make_unique<StandardSession>("127.0.0.1", server.port(), "alice", password, 10000);
    EXPECT_TRUE(session->signOn());
  }
  // The requests after the sign-on, as text, once the script has run.
  std::vector<std::string> commands() {
    EXPECT_TRUE(server.waitDone());
    std::vector<std::string> out;
    for (const auto& r : server.requests()) out.push_back(wireText(r.record));
    if (!out.empty()) out.erase(out.begin());
    return out;
  }
  FakeServer server;
  std::unique_ptr<StandardSession> session;
};

// Lets the server answer one command with reply, runs it and gives back its request as text.
inline std::string runCommand(const ParamRecord& reply,
                              const std::function<void(StandardSession&)>& run) {
  Scripted t([&](FakeServer& s) { s.answer(reply); });
  run(*t.session);
  const auto seen = t.commands();
  return seen.size() == 1 ? seen[0] : "<no command request>";
}

}  // namespace zavel::testing
