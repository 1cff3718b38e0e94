// The program's command numbers; each menu action carries its number in data().
#pragma once

namespace zavel::app {

enum Command : int {
  kCmdDisconnect = 32789,
  kCmdRefresh = 32790,
  kCmdUpload = 32792,
  kCmdDownload = 32793,
  kCmdOpenDownloadFolder = 32794,
  kCmdNewFolder = 32795,
  kCmdDelete = 32796,
  kCmdSelectAll = 32797,
  kCmdConnect = 32815,
  kCmdRename = 32829,
};

}  // namespace zavel::app
