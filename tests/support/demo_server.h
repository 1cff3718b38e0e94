// An in-process zavel-devserver with the demo data, every role on a free loopback port.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devserver/config.h"
#include "devserver/dev_server.h"

namespace zavel::testing {

class DemoServer {
 public:
  using Adjust = std::function<void(devserver::Config&)>;
  // Every server on a free port of 127.0.0.1. With ownAddress, every server is on a
  // loopback address of its own (127.0.0.N) and the file server on the service's fixed
  // port, which club-disk transfers need; the disks and clubs are handed out there. adjust
  // changes the demo configuration before the servers start. Throws std::runtime_error
  // when it cannot start.
  explicit DemoServer(bool ownAddress = false, const Adjust& adjust = {});
  ~DemoServer();

  devserver::DevServer& server() { return *server_; }
  const std::filesystem::path& dataPath() const { return data_; }
  // "HOST:PORT" of the authentication server and of the portal (which is also the club
  // server).
  std::string auth() const;
  std::string portal() const;
  // The connect log's entries so far, one JSON text each.
  std::vector<std::string> connectLog() const;

 private:
  std::filesystem::path data_;
  std::string host_ = "127.0.0.1";
  std::unique_ptr<devserver::DevServer> server_;
};

}  // namespace zavel::testing
