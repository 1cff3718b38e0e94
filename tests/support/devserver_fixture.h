// An in-process zavel-devserver on a free loopback port, over a temporary data folder that
// holds two accounts with personal disks: "tester" / "secret" and "peer" / "peerpass".
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "devserver/dev_server.h"

namespace zavel::testing {

struct DevServerFixtureOptions {
  uint64_t quota_mb = 1024;  // capacity of each disk
};

class DevServerFixture {
 public:
  static constexpr const char* kUser = "tester";
  static constexpr const char* kPassword = "secret";
  static constexpr const char* kPeerUser = "peer";
  static constexpr const char* kPeerPassword = "peerpass";

  // Starts the server; throws std::runtime_error when it cannot.
  explicit DevServerFixture(DevServerFixtureOptions options = {});
  ~DevServerFixture();
  DevServerFixture(const DevServerFixture&) = delete;
  DevServerFixture& operator=(const DevServerFixture&) = delete;

  const std::string& host() const { return host_; }
  uint16_t port() const { return server_->filePort(); }
  // The host folder holding the test account's files, and the path clients see for it.
  std::filesystem::path diskPath(const std::string& user = kUser) const;
  std::string basePath(const std::string& user = kUser) const { return "/" + user; }
  const std::filesystem::path& dataPath() const { return data_; }
  devserver::DevServer& server() { return *server_; }

  // Ends every connection; the data folder stays until destruction.
  void stop() { server_->stop(); }

 private:
  std::filesystem::path data_;
  std::string host_ = "127.0.0.1";
  std::unique_ptr<devserver::DevServer> server_;
};

}  // namespace zavel::testing
