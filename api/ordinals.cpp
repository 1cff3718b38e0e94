#include "api/ordinals.h"

namespace zavel {

namespace {

template <typename F>
zavel_proc proc(F* f) {
  return reinterpret_cast<zavel_proc>(f);
}

#define ZAVEL_ORDINAL(n, fn) \
  { n, #fn, proc(&fn) }

const ExportOrdinal kOrdinals[] = {
    ZAVEL_ORDINAL(1, zavel_GetLastError),
    ZAVEL_ORDINAL(2, zavel_SetLastError),
    ZAVEL_ORDINAL(3, zavel_GetLastErrStr),
    ZAVEL_ORDINAL(4, zavel_SetLastErrStr),
    ZAVEL_ORDINAL(5, zavel_FormatMessage),
    ZAVEL_ORDINAL(11, zavel_CreateSession),
    ZAVEL_ORDINAL(12, zavel_DuplicateSession),
    ZAVEL_ORDINAL(13, zavel_DestroySession),
    ZAVEL_ORDINAL(14, zavel_SetSessionTimeout),
    ZAVEL_ORDINAL(15, zavel_CreateOCTASession),
    ZAVEL_ORDINAL(16, zavel_IsOCTASession),
    ZAVEL_ORDINAL(17, zavel_SetFileDescription),
    ZAVEL_ORDINAL(18, zavel_SetFileExpireTime),
    ZAVEL_ORDINAL(21, zavel_GetSessionPath),
    ZAVEL_ORDINAL(22, zavel_GetSessionMode),
    ZAVEL_ORDINAL(23, zavel_GetSessionOpenUrl),
    ZAVEL_ORDINAL(24, zavel_GetSessionMessage),
    ZAVEL_ORDINAL(31, zavel_GetDiskSpace),
    ZAVEL_ORDINAL(41, zavel_FileOpen),
    ZAVEL_ORDINAL(42, zavel_FileWrite),
    ZAVEL_ORDINAL(43, zavel_FileRead),
    ZAVEL_ORDINAL(44, zavel_FileSeek),
    ZAVEL_ORDINAL(45, zavel_FileClose),
    ZAVEL_ORDINAL(51, zavel_MakeFolder),
    ZAVEL_ORDINAL(52, zavel_MakeFolder2),
    ZAVEL_ORDINAL(53, zavel_CreateFile),
    ZAVEL_ORDINAL(54, zavel_DeleteFile),
    ZAVEL_ORDINAL(55, zavel_RenameFile),
    ZAVEL_ORDINAL(56, zavel_MoveFile),
    ZAVEL_ORDINAL(57, zavel_CopyFile),
    ZAVEL_ORDINAL(61, zavel_OpenFileInfo),
    ZAVEL_ORDINAL(62, zavel_ReadFileInfo),
    ZAVEL_ORDINAL(63, zavel_CloseFileInfo),
    ZAVEL_ORDINAL(64, zavel_GetFileSize),
    ZAVEL_ORDINAL(65, zavel_GetFileTime),
    ZAVEL_ORDINAL(66, zavel_SetFileTime),
    ZAVEL_ORDINAL(67, zavel_GetBlockSize),
    ZAVEL_ORDINAL(68, zavel_OpenFileInfoEx),
    ZAVEL_ORDINAL(71, zavel_OpenDir),
    ZAVEL_ORDINAL(72, zavel_ReadDir),
    ZAVEL_ORDINAL(73, zavel_CloseDir),
    ZAVEL_ORDINAL(81, zavel_OpenCmd),
    ZAVEL_ORDINAL(82, zavel_GetCmd),
    ZAVEL_ORDINAL(83, zavel_CloseCmd),
    ZAVEL_ORDINAL(84, zavel_ChangeDir),
    ZAVEL_ORDINAL(91, zavel_Download),
    ZAVEL_ORDINAL(92, zavel_Upload),
    ZAVEL_ORDINAL(93, zavel_CopyEx),
    ZAVEL_ORDINAL(94, zavel_DownloadEx),
    ZAVEL_ORDINAL(95, zavel_UploadEx),
    ZAVEL_ORDINAL(101, zavel_GetServerInfo),
    ZAVEL_ORDINAL(102, zavel_SetTurboMode),
    ZAVEL_ORDINAL(111, zavel_CheckVirus),
    ZAVEL_ORDINAL(119, RSet_LastErrorNo),
    ZAVEL_ORDINAL(120, RGet_LastErrorNo),
    ZAVEL_ORDINAL(121, ROpen),
    ZAVEL_ORDINAL(122, ROpen2),
    ZAVEL_ORDINAL(123, RWrite),
    ZAVEL_ORDINAL(124, RRead),
    ZAVEL_ORDINAL(125, RSeek),
    ZAVEL_ORDINAL(126, RClose),
    ZAVEL_ORDINAL(127, ROpenDir),
    ZAVEL_ORDINAL(128, RReadDir),
    ZAVEL_ORDINAL(129, RCloseDir),
    ZAVEL_ORDINAL(130, RStat),
    ZAVEL_ORDINAL(131, RChown),
    ZAVEL_ORDINAL(132, RChgrp),
    ZAVEL_ORDINAL(133, RChmod),
    ZAVEL_ORDINAL(134, RMkdir),
    ZAVEL_ORDINAL(135, RLink),
    ZAVEL_ORDINAL(136, RSymlink),
    ZAVEL_ORDINAL(137, RUnlink),
    ZAVEL_ORDINAL(138, RReadlink),
    ZAVEL_ORDINAL(139, RRename),
    ZAVEL_ORDINAL(140, RRmdir),
    ZAVEL_ORDINAL(141, RTempnam),
    ZAVEL_ORDINAL(142, RRealpath),
    ZAVEL_ORDINAL(143, RFileatime),
    ZAVEL_ORDINAL(144, RFilectime),
    ZAVEL_ORDINAL(145, RFilemtime),
    ZAVEL_ORDINAL(146, RFilegroup),
    ZAVEL_ORDINAL(147, RFileowner),
    ZAVEL_ORDINAL(148, RFileinode),
    ZAVEL_ORDINAL(149, RFileperms),
    ZAVEL_ORDINAL(150, RFilesize),
    ZAVEL_ORDINAL(151, RFiletype),
    ZAVEL_ORDINAL(152, RLstat),
    ZAVEL_ORDINAL(153, RFstat),
    ZAVEL_ORDINAL(154, RFopen),
    ZAVEL_ORDINAL(155, RFwrite),
    ZAVEL_ORDINAL(156, RFread),
    ZAVEL_ORDINAL(157, RFseek),
    ZAVEL_ORDINAL(158, RRewind),
    ZAVEL_ORDINAL(159, RFtell),
    ZAVEL_ORDINAL(160, RFclose),
    ZAVEL_ORDINAL(161, RIs_file),
    ZAVEL_ORDINAL(162, RIs_dir),
    ZAVEL_ORDINAL(163, RIs_link),
    ZAVEL_ORDINAL(164, RUmask),
    ZAVEL_ORDINAL(3000, zavel_Proxy_Set),
};

#undef ZAVEL_ORDINAL

}  // namespace

std::span<const ExportOrdinal> exportOrdinals() {
  return kOrdinals;
}

}  // namespace zavel

extern "C" zavel_proc zavel_GetExportByOrdinal(int ordinal) {
  for (const zavel::ExportOrdinal& e : zavel::exportOrdinals()) {
    if (e.ordinal == ordinal) return e.proc;
  }
  return nullptr;
}
