#include <dlfcn.h>
#include <gtest/gtest.h>

#include "zavelsdk.h"

namespace {

// The ordinals callers bind to, written out independently of the library's own table.
const struct {
  int ordinal;
  const char* name;
} kExpected[] = {
    {1, "zavel_GetLastError"},
    {2, "zavel_SetLastError"},
    {3, "zavel_GetLastErrStr"},
    {4, "zavel_SetLastErrStr"},
    {5, "zavel_FormatMessage"},
    {119, "RSet_LastErrorNo"},
    {120, "RGet_LastErrorNo"},
    // Sessions, files and folders, listings.
    {11, "zavel_CreateSession"},
    {12, "zavel_DuplicateSession"},
    {13, "zavel_DestroySession"},
    {14, "zavel_SetSessionTimeout"},
    {15, "zavel_CreateOCTASession"},
    {16, "zavel_IsOCTASession"},
    {17, "zavel_SetFileDescription"},
    {18, "zavel_SetFileExpireTime"},
    {21, "zavel_GetSessionPath"},
    {22, "zavel_GetSessionMode"},
    {23, "zavel_GetSessionOpenUrl"},
    {24, "zavel_GetSessionMessage"},
    {31, "zavel_GetDiskSpace"},
    {41, "zavel_FileOpen"},
    {42, "zavel_FileWrite"},
    {43, "zavel_FileRead"},
    {44, "zavel_FileSeek"},
    {45, "zavel_FileClose"},
    {51, "zavel_MakeFolder"},
    {52, "zavel_MakeFolder2"},
    {53, "zavel_CreateFile"},
    {54, "zavel_DeleteFile"},
    {55, "zavel_RenameFile"},
    {56, "zavel_MoveFile"},
    {57, "zavel_CopyFile"},
    {61, "zavel_OpenFileInfo"},
    {62, "zavel_ReadFileInfo"},
    {63, "zavel_CloseFileInfo"},
    {64, "zavel_GetFileSize"},
    {65, "zavel_GetFileTime"},
    {66, "zavel_SetFileTime"},
    {67, "zavel_GetBlockSize"},
    {68, "zavel_OpenFileInfoEx"},
    {71, "zavel_OpenDir"},
    {72, "zavel_ReadDir"},
    {73, "zavel_CloseDir"},
    {81, "zavel_OpenCmd"},
    {82, "zavel_GetCmd"},
    {83, "zavel_CloseCmd"},
    {84, "zavel_ChangeDir"},
    // Transfers.
    {91, "zavel_Download"},
    {92, "zavel_Upload"},
    {93, "zavel_CopyEx"},
    {94, "zavel_DownloadEx"},
    {95, "zavel_UploadEx"},
    {101, "zavel_GetServerInfo"},
    {102, "zavel_SetTurboMode"},
    {111, "zavel_CheckVirus"},
    {3000, "zavel_Proxy_Set"},
    // Remote files.
    {121, "ROpen"},
    {122, "ROpen2"},
    {123, "RWrite"},
    {124, "RRead"},
    {125, "RSeek"},
    {126, "RClose"},
    {127, "ROpenDir"},
    {128, "RReadDir"},
    {129, "RCloseDir"},
    {130, "RStat"},
    {131, "RChown"},
    {132, "RChgrp"},
    {133, "RChmod"},
    {134, "RMkdir"},
    {135, "RLink"},
    {136, "RSymlink"},
    {137, "RUnlink"},
    {138, "RReadlink"},
    {139, "RRename"},
    {140, "RRmdir"},
    {141, "RTempnam"},
    {142, "RRealpath"},
    {143, "RFileatime"},
    {144, "RFilectime"},
    {145, "RFilemtime"},
    {146, "RFilegroup"},
    {147, "RFileowner"},
    {148, "RFileinode"},
    {149, "RFileperms"},
    {150, "RFilesize"},
    {151, "RFiletype"},
    {152, "RLstat"},
    {153, "RFstat"},
    {154, "RFopen"},
    {155, "RFwrite"},
    {156, "RFread"},
    {157, "RFseek"},
    {158, "RRewind"},
    {159, "RFtell"},
    {160, "RFclose"},
    {161, "RIs_file"},
    {162, "RIs_dir"},
    {163, "RIs_link"},
    {164, "RUmask"},
};

TEST(Ordinals, EveryOrdinalNamesTheExportedFunction) {
  for (const auto& e : kExpected) {
    void* by_name = dlsym(RTLD_DEFAULT, e.name);
    ASSERT_NE(by_name, nullptr) << e.name << " is not exported";
    EXPECT_EQ(reinterpret_cast<void*>(zavel_GetExportByOrdinal(e.ordinal)), by_name) << e.name;
  }
}

TEST(Ordinals, UnusedOrdinalsGiveNull) {
  for (int ordinal : {0, -1, 6, 19, 118, 2999, 121000}) {
    EXPECT_EQ(zavel_GetExportByOrdinal(ordinal), nullptr) << ordinal;
  }
}

TEST(Ordinals, BoundByOrdinalTheFunctionWorks) {
  using SetFn = void (*)(int32_t);
  using GetFn = int32_t (*)(void);
  auto set = reinterpret_cast<SetFn>(zavel_GetExportByOrdinal(119));
  auto get = reinterpret_cast<GetFn>(zavel_GetExportByOrdinal(1));
  ASSERT_NE(set, nullptr);
  ASSERT_NE(get, nullptr);
  set(23008);
  EXPECT_EQ(get(), 23008);
}

TEST(Ordinals, InternalSymbolsStayHidden) {
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "_ZN5zavel12setLastErrorEi"), nullptr);
}

}  // namespace
