#include "devserver/file/server_context.h"

#include <algorithm>

namespace zavel::devserver {

bool openDisks(ServerContext& context, const std::string& data_dir, std::string* error) {
  const std::filesystem::path disks = std::filesystem::path(data_dir) / kDisksFolderName;
  for (const DiskConfig* d : context.config.personalDisks()) {
    std::unique_ptr<Disk> disk = Disk::open(*d, disks / d->folder, error);
    if (!disk) return false;
    context.disks[d->diskid] = std::move(disk);
  }
  // Copies may go to the hosts the service hands out for its disks.
  for (const AccountConfig& a : context.config.accounts)
    for (const DiskConfig& d : a.disks)
      if (!d.host.empty() && std::find(context.copy_hosts.begin(), context.copy_hosts.end(),
                                       d.host) == context.copy_hosts.end())
        context.copy_hosts.push_back(d.host);
  for (const ClubConfig& c : context.config.clubs)
    if (!c.host.empty() && std::find(context.copy_hosts.begin(), context.copy_hosts.end(),
                                     c.host) == context.copy_hosts.end())
      context.copy_hosts.push_back(c.host);
  return true;
}

}  // namespace zavel::devserver
