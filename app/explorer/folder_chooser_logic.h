// The folder chooser's behaviour: the current folder of "My Device" and its subfolders, the
// drop-down list of folders visited, entering a subfolder and going up. Folders are in
// device form; the root is "\".
#pragma once

#include <QString>
#include <QStringList>

#include "app/explorer/device_paths.h"

namespace zavel::app {

class FolderChooserLogic {
 public:
  explicit FolderChooserLogic(const DevicePaths& device);

  // Lists the folder and makes the drop-down list hold only it, selected. A folder not in
  // device form, or one that would leave the root, starts at the root.
  void start(const QString& folder);

  const QString& current() const { return current_; }
  // The current folder's subfolders, in collation order; files are not shown, and an
  // unreadable folder lists none.
  const QStringList& subfolders() const { return subfolders_; }
  // The drop-down list's texts and the selected one's index.
  const QStringList& visited() const { return visited_; }
  int selectedVisited() const { return selected_; }

  // A double click on a subfolder's row. False (and nothing changes) for a name that is not
  // one of the listed subfolders or not one plain level.
  bool enter(const QString& name);
  // A folder chosen in the drop-down list.
  void selectVisited(int index);
  // "위로": the parent folder; nothing at the root.
  void up();

 private:
  // Makes the folder current, lists it, and selects it in the drop-down list (adding it when
  // the list does not hold exactly that text).
  void go(const QString& folder);
  void list();

  DevicePaths device_;
  QString current_;
  QStringList subfolders_;
  QStringList visited_;
  int selected_ = -1;
};

}  // namespace zavel::app
