// The server-to-server copy of a standard session: the server moves the bytes and reports
// its position as it goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "session/standard_session.h"
#include "zavelsdk.h"

namespace zavel {

// The destination kind that names a club disk.
inline constexpr int32_t kDestinationClubDisk = 3;

// A copy destination that another server has to prepare first (a club disk), and that
// wants to hear how the copy goes.
class PreparedDestination {
 public:
  struct Where {
    std::string host;
    std::string user;
    std::string path;
    int64_t file_index = 0;       // above 0: notify() and end() are wanted
    uint32_t notify_seconds = 0;  // least time between two notify() calls
  };

  virtual ~PreparedDestination() = default;
  // False with the thread's error state saying why.
  virtual bool prepare(Where* where) = 0;
  // The copy has reached position.
  virtual void notify(uint64_t position) = 0;
  // The copy is over: the size it reached, or -2 / -3 when it never started.
  virtual void end(int64_t size) = 0;
};

// Makes the destination of a copy to a club disk, from the caller's CopyTarget and TransferSpec and
// the session's time-out. Installed by the club-disk code; without it such copies fail with 24004.
using PreparedDestinationMaker = std::unique_ptr<PreparedDestination> (*)(const CopyTarget& target,
                                                                          const TransferSpec& spec,
                                                                          int32_t timeout_ms);
void setClubDestinationMaker(PreparedDestinationMaker maker);

// True on success and after a cancellation; the thread's error number is the status on
// return. The caller's CopyTarget and TransferSpec are only read.
bool copyToServer(StandardSession& session, CopyTarget* target, TransferSpec* spec,
                  int32_t* cancel);

}  // namespace zavel
