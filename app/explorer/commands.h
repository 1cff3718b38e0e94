// The program's command numbers; each menu action carries its number in data().
#pragma once

namespace zavel::app {

enum Command : int {
  kCmdLogin = 32786,
  kCmdLoginAsOther = 32787,
  kCmdLogout = 32788,
  kCmdDisconnect = 32789,
  kCmdRefresh = 32790,
  kCmdSettings = 32791,
  kCmdUpload = 32792,
  kCmdDownload = 32793,
  kCmdOpenDownloadFolder = 32794,
  kCmdNewFolder = 32795,
  kCmdDelete = 32796,
  kCmdSelectAll = 32797,
  kCmdOpenWindow = 32802,
  kCmdConnect = 32815,
  kCmdRename = 32829,
  kCmdMail = 32836,
  kCmdCapacity = 32837,
  kCmdVersion = 57664,
  kCmdExit = 57665,
};

}  // namespace zavel::app
