// The questions asked of the portal's servers around a sign-in: the user number, the disk
// list, where a disk is served, the user's level in a club, where the log server is, and the
// connect log. Each is one request record on a fresh connection, run to its end on the
// caller's thread. Texts are the system's multibyte texts, as they go on the wire.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zavel::client {

struct Endpoint {
  std::string host;
  uint16_t port = 0;
};

inline constexpr uint16_t kPortalPort = 22222;
inline constexpr uint16_t kFileServerPort = 9553;
// The personal disk's name in every user's disk list.
inline constexpr const char* kOwnDiskName = "My zavel";

// One disk of the user's disk list, as the portal describes it.
struct DiskRecord {
  std::string uid;       // the disk's number in decimal; the club number of a club disk
  std::string diskname;  // what the disk list shows
  std::string disktype;  // "octa" for a club disk
  bool isClub() const { return disktype == "octa"; }
  // The club number of uid; 0, nobody's club, when uid is not a whole decimal number.
  int32_t clubNumber() const;
};

// Where a disk is served.
struct HostInfo {
  std::string diskid, publicip, privateip, loginid, diskstatus;
};

// Why a lookup gave nothing, and what the user is to be told about it.
struct LookupFailure {
  enum Kind {
    kNone,
    kCannotConnect,     // no connection to the server
    kCommunication,     // the request or the reply did not go through
    kServerText,        // the server's own reason, in text (which may be empty)
    kWrongInformation,  // a reply of another command without a reason
    kSilent,            // nothing to tell (an unreadable table, a missing cell)
  };
  Kind kind = kNone;
  std::string text;
};

class PortalClient {
 public:
  // The servers read a text parameter into 512 bytes with its terminating NUL. A longer one
  // is refused rather than cut, so that a lookup never asks about some other id or disk.
  static constexpr size_t kMaxTextBytes = 511;
  // The longest a send or receive without a time-out of its own waits.
  static constexpr int kBoundedWaitMs = 30000;

  void setPortalServer(const Endpoint& server) { portal_ = server; }
  void setOctaServer(const Endpoint& server) { octa_ = server; }
  // Also bounds the connects.
  void setBoundedWaitMs(int ms) { bounded_wait_ms_ = ms; }

  // The user number of id at domain (without "@"). kServerText when the portal refused,
  // kCannotConnect or kCommunication when it could not be asked or did not answer, kSilent
  // for a reply of another command.
  std::optional<std::string> userByIdDomain(const std::string& id, const std::string& domain,
                                            LookupFailure* failure = nullptr);
  // The user's disks, one per table row (a row without uid, diskname and disktype gives an
  // empty record).
  std::optional<std::vector<DiskRecord>> diskList(const std::string& userNo,
                                                  LookupFailure* failure = nullptr);
  // Where a disk is served; diskstatus other than "0" is the caller's to judge.
  std::optional<HostInfo> hostInfo(const std::string& userNo, const DiskRecord& disk,
                                   LookupFailure* failure = nullptr);
  // The user's authority level in a club, from the club server.
  std::optional<int32_t> clubAuthLevel(const std::string& userNo, const DiskRecord& disk);
  // Asks the portal where the log server is; true when it said.
  bool logServerInfo();
  // Reports one sign-in attempt to the log server, learning its address first when needed.
  // Nothing is read back.
  void insertConnectLog(const std::string& userNo, const std::string& clubNo,
                        const std::string& type, bool success, int32_t errorCode);

  const Endpoint& logServer() const { return log_; }

 private:
  struct Exchange;
  LookupFailure::Kind run(const Endpoint& server, Exchange& exchange) const;
  int wait(int timeout_ms) const { return timeout_ms == -1 ? bounded_wait_ms_ : timeout_ms; }

  Endpoint portal_{"127.0.0.1", kPortalPort};
  Endpoint octa_{"127.0.0.1", kPortalPort};
  Endpoint log_;
  bool log_known_ = false;
  int bounded_wait_ms_ = kBoundedWaitMs;
};

// A club member's authority level as a session mode: 1 all rights, 2 (levels 2 and 4) no
// delete or rename, 3 read only.
int32_t modeForLevel(int32_t level);

// This machine's address as the connect log reports it: the first IPv4 address of the local
// host name, looked up once per run; empty when the name does not resolve.
const std::string& ownAddress();

}  // namespace zavel::client
