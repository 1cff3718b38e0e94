#include "club/club_transfer.h"

#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "club/fingerprint.h"
#include "club/octa_paths.h"
#include "club/octa_session.h"
#include "platform/window.h"
#include "protocol/error_numbers.h"
#include "session/error_state.h"
#include "session/server_copy.h"
#include "session/standard_session.h"

namespace zavel {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// The mode of the club-disk session that prepares a copy's destination.
constexpr int32_t kDestinationMode = 3;
// A file-server session of a club transfer waits this much longer than the list server.
constexpr int32_t kFileServerExtraMs = 5000;

// Destination kinds a club-disk copy is given.
constexpr int32_t kCopyNothing = 0;
constexpr int32_t kCopyInsideClub = 1;
constexpr int32_t kCopyToServer = 2;

// Keeps the thread's error state across list-server reports that must not replace the
// reason an operation gives.
class KeptErrorState {
 public:
  KeptErrorState() : number_(lastError()), text_(lastErrorText()) {}
  ~KeptErrorState() {
    setLastError(number_);
    setLastErrorText(text_.c_str());
  }
  KeptErrorState(const KeptErrorState&) = delete;
  KeptErrorState& operator=(const KeptErrorState&) = delete;

 private:
  int32_t number_;
  std::string text_;
};

// Puts a caller's field back when the call is over, however it ends.
template <typename T>
class Restore {
 public:
  explicit Restore(T& field) : field_(field), own_(field) {}
  ~Restore() { field_ = own_; }
  Restore(const Restore&) = delete;
  Restore& operator=(const Restore&) = delete;

 private:
  T& field_;
  const T own_;
};

void setError(int32_t number) {
  setLastError(number);
}

}  // namespace

ClubUploadHooks::ClubUploadHooks(ZavelListSvr& list, int64_t file_index, std::string checksum,
                                 uint32_t notify_seconds)
    : list_(list),
      file_index_(file_index),
      checksum_(std::move(checksum)),
      interval_(notify_seconds) {}

int64_t ClubUploadHooks::abandonedSize(const TransferSpec& spec) {
  return spec.truncate == 0 && spec.start == 0 ? -2 : -3;
}

void ClubUploadHooks::requestFailed(const TransferSpec& spec) {
  settled_ = true;
  if (file_index_ <= 0) return;
  KeptErrorState kept;
  list_.cmdUploadEnd(file_index_, abandonedSize(spec), nullptr);
}

void ClubUploadHooks::stepped(uint64_t position) {
  if (file_index_ <= 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_notice_ < interval_) return;
  last_notice_ = now;
  KeptErrorState kept;
  list_.cmdUploadNotify(file_index_, static_cast<int64_t>(position));
}

void ClubUploadHooks::finished(uint64_t position, int32_t /*status*/) {
  settled_ = true;
  if (file_index_ <= 0) return;
  KeptErrorState kept;
  end_reported_ =
      list_.cmdUploadEnd(file_index_, static_cast<int64_t>(position), checksum_.c_str());
  if (!end_reported_) {
    end_error_ = lastError();
    end_error_text_ = lastErrorText();
  }
}

std::unique_ptr<StandardSession> OctaSession::openFileServer(const std::string& host,
                                                             const std::string& user) {
  const int32_t own = timeout();
  const int32_t wait = own < 0 ? -1
                       : own > std::numeric_limits<int32_t>::max() - kFileServerExtraMs
                           ? std::numeric_limits<int32_t>::max()
                           : own + kFileServerExtraMs;
  auto session =
      std::make_unique<StandardSession>(host.c_str(), file_server_port_, user.c_str(), "", wait);
  if (!session->signOn()) return nullptr;
  return session;
}

bool OctaSession::locateFile(const char* path, Location* where) {
  Guard guard(operation_);
  Resolved r;
  ServerLocation location;
  if (!resolve(path, club_mask::kLocate, Detail::kFileInfo, &r, &location)) return false;
  if (!r.entry.isFile()) {
    setError(kErrClubNotFile);
    return false;
  }
  where->host = location.seip;
  where->user = location.suserid;
  where->path = location.spath;
  return true;
}

bool OctaSession::download(TransferSpec* spec, int32_t* cancel) {
  Guard guard(operation_);
  if (spec == nullptr) {
    setError(kErrWrongParameter);
    return false;
  }
  Location where;
  if (!locateFile(spec->source, &where)) return false;
  const std::unique_ptr<StandardSession> files = openFileServer(where.host, where.user);
  if (!files) return false;
  Restore source(spec->source);
  spec->source = where.path.c_str();
  return downloadRange(*files, spec, cancel);
}

bool OctaSession::prepareUpload(std::string* remote_path, const TransferSpec& spec,
                                bool fingerprint_wanted, PreparedUpload* prepared,
                                std::string* fingerprint) {
  Guard guard(operation_);
  const auto normalized = club_path::normalize(*remote_path);
  if (!normalized) {
    setError(kErrClubPath);
    return false;
  }
  *remote_path = *normalized;
  const auto split = club_path::split(*normalized, true);
  if (!split) {
    setError(kErrClubPath);
    return false;
  }
  if (spec.end > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    setError(kErrWrongParameter);
    return false;
  }

  ClubEntry parent;
  int32_t club = club_;
  bool found = false;
  if (split->index_parent) {
    bool is_file = true;
    parent.jidx = club_path::parseIndex(split->parent, &is_file);
    if (parent.jidx <= 0) {
      setError(kErrClubPath);
      return false;
    }
    parent.itype = is_file ? kClubKindFile : kClubKindFolder;
    found = cmdGetFileInfoOpt(&parent, club_mask::kUploadParent, &club, nullptr);
  } else {
    found = cmdGetFileInfoFromPath(&club, split->parent.c_str(), club_mask::kUploadParent, &parent,
                                   nullptr);
  }
  if (!found || !parent.isFolder()) {
    setError(kErrClubPath);
    return false;
  }

  UploadTicket ticket;
  ticket.ioption = spec.truncate != 0 ? 2 : 3;
  ticket.sname = split->name;
  ticket.jfsize = static_cast<int64_t>(spec.end);
  ticket.jtidx = parent.jidx;
  std::string digest;
  if (fingerprint_wanted && spec.source != nullptr) digest = fileFingerprint(spec.source);
  const char* checksum = digest.empty() ? nullptr : digest.c_str();

  // A new file the list server already counts goes again when the upload cannot start.
  const auto fail = [&](int32_t error) {
    if (error != 0) setError(error);
    if (ticket.jidx > 0) {
      KeptErrorState kept;
      cmdUploadCancel(ticket.jidx, false);
    }
    return false;
  };
  if (!cmdUploadStart(&ticket, checksum)) return fail(0);
  if (ticket.itype == 0) return fail(kErrClubKind);
  if (ticket.itype != 1) {
    // The name is taken: resume the file there (kind 6, no truncation) or overwrite it.
    ticket.ioption = ticket.itype == 6 && spec.truncate == 0 ? 2 : 1;
    if (!cmdUploadStart(&ticket, checksum)) return fail(0);
    if (ticket.itype == 0) return fail(kErrClubKind);
    if (ticket.itype == 2) return fail(kErrClubUploadFolder);
    if (ticket.itype != 1 && ticket.itype != 3 && ticket.itype != 4)
      return fail(kErrClubCopyFolder);
  }

  *remote_path = ticket.spath;
  if (ticket.jpathidx != -1) {
    // The file's storage folder is new: it has to exist on the file server first.
    const std::unique_ptr<StandardSession> files = openFileServer(ticket.seip, kClubStorageAccount);
    if (!files || (!files->makeFolder(ticket.sdir.c_str()) && lastError() != kErrExists))
      return fail(kErrClubStorageFolder);
    cmdUploadMkdirEnd(ticket.jpathidx);
  }
  prepared->host = ticket.seip;
  prepared->user = kClubStorageAccount;
  prepared->file_index = ticket.jidx;
  notify_seconds_ = ticket.inotifytime;
  if (fingerprint != nullptr) *fingerprint = digest;
  return true;
}

bool OctaSession::upload(TransferSpec* spec, int32_t* cancel) {
  Guard guard(operation_);
  // Refused before the list server counts a new file.
  if (spec == nullptr || (spec->source != nullptr && spec->dataCallback != nullptr) ||
      (spec->source == nullptr && spec->dataCallback == nullptr && spec->end > spec->start) ||
      spec->end < spec->start) {
    setError(kErrWrongParameter);
    return false;
  }
  std::string remote = spec->destination != nullptr ? spec->destination : "";
  PreparedUpload prepared;
  std::string digest;
  if (!prepareUpload(&remote, *spec, true, &prepared, &digest)) return false;

  ClubUploadHooks hooks(*this, prepared.file_index, digest, notify_seconds_);
  const std::unique_ptr<StandardSession> files = openFileServer(prepared.host, prepared.user);
  if (!files) {
    if (prepared.file_index > 0) {
      KeptErrorState kept;
      cmdUploadCancel(prepared.file_index, false);
    }
    return false;
  }
  bool uploaded = false;
  {
    Restore destination(spec->destination);
    spec->destination = remote.c_str();
    uploaded = uploadRange(*files, spec, cancel, &hooks);
  }
  // Refused before its request (the local file would not open): the new file goes again.
  if (!hooks.settled()) hooks.requestFailed(*spec);
  // Bytes the list server does not know of are no finished upload.
  if (uploaded && !hooks.endReported()) {
    setLastError(hooks.endError());
    setLastErrorText(hooks.endErrorText().c_str());
    return false;
  }
  return uploaded;
}

bool OctaSession::copyEx(CopyTarget* target, TransferSpec* spec, int32_t* cancel) {
  Guard guard(operation_);
  if (spec == nullptr) {
    setError(kErrWrongParameter);
    return false;
  }
  int32_t* const kind = spec->destinationKind;
  if (kind != nullptr && *kind == kCopyNothing) return false;
  if (kind != nullptr && *kind == kCopyInsideClub) return copyInside(spec);
  if (kind != nullptr && *kind != kCopyToServer) {
    setError(kErrWrongParameter);
    return false;
  }
  if (target == nullptr) {
    setError(kErrWrongParameter);
    return false;
  }
  Location where;
  if (!locateFile(spec->source, &where)) return false;
  const std::unique_ptr<StandardSession> files = openFileServer(where.host, where.user);
  if (!files) return false;
  Restore source(spec->source);
  Restore destination(spec->destination);
  spec->source = where.path.c_str();
  if (kind != nullptr) *kind = kCopyNothing;
  return copyToServer(*files, target, spec, cancel);
}

bool OctaSession::copyInside(TransferSpec* spec) {
  const auto source = club_path::normalize(spec->source != nullptr ? spec->source : "");
  const auto destination =
      club_path::normalize(spec->destination != nullptr ? spec->destination : "");
  if (!source || !destination) {
    setError(kErrClubPath);
    return false;
  }
  const auto source_split = club_path::split(*source, false);
  if (!source_split) {
    setError(kErrClubPath);
    return false;
  }
  Resolved r;
  if (!resolveSplit(*source, *source_split, club_mask::kCopySource, Detail::kFileInfo, &r,
                    nullptr)) {
    return false;
  }
  if (!r.entry.isFile()) {
    setError(kErrClubNotFile);
    return false;
  }
  const auto destination_split = club_path::split(*destination, true);
  if (!destination_split) {
    setError(kErrClubPath);
    return false;
  }
  ClubEntry folder;
  if (destination_split->index_parent) {
    bool is_file = true;
    folder.jidx = club_path::parseIndex(destination_split->parent, &is_file);
    if (folder.jidx <= 0) {
      setError(kErrClubPath);
      return false;
    }
  } else {
    int32_t club = club_;
    if (!cmdGetFileInfoFromPath(&club, destination_split->parent.c_str(), 0, &folder, nullptr))
      return false;
  }
  // The copy keeps the source's name.
  if (!cmdCopyFile(r.entry.jidx, folder.jidx, true, nullptr)) return false;
  reportCopied(spec);
  return true;
}

void OctaSession::reportCopied(TransferSpec* spec) {
  TransferProgress progress{};
  progress.session = reinterpret_cast<ZavelSession*>(static_cast<Session*>(this));
  progress.spec = spec;
  progress.direction = ZAVEL_DIRECTION_CLUB_COPY;
  progress.userValue = spec->userValue;
  if (spec->window != nullptr && spec->message != 0) {
    TransferProgress shown = progress;
    spec->window->send(spec->message, 0, reinterpret_cast<intptr_t>(&shown));
  }
  if (spec->progressCallback != nullptr) {
    TransferProgress shown = progress;
    spec->progressCallback(&shown);
  }
}

namespace {

// The destination of a copy from a personal disk to a club disk, prepared and kept
// informed through a club-disk session of its own.
class ClubDestination : public PreparedDestination {
 public:
  ClubDestination(const CopyTarget& target, const TransferSpec& spec, int32_t timeout_ms)
      : session_(target.host, static_cast<uint32_t>(target.port), timeout_ms, kDestinationMode,
                 spec.destinationExtra != nullptr ? *spec.destinationExtra : 0, 0),
        spec_(spec) {}

  bool prepare(Where* where) override {
    // Without the club's number there is no club to prepare on.
    if (spec_.destinationExtra == nullptr) {
      setError(kErrWrongParameter);
      return false;
    }
    session_.signOn();
    std::string path = spec_.destination != nullptr ? spec_.destination : "";
    OctaSession::PreparedUpload prepared;
    if (!session_.prepareUpload(&path, spec_, false, &prepared, nullptr)) return false;
    file_index_ = prepared.file_index;
    where->host = prepared.host;
    where->user = prepared.user;
    where->path = path;
    where->file_index = prepared.file_index;
    where->notify_seconds = session_.notifySeconds();
    return true;
  }

  void notify(uint64_t position) override {
    KeptErrorState kept;
    session_.cmdUploadNotify(file_index_, static_cast<int64_t>(position));
  }

  void end(int64_t size) override {
    KeptErrorState kept;
    session_.cmdUploadEnd(file_index_, size, size >= 0 ? "" : nullptr);
  }

 private:
  OctaSession session_;
  const TransferSpec spec_;
  int64_t file_index_ = 0;
};

std::unique_ptr<PreparedDestination> makeClubDestination(const CopyTarget& target,
                                                         const TransferSpec& spec,
                                                         int32_t timeout_ms) {
  return std::make_unique<ClubDestination>(target, spec, timeout_ms);
}

}  // namespace

void installClubDestination() {
  setClubDestinationMaker(&makeClubDestination);
}

}  // namespace zavel
