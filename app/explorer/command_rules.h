// Which commands the window offers, decided from the view's state alone. The buttons, the
// menus, the command bar and both lists' pop-up menus all ask here; the widgets keep no rule
// of their own. The session mode acts as the member's rights on the remote list: 1 and 4
// allow everything, 2 uploads and new folders but no delete or rename, 3 only reading.
#pragma once

#include <QList>
#include <vector>

#include "app/explorer/commands.h"
#include "app/explorer/explorer_logic.h"

namespace zavel::app {

struct ViewState {
  ExplorerLogic::List active = ExplorerLogic::List::kRemote;  // the list last pressed
  ExplorerLogic::Mode mode = ExplorerLogic::Mode::kDiskList;  // the remote list's mode
  int sessionMode = 3;                                        // the listing disk's rights
  int diskCount = 0;
  int remoteSelected = 0;          // selected rows of the remote list
  bool connectedSelected = false;  // disk-list mode: a selected row reads "연결됨"
};

class CommandRules {
 public:
  using List = ExplorerLogic::List;

  explicit CommandRules(const ViewState& state) : state_(state) {}
  // The state as the logic, the document and the remote list's selection give it.
  static ViewState stateOf(const ExplorerLogic& explorer, const Document& document, List active,
                           const QList<int>& remoteSelected);

  // What a session mode allows on the remote list.
  static bool mayCreate(int sessionMode) { return sessionMode != 3; }
  static bool mayChange(int sessionMode) { return sessionMode == 1 || sessionMode == 4; }

  bool enabled(int command) const;
  // In disk-list mode the connect button stands where disconnect does, one at a time.
  bool connectShown() const;
  bool disconnectShown() const { return !connectShown(); }

  // The pop-up of a list held on a row (connected or not, in the disk list) or on its empty
  // area: its commands in order, each enabled or not. Holding selects the row held (or, on
  // the empty area, deselects every row) and makes the list the active one.
  struct Item {
    int command;
    bool enabled;
  };
  std::vector<Item> popup(List list, bool onRow, bool rowConnected) const;

 private:
  ViewState state_;
};

}  // namespace zavel::app
