#include "cli/disk.h"

namespace zavel::cli {

namespace {

// Closes a listing when it goes out of scope.
struct ListingCloser {
  void operator()(ZavelFileInfoList* list) const { zavel_CloseFileInfo(list); }
};

std::string text(const char* t) {
  return t != nullptr ? t : "";
}

// The sign-on folder; the root when the server named none.
std::string homeOf(ZavelSession* session) {
  const char* path = zavel_GetSessionPath(session);
  return path != nullptr && *path != '\0' ? std::string(path) : std::string(1, '/');
}

}  // namespace

std::unique_ptr<Disk> Disk::openPersonal(const std::string& host, uint16_t port,
                                         const std::string& user, const std::string& password,
                                         int32_t timeout_ms, LibraryError* error) {
  clearError();
  ZavelSession* s = zavel_CreateSession(host.c_str(), port, user.c_str(),
                                        password.empty() ? nullptr : password.c_str(), timeout_ms);
  if (s == nullptr) {
    *error = currentError();
    return nullptr;
  }
  return std::make_unique<Disk>(Token{}, s, false, zavel_GetSessionMode(s));
}

std::unique_ptr<Disk> Disk::openClub(const std::string& host, uint16_t port, int32_t timeout_ms,
                                     int32_t mode, int32_t club, LibraryError* error) {
  clearError();
  ZavelSession* s = zavel_CreateOCTASession(host.c_str(), port, timeout_ms, mode, club, 0);
  if (s == nullptr) {
    *error = currentError();
    return nullptr;
  }
  return std::make_unique<Disk>(Token{}, s, true, mode);
}

std::unique_ptr<Disk> Disk::adopt(ZavelSession* session, bool club, int32_t mode) {
  return std::make_unique<Disk>(Token{}, session, club, mode);
}

Disk::Disk(Token, ZavelSession* session, bool club, int32_t mode)
    : session_(session), club_(club), mode_(mode), home_(homeOf(session)) {}

Disk::~Disk() {
  zavel_DestroySession(session_);
}

void Disk::clearError() {
  zavel_SetLastError(0);
  zavel_SetLastErrStr("");
}

LibraryError Disk::currentError() {
  return LibraryError{zavel_GetLastError(), text(zavel_GetLastErrStr())};
}

bool Disk::done(int32_t result) {
  if (result != 0) return true;
  error_ = currentError();
  return false;
}

bool Disk::list(const std::string& path, std::vector<RemoteEntry>* entries, LibraryError* error) {
  if (list(session_, club_, path, entries, error)) return true;
  error_ = *error;
  return false;
}

bool Disk::list(ZavelSession* session, bool club, const std::string& path,
                std::vector<RemoteEntry>* entries, LibraryError* error) {
  clearError();
  int32_t count = 0;
  std::unique_ptr<ZavelFileInfoList, ListingCloser> list(
      zavel_OpenFileInfo(path.c_str(), ZAVEL_INFO_ALL, 1, &count, session));
  if (!list) {
    *error = currentError();
    return false;
  }
  entries->clear();
  entries->reserve(count > 0 ? static_cast<size_t>(count) : 0);
  for (int32_t i = 0; i < count; ++i) {
    const ZavelFileInfo* info = zavel_ReadFileInfo(list.get(), i);
    if (info == nullptr) {
      *error = currentError();
      return false;
    }
    RemoteEntry e;
    e.name = text(info->name);
    e.size = info->size;
    e.folder = info->type == ZAVEL_TYPE_FOLDER;
    e.date = text(info->date);
    if (club && info->detail != nullptr) {
      const auto* c = static_cast<const ZavelClubEntry*>(info->detail);
      e.club =
          ClubDetail{c->jidx,         c->itype,    text(c->sname), text(c->stime), text(c->sdes),
                     text(c->setime), c->jfilenum, c->jdirnum,     c->jdown};
    }
    entries->push_back(std::move(e));
  }
  return true;
}

std::optional<Listing> Disk::look(const std::string& path, LibraryError* error) {
  std::vector<RemoteEntry> entries;
  if (!list(path, &entries, error)) return std::nullopt;
  return splitListing(path, std::move(entries));
}

bool Disk::makeFolder(const std::string& path) {
  clearError();
  return done(zavel_MakeFolder(path.c_str(), session_));
}

bool Disk::remove(const std::string& path, bool force) {
  clearError();
  return done(zavel_DeleteFile(path.c_str(), force ? 1 : 0, session_));
}

bool Disk::rename(const std::string& from, const std::string& to) {
  clearError();
  return done(zavel_RenameFile(from.c_str(), to.c_str(), session_));
}

bool Disk::moveInto(const std::string& source, const std::string& folder) {
  clearError();
  return done(zavel_MoveFile(source.c_str(), folder.c_str(), session_));
}

bool Disk::copyInto(const std::string& source, const std::string& folder) {
  clearError();
  return done(zavel_CopyFile(source.c_str(), folder.c_str(), session_));
}

std::optional<uint64_t> Disk::fileSize(const std::string& path) {
  clearError();
  const int64_t size = zavel_GetFileSize(path.c_str(), session_);
  if (size < 0) {
    error_ = currentError();
    return std::nullopt;
  }
  return static_cast<uint64_t>(size);
}

std::optional<uint64_t> Disk::fileSize(ZavelSession* session, const std::string& path,
                                       LibraryError* error) {
  clearError();
  const int64_t size = zavel_GetFileSize(path.c_str(), session);
  if (size >= 0) return static_cast<uint64_t>(size);
  *error = currentError();
  return std::nullopt;
}

std::optional<SpaceInfo> Disk::space() {
  clearError();
  DiskSpaceInfo info{};
  if (!done(zavel_GetDiskSpace(&info, session_))) return std::nullopt;
  return SpaceInfo{uint64_t{info.total} * info.block, uint64_t{info.free} * info.block};
}

bool Disk::download(TransferSpec* order, int32_t* cancel) {
  clearError();
  return done(zavel_Download(session_, order, cancel));
}

bool Disk::transfer(ZavelSession* session, const client::FileTransfer& file, int32_t* cancel,
                    const client::RetryPolicy& policy, const client::RetryEvents& events,
                    LibraryError* error) {
  clearError();
  if (client::transferFile(session, file, cancel, policy, events)) return true;
  *error = currentError();
  return false;
}

bool Disk::copyInto(ZavelSession* session, const std::string& source, const std::string& folder,
                    LibraryError* error) {
  clearError();
  if (zavel_CopyFile(source.c_str(), folder.c_str(), session)) return true;
  *error = currentError();
  return false;
}

}  // namespace zavel::cli
