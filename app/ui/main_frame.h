// The main window "ZAVEL 탐색기": the remote list (which doubles as the disk list) above the
// local list of "My Device".
#pragma once

#include <QMainWindow>

#include "app/explorer/file_list_model.h"
#include "app/signin/login_info.h"

class QTreeView;
class QLabel;

namespace zavel::app {

class MainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainFrame(LoginInfo& login, QWidget* parent = nullptr);

  // Disk-list mode: one row per disk of the signed-in user.
  void showDisks();
  FileListModel& remoteModel() { return remote_model_; }

 private:
  QTreeView* makeList(const char* name, FileListModel* model);

  LoginInfo& login_;
  FileListModel remote_model_;
  FileListModel local_model_;
  QTreeView* remote_list_;
  QTreeView* local_list_;
  QLabel* remote_path_;
  QLabel* local_path_;
};

}  // namespace zavel::app
