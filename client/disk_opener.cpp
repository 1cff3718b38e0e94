#include "client/disk_opener.h"

#include "zavelsdk.h"

namespace zavel::client {
namespace {

std::string libraryError(const std::string& what) {
  const char* text = zavel_GetLastErrStr();
  return what + ": " + (text != nullptr && *text != '\0' ? std::string(text) : "failed") + " (" +
         std::to_string(zavel_GetLastError()) + ")";
}

}  // namespace

const char* rightsName(int32_t mode) {
  if (mayChange(mode)) return "read-write";
  return mayCreate(mode) ? "no-delete" : "read-only";
}

const DiskRecord* DiskOpener::find(const std::string& diskname) const {
  for (const DiskRecord& disk : account_.disks)
    if (disk.diskname == diskname) return &disk;
  return nullptr;
}

bool DiskOpener::open(const DiskRecord& disk, OpenedDisk* opened, std::string* error) {
  PortalClient& portal = sign_in_.portal();
  const std::string name = "'" + disk.diskname + "'";
  zavel_SetLastError(0);
  zavel_SetLastErrStr("");
  if (disk.isClub()) {
    const std::optional<int32_t> level = portal.clubAuthLevel(account_.userNo, disk);
    if (!level) {
      *error = "cannot get your rights on " + name + " from the club server";
      return false;
    }
    const Endpoint& club = sign_in_.servers().club;
    opened->mode = modeForLevel(*level);
    opened->club = true;
    opened->session = zavel_CreateOCTASession(club.host.c_str(), club.port, sign_in_.timeoutMs(),
                                              opened->mode, disk.clubNumber(), 0);
  } else {
    LookupFailure failure;
    const std::optional<HostInfo> host = portal.hostInfo(account_.userNo, disk, &failure);
    if (!host) {
      *error = describe(failure, "where " + name + " is served");
      return false;
    }
    if (host->diskstatus != "0") {
      *error = name + " is not available now (its status is " + host->diskstatus + ")";
      return false;
    }
    opened->club = false;
    opened->session = zavel_CreateSession(host->publicip.c_str(), file_port_, host->diskid.c_str(),
                                          nullptr, sign_in_.timeoutMs());
    if (opened->session != nullptr) opened->mode = zavel_GetSessionMode(opened->session);
  }
  if (opened->session == nullptr) {
    *error = libraryError("cannot open " + name);
    return false;
  }
  return true;
}

}  // namespace zavel::client
