// The client of a club's list server: one operation per list-server command, each on a fresh
// connection, with retries.
#pragma once

#include <cstdint>
#include <vector>

#include "club/club_entry.h"
#include "protocol/error_numbers.h"
#include "session/session.h"

namespace zavel {

// Texts of a list-server request that did not get through.
inline constexpr char kListConnectText[] = "ZavelListSvr Connect Error";
inline constexpr char kListSendText[] = "ZavelListSvr SendPacket Error";
inline constexpr char kListReceiveText[] = "ZavelListSvr RecvPacket Error";

class ZavelListSvr : public Session {
 public:
  int32_t clubNumber() const { return club_; }
  int32_t retryCount() const { return retries_; }

  // Each is true when the request succeeded within retry count + 1 attempts; otherwise the
  // thread's error state is that of the last attempt. Indexes and sizes are 64-bit.
  bool cmdGetClubInfo(int32_t club, ClubEntry* out);
  bool cmdCreateDir(int64_t parent, const char* name);
  bool cmdRenameFile(int64_t file, const char* name);
  bool cmdRenameDir(int64_t folder, const char* name);
  bool cmdMoveFile(int64_t file, int64_t folder);
  bool cmdMoveDir(int64_t folder, int64_t target);
  bool cmdDeleteFile(int64_t file);
  bool cmdDeleteDir(int64_t folder);
  // flag sends "ioption" 1; the copy's index goes to made when it is not null.
  bool cmdCopyFile(int64_t file, int64_t folder, bool flag, int64_t* made);
  bool cmdUploadStart(UploadTicket* ticket, const char* checksum);
  bool cmdUploadMkdirEnd(int64_t path_index);
  bool cmdUploadNotify(int64_t file, int64_t size);
  // A null checksum is left out of the request.
  bool cmdUploadEnd(int64_t file, int64_t size, const char* checksum);
  // "uploadend" with size -1 when flag is set, -2 otherwise.
  bool cmdUploadCancel(int64_t file, bool flag);
  bool cmdSetFileTime(int64_t file, const char* time);
  bool cmdSetFileExpireTime(int64_t file, const char* text);
  bool cmdSetFileDescription(int64_t file, const char* text);
  bool cmdSetDirExpireTime(int64_t folder, const char* text);
  bool cmdSetDirDescription(int64_t folder, const char* text);
  // The info requests read the fields the mask names. *club is sent (as "iclubno") and
  // receives the reply's club number when the mask asks for it; where, when not null,
  // receives the file's storage place by mask.
  bool cmdGetFileInfoFromPath(int32_t* club, const char* path, uint32_t mask, ClubEntry* out,
                              ServerLocation* where);
  bool cmdGetFileInfoOpt(ClubEntry* entry, uint32_t mask, int32_t* club, ServerLocation* where);
  bool cmdGetDirInfoOpt(ClubEntry* entry, uint32_t mask, int32_t* club);
  // Appends the folder's entries in reply order. A reply that announces more entries than
  // it carries fields is malformed (21003).
  bool cmdGetFileListOpt(int64_t folder, uint32_t mask, std::vector<ClubEntry>* out);

 protected:
  ZavelListSvr(const char* host, uint32_t port, int32_t timeout_ms, int32_t club, int32_t retries);

  // One attempt: connect, send the request, read the reply, close.
  bool listRequest();
  // The filled request, tried up to retry count + 1 times.
  bool listTransact();
  // Between two attempts of one request.
  virtual void pauseBeforeRetry();

  // Clears both records and names the command.
  void begin(const char* command);

  const int32_t club_;
  const int32_t retries_;
};

}  // namespace zavel
