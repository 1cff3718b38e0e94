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

class FileServer;
struct ServerContext;

// The port the program's sessions use for personal-disk file servers.
inline constexpr uint16_t kFileServerPort = 9553;

struct Endpoint {
  std::string host = "127.0.0.1";
  uint16_t port = 0;  // 0 picks a free port
};

struct DevServerOptions {
  std::filesystem::path data_dir;
  Endpoint file{"127.0.0.1", kFileServerPort};
  bool seed_demo = false;  // fill an empty data folder with the demo service first
  size_t max_connections = 256;
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
  // One line per listening server, "file 127.0.0.1:9553", as the program prints them.
  std::vector<std::string> endpointLines() const;
  const Config& config() const;

 private:
  DevServerOptions options_;
  std::unique_ptr<ServerContext> context_;
  std::unique_ptr<FileServer> file_server_;
};

}  // namespace zavel::devserver
