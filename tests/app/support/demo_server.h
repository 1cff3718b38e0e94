// An in-process zavel-devserver with the demo data, every role on a free loopback port.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "devserver/dev_server.h"

namespace zavel::app::testing {

class DemoServer {
 public:
  DemoServer();  // throws std::runtime_error when it cannot start
  ~DemoServer();

  devserver::DevServer& server() { return *server_; }
  const std::filesystem::path& dataPath() const { return data_; }
  // The connect log's entries so far, one JSON text each.
  std::vector<std::string> connectLog() const;

 private:
  std::filesystem::path data_;
  std::unique_ptr<devserver::DevServer> server_;
};

}  // namespace zavel::app::testing
