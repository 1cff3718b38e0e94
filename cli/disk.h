// One open disk: a library session on a personal disk or a club disk, and the calls
// zavel-cli makes on it. Every call starts from a clean error state, so that a failure
// shows its own error and not an earlier one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/remote_listing.h"
#include "client/retry.h"
#include "zavelsdk.h"

namespace zavel::cli {

struct SpaceInfo {
  uint64_t total = 0;  // bytes
  uint64_t free = 0;   // bytes
};

class Disk : public RemoteLister {
 public:
  // Signs on to a personal disk. Null with the reason on failure.
  static std::unique_ptr<Disk> openPersonal(const std::string& host, uint16_t port,
                                            const std::string& user, const std::string& password,
                                            int32_t timeout_ms, LibraryError* error);
  // Opens a club's disk through its list server. Null with the reason on failure.
  static std::unique_ptr<Disk> openClub(const std::string& host, uint16_t port, int32_t timeout_ms,
                                        int32_t mode, int32_t club, LibraryError* error);
  // Takes over a session opened elsewhere (signing in by account), with the session mode
  // that came with it.
  static std::unique_ptr<Disk> adopt(ZavelSession* session, bool club, int32_t mode);

  struct Token {
    explicit Token() = default;
  };
  Disk(Token, ZavelSession* session, bool club, int32_t mode);
  ~Disk() override;
  Disk(const Disk&) = delete;
  Disk& operator=(const Disk&) = delete;

  ZavelSession* handle() const { return session_; }
  bool isClub() const { return club_; }
  // What the user may do there: 1 and 4 everything, 2 no delete or rename, 3 only read.
  int32_t mode() const { return mode_; }
  // The folder the server gave at sign-on ("/octa" on a club disk).
  const std::string& home() const { return home_; }

  bool list(const std::string& path, std::vector<RemoteEntry>* entries,
            LibraryError* error) override;
  // The item a path names and, for a folder, what is in it. None when the path cannot be
  // listed (error says why).
  std::optional<Listing> look(const std::string& path, LibraryError* error);

  bool makeFolder(const std::string& path);
  bool remove(const std::string& path, bool force);
  bool rename(const std::string& from, const std::string& to);
  bool moveInto(const std::string& source, const std::string& folder);
  bool copyInto(const std::string& source, const std::string& folder);
  // Size in bytes, none on failure.
  std::optional<uint64_t> fileSize(const std::string& path);
  std::optional<SpaceInfo> space();
  bool download(TransferSpec* order, int32_t* cancel);

  // Calls that may also run on the other sessions of a pool on this disk, each on a thread
  // of its own: `session` is this disk's or one of the pool's, and *error (not error())
  // says why the call failed.

  // One whole file either way, signing on again and going on after a lost connection as
  // the policy allows. True on success and after a cancel.
  static bool transfer(ZavelSession* session, const client::FileTransfer& file, int32_t* cancel,
                       const client::RetryPolicy& policy, const client::RetryEvents& events,
                       LibraryError* error);
  static bool copyInto(ZavelSession* session, const std::string& source, const std::string& folder,
                       LibraryError* error);
  static std::optional<uint64_t> fileSize(ZavelSession* session, const std::string& path,
                                          LibraryError* error);
  // A one-level listing of path on a session of a personal disk or (club) of a club disk.
  static bool list(ZavelSession* session, bool club, const std::string& path,
                   std::vector<RemoteEntry>* entries, LibraryError* error);

  // The error of the last failed call.
  const LibraryError& error() const { return error_; }

  // The calling thread's library error: cleared before a call, read after it failed.
  static void clearError();
  static LibraryError currentError();

 private:
  bool done(int32_t result);

  ZavelSession* session_;
  bool club_;
  int32_t mode_;
  std::string home_;
  LibraryError error_;
};

}  // namespace zavel::cli
