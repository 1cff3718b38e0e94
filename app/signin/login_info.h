// The sign-in state the dialog, the shell and the explorer share, and the user's disks.
#pragma once

#include <QString>
#include <vector>

struct ZavelSession;

namespace zavel::app {

// One disk of the user's disk list, as the portal describes it.
struct DiskEntry {
  QString uid;       // the disk's number in decimal; the club number of a club disk
  QString loginid;   // from the host lookup
  QString diskid;    // the account to sign on with
  QString spare;     // left empty
  QString diskname;  // what the disk list shows
  QString publicip;  // the file server's host; empty until the host lookup
  QString privateip;
  QString disktype;                 // "octa" for a club disk
  ZavelSession* session = nullptr;  // the open library session, owned by the document
  uint32_t reserved = 0;

  bool isClub() const { return disktype == QLatin1String("octa"); }
};

struct LoginInfo {
  QString id;          // without the domain
  QString userNo;      // from the user-number lookup
  QString domain;      // "@" and the portal domain
  QString password;    // empty when a session key is used
  QString sessionKey;  // handed over at launch, else empty
  bool autoConnect = false;
  bool deleteInfo = false;
  bool savePassword = false;
  std::vector<DiskEntry> disks;

  int diskCount() const { return static_cast<int>(disks.size()); }
  // The remembered-account key: id and domain ("user1@vemar.net").
  QString accountKey() const { return id + domain; }
};

}  // namespace zavel::app
