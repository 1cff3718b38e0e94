#include "devserver/dev_server.h"

#include <ctime>

#include "devserver/file_server.h"
#include "devserver/seed_demo.h"
#include "devserver/server_context.h"

namespace zavel::devserver {

DevServer::DevServer(DevServerOptions options) : options_(std::move(options)) {}

DevServer::~DevServer() {
  stop();
}

bool DevServer::start(std::string* error) {
  if (file_server_) {
    if (error) *error = "already started";
    return false;
  }
  const std::filesystem::path& dir = options_.data_dir;
  if (options_.seed_demo && !seedDemoIfEmpty(dir, error)) return false;
  auto context = std::make_unique<ServerContext>();
  if (!loadConfig(dir / kConfigFileName, &context->config, error)) return false;
  if (!openDisks(*context, dir.string(), error)) return false;
  context->stats.start_time = static_cast<int64_t>(::time(nullptr));
  auto server = std::make_unique<FileServer>(*context, options_.max_connections);
  if (!server->listen(options_.file.host, options_.file.port, error)) return false;
  server->start();
  context_ = std::move(context);
  file_server_ = std::move(server);
  return true;
}

void DevServer::stop() {
  if (file_server_) file_server_->stop();
}

const std::string& DevServer::fileHost() const {
  static const std::string none;
  return file_server_ ? file_server_->host() : none;
}

uint16_t DevServer::filePort() const {
  return file_server_ ? file_server_->port() : 0;
}

std::vector<std::string> DevServer::endpointLines() const {
  std::vector<std::string> lines;
  if (file_server_) lines.push_back("file " + fileHost() + ":" + std::to_string(filePort()));
  return lines;
}

const Config& DevServer::config() const {
  static const Config empty;
  return context_ ? context_->config : empty;
}

}  // namespace zavel::devserver
