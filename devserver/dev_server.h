// zavel-devserver in one object: the configuration and disks of a data folder, and the
// servers that answer on loopback. Tests run it in-process; main() runs it as a program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "devserver/config.h"

namespace zavel::devserver {

class ClubIndex;
class ClubStorage;
class FileServer;
class ListDispatcher;
class ListServer;
struct ServerContext;

// The port the program's sessions use for personal-disk file servers.
inline constexpr uint16_t kFileServerPort = 9553;
// The club list server's port when none is given (the portal will answer on it too).
inline constexpr uint16_t kListServerPort = 22222;

struct Endpoint {
  std::string host = "127.0.0.1";
  uint16_t port = 0;  // 0 picks a free port
};

struct DevServerOptions {
  std::filesystem::path data_dir;
  Endpoint file{"127.0.0.1", kFileServerPort};
  Endpoint list{"127.0.0.1", kListServerPort};  // the club list server
  bool seed_demo = false;  // fill an empty data folder with the demo service first
  size_t max_connections = 256;
  // First index a new club index hands out (tests start beyond 32 bits).
  int64_t club_first_index = 1;
};

class DevServer {
 public:
  explicit DevServer(DevServerOptions options);
  ~DevServer();
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  // Reads the data folder and starts listening. False with a one-line reason on failure.
  bool start(std::string* error);
  // Ends every connection and transfer and stops listening; safe to call twice.
  void stop();

  const std::string& fileHost() const;
  uint16_t filePort() const;
  const std::string& listHost() const;
  uint16_t listPort() const;
  // One line per listening server, "file 127.0.0.1:9553", as the program prints them.
  std::vector<std::string> endpointLines() const;
  const Config& config() const;

 private:
  DevServerOptions options_;
  std::unique_ptr<ServerContext> context_;
  std::unique_ptr<FileServer> file_server_;
  std::unique_ptr<ClubStorage> club_storage_;
  std::unique_ptr<ClubIndex> club_index_;
  std::unique_ptr<ListDispatcher> list_dispatcher_;
  std::unique_ptr<ListServer> list_server_;
};

}  // namespace zavel::devserver
