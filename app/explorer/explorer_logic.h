// The explorer form's behaviour: the remote list (the disk list, or one folder of the
// connected disk) and the local list (one folder of "My Device"), their path levels and
// sort columns, connecting, entering and leaving folders, refreshing. The widgets show the
// two models and hand over the user's choices.
#pragma once

#include <QAbstractFileIconProvider>
#include <QString>
#include <optional>

#include "app/explorer/device_paths.h"
#include "app/explorer/document.h"
#include "app/explorer/file_kinds.h"
#include "app/explorer/file_list_model.h"
#include "app/explorer/path_levels.h"

namespace zavel::app {

class ExplorerLogic {
 public:
  enum class Mode { kDiskList, kFileList };
  enum class List { kRemote, kLocal };

  ExplorerLogic(Document& document, Prompter& prompter, const QString& deviceRoot);

  // Icons for the rows (the desktop's); none leaves rows without icons.
  void setIconProvider(const QAbstractFileIconProvider* icons) { kinds_.setIconProvider(icons); }

  FileListModel& remote() { return remote_; }
  const FileListModel& remote() const { return remote_; }
  FileListModel& local() { return local_; }
  PathLevels& remoteLevels() { return remote_levels_; }
  PathLevels& localLevels() { return local_levels_; }
  Mode mode() const { return mode_; }
  const DevicePaths& devicePaths() const { return device_; }

  void showDisks();
  // Connects the one selected disk row and lists its root.
  bool connectSelected(const QList<int>& selectedRows);
  // Asks, then closes the selected disk's connection (in file-list mode, the listing
  // session's) and shows the disk list. False when nothing was closed.
  bool disconnect(const QList<int>& selectedRows);
  // Lists a remote folder (its path or club key) into the remote list: file-list mode.
  void fillRemote(const QString& pathOrKey);
  // Lists a local folder (device form; empty for the root).
  void fillLocal(const QString& devicePath);

  // A double click or Enter on a row. For a local file, the host path to open with the
  // desktop; otherwise none.
  std::optional<QString> openRow(List list, int row);
  // A level chosen on a path button (0 is the root level).
  void chooseLevel(List list, int level);
  // Backspace: one level up.
  void goUp(List list);
  void sortBy(List list, int column);
  void refresh(List list);

  // The current folders: the remote one as the library names it (path or club key), the
  // local one in device form.
  QString remoteFolder() const;
  QString localFolder() const { return local_levels_.below(1); }

 private:
  Document& document_;
  Prompter& prompter_;
  DevicePaths device_;
  FileKinds kinds_;
  FileListModel remote_;
  FileListModel local_;
  PathLevels remote_levels_;
  PathLevels local_levels_;
  Mode mode_ = Mode::kDiskList;
  int remote_sort_ = kColName;
  int local_sort_ = kColName;
};

}  // namespace zavel::app
