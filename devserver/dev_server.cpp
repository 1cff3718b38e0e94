#include "devserver/dev_server.h"

#include <ctime>

#include "devserver/file/file_server.h"
#include "devserver/file/server_context.h"
#include "devserver/list/club_index.h"
#include "devserver/list/club_storage.h"
#include "devserver/list/list_commands.h"
#include "devserver/portal/auth_server.h"
#include "devserver/portal/connect_log.h"
#include "devserver/portal/portal_commands.h"
#include "devserver/record_server.h"
#include "devserver/seed_demo.h"

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

  const size_t limit = options_.max_connections;
  auto file_server = std::make_unique<FileServer>(*context, limit);
  if (!file_server->listen(options_.file.host, options_.file.port, error)) return false;
  auto dispatcher =
      std::make_unique<ListDispatcher>(ListContext{context->config, *index, *storage});
  auto portal = std::make_unique<PortalDispatcher>(context->config);
  auto connect_log = std::make_unique<ConnectLog>(dir / kConnectLogFileName);
  std::unique_ptr<RecordServer> portal_server;
  std::vector<RecordService*> list_services = {dispatcher.get()};
  if (options_.portal) {
    portal_server =
        std::make_unique<RecordServer>(std::vector<RecordService*>{portal.get()}, limit);
    if (!portal_server->listen(options_.portal->host, options_.portal->port, error)) return false;
  } else {
    list_services.push_back(portal.get());
  }
  auto list_server = std::make_unique<RecordServer>(list_services, limit);
  if (!list_server->listen(options_.list.host, options_.list.port, error)) return false;
  auto log_server =
      std::make_unique<RecordServer>(std::vector<RecordService*>{connect_log.get()}, limit);
  if (!log_server->listen(options_.log.host, options_.log.port, error)) return false;
  portal->setLogServer(log_server->host(), log_server->port());
  auto auth_server = std::make_unique<AuthServer>(context->config, limit);
  if (!auth_server->listen(options_.auth.host, options_.auth.port, error)) return false;

  file_server->start();
  list_server->start();
  if (portal_server) portal_server->start();
  log_server->start();
  auth_server->start();
  context_ = std::move(context);
  file_server_ = std::move(file_server);
  club_storage_ = std::move(storage);
  club_index_ = std::move(index);
  list_dispatcher_ = std::move(dispatcher);
  portal_dispatcher_ = std::move(portal);
  connect_log_ = std::move(connect_log);
  list_server_ = std::move(list_server);
  portal_server_ = std::move(portal_server);
  log_server_ = std::move(log_server);
  auth_server_ = std::move(auth_server);
  return true;
}

void DevServer::stop() {
  if (auth_server_) auth_server_->stop();
  if (log_server_) log_server_->stop();
  if (portal_server_) portal_server_->stop();
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

uint16_t DevServer::authPort() const {
  return auth_server_ ? auth_server_->port() : 0;
}

uint16_t DevServer::portalPort() const {
  return portal_server_ ? portal_server_->port() : listPort();
}

uint16_t DevServer::logPort() const {
  return log_server_ ? log_server_->port() : 0;
}

std::vector<std::string> DevServer::endpointLines() const {
  std::vector<std::string> lines;
  if (!file_server_) return lines;
  auto line = [&](const char* role, const std::string& host, uint16_t port) {
    lines.push_back(std::string(role) + " " + host + ":" + std::to_string(port));
  };
  line("file", fileHost(), filePort());
  line("list", listHost(), listPort());
  line("portal", portal_server_ ? portal_server_->host() : listHost(), portalPort());
  line("log", log_server_->host(), logPort());
  line("auth", auth_server_->host(), authPort());
  return lines;
}

const Config& DevServer::config() const {
  static const Config empty;
  return context_ ? context_->config : empty;
}

}  // namespace zavel::devserver
