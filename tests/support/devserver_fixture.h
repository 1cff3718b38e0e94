// An in-process zavel-devserver on free loopback ports, over a temporary data folder that
// holds two accounts with personal disks, "tester" / "secret" and "peer" / "peerpass", and
// one club (kClub) whose members are both: tester may write (level 1), peer only read
// (level 3). The club's bytes live on the fixture's own file server under the storage
// account "octa".
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "devserver/dev_server.h"

namespace zavel::testing {

struct DevServerFixtureOptions {
  uint64_t quota_mb = 1024;       // capacity of each personal disk
  uint64_t club_quota_mb = 1024;  // capacity of the club's disk
  // The club index starts beyond 32 bits, so every club index on the wire needs 64.
  int64_t club_first_index = (int64_t{1} << 32) + 1;
  // Club transfers always reach their file server on port 9553: with this set the file
  // server listens there, on a loopback address of its own (127.0.0.N), and the club's
  // host names that address. Otherwise both servers take free ports on 127.0.0.1.
  bool club_file_port = false;
};

class DevServerFixture {
 public:
  static constexpr const char* kUser = "tester";
  static constexpr const char* kPassword = "secret";
  static constexpr const char* kPeerUser = "peer";
  static constexpr const char* kPeerPassword = "peerpass";
  static constexpr int32_t kClub = 7001;
  static constexpr const char* kClubName = "test club";
  static constexpr int32_t kClubWriterLevel = 1;  // tester's level in the club
  static constexpr int32_t kClubReaderLevel = 3;  // peer's level in the club
  // The file-server account holding the club's bytes.
  static constexpr const char* kClubStorageUser = "octa";

  // Starts the server; throws std::runtime_error when it cannot. clubHost is where the list
  // server says the club's bytes are, when not at the fixture's own file server (a relay in
  // front of it, say).
  explicit DevServerFixture(DevServerFixtureOptions options = {}, std::string clubHost = {});
  ~DevServerFixture();
  DevServerFixture(const DevServerFixture&) = delete;
  DevServerFixture& operator=(const DevServerFixture&) = delete;

  const std::string& host() const { return host_; }
  uint16_t port() const { return server_->filePort(); }
  uint16_t listPort() const { return server_->listPort(); }
  // The host folder holding the test account's files, and the path clients see for it.
  std::filesystem::path diskPath(const std::string& user = kUser) const;
  std::string basePath(const std::string& user = kUser) const { return "/" + user; }
  // The host folder holding the club's bytes.
  std::filesystem::path clubStoragePath() const { return diskPath(kClubStorageUser); }
  const std::filesystem::path& dataPath() const { return data_; }
  devserver::DevServer& server() { return *server_; }

  // Ends every connection; the data folder stays until destruction.
  void stop() { server_->stop(); }

 private:
  bool tryStart(const DevServerFixtureOptions& options, const std::string& host,
                std::string* error);

  std::string club_host_;

  std::filesystem::path data_;
  std::string host_ = "127.0.0.1";
  std::unique_ptr<devserver::DevServer> server_;
};

}  // namespace zavel::testing
