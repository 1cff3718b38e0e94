#include "tests/support/demo_server.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace zavel::testing {

DemoServer::DemoServer(bool ownAddress, const Adjust& adjust) {
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
  if (!ownAddress && !adjust) return;

  // Seeded: now again with the configuration changed, on an address of its own if asked,
  // with the hosts in the configuration moved there.
  server_->stop();
  devserver::Config config;
  const auto file = data_ / devserver::kConfigFileName;
  if (!devserver::loadConfig(file, &config, &error)) throw std::runtime_error(error);
  if (adjust) adjust(config);
  options.seed_demo = false;
  for (int attempt = 0; attempt < 20; ++attempt) {
    host_ = ownAddress ? "127.0.0." + std::to_string(2 + random() % 250) : "127.0.0.1";
    const std::string& host = host_;
    for (auto& account : config.accounts)
      for (auto& disk : account.disks) disk.host = host;
    for (auto& club : config.clubs) club.host = host;
    if (!devserver::saveConfig(file, config, &error)) throw std::runtime_error(error);
    options.useFreePorts(host);
    if (ownAddress) options.file.port = devserver::kFileServerPort;
    server_ = std::make_unique<devserver::DevServer>(options);
    if (server_->start(&error)) return;
  }
  throw std::runtime_error("devserver: " + error);
}

DemoServer::~DemoServer() {
  server_->stop();
  server_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(data_, ignored);
}

std::string DemoServer::auth() const {
  return host_ + ":" + std::to_string(server_->authPort());
}

std::string DemoServer::portal() const {
  return host_ + ":" + std::to_string(server_->portalPort());
}

std::vector<std::string> DemoServer::connectLog() const {
  std::vector<std::string> lines;
  std::ifstream in(data_ / "connect-log.jsonl");
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace zavel::testing
