#include "app/explorer/command_rules.h"

#include "app/explorer/file_list_model.h"
#include "app/explorer/texts.h"

namespace zavel::app {

ViewState CommandRules::stateOf(const ExplorerLogic& explorer, const Document& document,
                                List active, const QList<int>& remoteSelected) {
  ViewState s;
  s.active = active;
  s.mode = explorer.mode();
  s.sessionMode = document.sessionMode();
  s.diskCount = document.login().diskCount();
  s.remoteSelected = static_cast<int>(remoteSelected.size());
  if (s.mode == ExplorerLogic::Mode::kDiskList) {
    const QString connected = text::tr(text::kConnected);
    for (int row : remoteSelected)
      if (row >= 0 && row < explorer.remote().rowCount() &&
          explorer.remote().cell(row, kColSize) == connected)
        s.connectedSelected = true;
  }
  return s;
}

bool CommandRules::enabled(int command) const {
  const bool files = state_.mode == ExplorerLogic::Mode::kFileList;
  const bool remote = state_.active == List::kRemote;
  switch (command) {
    case kCmdUpload:
      return !remote && files && mayCreate(state_.sessionMode);
    case kCmdDownload:
    case kCmdMail:
      return remote && files && state_.remoteSelected > 0;
    case kCmdNewFolder:
      return !remote || (files && mayCreate(state_.sessionMode));
    case kCmdDelete:
    case kCmdRename:
      return !remote || (files && mayChange(state_.sessionMode));
    case kCmdDisconnect:
      return files ? state_.diskCount > 0 : state_.connectedSelected;
    case kCmdCapacity:
      return files && state_.diskCount > 0;
    case kCmdConnect:
      return !files && state_.remoteSelected > 0 && !state_.connectedSelected;
    default:
      return true;
  }
}

bool CommandRules::connectShown() const {
  return state_.mode == ExplorerLogic::Mode::kDiskList && !state_.connectedSelected;
}

std::vector<CommandRules::Item> CommandRules::popup(List list, bool onRow,
                                                    bool rowConnected) const {
  ViewState held = state_;
  held.active = list;
  if (list == List::kRemote) {
    held.remoteSelected = onRow ? std::max(held.remoteSelected, 1) : 0;
    held.connectedSelected = onRow && rowConnected;
  }
  const CommandRules rules(held);
  std::vector<int> commands;
  if (!onRow)
    commands = {kCmdRefresh, kCmdNewFolder, kCmdSelectAll};
  else if (list == List::kRemote && held.mode == ExplorerLogic::Mode::kDiskList)
    commands = {rowConnected ? kCmdDisconnect : kCmdConnect};
  else
    commands = {kCmdDelete, kCmdRename, list == List::kRemote ? kCmdDownload : kCmdUpload};
  std::vector<Item> items;
  for (int command : commands) items.push_back({command, rules.enabled(command)});
  return items;
}

}  // namespace zavel::app
