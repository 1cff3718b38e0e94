#include "tests/support/devserver_fixture.h"

#include <stdlib.h>

#include <random>
#include <stdexcept>
#include <string>

#include "devserver/config.h"

namespace zavel::testing {

namespace {

std::filesystem::path makeTempFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "zavel-devserver-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("devserver fixture: cannot make a temporary folder");
  return pattern;
}

devserver::AccountConfig account(const char* id, const char* password, int64_t number,
                                 uint64_t quota_mb) {
  devserver::AccountConfig a;
  a.id = id;
  a.domain = "zavel.net";
  a.password = password;
  a.session_keys = {std::string(id) + "-key"};
  a.user_number = number;
  devserver::DiskConfig d;
  d.name = "My zavel";
  d.kind = "personal";
  d.number = std::to_string(number);
  d.diskid = id;
  d.folder = id;
  d.base_path = std::string("/") + id;
  d.quota_mb = quota_mb;
  a.disks.push_back(d);
  devserver::DiskConfig club;
  club.name = DevServerFixture::kClubName;
  club.kind = "octa";
  club.number = std::to_string(DevServerFixture::kClub);
  club.diskid = id;
  a.disks.push_back(club);
  return a;
}

}  // namespace

DevServerFixture::DevServerFixture(DevServerFixtureOptions options, std::string clubHost)
    : club_host_(std::move(clubHost)), data_(makeTempFolder()) {
  std::filesystem::create_directories(diskPath(kUser));
  std::filesystem::create_directories(diskPath(kPeerUser));
  std::string error;
  bool started = false;
  if (!options.club_file_port) {
    started = tryStart(options, host_, &error);
  } else {
    // Another test may hold 9553 on some address: try a few of the loopback range.
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 40 && !started; ++attempt) {
      host_ = "127.0.0." + std::to_string(2 + random() % 250);
      started = tryStart(options, host_, &error);
    }
  }
  if (!started) {
    std::error_code ec;
    std::filesystem::remove_all(data_, ec);
    throw std::runtime_error("devserver fixture: " + error);
  }
}

bool DevServerFixture::tryStart(const DevServerFixtureOptions& options, const std::string& host,
                                std::string* error) {
  devserver::Config config;
  config.accounts.push_back(account(kUser, kPassword, 1001, options.quota_mb));
  config.accounts.push_back(account(kPeerUser, kPeerPassword, 1002, options.quota_mb));
  config.clubs.push_back({kClub,
                          kClubName,
                          club_host_.empty() ? host : club_host_,
                          options.club_quota_mb,
                          {{kUser, kClubWriterLevel}, {kPeerUser, kClubReaderLevel}}});
  if (!devserver::saveConfig(data_ / devserver::kConfigFileName, config, error)) return false;
  devserver::DevServerOptions server_options;
  server_options.data_dir = data_;
  server_options.useFreePorts(host);
  if (options.club_file_port) server_options.file.port = devserver::kFileServerPort;
  server_options.club_first_index = options.club_first_index;
  server_ = std::make_unique<devserver::DevServer>(server_options);
  if (server_->start(error)) return true;
  server_.reset();
  return false;
}

DevServerFixture::~DevServerFixture() {
  server_->stop();
  server_.reset();
  std::error_code ec;
  std::filesystem::remove_all(data_, ec);
}

std::filesystem::path DevServerFixture::diskPath(const std::string& user) const {
  return data_ / devserver::kDisksFolderName / user;
}

}  // namespace zavel::testing
