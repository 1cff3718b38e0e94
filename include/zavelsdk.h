/* zavelsdk: client library for the zavel network disk service.
 *
 * Conventions
 *  - Every function has C linkage. Operations return 1 for success and 0 for failure;
 *    functions that return a size return -1 (or 0xFFFFFFFF) on failure, functions that
 *    return a handle or a text return NULL.
 *  - The reason for a failure is left in the calling thread's error state: an error
 *    number (zavel_GetLastError) and an error text (zavel_GetLastErrStr). Numbers fall
 *    into families: 21xxx transport, 22xxx account and sign-on limits, 23xxx file
 *    operations, 24xxx misuse of this interface. zavel_FormatMessage gives the English
 *    message of a number ("" for numbers without one). The state is never cleared for
 *    you: set it to 0 and "" yourself when you want a clean slate. Operations that
 *    talk to a server store the server's number and text, also on success.
 *  - Texts are narrow multibyte texts (UTF-8 on Linux), NUL-terminated.
 *  - Texts and records returned by the library belong to the library and stay valid
 *    until the owning session, enumeration or handle is destroyed or closed (error texts:
 *    until the same thread's error text is written again). Never free them.
 *  - Any thread may call any function; the library starts no threads of its own and runs
 *    every operation on the caller's thread. One session serialises its own exchanges;
 *    for parallel work on one disk, duplicate the session.
 *  - Every export also has a fixed ordinal; zavel_GetExportByOrdinal returns the
 *    function for an ordinal, for callers that bind that way.
 */
#ifndef ZAVELSDK_H_
#define ZAVELSDK_H_

#include <stddef.h>
#include <stdint.h>

#if defined(ZAVELSDK_BUILD)
#define ZAVEL_EXPORT __attribute__((visibility("default")))
#else
#define ZAVEL_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Error state ------------------------------------------------------------------ */

/* The calling thread's error number (0 if never set). */
ZAVEL_EXPORT int32_t zavel_GetLastError(void);
/* Stores an error number for the calling thread; the error text stays as it is. */
ZAVEL_EXPORT void zavel_SetLastError(int32_t error);
/* The calling thread's error text ("" if never set). */
ZAVEL_EXPORT const char* zavel_GetLastErrStr(void);
/* Replaces the calling thread's error text with a copy of text (not NULL). */
ZAVEL_EXPORT void zavel_SetLastErrStr(const char* text);
/* The English message for an error number, "" when it has none. The text stays valid
 * until the calling thread calls zavel_FormatMessage again. */
ZAVEL_EXPORT const char* zavel_FormatMessage(int32_t error);

/* The remote file family's names for the same per-thread number. */
ZAVEL_EXPORT int32_t RGet_LastErrorNo(void);
ZAVEL_EXPORT void RSet_LastErrorNo(int32_t error);

/* ---- Sessions --------------------------------------------------------------------- */

/* A session: one signed-on conversation with a disk server. Handles are opaque; every
 * function that takes one checks it first, and a handle that is NULL, destroyed or never
 * created fails with error 24002 (the error text stays as it was). */
typedef struct ZavelSession ZavelSession;

/* Signs on to a personal disk's file server (port 9553 by default) as user, with an
 * optional password (NULL or ""). timeout_ms bounds every send and every receive; -1
 * waits without limit. NULL when the sign-on fails; the error state says why. */
ZAVEL_EXPORT ZavelSession* zavel_CreateSession(const char* host, uint32_t port, const char* user,
                                               const char* password, int32_t timeout_ms);
/* A second, independent session on the same server with the same account and the
 * session's current time-out: its own connection and sign-on. NULL on failure. */
ZAVEL_EXPORT ZavelSession* zavel_DuplicateSession(ZavelSession* session);
/* Closes the connection and releases the session; nothing is sent. */
ZAVEL_EXPORT void zavel_DestroySession(ZavelSession* session);
/* Changes the time-out from the next exchange on. */
ZAVEL_EXPORT void zavel_SetSessionTimeout(ZavelSession* session, int32_t timeout_ms);
/* Opens a club's shared disk through its list server at host and port. Nothing is sent:
 * the first list-server failure shows at the first operation. timeout_ms bounds each
 * exchange; mode is handed back by zavel_GetSessionMode; club is the club's number;
 * retries is the number of extra attempts of each list-server request (0: one attempt),
 * one second apart. Paths are "/octa/..." names, or a listed entry's index written as
 * "<index>" for a file and "<index@>" for a folder, optionally followed by "/" and one
 * new name. NULL only when the session cannot be made. */
ZAVEL_EXPORT ZavelSession* zavel_CreateOCTASession(const char* host, uint32_t port,
                                                   int32_t timeout_ms, int32_t mode, int32_t club,
                                                   int32_t retries);
/* 1 for a club-disk session, 0 for a personal disk (and on a bad handle). */
ZAVEL_EXPORT int32_t zavel_IsOCTASession(ZavelSession* session);

/* What the server said at sign-on. The texts belong to the session and stay valid until
 * it is destroyed or signs on again; NULL on a bad handle. */
ZAVEL_EXPORT const char* zavel_GetSessionPath(ZavelSession* session);
ZAVEL_EXPORT int32_t zavel_GetSessionMode(ZavelSession* session);
ZAVEL_EXPORT const char* zavel_GetSessionOpenUrl(ZavelSession* session);
ZAVEL_EXPORT const char* zavel_GetSessionMessage(ZavelSession* session);

/* ---- Disk and server ------------------------------------------------------------- */

typedef struct DiskSpaceInfo {
  uint32_t block; /* bytes in one counting unit */
  uint32_t free;  /* free space, in blocks */
  uint32_t total; /* total space, in blocks */
} DiskSpaceInfo;

/* Room for the server's version text; longer texts are cut to fit. */
#define ZAVEL_SERVER_VERSION_SIZE 64

typedef struct ServerInfo {
  int32_t nCurrentNum;
  int32_t nClubNum;
  int32_t nMyNum;
  int32_t nDownNum;
  int32_t nUpNum;
  int32_t nStartTime;
  char version[ZAVEL_SERVER_VERSION_SIZE]; /* NUL-terminated; "Unknown" when not sent */
} ServerInfo;

ZAVEL_EXPORT int32_t zavel_GetDiskSpace(DiskSpaceInfo* info, ZavelSession* session);
/* Counters the server leaves out keep the values they had. */
ZAVEL_EXPORT int32_t zavel_GetServerInfo(ServerInfo* info, ZavelSession* session);

/* ---- Files and folders ----------------------------------------------------------- */

/* Paths are the server's paths, sent unchanged. Note that the handle comes last. */
ZAVEL_EXPORT int32_t zavel_MakeFolder(const char* path, ZavelSession* session);
/* Makes a new folder inside base; the server picks its name. The new folder's path is
 * copied into buffer (the rest of it filled with NULs). When the path and its NUL do
 * not fit in size bytes the call fails with 24003 and the buffer is left as it was
 * (the folder exists on the server all the same). */
ZAVEL_EXPORT int32_t zavel_MakeFolder2(const char* base, char* buffer, uint32_t size,
                                       ZavelSession* session);
ZAVEL_EXPORT int32_t zavel_CreateFile(const char* path, ZavelSession* session);
/* force non-zero asks the server to delete by force. */
ZAVEL_EXPORT int32_t zavel_DeleteFile(const char* path, int32_t force, ZavelSession* session);
ZAVEL_EXPORT int32_t zavel_RenameFile(const char* old_path, const char* new_path,
                                      ZavelSession* session);
/* Moves or copies source into the folder. */
ZAVEL_EXPORT int32_t zavel_MoveFile(const char* source, const char* folder, ZavelSession* session);
ZAVEL_EXPORT int32_t zavel_CopyFile(const char* source, const char* folder, ZavelSession* session);
/* Size in bytes, -1 on failure. */
ZAVEL_EXPORT int64_t zavel_GetFileSize(const char* path, ZavelSession* session);
/* Block size, 0xFFFFFFFF on failure. */
ZAVEL_EXPORT uint32_t zavel_GetBlockSize(const char* path, ZavelSession* session);
/* Times as the server counts them; a time the server leaves out keeps its value. Either
 * out pointer may be NULL. */
ZAVEL_EXPORT int32_t zavel_GetFileTime(const char* path, int32_t* access_time, int32_t* write_time,
                                       ZavelSession* session);
ZAVEL_EXPORT int32_t zavel_SetFileTime(const char* path, int32_t access_time, int32_t write_time,
                                       ZavelSession* session);
/* Club disks only; a personal disk fails with 24004. */
ZAVEL_EXPORT int32_t zavel_SetFileDescription(ZavelSession* session, const char* path,
                                              const char* description);
ZAVEL_EXPORT int32_t zavel_SetFileExpireTime(ZavelSession* session, const char* path,
                                             const char* expiry);

/* ---- Folder listings ------------------------------------------------------------- */

/* Which fields a listing fills: names, sizes, types, dates. Bits 1 and 2 are passed to
 * the server as well; ask for ZAVEL_INFO_ALL (63). */
#define ZAVEL_INFO_NAME 4
#define ZAVEL_INFO_SIZE 8
#define ZAVEL_INFO_TYPE 16
#define ZAVEL_INFO_DATE 32
#define ZAVEL_INFO_ALL 63

/* type of a folder; any other value is a file. */
#define ZAVEL_TYPE_FOLDER 1

/* One entry of a listing. It and its texts stay valid until the listing is closed. */
typedef struct ZavelFileInfo {
  const char* name;
  int64_t size;
  int32_t type;
  const char* date; /* display text, as the server wrote it */
  void* detail;     /* club disks: the entry's ZavelClubEntry; NULL for a personal disk */
} ZavelFileInfo;

/* The detail of a club-disk listing entry: one folder or file (or the club itself) as the
 * club's list server describes it. Its texts live as long as the entry. */
typedef struct ZavelClubEntry {
  int32_t itype;      /* 2 folder, 0 the club itself, 1 and 3 files */
  int64_t jidx;       /* the entry's index */
  int64_t jpidx;      /* the index of the folder holding it */
  const char* sname;  /* name */
  const char* stime;  /* time, "YYYYMMDDhhmmss" */
  int64_t jsize;      /* bytes (a folder: the bytes it holds) */
  int64_t jfilenum;   /* folders: files inside */
  int64_t jdirnum;    /* folders: folders inside */
  const char* setime; /* expiry */
  const char* sdes;   /* description */
  int64_t jtsize;     /* files */
  int64_t jdown;      /* files: download count */
  int32_t icopy;      /* files */
} ZavelClubEntry;

typedef struct ZavelFileInfoList ZavelFileInfoList;

/* Fetches the whole listing of a folder at once (level 1: the folder's own entries) and
 * stores its entry count in *count. The listing lives until zavel_CloseFileInfo, even
 * when its session is destroyed first. NULL on failure, *count unchanged. */
ZAVEL_EXPORT ZavelFileInfoList* zavel_OpenFileInfo(const char* path, int32_t info_type,
                                                   int32_t level, int32_t* count,
                                                   ZavelSession* session);
ZAVEL_EXPORT ZavelFileInfoList* zavel_OpenFileInfoEx(const char* path, int32_t info_type,
                                                     int32_t level, int32_t* count, int32_t extra,
                                                     ZavelSession* session);
/* Entry index (0 to count-1); NULL with 24002 for an index outside the listing. */
ZAVEL_EXPORT const ZavelFileInfo* zavel_ReadFileInfo(ZavelFileInfoList* list, int32_t index);
ZAVEL_EXPORT int32_t zavel_CloseFileInfo(ZavelFileInfoList* list);

/* ---- Remote commands ------------------------------------------------------------- */

/* Runs a command on the server and returns its result text, which lives until
 * zavel_CloseCmd. */
ZAVEL_EXPORT const char* zavel_OpenCmd(const char* command, ZavelSession* session);
/* The same text while it is open, NULL otherwise. */
ZAVEL_EXPORT const char* zavel_GetCmd(const char* result);
ZAVEL_EXPORT int32_t zavel_CloseCmd(const char* result);

/* ---- Transfers -------------------------------------------------------------------- */

/* A window that receives progress messages. C++ callers implement it (the platform layer
 * defines it); C callers pass NULL and use progressCallback instead. */
struct ZavelWindow;

typedef struct TransferProgress TransferProgress;

/* Called after every step; the progress may be read only during the call. */
typedef void (*ZavelProgressCallback)(const TransferProgress* progress);
/* Download: receives count bytes that belong at position; a negative result aborts.
 * Upload: writes at most count bytes into buffer and returns how many; 0 means no more
 * data, a negative result aborts; position counts only the bytes already sent. */
typedef int32_t (*ZavelDataCallback)(void* buffer, uint32_t count, uint64_t position,
                                     void* userValue);

/* What to move and where progress goes. The range is start to end, end excluded; a range
 * whose end is below its start fails with 24001. A TransferSpec names a local file or a
 * dataCallback, not both (24001). */
typedef struct TransferSpec {
  const char* source;      /* download: remote path; upload: local file or NULL;
                              copy: remote source */
  const char* destination; /* download: local file or NULL; upload, copy: remote path */
  uint64_t start;
  uint64_t end;
  int32_t truncate;           /* download: empty the local file first; upload, copy: have
                                 the server empty the remote file first */
  struct ZavelWindow* window; /* sent message (when non-zero), lparam = the progress */
  uint32_t message;
  ZavelProgressCallback progressCallback;
  ZavelDataCallback dataCallback;
  void* userValue;           /* handed to dataCallback, found in the progress */
  int32_t* destinationKind;  /* copy: points to 3 when the destination is a club disk.
                                Copies from a club disk: 1 inside the club disk, 2 (set
                                to 0 by the copy) or NULL to another server, 0 nothing */
  int32_t* destinationExtra; /* copy to a club disk: points to the club's number */
} TransferSpec;

/* direction of a progress report. */
#define ZAVEL_DIRECTION_DOWNLOAD 0
#define ZAVEL_DIRECTION_UPLOAD 1
#define ZAVEL_DIRECTION_COPY 2
/* A copy inside one club disk: reported once, when the list server has made the copy. */
#define ZAVEL_DIRECTION_CLUB_COPY 4

struct TransferProgress {
  ZavelSession* session;
  TransferSpec* spec;
  uint64_t position; /* start plus the bytes moved so far (copy: as the server reports) */
  uint32_t elapsed;  /* milliseconds since the transfer began */
  int32_t status;    /* 0, or the error number once the transfer has failed */
  int32_t direction;
  void* userValue; /* the TransferSpec's; NULL for a copy */
  uint32_t reserved[4];
};

/* The other server of a copy and the account to sign on there with. */
typedef struct CopyTarget {
  const char* host;
  int32_t port;
  const char* user;
  const char* password;
} CopyTarget;

/* Each runs on the calling thread until the range is moved, it fails, or *cancel (when
 * cancel is not NULL) becomes non-zero, set from another thread or from a progress
 * report. 1 on success and after a cancellation, 0 on failure; the thread's error number
 * is 0 or the failure's number (the error text is left as the opening request left it).
 * A transfer that fails or is cancelled midway closes the connection; the session's next
 * call signs on again. Resume an interrupted transfer by asking for the rest of the
 * range. */
ZAVEL_EXPORT int32_t zavel_Download(ZavelSession* session, TransferSpec* spec, int32_t* cancel);
ZAVEL_EXPORT int32_t zavel_Upload(ZavelSession* session, TransferSpec* spec, int32_t* cancel);
/* Has the session's server copy source to destination on target; the bytes do not pass
 * through this machine. The CopyTarget and TransferSpec are not changed. */
ZAVEL_EXPORT int32_t zavel_CopyEx(ZavelSession* session, CopyTarget* target, TransferSpec* spec,
                                  int32_t* cancel);

/* ---- Remote files: the POSIX-like R family --------------------------------------- */

/* Calls modelled on open/read/write/stat/opendir/fopen, each run as one request on a
 * personal-disk session (a club-disk session fails with 24004 and sends nothing).
 * Handles are small records the library owns: they are valid from a successful open
 * until their close call, which releases them whatever the server answers; any other
 * pointer fails with 24002. The texts given to an open call are kept by pointer, not
 * copied: keep them alive until the handle is closed. Like the session's other calls,
 * one session runs one R call at a time. Calls that fill a text buffer copy the text and
 * its NUL only when both fit; otherwise they fail with 24003 and leave the buffer as it
 * was. */

typedef struct RFileHandle {
  int32_t fd;            /* the server's descriptor; -1 when it named none */
  const char* filename;  /* as given to ROpen/ROpen2 */
  int32_t flags;         /* as given */
  uint32_t mode;         /* as given to ROpen2; 0 for ROpen */
  ZavelSession* session; /* the session the file was opened on */
  int64_t offsetex;      /* 0; sent with every request on the handle */
} RFileHandle;

typedef struct RDirHandle {
  int32_t hdir;     /* the server's directory descriptor */
  const char* path; /* as given to ROpenDir */
  int32_t offset;   /* entries read so far, as the server counts them */
  ZavelSession* session;
} RDirHandle;

typedef struct RStreamHandle {
  int32_t fp;           /* the server's stream number; -1 when it named none */
  const char* filename; /* as given to RFopen */
  const char* mode;     /* fopen's mode text as given, e.g. "rb" */
  int64_t position;     /* advanced by RFread/RFwrite, set by a successful RFseek */
  ZavelSession* session;
} RStreamHandle;

/* What RStat, RLstat and RFstat fill. A field the server leaves out keeps the value it
 * had. The times are seconds since 1970; they are named with a 32 suffix because
 * <sys/stat.h> makes st_atime, st_mtime and st_ctime macros. */
typedef struct RStatRecord {
  uint64_t st_dev;
  uint64_t st_ino;
  uint32_t st_mode;
  uint32_t st_nlink;
  uint32_t st_uid;
  uint32_t st_gid;
  uint64_t st_rdev;
  int64_t st_size;
  int32_t st_blksize;
  int64_t st_blocks;
  int32_t st_atime32;
  int32_t st_mtime32;
  int32_t st_ctime32;
} RStatRecord;

/* st_mode & R_S_IFMT, compared with the kinds RIs_file, RIs_dir and RIs_link test. */
#define R_S_IFMT 0xF000u
#define R_S_IFREG 0x8000u
#define R_S_IFDIR 0x4000u
#define R_S_IFLNK 0xA000u

/* Descriptors. flags and mode are the server's open flags and permission bits. */
ZAVEL_EXPORT RFileHandle* ROpen(const char* filename, int32_t flags, ZavelSession* session);
ZAVEL_EXPORT RFileHandle* ROpen2(const char* filename, int32_t flags, uint32_t mode,
                                 ZavelSession* session);
/* Bytes written, -1 on failure (also for a negative size or a NULL buffer). */
ZAVEL_EXPORT int32_t RWrite(RFileHandle* file, const void* buffer, int32_t size);
/* Bytes copied into buffer (never more than size), 0 at the end of the file, -1 on
 * failure. */
ZAVEL_EXPORT int32_t RRead(RFileHandle* file, void* buffer, int32_t size);
/* whence: 0 from the start, 1 from the current position, 2 from the end. The new
 * position, -1 on failure. */
ZAVEL_EXPORT int64_t RSeek(RFileHandle* file, int64_t offset, int32_t whence);
ZAVEL_EXPORT int32_t RClose(RFileHandle* file);
ZAVEL_EXPORT int32_t RFstat(RFileHandle* file, RStatRecord* st);

/* Directories. RReadDir copies the next entry's name into buffer; past the last entry
 * it succeeds with the empty name. */
ZAVEL_EXPORT RDirHandle* ROpenDir(const char* path, ZavelSession* session);
ZAVEL_EXPORT int32_t RReadDir(RDirHandle* dir, char* buffer, uint32_t size);
ZAVEL_EXPORT int32_t RCloseDir(RDirHandle* dir);

/* Paths. RStat follows a final symbolic link, RLstat does not. */
ZAVEL_EXPORT int32_t RStat(const char* filename, RStatRecord* st, ZavelSession* session);
ZAVEL_EXPORT int32_t RLstat(const char* filename, RStatRecord* st, ZavelSession* session);
/* 0xFFFFFFFF leaves the owner or the group as it is. */
ZAVEL_EXPORT int32_t RChown(const char* path, uint32_t owner, uint32_t group,
                            ZavelSession* session);
ZAVEL_EXPORT int32_t RChgrp(const char* path, uint32_t group, ZavelSession* session);
ZAVEL_EXPORT int32_t RChmod(const char* path, uint32_t mode, ZavelSession* session);
ZAVEL_EXPORT int32_t RMkdir(const char* path, uint32_t mode, ZavelSession* session);
ZAVEL_EXPORT int32_t RLink(const char* old_path, const char* new_path, ZavelSession* session);
ZAVEL_EXPORT int32_t RSymlink(const char* old_path, const char* new_path, ZavelSession* session);
ZAVEL_EXPORT int32_t RUnlink(const char* path, ZavelSession* session);
ZAVEL_EXPORT int32_t RReadlink(const char* path, char* buffer, uint32_t size,
                               ZavelSession* session);
ZAVEL_EXPORT int32_t RRename(const char* old_path, const char* new_path, ZavelSession* session);
ZAVEL_EXPORT int32_t RRmdir(const char* path, ZavelSession* session);
/* A path nothing uses yet; nothing is created. */
ZAVEL_EXPORT int32_t RTempnam(char* buffer, uint32_t size, ZavelSession* session);
ZAVEL_EXPORT int32_t RRealpath(const char* path, char* buffer, uint32_t size,
                               ZavelSession* session);
/* Sets the session's creation mask; the previous one goes to *old_mode. */
ZAVEL_EXPORT int32_t RUmask(uint32_t mode, uint32_t* old_mode, ZavelSession* session);

/* One field of RStat (RIs_link: RLstat) of the path into *out. 1, or 0 when the stat
 * failed (then *out is left as it was). RIs_* store 1 or 0. */
ZAVEL_EXPORT int32_t RFileatime(const char* path, int32_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RFilectime(const char* path, int32_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RFilemtime(const char* path, int32_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RFilegroup(const char* path, uint32_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RFileowner(const char* path, uint32_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RFileinode(const char* path, uint64_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RFileperms(const char* path, uint32_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RFilesize(const char* path, int64_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RFiletype(const char* path, uint32_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RIs_file(const char* path, int32_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RIs_dir(const char* path, int32_t* out, ZavelSession* session);
ZAVEL_EXPORT int32_t RIs_link(const char* path, int32_t* out, ZavelSession* session);

/* Streams. mode is fopen's mode text. */
ZAVEL_EXPORT RStreamHandle* RFopen(const char* filename, const char* mode, ZavelSession* session);
/* Bytes written, -1 on failure. */
ZAVEL_EXPORT int32_t RFwrite(RStreamHandle* stream, const void* buffer, int32_t size);
/* Bytes copied into buffer (never more than size), 0 at the end, -1 on failure. */
ZAVEL_EXPORT int32_t RFread(RStreamHandle* stream, void* buffer, uint32_t size);
/* 0 on success, otherwise the server's non-zero answer or -1. On success the stream's
 * position follows: offset itself for whence 0, the server's position otherwise. */
ZAVEL_EXPORT int32_t RFseek(RStreamHandle* stream, int64_t offset, int32_t whence);
/* 1 when the stream went back to its start. */
ZAVEL_EXPORT int32_t RRewind(RStreamHandle* stream);
/* The server's position of the stream into *position. */
ZAVEL_EXPORT int32_t RFtell(RStreamHandle* stream, int64_t* position);
ZAVEL_EXPORT int32_t RFclose(RStreamHandle* stream);

/* ---- Kept for binary compatibility: they do nothing ------------------------------ */

ZAVEL_EXPORT int32_t zavel_FileOpen(void);     /* 0 */
ZAVEL_EXPORT int32_t zavel_FileWrite(void);    /* -1 */
ZAVEL_EXPORT int32_t zavel_FileRead(void);     /* -1 */
ZAVEL_EXPORT int32_t zavel_FileSeek(void);     /* -1 */
ZAVEL_EXPORT int32_t zavel_FileClose(void);    /* 0 */
ZAVEL_EXPORT int32_t zavel_OpenDir(void);      /* 0 */
ZAVEL_EXPORT int32_t zavel_ReadDir(void);      /* 0 */
ZAVEL_EXPORT int32_t zavel_CloseDir(void);     /* 0 */
ZAVEL_EXPORT int32_t zavel_ChangeDir(void);    /* 0 */
ZAVEL_EXPORT int32_t zavel_DownloadEx(void);   /* 0 */
ZAVEL_EXPORT int32_t zavel_UploadEx(void);     /* 0 */
ZAVEL_EXPORT int32_t zavel_SetTurboMode(void); /* 0 */
ZAVEL_EXPORT int32_t zavel_CheckVirus(void);   /* 0 */
ZAVEL_EXPORT void zavel_Proxy_Set(void);

/* ---- Binding by ordinal ----------------------------------------------------------- */

typedef void (*zavel_proc)(void);
/* The export with this ordinal, or NULL for an unused ordinal. Cast it to the export's
 * own type before calling. */
ZAVEL_EXPORT zavel_proc zavel_GetExportByOrdinal(int ordinal);

#ifdef __cplusplus
}
#endif

#endif /* ZAVELSDK_H_ */
