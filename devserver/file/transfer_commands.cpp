// Downloads, uploads and the server-to-server copy: an opening reply, the raw bytes of the
// range, then a final reply.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ace/ACE.h>
#include <ace/INET_Addr.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "devserver/file/dispatcher.h"
#include "devserver/server_errors.h"
#include "protocol/connection.h"
#include "protocol/socket_io.h"

namespace zavel::devserver {

namespace {

// Bytes moved per disk read or write in a data phase.
constexpr size_t kBlockSize = 1u << 20;
// Longest wait for the next bytes of an upload before it counts as abandoned.
constexpr int kUploadIdleMs = 120000;
// Time-out of every exchange with the target server of a copy.
constexpr int32_t kCopyTimeoutMs = 60000;
constexpr const char* kCopyClientVersion = "4.10.20.1";

// Counts one running transfer for "getserverinfo", from before its opening reply, so a
// client that has the reply sees it counted.
class ActiveTransfer {
 public:
  explicit ActiveTransfer(std::atomic<int32_t>& counter) : counter_(counter) { ++counter_; }
  ~ActiveTransfer() { --counter_; }
  ActiveTransfer(const ActiveTransfer&) = delete;
  ActiveTransfer& operator=(const ActiveTransfer&) = delete;

 private:
  std::atomic<int32_t>& counter_;
};

// Reads "startpos" and "endpos": a range inside what off_t can address.
bool readRange(Request& r, uint64_t* start, uint64_t* end) {
  if (!r.uint64("startpos", start) || !r.uint64("endpos", end)) return false;
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
  return *start <= *end && *end <= kLimit;
}

bool sendStatus(Request& r, int32_t error, bool more = false) {
  ParamRecord reply(kFlagScramble);
  setReplyError(reply, error);
  return r.peer.sendReply(reply, more);
}

Outcome download(Request& r) {
  Resolved source;
  if (int32_t e = r.path("path", true, &source)) return r.fail(e);
  uint64_t start = 0, end = 0;
  if (!readRange(r, &start, &end)) return r.fail(kErrWrongParameter);
  if (!source.exists) return r.fail(kErrNotExists);
  if (!source.isFile()) return r.fail(kErrRemoteFile);
  UniqueFd fd = source.open(O_RDONLY);
  if (!fd.valid()) return r.failErrno(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return r.failErrno(errno);
  if (end > static_cast<uint64_t>(st.st_size)) return r.fail(kErrWrongParameter);

  ActiveTransfer active(r.server.stats.downloads);
  // The opening reply, the range and the final reply leave together when the range is short.
  if (!sendStatus(r, kErrNone, true)) return Outcome::kClose;
  std::vector<char> buffer(std::min<uint64_t>(kBlockSize, end - start));
  for (uint64_t position = start; position < end;) {
    if (r.server.stopping) return Outcome::kClose;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), end - position));
    const ssize_t n = ::pread(fd.get(), buffer.data(), want, static_cast<off_t>(position));
    if (n < 0 && errno == EINTR) continue;
    // The file shrank or failed under us: the range can no longer be delivered whole.
    if (n <= 0) return Outcome::kClose;
    if (!r.peer.sendBytes(buffer.data(), static_cast<size_t>(n), true)) return Outcome::kClose;
    position += static_cast<uint64_t>(n);
  }
  return sendStatus(r, kErrNone) ? Outcome::kDone : Outcome::kClose;
}

// Writes a block at a position; 0 or errno.
int writeAt(int fd, const char* data, size_t size, uint64_t position) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(position));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    data += n;
    size -= static_cast<size_t>(n);
    position += static_cast<uint64_t>(n);
  }
  return 0;
}

Outcome upload(Request& r) {
  Resolved target;
  if (int32_t e = r.path("path", true, &target)) return r.fail(e);
  uint64_t start = 0, end = 0;
  if (!readRange(r, &start, &end)) return r.fail(kErrWrongParameter);
  int32_t truncate = 0;
  r.int32("istrunc", &truncate);
  // One writer per file: an earlier upload of it stops, writing nothing more, before this
  // one looks at what is there.
  WriterHold hold;
  if (int32_t e = r.holdWriters({&target}, &hold, r.conn.socket)) return r.fail(e);
  target.refresh();
  if (target.exists && !target.isFile()) return r.fail(kErrExists);
  const uint64_t size = target.exists ? static_cast<uint64_t>(target.st.st_size) : 0;
  // The range continues or overwrites what is there; it never leaves a gap of zeros.
  if (start > size) return r.fail(kErrWrongParameter);
  const uint64_t kept = truncate != 0 ? start : size;
  const uint64_t final_size = std::max(kept, end);
  SpaceReservation space;
  if (int32_t e = r.disk().reserve(final_size > size ? final_size - size : 0, &space))
    return r.fail(e);
  UniqueFd fd = target.open(O_WRONLY | O_CREAT, 0666 & ~r.conn.umask);
  if (!fd.valid()) return r.failErrno(errno);
  if (kept < size) {
    FileChange change(r.disk().space(), fd.get());
    if (::ftruncate(fd.get(), static_cast<off_t>(kept)) != 0) return r.failErrno(errno);
  }

  ActiveTransfer active(r.server.stats.uploads);
  if (!sendStatus(r, kErrNone)) return Outcome::kClose;
  std::vector<char> buffer(std::min<uint64_t>(kBlockSize, std::max<uint64_t>(end - start, 1)));
  uint64_t position = start;  // where the buffered bytes go
  size_t filled = 0;
  int write_error = 0;
  // Writes what is buffered; what the file grows by moves from the reservation to the used
  // space. After a failed write the rest of the data is still read, so the final reply can
  // report the failure on a stream that is in step.
  auto flush = [&] {
    if (filled == 0) return;
    if (write_error == 0) {
      FileChange change(r.disk().space(), fd.get(), &space);
      write_error = writeAt(fd.get(), buffer.data(), filled, position);
    }
    position += filled;
    filled = 0;
  };
  for (uint64_t remaining = end - start; remaining > 0;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size() - filled, remaining));
    const int64_t got = r.peer.receiveBytes(buffer.data() + filled, want, kUploadIdleMs);
    // A newer writer of the file took over: what is still buffered must not land.
    if (hold.stopRequested()) return Outcome::kClose;
    if (got <= 0 || r.server.stopping) {
      // The client went away (or the server stops): keep the bytes that arrived.
      if (got > 0) filled += static_cast<size_t>(got);
      flush();
      return Outcome::kClose;
    }
    filled += static_cast<size_t>(got);
    remaining -= static_cast<uint64_t>(got);
    if (remaining == 0) hold.finishing();  // the final reply still needs the connection
    if (filled == buffer.size() || remaining == 0) flush();
  }
  flush();
  fd.reset();
  hold.release();
  return sendStatus(r, errorFromErrno(write_error)) ? Outcome::kDone : Outcome::kClose;
}

// A copy may reach loopback addresses and the hosts the configuration names.
bool copyTargetAllowed(const ServerContext& server, const std::string& host) {
  if (std::find(server.copy_hosts.begin(), server.copy_hosts.end(), host) !=
      server.copy_hosts.end())
    return true;
  ACE_INET_Addr address;
  if (address.set(static_cast<u_short>(1), host.c_str(), 1, AF_INET) != 0) return false;
  return server.copy_to_loopback && address.is_loopback();
}

// A copy through this very server onto its own source would truncate what it reads.
bool copiesOntoItself(Request& r, const Resolved& source, uint16_t port, const std::string& user,
                      const std::string& destination) {
  Disk* disk = r.server.disk(user);
  Resolved target;
  return port == r.server.file_port && disk != nullptr &&
         disk->resolve(destination, true, &target) == kErrNone && target.exists &&
         target.st.st_dev == source.st.st_dev && target.st.st_ino == source.st.st_ino;
}

// One exchange with the copy's target; its reply's error, or 21002 when it failed.
int32_t exchangeWithTarget(Connection& target, const ParamRecord& request) {
  ParamRecord reply(kFlagScramble);
  if (target.sendRecord(request, kCopyTimeoutMs) <= 0 ||
      target.receiveRecord(reply, kCopyTimeoutMs) <= 0)
    return kErrSocket;
  int32_t error = 0;
  reply.getInt32("error", &error);
  if (error == kErrSeeErrno) {
    error = 0;
    reply.getInt32("errno", &error);
  }
  return error;
}

bool sendPosition(Peer& peer, uint64_t position) {
  uint8_t bytes[8];
  for (int i = 7; i >= 0; --i) {
    bytes[i] = static_cast<uint8_t>(position);
    position >>= 8;
  }
  return peer.sendBytes(bytes, sizeof bytes);
}

Outcome copyEx(Request& r) {
  std::string host, user, password, destination;
  int32_t port = 0, truncate = 0;
  Resolved source;
  if (int32_t e = r.path("srcpath", true, &source)) return r.fail(e);
  uint64_t start = 0, end = 0;
  if (!r.text("ip", &host) || !r.int32("port", &port) || !r.text("id", &user) ||
      !r.text("destpath", &destination) || !readRange(r, &start, &end) || port <= 0 || port > 65535)
    return r.fail(kErrWrongParameter);
  r.text("pass", &password);
  r.int32("istrunc", &truncate);
  if (!source.exists) return r.fail(kErrNotExists);
  if (!source.isFile()) return r.fail(kErrRemoteFile);
  UniqueFd fd = source.open(O_RDONLY);
  if (!fd.valid()) return r.failErrno(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return r.failErrno(errno);
  if (end > static_cast<uint64_t>(st.st_size)) return r.fail(kErrWrongParameter);
  if (!copyTargetAllowed(r.server, host)) return r.fail(kErrNotAllowed);
  if (copiesOntoItself(r, source, static_cast<uint16_t>(port), user, destination))
    return r.fail(kErrWrongParameter);

  // Sign on at the target and open the upload there before answering, so that a refused
  // target is this request's error.
  Connection target;
  if (!target.connect(host.c_str(), static_cast<uint16_t>(port))) return r.fail(kErrConnectFail);
  ParamRecord request(kFlagScramble);
  request.setString("_cmd", "setuser");
  request.setString("id", user.c_str());
  if (!password.empty()) request.setString("pass", password.c_str());
  request.setString("version", kCopyClientVersion);
  if (int32_t e = exchangeWithTarget(target, request)) return r.fail(e);
  request.clear();
  request.setString("_cmd", "upload");
  request.setString("path", destination.c_str());
  request.setUInt64("startpos", start);
  request.setUInt64("endpos", end);
  request.setInt32("istrunc", truncate);
  if (int32_t e = exchangeWithTarget(target, request)) return r.fail(e);

  ActiveTransfer active(r.server.stats.uploads);
  if (!sendStatus(r, kErrNone)) return Outcome::kClose;
  std::vector<char> buffer(std::min<uint64_t>(kBlockSize, std::max<uint64_t>(end - start, 1)));
  uint64_t position = start;
  // The client reads at least one position, so an empty range reports its end once.
  if (start == end && !sendPosition(r.peer, end)) return Outcome::kClose;
  while (position < end) {
    if (r.server.stopping) return Outcome::kClose;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), end - position));
    const ssize_t n = ::pread(fd.get(), buffer.data(), want, static_cast<off_t>(position));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Outcome::kClose;
    const size_t sent = sendAll(target.stream().get_handle(), buffer.data(), static_cast<size_t>(n),
                                kCopyTimeoutMs);
    // A target that fails mid-copy leaves the client's position stream unfinished; only
    // closing the connection tells the client.
    if (sent != static_cast<size_t>(n)) return Outcome::kClose;
    position += static_cast<uint64_t>(n);
    if (!sendPosition(r.peer, position)) return Outcome::kClose;
  }
  ParamRecord final_reply(kFlagScramble);
  if (target.receiveRecord(final_reply, kCopyTimeoutMs) <= 0) return Outcome::kClose;
  int32_t error = 0;
  final_reply.getInt32("error", &error);
  return sendStatus(r, error) ? Outcome::kDone : Outcome::kClose;
}

}  // namespace

void addTransferCommands(CommandTable& table) {
  table["download"] = download;
  table["upload"] = upload;
  table["copyex"] = copyEx;
}

}  // namespace zavel::devserver
