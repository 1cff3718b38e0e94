#include "app/signin/portal_lookups.h"

#include "app/signin/texts.h"

namespace zavel::app {
namespace {

std::string wire(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

QString local(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

client::Endpoint endpoint(const ServerEndpoint& server) {
  return {wire(server.host), server.port};
}

client::DiskRecord record(const DiskEntry& disk) {
  return {wire(disk.uid), wire(disk.diskname), wire(disk.disktype)};
}

}  // namespace

PortalLookups::PortalLookups(Prompter& prompter, LoginInfo& login)
    : prompter_(prompter), login_(login) {}

void PortalLookups::setPortalServer(const ServerEndpoint& server) {
  client_.setPortalServer(endpoint(server));
}

void PortalLookups::setOctaServer(const ServerEndpoint& server) {
  client_.setOctaServer(endpoint(server));
}

bool PortalLookups::tell(const client::LookupFailure& failure) {
  switch (failure.kind) {
    case client::LookupFailure::kNone:
      return false;
    case client::LookupFailure::kCannotConnect:
      prompter_.inform(text::tr(text::kCannotConnect), PromptIcon::kStop);
      break;
    case client::LookupFailure::kCommunication:
      prompter_.inform(text::tr(text::kCommunicationError), PromptIcon::kStop);
      break;
    case client::LookupFailure::kServerText:
      if (!failure.text.empty()) prompter_.inform(local(failure.text), PromptIcon::kStop);
      break;
    case client::LookupFailure::kWrongInformation:
      prompter_.inform(text::tr(text::kWrongInformation), PromptIcon::kStop);
      break;
    case client::LookupFailure::kSilent:
      break;
  }
  return true;
}

QString PortalLookups::userByIdDomain() {
  const QString domain = login_.domain.startsWith(u'@') ? login_.domain.mid(1) : login_.domain;
  client::LookupFailure failure;
  const std::optional<std::string> number =
      client_.userByIdDomain(wire(login_.id), wire(domain), &failure);
  if (!number) {
    // Only a refusal carries a reason; a transport failure leaves the last one.
    if (failure.kind == client::LookupFailure::kServerText) error_text_ = local(failure.text);
    return {};
  }
  login_.userNo = local(*number);
  return login_.userNo;
}

int PortalLookups::diskList() {
  client::LookupFailure failure;
  const auto disks = client_.diskList(wire(login_.userNo), &failure);
  if (!disks) {
    if (failure.kind == client::LookupFailure::kServerText) error_text_ = local(failure.text);
    if (failure.kind == client::LookupFailure::kWrongInformation)
      error_text_ = text::tr(text::kWrongInformation);
    tell(failure);
    return -1;
  }
  std::vector<DiskEntry> entries(disks->size());
  for (size_t i = 0; i < disks->size(); ++i) {
    entries[i].uid = local((*disks)[i].uid);
    entries[i].diskname = local((*disks)[i].diskname);
    entries[i].disktype = local((*disks)[i].disktype);
  }
  login_.disks = std::move(entries);
  return login_.diskCount();
}

bool PortalLookups::hostInfo(const DiskEntry& disk, HostInfo* out) {
  client::LookupFailure failure;
  const auto info = client_.hostInfo(wire(login_.userNo), record(disk), &failure);
  if (!info) {
    tell(failure);
    return false;
  }
  if (out != nullptr)
    *out = {local(info->diskid), local(info->publicip), local(info->privateip),
            local(info->loginid), local(info->diskstatus)};
  return true;
}

int PortalLookups::clubAuthLevel(const DiskEntry& disk) {
  return client_.clubAuthLevel(wire(login_.userNo), record(disk)).value_or(-1);
}

bool PortalLookups::logServerInfo() {
  return client_.logServerInfo();
}

void PortalLookups::insertConnectLog(const QString& clubNo, const QString& type, bool success,
                                     int errorCode) {
  client_.insertConnectLog(wire(login_.userNo), wire(clubNo), wire(type), success, errorCode);
}

}  // namespace zavel::app
