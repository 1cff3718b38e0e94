#include "club/list_server.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "protocol/connection.h"
#include "session/error_state.h"

namespace zavel {

namespace {

// Between two attempts of one request.
constexpr auto kRetryPause = std::chrono::milliseconds(1000);

void setError(int32_t number, const char* text) {
  setLastError(number);
  setLastErrorText(text);
}

// Absent numbers read as 0 and absent texts as "". Every "j" field goes through the 64-bit
// getter, so sizes and indexes beyond 32 bits arrive whole.
int32_t int32Of(const ParamRecord& r, const char* name) {
  int32_t value = 0;
  r.getInt32(name, &value);
  return value;
}

int64_t int64Of(const ParamRecord& r, const char* name) {
  int64_t value = 0;
  r.getInt64(name, &value);
  return value;
}

std::string textOf(const ParamRecord& r, const char* name) {
  const char* text = nullptr;
  return r.getString(name, &text) ? std::string(text) : std::string();
}

// The fields an info reply carries for the mask. folder_only: only the folder half of the
// mask counts.
void readByMask(const ParamRecord& r, uint32_t mask, bool folder_only, ClubEntry* e, int32_t* club,
                ServerLocation* where) {
  using namespace club_mask;
  const auto asks = [&](uint32_t file_bit, uint32_t folder_bit) {
    return (!folder_only && (mask & file_bit) != 0) || (mask & folder_bit) != 0;
  };
  if (asks(kParent, kParentDir)) e->jpidx = int64Of(r, "jpidx");
  if (asks(kName, kNameDir)) e->sname = textOf(r, "sname");
  if (asks(kSize, kSizeDir)) e->jsize = int64Of(r, "jsize");
  if (asks(kTotal, 0)) e->jtsize = int64Of(r, "jtsize");
  if (asks(kTime, kTimeDir)) e->stime = textOf(r, "stime");
  if (asks(kExpiry, kExpiryDir)) e->setime = textOf(r, "setime");
  if (asks(kDownloads, 0)) e->jdown = int64Of(r, "jdown");
  if (asks(kKind, kKindDir)) e->itype = int32Of(r, "itype");
  if (asks(kDescription, kDescriptionDir)) e->sdes = textOf(r, "sdes");
  if (asks(kClub, kClubDir) && club != nullptr) *club = int32Of(r, "iclubno");
  if (asks(0, kFileCount)) e->jfilenum = int64Of(r, "jfilenum");
  if (asks(0, kFolderCount)) e->jdirnum = int64Of(r, "jdirnum");
  if (where != nullptr && !folder_only) {
    if (mask & kOutsideHost) where->seip = textOf(r, "seip");
    if (mask & kInsideHost) where->siip = textOf(r, "siip");
    if (mask & kStoragePath) where->spath = textOf(r, "spath");
    if (mask & kOwner) where->suserid = textOf(r, "suserid");
  }
}

std::string numbered(const char* name, int32_t i) {
  char text[48];
  snprintf(text, sizeof text, "%s%d", name, i);
  return text;
}

}  // namespace

ZavelListSvr::ZavelListSvr(const char* host, uint32_t port, int32_t timeout_ms, int32_t club,
                           int32_t retries)
    : Session(kClub, host, port, timeout_ms), club_(club), retries_(retries) {}

void ZavelListSvr::begin(const char* command) {
  request_.clear();
  reply_.clear();
  request_.setString("_cmd", command);
}

bool ZavelListSvr::listRequest() {
  Connection connection;
  if (!connection.connect(host_.c_str(), static_cast<uint16_t>(port_ & 0xFFFF), 1)) {
    setError(kErrConnectFail, kListConnectText);
    return false;
  }
  if (connection.sendRecord(request_, timeout()) <= 0) {
    setError(kErrSocket, kListSendText);
    return false;
  }
  reply_.clear();
  if (connection.receiveRecord(reply_, timeout()) <= 0) {
    setError(kErrWrongPacket, kListReceiveText);
    return false;
  }
  connection.close();
  int32_t result = 0;
  if (reply_.getInt32("result", &result) && result != 0) {
    setError(int32Of(reply_, "errorcode"), textOf(reply_, "errormsg").c_str());
    return false;
  }
  return true;
}

bool ZavelListSvr::listTransact() {
  const int64_t attempts = retries_ > 0 ? int64_t{retries_} + 1 : 1;
  for (int64_t attempt = 1;; ++attempt) {
    if (listRequest()) return true;
    if (attempt >= attempts) return false;
    pauseBeforeRetry();
  }
}

void ZavelListSvr::pauseBeforeRetry() {
  std::this_thread::sleep_for(kRetryPause);
}

bool ZavelListSvr::cmdGetClubInfo(int32_t club, ClubEntry* out) {
  begin("getclubinfo");
  request_.setInt32("iclubno", club);
  if (!listTransact()) return false;
  if (out != nullptr) {
    out->itype = kClubKindClub;
    out->jidx = int64Of(reply_, "jdidx");
    out->jpidx = int32Of(reply_, "iquota");
    out->sname = textOf(reply_, "sid");
    out->stime = textOf(reply_, "stime");
    out->jsize = int64Of(reply_, "jsize");
    out->jfilenum = int64Of(reply_, "jfilenum");
    out->jdirnum = int64Of(reply_, "jdirnum");
  }
  return true;
}

bool ZavelListSvr::cmdCreateDir(int64_t parent, const char* name) {
  begin("createdir");
  request_.setInt64("jtidx", parent);
  request_.setString("sname", name);
  return listTransact();
}

bool ZavelListSvr::cmdRenameFile(int64_t file, const char* name) {
  begin("renamefile");
  request_.setInt64("jfidx", file);
  request_.setString("sname", name);
  return listTransact();
}

bool ZavelListSvr::cmdRenameDir(int64_t folder, const char* name) {
  begin("renamedir");
  request_.setInt64("jdidx", folder);
  request_.setString("sname", name);
  return listTransact();
}

bool ZavelListSvr::cmdMoveFile(int64_t file, int64_t folder) {
  begin("movefile");
  request_.setInt64("jfidx", file);
  request_.setInt64("jtidx", folder);
  return listTransact();
}

bool ZavelListSvr::cmdMoveDir(int64_t folder, int64_t target) {
  begin("movedir");
  request_.setInt64("jdidx", folder);
  request_.setInt64("jtidx", target);
  return listTransact();
}

bool ZavelListSvr::cmdDeleteFile(int64_t file) {
  begin("deletefile");
  request_.setInt64("jfidx", file);
  return listTransact();
}

bool ZavelListSvr::cmdDeleteDir(int64_t folder) {
  begin("deletedir");
  request_.setInt64("jdidx", folder);
  return listTransact();
}

bool ZavelListSvr::cmdCopyFile(int64_t file, int64_t folder, bool flag, int64_t* made) {
  begin("copyfile");
  request_.setInt64("jfidx", file);
  request_.setInt64("jtidx", folder);
  request_.setInt32("ioption", flag ? 1 : 0);
  if (!listTransact()) return false;
  if (made != nullptr) *made = int64Of(reply_, "jidx");
  return true;
}

bool ZavelListSvr::cmdUploadStart(UploadTicket* ticket, const char* checksum) {
  begin("uploadstart");
  request_.setString("sname", ticket->sname.c_str());
  request_.setInt64("jfsize", ticket->jfsize);
  request_.setInt64("jtidx", ticket->jtidx);
  request_.setInt32("ioption", ticket->ioption);
  request_.setString("schecksum", checksum != nullptr ? checksum : "");
  if (!listTransact()) return false;
  ticket->itype = int32Of(reply_, "itype");
  ticket->seip = textOf(reply_, "seip");
  ticket->siip = textOf(reply_, "siip");
  ticket->spath = textOf(reply_, "spath");
  ticket->jidx = int64Of(reply_, "jidx");
  ticket->jpathidx = int64Of(reply_, "jpathidx");
  ticket->sdir = textOf(reply_, "sdir");
  uint32_t seconds = 0;
  reply_.getUInt32("inotifytime", &seconds);
  ticket->inotifytime = seconds;
  return true;
}

bool ZavelListSvr::cmdUploadMkdirEnd(int64_t path_index) {
  begin("uploadmkdirend");
  request_.setInt64("jpathidx", path_index);
  return listTransact();
}

bool ZavelListSvr::cmdUploadNotify(int64_t file, int64_t size) {
  begin("uploadnotify");
  request_.setInt64("jfidx", file);
  request_.setInt64("jfsize", size);
  return listTransact();
}

bool ZavelListSvr::cmdUploadEnd(int64_t file, int64_t size, const char* checksum) {
  begin("uploadend");
  request_.setInt64("jfidx", file);
  request_.setInt64("jfsize", size);
  if (checksum != nullptr) request_.setString("checksum", checksum);
  return listTransact();
}

bool ZavelListSvr::cmdUploadCancel(int64_t file, bool flag) {
  return cmdUploadEnd(file, flag ? -1 : -2, nullptr);
}

bool ZavelListSvr::cmdSetFileTime(int64_t file, const char* time) {
  begin("setfiletime");
  request_.setInt64("jfidx", file);
  request_.setString("stime", time);
  return listTransact();
}

bool ZavelListSvr::cmdSetFileExpireTime(int64_t file, const char* text) {
  begin("setfileexpiretime");
  request_.setInt64("jfidx", file);
  request_.setString("setime", text);
  return listTransact();
}

bool ZavelListSvr::cmdSetFileDescription(int64_t file, const char* text) {
  begin("setfiledescription");
  request_.setInt64("jfidx", file);
  request_.setString("sdes", text);
  return listTransact();
}

bool ZavelListSvr::cmdSetDirExpireTime(int64_t folder, const char* text) {
  begin("setdirexpiretime");
  request_.setInt64("jdidx", folder);
  request_.setString("setime", text);
  return listTransact();
}

bool ZavelListSvr::cmdSetDirDescription(int64_t folder, const char* text) {
  begin("setdirdescription");
  request_.setInt64("jdidx", folder);
  request_.setString("sdes", text);
  return listTransact();
}

bool ZavelListSvr::cmdGetFileInfoFromPath(int32_t* club, const char* path, uint32_t mask,
                                          ClubEntry* out, ServerLocation* where) {
  begin("getfileinfofrompath");
  request_.setInt32("iclubno", club != nullptr ? *club : club_);
  request_.setString("spath", path);
  request_.setInt32("ioption", static_cast<int32_t>(mask));
  if (!listTransact()) return false;
  out->jidx = int64Of(reply_, "jidx");
  readByMask(reply_, mask, false, out, club, where);
  return true;
}

bool ZavelListSvr::cmdGetFileInfoOpt(ClubEntry* entry, uint32_t mask, int32_t* club,
                                     ServerLocation* where) {
  begin("getfileinfoopt");
  request_.setInt64("jfidx", entry->jidx);
  request_.setInt32("ioption", static_cast<int32_t>(mask));
  if (!listTransact()) return false;
  readByMask(reply_, mask, false, entry, club, where);
  return true;
}

bool ZavelListSvr::cmdGetDirInfoOpt(ClubEntry* entry, uint32_t mask, int32_t* club) {
  begin("getdirinfoopt");
  request_.setInt64("jdidx", entry->jidx);
  request_.setInt32("ioption", static_cast<int32_t>(mask));
  if (!listTransact()) return false;
  readByMask(reply_, mask, true, entry, club, nullptr);
  return true;
}

bool ZavelListSvr::cmdGetFileListOpt(int64_t folder, uint32_t mask, std::vector<ClubEntry>* out) {
  begin("getfilelistopt");
  request_.setInt32("ioption", static_cast<int32_t>(mask));
  request_.setInt64("jdidx", folder);
  if (!listTransact()) return false;
  const int32_t count = int32Of(reply_, "ifilecnt");
  if (count < 1) return true;
  // Every listed entry carries at least one field: a larger count is no real listing.
  if (static_cast<size_t>(count) > reply_.size()) {
    setError(kErrWrongPacket, kListReceiveText);
    return false;
  }
  out->reserve(out->size() + static_cast<size_t>(count));
  for (int32_t i = 1; i <= count; ++i) {
    ClubEntry e;
    e.jpidx = folder;
    e.jidx = int64Of(reply_, numbered("jidx", i).c_str());
    e.sname = textOf(reply_, numbered("sname", i).c_str());
    e.jsize = int64Of(reply_, numbered("jsize", i).c_str());
    e.stime = textOf(reply_, numbered("stime", i).c_str());
    e.setime = textOf(reply_, numbered("setime", i).c_str());
    e.itype = int32Of(reply_, numbered("itype", i).c_str());
    if (e.itype != kClubKindFolder) {
      e.jtsize = int64Of(reply_, numbered("jtsize", i).c_str());
      e.jdown = int64Of(reply_, numbered("jdown", i).c_str());
      e.icopy = int32Of(reply_, numbered("icopy", i).c_str());
    } else {
      e.jfilenum = int64Of(reply_, numbered("jfilenum", i).c_str());
      e.jdirnum = int64Of(reply_, numbered("jdirnum", i).c_str());
    }
    e.sdes = textOf(reply_, numbered("sdes", i).c_str());
    out->push_back(std::move(e));
  }
  return true;
}

}  // namespace zavel
