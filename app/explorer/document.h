// The explorer's document: the user's disks with the sessions opened for them, the listing
// session, and the remote listings it gives. The program reaches the disks only through
// zavelsdk.h.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "app/explorer/file_list_model.h"
#include "app/signin/login_info.h"
#include "app/signin/portal_lookups.h"
#include "app/signin/prompter.h"
#include "app/signin/settings_store.h"
#include "zavelsdk.h"

namespace zavel::app {

class Document {
 public:
  static constexpr uint16_t kFileServerPort = 9553;
  static constexpr int32_t kClubTimeoutMs = 2000;
  static constexpr const char* kOwnDiskName = "My zavel";

  Document(LoginInfo& login, PortalLookups& lookups, Prompter& prompter);
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  void setOctaServer(const ServerEndpoint& server) { octa_ = server; }
  // Tests put the file server elsewhere; the service's is always on 9553.
  void setFileServerPort(uint16_t port) { file_port_ = port; }

  std::vector<DiskEntry>& disks() { return login_.disks; }
  const LoginInfo& login() const { return login_; }
  // Connects the named disk (or takes its open session) and makes it the listing session.
  // False after telling the user why, or silently where nothing is said.
  bool openDisk(const QString& diskname);
  // Closes the named disk's session; with an empty name, the listing session's disk.
  bool closeDisk(const QString& diskname);
  // Every session closed (logout, exit, a new disk list from another sign-in).
  void closeAll();

  ZavelSession* listing() const { return listing_; }
  bool clubListing() const { return club_; }
  int sessionMode() const { return mode_; }
  const DiskEntry* currentDisk() const;
  // The connected disk's base path, as its server named it.
  QString basePath() const;

  // The rows of a remote folder (path or club key), without the folder's own entry. None
  // after telling the user "text(number)".
  std::optional<std::vector<ListRow>> listRemote(const QString& pathOrKey);

 private:
  DiskEntry* find(const QString& diskname);
  bool connect(DiskEntry& disk);
  void makeListing(DiskEntry& disk);

  LoginInfo& login_;
  PortalLookups& lookups_;
  Prompter& prompter_;
  ServerEndpoint octa_;
  uint16_t file_port_ = kFileServerPort;
  ZavelSession* listing_ = nullptr;
  bool club_ = false;
  // With no disk open nothing may be changed: the read-only session mode.
  static constexpr int kNoRights = 3;
  int mode_ = kNoRights;
  int current_ = -1;
};

}  // namespace zavel::app
