#include "tests/support/devserver_fixture.h"

#include <stdlib.h>

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
  return a;
}

}  // namespace

DevServerFixture::DevServerFixture(DevServerFixtureOptions options) : data_(makeTempFolder()) {
  devserver::Config config;
  config.accounts.push_back(account(kUser, kPassword, 1001, options.quota_mb));
  config.accounts.push_back(account(kPeerUser, kPeerPassword, 1002, options.quota_mb));
  std::string error;
  std::filesystem::create_directories(diskPath(kUser));
  std::filesystem::create_directories(diskPath(kPeerUser));
  if (!devserver::saveConfig(data_ / devserver::kConfigFileName, config, &error))
    throw std::runtime_error("devserver fixture: " + error);
  devserver::DevServerOptions server_options;
  server_options.data_dir = data_;
  server_options.file = {host_, 0};
  server_ = std::make_unique<devserver::DevServer>(server_options);
  if (!server_->start(&error)) {
    std::error_code ec;
    std::filesystem::remove_all(data_, ec);
    throw std::runtime_error("devserver fixture: " + error);
  }
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
