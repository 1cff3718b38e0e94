// Sessions made through the exports on the scripted fake server, and replies written as text.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/club/club_test_support.h"
#include "tests/session/wire_text.h"
#include "tests/support/fake_server.h"
#include "zavelsdk.h"

namespace zavel::testing {

// A reply from "name:type=value" entries as wireText() writes them, space-separated, but
// numbers in decimal (0x and 0 prefixes as in C for unsigned ones) and binary values as they
// are.
inline ParamRecord reply(const std::string& entries = "") {
  ParamRecord r = okReply();
  std::istringstream in(entries);
  for (std::string e; in >> e;) {
    const size_t colon = e.find(':'), equals = e.find('=');
    const std::string name = e.substr(0, colon), v = e.substr(equals + 1);
    const int type = std::stoi(e.substr(colon + 1, equals - colon - 1));
    const char* n = name.c_str();
    if (type == kTypeInt32) r.setInt32(n, std::stoi(v));
    if (type == kTypeInt64) r.setInt64(n, std::stoll(v));
    if (type == kTypeUInt32) r.setUInt32(n, static_cast<uint32_t>(std::stoul(v, nullptr, 0)));
    if (type == kTypeUInt64) r.setUInt64(n, std::stoull(v, nullptr, 0));
    if (type == kTypeString) r.setString(n, v.c_str());
    if (type == kTypeBinary) r.setBinary(n, v.data(), static_cast<uint32_t>(v.size()));
  }
  return r;
}

inline ZavelSession* openOn(const FakeServer& server, const char* password = "") {
  return zavel_CreateSession("127.0.0.1", server.port(), "alice", password, 10000);
}

// A session that signs on to a fake server as alice, which then answers the given replies
// in turn.
class ExportSession : public ::testing::Test {
 protected:
  void startRecords(const std::vector<ParamRecord>& replies) {
    server_.answer(signOnReply());
    for (const ParamRecord& r : replies) server_.answer(r);
    server_.start();
    session_ = openOn(server_);
    ASSERT_NE(session_, nullptr);
  }
  void start(const std::vector<std::string>& replies) {
    std::vector<ParamRecord> records;
    for (const std::string& r : replies) records.push_back(reply(r));
    startRecords(records);
  }
  // The requests after sign-on, as text, once the script has run.
  std::vector<std::string> sent() {
    std::vector<std::string> out = linesOf(server_);
    if (!out.empty()) out.erase(out.begin());
    return out;
  }
  void TearDown() override { zavel_DestroySession(session_); }

  FakeServer server_;
  ZavelSession* session_ = nullptr;
};

}  // namespace zavel::testing
