// The main window "ZAVEL 탐색기": the remote list (which doubles as the disk list) above the
// local list of "My Device", each under its path and sort buttons, and the connect,
// disconnect, upload and download buttons between them.
#pragma once

#include <QFileIconProvider>
#include <QMainWindow>

#include "app/explorer/explorer_logic.h"
#include "app/explorer/file_operations.h"

class QPushButton;
class QToolButton;
class QTreeView;

namespace zavel::app {

class MainFrame : public QMainWindow {
  Q_OBJECT

 public:
  MainFrame(Document& document, Prompter& prompter, const QString& deviceRoot,
            QWidget* parent = nullptr);

  ExplorerLogic& explorer() { return logic_; }
  // Disk-list mode, and the local list at the device root (the view's start).
  void start();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTreeView* makeList(const char* name, const QString& accessible, FileListModel* model);
  QToolButton* makePathButton(const char* name, ExplorerLogic::List list);
  QToolButton* makeSortButton(const char* name, ExplorerLogic::List list);
  QTreeView* listOf(ExplorerLogic::List list) const;
  void open(ExplorerLogic::List list, int row);
  void connectDisk();
  void disconnectDisk();
  void updateChrome();
  void run(int command, ExplorerLogic::List list);
  void startRename(ExplorerLogic::List list, int row);
  void showContextMenu(ExplorerLogic::List list, const QPoint& at);
  QList<int> selectedRows(ExplorerLogic::List list) const;

  Document& document_;
  ExplorerLogic logic_;
  FileOperations operations_;
  QFileIconProvider icons_;
  ExplorerLogic::List active_ = ExplorerLogic::List::kRemote;
  QTreeView* remote_list_;
  QTreeView* local_list_;
  QToolButton* remote_path_;
  QToolButton* local_path_;
  QPushButton* connect_;
  QPushButton* disconnect_;
  QPushButton* upload_;
  QPushButton* download_;
};

}  // namespace zavel::app
