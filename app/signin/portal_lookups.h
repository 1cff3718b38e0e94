// The questions the program asks the portal's servers around a sign-in (the user number, the
// disk list, where a disk is served, the user's level in a club, the connect log), through
// the client core's lookups: this converts the program's texts and tells the user what the
// lookups say is to be told.
#pragma once

#include <QString>

#include "app/signin/login_info.h"
#include "app/signin/prompter.h"
#include "app/signin/settings_store.h"
#include "client/portal_client.h"

namespace zavel::app {

class PortalLookups {
 public:
  PortalLookups(Prompter& prompter, LoginInfo& login);

  void setPortalServer(const ServerEndpoint& server);
  void setOctaServer(const ServerEndpoint& server);

  // The portal's refusal text of the last user-number or disk-list lookup.
  const QString& errorText() const { return error_text_; }
  void setErrorText(const QString& text) { error_text_ = text; }

  // The user number of login.id at login.domain, also stored in login.userNo; empty when
  // the portal gave none (its reason, if any, in errorText()).
  QString userByIdDomain();
  // Replaces login.disks with the user's disks; their count, or -1 (told to the user, except
  // for a table that does not parse).
  int diskList();

  struct HostInfo {
    QString diskid, publicip, privateip, loginid, diskstatus;
  };
  // Where a disk is served. False on failure; the portal's reason is shown.
  bool hostInfo(const DiskEntry& disk, HostInfo* out);
  // The user's authority level in a club disk, from the OCTA server; -1 on failure.
  int clubAuthLevel(const DiskEntry& disk);
  // Asks the portal where the log server is; true when it said.
  bool logServerInfo();
  // Reports one sign-in attempt to the log server, learning its address first when needed.
  // Nothing is read back and nothing is told to the user.
  void insertConnectLog(const QString& clubNo, const QString& type, bool success, int errorCode);

  // The longest any send or receive without a time-out of its own waits.
  static constexpr int kBoundedWaitMs = client::PortalClient::kBoundedWaitMs;
  void setBoundedWaitMs(int ms) { client_.setBoundedWaitMs(ms); }

 private:
  // Shows what a lookup failure is to tell the user (not the silent ones); true when failed.
  bool tell(const client::LookupFailure& failure);

  Prompter& prompter_;
  LoginInfo& login_;
  client::PortalClient client_;
  QString error_text_;
};

}  // namespace zavel::app
