// Opens one disk of a signed-in user by its name, as the explorer connects: a personal disk
// through the host lookup and a standard session on the file server's port, a club disk
// through the member's level and a club-disk session at the club server. The session mode
// that comes with it says what the user may do there.
#pragma once

#include <cstdint>
#include <string>

#include "client/sign_in.h"

struct ZavelSession;

namespace zavel::client {

// What a session mode allows: 1 and 4 everything, 2 adding but no delete or rename, 3 only
// reading.
inline bool mayCreate(int32_t mode) {
  return mode != 3;
}
inline bool mayChange(int32_t mode) {
  return mode == 1 || mode == 4;
}
// "read-write", "no-delete" or "read-only".
const char* rightsName(int32_t mode);

struct OpenedDisk {
  ZavelSession* session = nullptr;  // the caller destroys it
  int32_t mode = 3;
  bool club = false;
};

class DiskOpener {
 public:
  DiskOpener(SignIn& signIn, const Account& account) : sign_in_(signIn), account_(account) {}
  // Tests put the file servers elsewhere; the service's are always on 9553.
  void setFileServerPort(uint16_t port) { file_port_ = port; }

  // The disk of that name, or null (no such disk) without touching *error.
  const DiskRecord* find(const std::string& diskname) const;
  // Opens the disk; false with a message in *error.
  bool open(const DiskRecord& disk, OpenedDisk* opened, std::string* error);

 private:
  SignIn& sign_in_;
  const Account& account_;
  uint16_t file_port_ = kFileServerPort;
};

}  // namespace zavel::client
