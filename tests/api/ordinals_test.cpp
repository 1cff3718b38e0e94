#include <dlfcn.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "zavelsdk.h"

namespace {

// The ordinals callers bind to, written out independently of the library's own table: each
// run of names takes consecutive ordinals from its first.
// clang-format off
const struct { int first; const char* names; } kRuns[] = {
    {1,    "GetLastError SetLastError GetLastErrStr SetLastErrStr FormatMessage"},
    {11,   "CreateSession DuplicateSession DestroySession SetSessionTimeout CreateOCTASession "
           "IsOCTASession SetFileDescription SetFileExpireTime"},
    {21,   "GetSessionPath GetSessionMode GetSessionOpenUrl GetSessionMessage"},
    {31,   "GetDiskSpace"},
    {41,   "FileOpen FileWrite FileRead FileSeek FileClose"},
    {51,   "MakeFolder MakeFolder2 CreateFile DeleteFile RenameFile MoveFile CopyFile"},
    {61,   "OpenFileInfo ReadFileInfo CloseFileInfo GetFileSize GetFileTime SetFileTime "
           "GetBlockSize OpenFileInfoEx"},
    {71,   "OpenDir ReadDir CloseDir"},
    {81,   "OpenCmd GetCmd CloseCmd ChangeDir"},
    {91,   "Download Upload CopyEx DownloadEx UploadEx"},
    {101,  "GetServerInfo SetTurboMode"},
    {111,  "CheckVirus"},
    {3000, "Proxy_Set"},
    // These carry their names as they are.
    {119,  "=RSet_LastErrorNo =RGet_LastErrorNo =ROpen =ROpen2 =RWrite =RRead =RSeek =RClose "
           "=ROpenDir =RReadDir =RCloseDir =RStat "
           "=RChown =RChgrp =RChmod =RMkdir =RLink =RSymlink =RUnlink =RReadlink =RRename "
           "=RRmdir =RTempnam =RRealpath "
           "=RFileatime =RFilectime =RFilemtime =RFilegroup =RFileowner =RFileinode =RFileperms "
           "=RFilesize =RFiletype =RLstat "
           "=RFstat =RFopen =RFwrite =RFread =RFseek =RRewind =RFtell =RFclose =RIs_file "
           "=RIs_dir =RIs_link =RUmask"},
};
// clang-format on

TEST(Ordinals, EveryOrdinalNamesTheExportedFunctionAndNoOtherOrdinalIsBound) {
  int count = 0;
  for (const auto& run : kRuns) {
    std::istringstream words(run.names);
    int ordinal = run.first;
    for (std::string word; words >> word; ++ordinal, ++count) {
      const std::string name = word[0] == '=' ? word.substr(1) : "zavel_" + word;
      void* by_name = dlsym(RTLD_DEFAULT, name.c_str());
      ASSERT_NE(by_name, nullptr) << name << " is not exported";
      EXPECT_EQ(reinterpret_cast<void*>(zavel_GetExportByOrdinal(ordinal)), by_name) << name;
    }
  }
  EXPECT_EQ(count, 100);
  for (int ordinal : {0, -1, 6, 19, 118, 2999, 121000}) {
    EXPECT_EQ(zavel_GetExportByOrdinal(ordinal), nullptr) << ordinal;
  }
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "_ZN5zavel12setLastErrorEi"), nullptr);  // internals stay hidden
}

}  // namespace
