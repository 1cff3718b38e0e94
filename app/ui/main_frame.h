// The main window "ZAVEL 탐색기": the remote list (which doubles as the disk list) above the
// local list of "My Device", each under its path and sort buttons, and the connect,
// disconnect, upload and download buttons between them.
#pragma once

#include <QFileIconProvider>
#include <QList>
#include <QMainWindow>
#include <QUrl>
#include <memory>

#include "app/explorer/command_rules.h"
#include "app/explorer/explorer_logic.h"
#include "app/explorer/file_operations.h"
#include "app/explorer/shell_logic.h"
#include "app/explorer/transfer_manager.h"
#include "app/ui/qt_transfer_ui.h"

class QPushButton;
class QSplitter;
class QSystemTrayIcon;
class QToolButton;
class QTreeView;

namespace zavel::app {

class Notifier;
class SettingsStore;

class MainFrame : public QMainWindow {
  Q_OBJECT

 public:
  MainFrame(Document& document, Prompter& prompter, const QString& deviceRoot,
            QWidget* parent = nullptr);
  ~MainFrame() override;

  ExplorerLogic& explorer() { return logic_; }
  TransferManager& transfers() { return transfers_; }
  ShellLogic& shell() { return shell_; }
  // The tray icon; null where the desktop has no tray.
  QSystemTrayIcon* tray() const { return tray_; }
  QtTransferUi& transferUi() { return transfer_ui_; }
  // Disk-list mode, and the local list at the device root (the view's start).
  void start();
  // A command by its number, for the list last used (menus, command bar, tray); nothing
  // when the rules do not enable it.
  void runCommand(int command);
  void runCommand(int command, ExplorerLogic::List list) { run(command, list); }
  // A sign-in from the menu ended with OK: the new disk list.
  void signedIn();
  // Closes without the exit question (a cancelled sign-in, the update notice).
  void closeWithoutAsking();
  // The updater has a new version: the notice, then the window closes.
  void updateAvailable();
  // Brings back the window's size, place and split and the lists' columns from the settings
  // (before the window shows), and keeps them there: the columns when they change, the rest
  // when the window closes.
  void remember(SettingsStore& settings);
  // Where the notice of a batch that ends while the window is not in front goes; by default
  // the desktop's, chosen when the first such batch ends.
  void setNotifier(Notifier* notifier);
  // The window is on show and has the keyboard, itself or through one of its own windows
  // (the progress dialog, a question).
  bool inFront() const;

 signals:
  // Rows dragged from the other list (or files from the desktop, by their URLs) were dropped
  // on a list: a transfer into that list's folder. The transfer manager takes it.
  void transferRequested(ExplorerLogic::List target, const QList<int>& sourceRows,
                         const QList<QUrl>& files);
  // The "로그인" command: the program shows the sign-in dialog.
  void signInRequested();
  // Commands the program's own dialogs serve.
  void settingsRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The window stays while a batch runs: its sessions are in use.
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool dragEvent(ExplorerLogic::List target, QEvent* event);

 private:
  QTreeView* makeList(ExplorerLogic::List list, const char* name, const QString& accessible,
                      FileListModel* model);
  // The header's pop-up: the optional columns, each to show or hide.
  void makeColumnMenu(ExplorerLogic::List list, QTreeView* view);
  void showColumn(ExplorerLogic::List list, int column, bool shown);
  QToolButton* makePathButton(const char* name, ExplorerLogic::List list);
  QToolButton* makeSortButton(const char* name, ExplorerLogic::List list);
  // Sorts a list by a column, from its sort button or its header: both then show it.
  void sortBy(ExplorerLogic::List list, int column);
  void saveWindow();
  void batchEnded(const BatchOutcome& outcome);
  QTreeView* listOf(ExplorerLogic::List list) const;
  void open(ExplorerLogic::List list, int row);
  void connectDisk();
  void disconnectDisk();
  // Buttons, menu items and the command bar as the rules say, after every press and before
  // every menu shows.
  void updateChrome();
  CommandRules rules(ExplorerLogic::List active) const;
  void run(int command, ExplorerLogic::List list);
  void transfer(ExplorerLogic::List target, const QList<int>& sourceRows, const QList<QUrl>& files);
  void openDownloadFolder();
  void buildMenus();
  void buildTray();
  void showVersion();
  void startRename(ExplorerLogic::List list, int row);
  void showContextMenu(ExplorerLogic::List list, const QPoint& at);
  QList<int> selectedRows(ExplorerLogic::List list) const;

  Document& document_;
  ExplorerLogic logic_;
  FileOperations operations_;
  QFileIconProvider icons_;
  QtTransferUi transfer_ui_;
  VolumeFreeSpace free_space_;
  TransferManager transfers_;
  ShellLogic shell_;
  Prompter& prompter_;
  QSystemTrayIcon* tray_ = nullptr;
  bool exit_confirmed_ = false;
  ExplorerLogic::List active_ = ExplorerLogic::List::kRemote;
  QTreeView* remote_list_ = nullptr;
  QTreeView* local_list_ = nullptr;
  QToolButton* remote_path_;
  QToolButton* local_path_;
  QToolButton* remote_sort_ = nullptr;
  QToolButton* local_sort_ = nullptr;
  QSplitter* split_ = nullptr;
  SettingsStore* settings_ = nullptr;
  QList<int> pending_split_;  // remembered split heights, set once the window is laid out
  bool shown_ = false;
  std::unique_ptr<Notifier> desktop_notifier_;
  Notifier* notifier_ = nullptr;
  bool notifier_chosen_ = false;
  QPushButton* connect_;
  QPushButton* disconnect_;
  QPushButton* upload_;
  QPushButton* download_;
  QList<QAction*> commands_;  // every numbered action of the menus and the command bar
};

}  // namespace zavel::app
