// zavel-devserver in one object: the configuration and disks of a data folder, and the
// servers that answer on loopback. Tests run it in-process; main() runs it as a program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devserver/config.h"

namespace zavel::devserver {

class AuthServer;
class ClubIndex;
class ClubStorage;
class ConnectLog;
class FileServer;
class ListDispatcher;
class PortalDispatcher;
class RecordServer;
struct ServerContext;

// The port the program's sessions use for personal-disk file servers.
inline constexpr uint16_t kFileServerPort = 9553;
// The club list server's port when none is given; the portal answers on it too.
inline constexpr uint16_t kListServerPort = 22222;
inline constexpr uint16_t kAuthPort = 10020;
inline constexpr uint16_t kLogServerPort = 22223;

struct Endpoint {
  std::string host = "127.0.0.1";
  uint16_t port = 0;  // 0 picks a free port
};

struct DevServerOptions {
  std::filesystem::path data_dir;
  Endpoint file{"127.0.0.1", kFileServerPort};
  Endpoint list{"127.0.0.1", kListServerPort};  // the club list server
  Endpoint auth{"127.0.0.1", kAuthPort};        // the authentication router
  Endpoint log{"127.0.0.1", kLogServerPort};    // the connect log
  // The portal's own listener; without one the portal answers on the list server's.
  std::optional<Endpoint> portal;
  bool seed_demo = false;  // fill an empty data folder with the demo service first
  size_t max_connections = 256;
  // First index a new club index hands out (tests start beyond 32 bits).
  int64_t club_first_index = 1;

  // Every server on a free port of host; the portal shares the list server's listener.
  void useFreePorts(const std::string& host = "127.0.0.1") {
    file = list = auth = log = {host, 0};
    portal.reset();
  }
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
  uint16_t authPort() const;
  uint16_t portalPort() const;
  uint16_t logPort() const;
  // One line per role, "file 127.0.0.1:9553", as the program prints them.
  std::vector<std::string> endpointLines() const;
  const Config& config() const;

 private:
  DevServerOptions options_;
  std::unique_ptr<ServerContext> context_;
  std::unique_ptr<FileServer> file_server_;
  std::unique_ptr<ClubStorage> club_storage_;
  std::unique_ptr<ClubIndex> club_index_;
  std::unique_ptr<ListDispatcher> list_dispatcher_;
  std::unique_ptr<PortalDispatcher> portal_dispatcher_;
  std::unique_ptr<ConnectLog> connect_log_;
  std::unique_ptr<RecordServer> list_server_;
  std::unique_ptr<RecordServer> portal_server_;  // none while the portal shares the list's
  std::unique_ptr<RecordServer> log_server_;
  std::unique_ptr<AuthServer> auth_server_;
};

}  // namespace zavel::devserver
