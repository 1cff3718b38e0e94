#include "session/server_copy.h"

#include <atomic>
#include <chrono>
#include <mutex>

#include "protocol/error_numbers.h"
#include "session/error_state.h"
#include "session/transfer.h"

namespace zavel {

namespace {

// Longest wait for the server's next position report.
constexpr int32_t kPositionWaitMs = 10000;
// The copy protocol's version, sent with every request.
constexpr int32_t kCopyVersion = 2;

std::atomic<PreparedDestinationMaker> g_club_destination{nullptr};

uint64_t bigEndian64(const uint8_t* bytes) {
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = (value << 8) | bytes[i];
  return value;
}

}  // namespace

void setClubDestinationMaker(PreparedDestinationMaker maker) {
  g_club_destination.store(maker);
}

bool copyToServer(StandardSession& session, CopyTarget* target, TransferSpec* spec,
                  int32_t* cancel) {
  if (target == nullptr || spec == nullptr || spec->end < spec->start) {
    setLastError(kErrWrongParameter);
    return false;
  }
  std::unique_ptr<PreparedDestination> club;
  PreparedDestination::Where where;
  if (spec->destinationKind != nullptr && *spec->destinationKind == kDestinationClubDisk) {
    const PreparedDestinationMaker maker = g_club_destination.load();
    if (maker == nullptr) {
      setLastError(kErrNotAllowed);
      return false;
    }
    club = maker(*target, *spec, session.timeout());
    if (club == nullptr || !club->prepare(&where)) return false;
  }
  const bool notifying = club != nullptr && where.file_index > 0;

  // A club-disk destination is reached through the prepared server on this server's port;
  // the caller's CopyTarget and TransferSpec stay as they are.
  session.begin("copyex");
  ParamRecord& request = session.request();
  request.setString("ip", club ? where.host.c_str() : target->host);
  request.setInt32("port", club ? static_cast<int32_t>(session.port()) : target->port);
  request.setString("id", club ? where.user.c_str() : target->user);
  request.setString("pass", target->password);
  request.setString("srcpath", spec->source);
  request.setString("destpath", club ? where.path.c_str() : spec->destination);
  request.setUInt64("startpos", spec->start);
  request.setUInt64("endpos", spec->end);
  request.setInt32("istrunc", spec->truncate);
  request.setInt32("version", kCopyVersion);
  if (!session.transact()) {
    if (notifying) club->end(spec->truncate == 0 && spec->start == 0 ? -2 : -3);
    return false;
  }

  ProgressReporter progress(session, spec, ZAVEL_DIRECTION_COPY, nullptr);
  progress.restartClock();
  uint64_t position = spec->start;
  int32_t status = 0;
  {
    std::lock_guard guard(session.lock());
    Connection& connection = session.connection();
    auto last_notice = std::chrono::steady_clock::now();
    bool cancelled = false;
    do {
      uint8_t bytes[8];
      if (connection.receiveBytes(bytes, sizeof bytes, kPositionWaitMs) != sizeof bytes) {
        status = kErrSocket;
        break;
      }
      // A position outside the range is no copy's progress: the stream is out of step.
      const uint64_t reported = bigEndian64(bytes);
      if (reported < spec->start || reported > spec->end) {
        status = kErrSocket;
        break;
      }
      position = reported;
      if (notifying) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_notice >= std::chrono::seconds(where.notify_seconds)) {
          club->notify(position);
          last_notice = now;
        }
      }
      progress.report(position, status);
      cancelled = cancelRequested(cancel);
    } while (position != spec->end && !cancelled);

    if (status == 0 && !cancelled) {
      // Only its arrival matters: the server has finished.
      ParamRecord final_reply(kFlagScramble);
      if (connection.receiveRecord(final_reply, session.timeout()) <= 0) status = kErrSocket;
    }
    if (status != 0 || cancelled) connection.close();
  }
  if (notifying) club->end(static_cast<int64_t>(position));
  setLastError(status);
  return status == 0;
}

}  // namespace zavel
