#include "devserver/dev_server.h"

#include <ctime>

#include "devserver/list/club_index.h"
#include "devserver/list/club_storage.h"
#include "devserver/file/file_server.h"
#include "devserver/list/list_commands.h"
#include "devserver/list/list_server.h"
#include "devserver/seed_demo.h"
#include "devserver/file/server_context.h"

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
  bool seeded = false;
  if (options_.seed_demo && !seedDemoIfEmpty(dir, error, &seeded)) return false;
  auto context = std::make_unique<ServerContext>();
  if (!loadConfig(dir / kConfigFileName, &context->config, error)) return false;
  if (!addClubStorage(&context->config, error)) return false;
  if (!openDisks(*context, dir.string(), error)) return false;
  Disk* storage_disk = context->disk(kClubStorageAccount);
  if (storage_disk == nullptr) {
    if (error)
      *error = "account '" + std::string(kClubStorageAccount) + "' has no personal disk for clubs";
    return false;
  }
  auto storage = std::make_unique<ClubStorage>(*storage_disk);
  auto index = ClubIndex::open(dir / kClubIndexFileName, context->config, *storage,
                               options_.club_first_index, error);
  if (!index) return false;
  if (seeded && !seedDemoClub(*index, error)) return false;
  context->stats.start_time = static_cast<int64_t>(::time(nullptr));

  auto file_server = std::make_unique<FileServer>(*context, options_.max_connections);
  if (!file_server->listen(options_.file.host, options_.file.port, error)) return false;
  auto dispatcher =
      std::make_unique<ListDispatcher>(ListContext{context->config, *index, *storage});
  auto list_server = std::make_unique<ListServer>(*dispatcher, options_.max_connections);
  if (!list_server->listen(options_.list.host, options_.list.port, error)) return false;
  file_server->start();
  list_server->start();
  context_ = std::move(context);
  file_server_ = std::move(file_server);
  club_storage_ = std::move(storage);
  club_index_ = std::move(index);
  list_dispatcher_ = std::move(dispatcher);
  list_server_ = std::move(list_server);
  return true;
}

void DevServer::stop() {
  if (list_server_) list_server_->stop();
  if (file_server_) file_server_->stop();
}

const std::string& DevServer::fileHost() const {
  static const std::string none;
  return file_server_ ? file_server_->host() : none;
}

uint16_t DevServer::filePort() const {
  return file_server_ ? file_server_->port() : 0;
}

const std::string& DevServer::listHost() const {
  static const std::string none;
  return list_server_ ? list_server_->host() : none;
}

uint16_t DevServer::listPort() const {
  return list_server_ ? list_server_->port() : 0;
}

std::vector<std::string> DevServer::endpointLines() const {
  std::vector<std::string> lines;
  if (file_server_) lines.push_back("file " + fileHost() + ":" + std::to_string(filePort()));
  if (list_server_) lines.push_back("list " + listHost() + ":" + std::to_string(listPort()));
  return lines;
}

const Config& DevServer::config() const {
  static const Config empty;
  return context_ ? context_->config : empty;
}

}  // namespace zavel::devserver
