// The R family on descriptors, directories and paths: each call is one llf_ command on a
// personal-disk session.
#include <memory>

#include "api/remote_dispatch.h"

namespace zavel {
namespace {

RFileHandle* openFile(const char* command, const char* filename, int32_t flags,
                      const uint32_t* mode, ZavelSession* session) {
  return onSession(session, static_cast<RFileHandle*>(nullptr),
                   [&](RemoteCall& call) -> RFileHandle* {
                     ParamRecord& request = call.begin(command);
                     request.setString("filename", filename);
                     request.setInt32("flags", flags);
                     if (mode != nullptr) request.setUInt32("mode", *mode);
                     if (!call.transact()) return nullptr;
                     auto file = std::make_unique<RFileHandle>();
                     file->fd = -1;
                     call.reply().getInt32("fd", &file->fd);
                     file->filename = filename;
                     file->flags = flags;
                     file->mode = mode != nullptr ? *mode : 0;
                     file->session = session;
                     file->offsetex = 0;
                     return openFiles().add(std::move(file));
                   });
}

void readStat(const ParamRecord& reply, RStatRecord& st) {
  reply.getUInt64("st_dev", &st.st_dev);
  reply.getUInt64("st_ino", &st.st_ino);
  reply.getUInt32("st_mode", &st.st_mode);
  reply.getUInt32("st_nlink", &st.st_nlink);
  reply.getUInt32("st_uid", &st.st_uid);
  reply.getUInt32("st_gid", &st.st_gid);
  reply.getUInt64("st_rdev", &st.st_rdev);
  reply.getInt64("st_size", &st.st_size);
  reply.getInt32("st_blksize", &st.st_blksize);
  reply.getInt64("st_blocks", &st.st_blocks);
  reply.getInt32("st_atime", &st.st_atime32);
  reply.getInt32("st_mtime", &st.st_mtime32);
  reply.getInt32("st_ctime", &st.st_ctime32);
}

int32_t statPath(const char* command, const char* filename, RStatRecord* st,
                 ZavelSession* session) {
  return onSession(session, 0, [&](RemoteCall& call) {
    call.begin(command).setString("filename", filename);
    if (!call.transact()) return 0;
    if (st != nullptr) readStat(call.reply(), *st);
    return 1;
  });
}

// One field of a stat into *out. The record starts from *out, so a field the server
// leaves out leaves *out as it was.
template <typename T>
int32_t statField(const char* path, T* out, ZavelSession* session, T RStatRecord::*field) {
  RStatRecord st{};
  if (out != nullptr) st.*field = *out;
  if (!statPath("llf_stat", path, &st, session)) return 0;
  if (out != nullptr) *out = st.*field;
  return 1;
}

int32_t modeIs(const char* command, const char* path, int32_t* out, ZavelSession* session,
               uint32_t kind) {
  RStatRecord st{};
  if (!statPath(command, path, &st, session)) return 0;
  if (out != nullptr) *out = (st.st_mode & R_S_IFMT) == kind ? 1 : 0;
  return 1;
}

// A command that sends texts and numbers and reads nothing back.
template <typename Fill>
int32_t simple(ZavelSession* session, const char* command, Fill&& fill) {
  return onSession(session, 0, [&](RemoteCall& call) {
    fill(call.begin(command));
    return asResult(call.transact());
  });
}

// A command whose answer is one text, copied into the caller's buffer when it fits.
template <typename Fill>
int32_t textAnswer(ZavelSession* session, const char* command, const char* answer, char* buffer,
                   uint32_t size, Fill&& fill) {
  return onSession(session, 0, [&](RemoteCall& call) {
    fill(call.begin(command));
    if (!call.transact()) return 0;
    const char* text = "";
    call.reply().getString(answer, &text);
    return asResult(copyText(text, buffer, size));
  });
}

}  // namespace
}  // namespace zavel

using zavel::asResult;
using zavel::ParamRecord;
using zavel::RemoteCall;

extern "C" {

RFileHandle* ROpen(const char* filename, int32_t flags, ZavelSession* session) {
  return zavel::openFile("llf_open1", filename, flags, nullptr, session);
}

RFileHandle* ROpen2(const char* filename, int32_t flags, uint32_t mode, ZavelSession* session) {
  return zavel::openFile("llf_open2", filename, flags, &mode, session);
}

int32_t RWrite(RFileHandle* file, const void* buffer, int32_t size) {
  return zavel::onHandle(zavel::openFiles(), file, -1, [&](RFileHandle& f, RemoteCall& call) {
    if (size < 0 || (buffer == nullptr && size > 0)) {
      zavel::setLastError(zavel::kErrWrongParameter);
      return -1;
    }
    ParamRecord& request = call.begin("llf_write");
    zavel::setFileParams(request, f);
    request.setInt64("offsetex", f.offsetex);
    request.setInt32("size", size);
    request.setBinary("data", buffer, static_cast<uint32_t>(size));
    if (!call.transact()) return -1;
    int32_t written = -1;
    call.reply().getInt32("size", &written);
    // A count outside what was sent is none a caller can trust.
    return written < 0 || written > size ? -1 : written;
  });
}

int32_t RRead(RFileHandle* file, void* buffer, int32_t size) {
  return zavel::onHandle(zavel::openFiles(), file, -1, [&](RFileHandle& f, RemoteCall& call) {
    if (size < 0 || (buffer == nullptr && size > 0)) {
      zavel::setLastError(zavel::kErrWrongParameter);
      return -1;
    }
    ParamRecord& request = call.begin("llf_read");
    zavel::setFileParams(request, f);
    request.setInt64("offsetex", f.offsetex);
    request.setInt32("size", size);
    if (!call.transact()) return -1;
    return zavel::copyData(call.reply(), buffer, static_cast<uint32_t>(size));
  });
}

int64_t RSeek(RFileHandle* file, int64_t offset, int32_t whence) {
  return zavel::onHandle(zavel::openFiles(), file, int64_t{-1},
                         [&](RFileHandle& f, RemoteCall& call) -> int64_t {
                           ParamRecord& request = call.begin("llf_seek");
                           zavel::setFileParams(request, f);
                           request.setInt64("offset", offset);
                           request.setInt64("offsetex", f.offsetex);
                           request.setInt32("whence", whence);
                           if (!call.transact()) return -1;
                           int64_t position = -1;
                           call.reply().getInt64("size", &position);
                           return position;
                         });
}

int32_t RClose(RFileHandle* file) {
  return zavel::closeHandle(zavel::openFiles(), file, "llf_close",
                            [](ParamRecord& request, const RFileHandle& f) {
                              request.setInt32("fd", f.fd);
                              request.setString("filepath", f.filename);
                            });
}

int32_t RFstat(RFileHandle* file, RStatRecord* st) {
  return zavel::onHandle(zavel::openFiles(), file, 0, [&](RFileHandle& f, RemoteCall& call) {
    ParamRecord& request = call.begin("llf_fstat");
    zavel::setFileParams(request, f);
    request.setInt64("offsetex", f.offsetex);
    if (!call.transact()) return 0;
    if (st != nullptr) zavel::readStat(call.reply(), *st);
    return 1;
  });
}

RDirHandle* ROpenDir(const char* path, ZavelSession* session) {
  return zavel::onSession(session, static_cast<RDirHandle*>(nullptr),
                          [&](RemoteCall& call) -> RDirHandle* {
                            call.begin("llf_opendir").setString("path", path);
                            if (!call.transact()) return nullptr;
                            int32_t hdir = 0;
                            call.reply().getInt32("hdir", &hdir);
                            if (hdir == 0) return nullptr;
                            auto dir = std::make_unique<RDirHandle>();
                            dir->hdir = hdir;
                            dir->path = path;
                            dir->offset = 0;
                            dir->session = session;
                            return zavel::openDirs().add(std::move(dir));
                          });
}

int32_t RReadDir(RDirHandle* dir, char* buffer, uint32_t size) {
  return zavel::onHandle(zavel::openDirs(), dir, 0, [&](RDirHandle& d, RemoteCall& call) {
    ParamRecord& request = call.begin("llf_readdir");
    request.setString("dirpath", d.path);
    request.setInt32("hdir", d.hdir);
    request.setInt32("offset", d.offset);
    if (!call.transact()) return 0;
    int32_t step = 0;
    call.reply().getInt32("offset", &step);
    int32_t next = 0;
    if (__builtin_add_overflow(d.offset, step, &next)) return 0;
    const char* name = "";
    call.reply().getString("file", &name);
    if (!zavel::copyText(name, buffer, size)) return 0;
    d.offset = next;
    return 1;
  });
}

int32_t RCloseDir(RDirHandle* dir) {
  return zavel::closeHandle(zavel::openDirs(), dir, "llf_closedir",
                            [](ParamRecord& request, const RDirHandle& d) {
                              request.setString("dirpath", d.path);
                              request.setInt32("hdir", d.hdir);
                            });
}

int32_t RStat(const char* filename, RStatRecord* st, ZavelSession* session) {
  return zavel::statPath("llf_stat", filename, st, session);
}

int32_t RLstat(const char* filename, RStatRecord* st, ZavelSession* session) {
  return zavel::statPath("llf_lstat", filename, st, session);
}

int32_t RChown(const char* path, uint32_t owner, uint32_t group, ZavelSession* session) {
  return zavel::simple(session, "llf_chown", [&](ParamRecord& request) {
    request.setString("path", path);
    request.setUInt32("owner", owner);
    request.setUInt32("group", group);
  });
}

int32_t RChgrp(const char* path, uint32_t group, ZavelSession* session) {
  return RChown(path, 0xFFFFFFFFu, group, session);
}

int32_t RChmod(const char* path, uint32_t mode, ZavelSession* session) {
  return zavel::simple(session, "llf_chmod", [&](ParamRecord& request) {
    request.setString("path", path);
    request.setUInt32("mode", mode);
  });
}

int32_t RMkdir(const char* path, uint32_t mode, ZavelSession* session) {
  return zavel::simple(session, "llf_mkdir", [&](ParamRecord& request) {
    request.setString("path", path);
    request.setUInt32("mode", mode);
  });
}

int32_t RLink(const char* old_path, const char* new_path, ZavelSession* session) {
  return zavel::simple(session, "llf_link", [&](ParamRecord& request) {
    request.setString("oldpath", old_path);
    request.setString("newpath", new_path);
  });
}

int32_t RSymlink(const char* old_path, const char* new_path, ZavelSession* session) {
  return zavel::simple(session, "llf_symlink", [&](ParamRecord& request) {
    request.setString("oldpath", old_path);
    request.setString("newpath", new_path);
  });
}

int32_t RUnlink(const char* path, ZavelSession* session) {
  return zavel::simple(session, "llf_unlink",
                       [&](ParamRecord& request) { request.setString("path", path); });
}

int32_t RReadlink(const char* path, char* buffer, uint32_t size, ZavelSession* session) {
  return zavel::textAnswer(session, "llf_readlink", "data", buffer, size,
                           [&](ParamRecord& request) { request.setString("path", path); });
}

int32_t RRename(const char* old_path, const char* new_path, ZavelSession* session) {
  return zavel::simple(session, "llf_rename", [&](ParamRecord& request) {
    request.setString("oldpath", old_path);
    request.setString("newpath", new_path);
  });
}

int32_t RRmdir(const char* path, ZavelSession* session) {
  return zavel::simple(session, "llf_rmdir",
                       [&](ParamRecord& request) { request.setString("path", path); });
}

int32_t RTempnam(char* buffer, uint32_t size, ZavelSession* session) {
  return zavel::textAnswer(session, "llf_tmpnam", "filename", buffer, size, [](ParamRecord&) {});
}

int32_t RRealpath(const char* path, char* buffer, uint32_t size, ZavelSession* session) {
  return zavel::textAnswer(session, "llf_realpath", "realpath", buffer, size,
                           [&](ParamRecord& request) { request.setString("path", path); });
}

int32_t RUmask(uint32_t mode, uint32_t* old_mode, ZavelSession* session) {
  return zavel::onSession(session, 0, [&](RemoteCall& call) {
    call.begin("llf_umask").setUInt32("mode", mode);
    if (!call.transact()) return 0;
    if (old_mode != nullptr) call.reply().getUInt32("oldmode", old_mode);
    return 1;
  });
}

int32_t RFileatime(const char* path, int32_t* out, ZavelSession* session) {
  return zavel::statField(path, out, session, &RStatRecord::st_atime32);
}

int32_t RFilectime(const char* path, int32_t* out, ZavelSession* session) {
  return zavel::statField(path, out, session, &RStatRecord::st_ctime32);
}

int32_t RFilemtime(const char* path, int32_t* out, ZavelSession* session) {
  return zavel::statField(path, out, session, &RStatRecord::st_mtime32);
}

int32_t RFilegroup(const char* path, uint32_t* out, ZavelSession* session) {
  return zavel::statField(path, out, session, &RStatRecord::st_gid);
}

int32_t RFileowner(const char* path, uint32_t* out, ZavelSession* session) {
  return zavel::statField(path, out, session, &RStatRecord::st_uid);
}

int32_t RFileinode(const char* path, uint64_t* out, ZavelSession* session) {
  return zavel::statField(path, out, session, &RStatRecord::st_ino);
}

int32_t RFileperms(const char* path, uint32_t* out, ZavelSession* session) {
  return zavel::statField(path, out, session, &RStatRecord::st_mode);
}

int32_t RFilesize(const char* path, int64_t* out, ZavelSession* session) {
  return zavel::statField(path, out, session, &RStatRecord::st_size);
}

int32_t RFiletype(const char* path, uint32_t* out, ZavelSession* session) {
  return zavel::statField(path, out, session, &RStatRecord::st_mode);
}

int32_t RIs_file(const char* path, int32_t* out, ZavelSession* session) {
  return zavel::modeIs("llf_stat", path, out, session, R_S_IFREG);
}

int32_t RIs_dir(const char* path, int32_t* out, ZavelSession* session) {
  return zavel::modeIs("llf_stat", path, out, session, R_S_IFDIR);
}

int32_t RIs_link(const char* path, int32_t* out, ZavelSession* session) {
  return zavel::modeIs("llf_lstat", path, out, session, R_S_IFLNK);
}

}  // extern "C"
