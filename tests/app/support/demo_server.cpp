#include "tests/app/support/demo_server.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace zavel::app::testing {

DemoServer::DemoServer() {
  std::random_device random;
  data_ = std::filesystem::temp_directory_path() /
          ("zavel-app-demo-" + std::to_string(random()) + std::to_string(random()));
  devserver::DevServerOptions options;
  options.data_dir = data_;
  options.seed_demo = true;
  options.useFreePorts();
  server_ = std::make_unique<devserver::DevServer>(options);
  std::string error;
  if (!server_->start(&error)) throw std::runtime_error("devserver: " + error);
}

DemoServer::~DemoServer() {
  server_->stop();
  server_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(data_, ignored);
}

std::vector<std::string> DemoServer::connectLog() const {
  std::vector<std::string> lines;
  std::ifstream in(data_ / "connect-log.jsonl");
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace zavel::app::testing
