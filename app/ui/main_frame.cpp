#include "app/ui/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "app/explorer/commands.h"
#include "app/explorer/mail_logic.h"
#include "app/explorer/shell_texts.h"
#include "app/ui/app_icon.h"
#include "app/ui/mail_dialog.h"
#include "app/ui/named.h"
#include "app/ui/notifier.h"
#include "app/ui/texts.h"
#include "app/ui/window_geometry.h"

namespace zavel::app {
namespace {

using List = ExplorerLogic::List;

// A list view that tells whether a name is being edited in it.
class ListView : public QTreeView {
 public:
  bool editing() const { return state() == EditingState; }
};

// The view starts its lists this long after the frame is created.
constexpr int kStartDelayMs = 500;
// The window's size before anything is remembered.
constexpr QSize kDefaultSize(640, 600);

// The sort button's choices: each label and its column.
constexpr std::pair<const char*, int> kSortChoices[] = {{text::kSortName, kColName},
                                                        {text::kSortDate, kColDate},
                                                        {text::kSortSize, kColSize},
                                                        {text::kSortType, kColType}};

// The columns a list may show besides name and size, with their headers.
constexpr std::pair<const char*, int> kOptionalColumns[] = {{text::kColumnType, kColType},
                                                            {text::kColumnDate, kColDate}};

// A list's name in object names and in the settings.
const char* listName(ExplorerLogic::List list) {
  return list == ExplorerLogic::List::kRemote ? "remote" : "local";
}

QPushButton* button(const char* name, const char* source) {
  return named(new QPushButton(text::tr(source)), name, text::tr(source));
}

// The pop-up's label of each command it may hold.
const char* popupLabel(int command) {
  switch (command) {
    case kCmdRefresh:
      return text::kMenuRefresh;
    case kCmdNewFolder:
      return text::kMenuNewFolder;
    case kCmdSelectAll:
      return text::kMenuSelectAll;
    case kCmdDelete:
      return text::kMenuDelete;
    case kCmdRename:
      return text::kMenuRename;
    case kCmdDownload:
      return text::kDownloadButton;
    case kCmdUpload:
      return text::kUploadButton;
    case kCmdConnect:
      return text::kConnectButton;
    default:
      return text::kDisconnectButton;
  }
}

}  // namespace

MainFrame::MainFrame(Document& document, Prompter& prompter, const QString& deviceRoot,
                     QWidget* parent)
    : QMainWindow(parent),
      document_(document),
      logic_(document, prompter, deviceRoot),
      operations_(logic_, document, prompter),
      transfer_ui_(this, [this] { run(kCmdOpenDownloadFolder, List::kLocal); }),
      transfers_(logic_, document, prompter, transfer_ui_, free_space_),
      shell_(logic_, document, prompter),
      prompter_(prompter) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowTitle(text::tr(text::kExplorerTitle));
  setAccessibleName(windowTitle());
  setWindowIcon(appIcon());
  logic_.setIconProvider(&icons_);

  remote_list_ = makeList(List::kRemote, "remoteList", text::tr(text::kAllDisks), &logic_.remote());
  local_list_ = makeList(List::kLocal, "localList", text::tr(text::kMyDevice), &logic_.local());
  remote_path_ = makePathButton("remotePathButton", List::kRemote);
  local_path_ = makePathButton("localPathButton", List::kLocal);

  connect_ = button("connectButton", text::kConnectButton);
  disconnect_ = button("disconnectButton", text::kDisconnectButton);
  upload_ = button("uploadButton", text::kUploadButton);
  download_ = button("downloadButton", text::kDownloadButton);
  QObject::connect(connect_, &QPushButton::clicked, this, &MainFrame::connectDisk);
  QObject::connect(disconnect_, &QPushButton::clicked, this, &MainFrame::disconnectDisk);
  QObject::connect(upload_, &QPushButton::clicked, this, [this] { run(kCmdUpload, List::kLocal); });
  QObject::connect(download_, &QPushButton::clicked, this,
                   [this] { run(kCmdDownload, List::kRemote); });
  QObject::connect(this, &MainFrame::transferRequested, this, &MainFrame::transfer);
  // While a batch runs only its progress dialog (a window of its own) takes input, so
  // nothing can close a session under a running transfer.
  QObject::connect(&transfers_, &TransferManager::batchStarted, this,
                   [this] { setEnabled(false); });
  QObject::connect(&transfers_, &TransferManager::batchFinished, this, [this] {
    setEnabled(true);
    updateChrome();
  });
  QObject::connect(&transfers_, &TransferManager::disconnectRequested, this,
                   [this] { run(kCmdDisconnect, List::kRemote); });
  QObject::connect(&transfers_, &TransferManager::capacityRequested, this,
                   [this] { run(kCmdCapacity, List::kRemote); });
  QObject::connect(&transfers_, &TransferManager::batchEnded, this, &MainFrame::batchEnded);

  auto* upper_bar = new QHBoxLayout;
  upper_bar->addWidget(remote_path_, 1);
  remote_sort_ = makeSortButton("remoteSortButton", List::kRemote);
  upper_bar->addWidget(remote_sort_);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {connect_, disconnect_, upload_, download_}) buttons->addWidget(b);
  auto* lower_bar = new QHBoxLayout;
  lower_bar->addWidget(local_path_, 1);
  local_sort_ = makeSortButton("localSortButton", List::kLocal);
  lower_bar->addWidget(local_sort_);

  auto* upper = new QWidget;
  auto* upper_layout = new QVBoxLayout(upper);
  upper_layout->setContentsMargins(4, 4, 4, 0);
  upper_layout->addLayout(upper_bar);
  upper_layout->addWidget(remote_list_);
  upper_layout->addLayout(buttons);
  auto* lower = new QWidget;
  auto* lower_layout = new QVBoxLayout(lower);
  lower_layout->setContentsMargins(4, 0, 4, 4);
  lower_layout->addLayout(lower_bar);
  lower_layout->addWidget(local_list_);

  split_ = named(new QSplitter(Qt::Vertical), "explorerView", windowTitle());
  split_->addWidget(upper);
  split_->addWidget(lower);
  setCentralWidget(split_);
  resize(kDefaultSize);

  for (QTreeView* list : {remote_list_, local_list_})
    QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     &MainFrame::updateChrome);
  buildMenus();
  buildTray();
  QTimer::singleShot(kStartDelayMs, this, &MainFrame::start);
  updateChrome();
}

MainFrame::~MainFrame() = default;

void MainFrame::start() {
  shell_.signedInNow();
  logic_.fillLocal(QString());
  updateChrome();
}

void MainFrame::signedIn() {
  shell_.signedInNow();
  updateChrome();
}

// The menu bar's two menus and the command bar; every action carries its command number.
void MainFrame::buildMenus() {
  auto add = [this](QWidget* to, const char* label, int command) {
    auto* action = new QAction(text::tr(label), to);
    action->setData(command);
    action->setObjectName(QStringLiteral("command%1").arg(command));
    QObject::connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    to->addAction(action);
    commands_ << action;
    return action;
  };
  QMenu* connection = menuBar()->addMenu(text::tr(text::kMenuConnection));
  connection->setObjectName(QStringLiteral("connectionMenu"));
  QObject::connect(connection, &QMenu::aboutToShow, this, &MainFrame::updateChrome);
  add(connection, text::kLogin, kCmdLogin);
  add(connection, text::kLoginAsOther, kCmdLoginAsOther);
  add(connection, text::kLogout, kCmdLogout);
  add(connection, text::kMenuDisconnect, kCmdDisconnect);
  connection->addSeparator();
  add(connection, text::kExit, kCmdExit);
  QMenu* file = menuBar()->addMenu(text::tr(text::kMenuFile));
  file->setObjectName(QStringLiteral("fileMenu"));
  QObject::connect(file, &QMenu::aboutToShow, this, &MainFrame::updateChrome);
  add(file, text::kMenuRefresh, kCmdRefresh);
  add(file, text::kViewCapacityMenu, kCmdCapacity);
  file->addSeparator();
  add(file, text::kUploadButton, kCmdUpload);
  add(file, text::kDownloadButton, kCmdDownload);
  add(file, text::kOpenDownloadFolder, kCmdOpenDownloadFolder);
  file->addSeparator();
  add(file, text::kMenuNewFolderItem, kCmdNewFolder);
  add(file, text::kMenuDelete, kCmdDelete);
  add(file, text::kMenuRename, kCmdRename);
  add(file, text::kMenuSelectAllItem, kCmdSelectAll);
  file->addSeparator();
  add(file, text::kMailMenu, kCmdMail);
  add(file, text::kSettingsMenu, kCmdSettings);
  file->addSeparator();
  add(file, text::kVersionMenu, kCmdVersion);

  QToolBar* bar = addToolBar(text::tr(text::kMenuFile));
  bar->setObjectName(QStringLiteral("commandBar"));
  bar->setMovable(false);
  bar->setIconSize(QSize(15, 15));
  const std::tuple<const char*, int, QStyle::StandardPixmap> buttons[] = {
      {text::kTipRefresh, kCmdRefresh, QStyle::SP_BrowserReload},
      {text::kTipNewFolder, kCmdNewFolder, QStyle::SP_FileDialogNewFolder},
      {text::kTipDelete, kCmdDelete, QStyle::SP_TrashIcon}};
  for (const auto& [tip, command, pixmap] : buttons) {
    QAction* action = add(bar, tip, command);
    action->setIcon(style()->standardIcon(pixmap));
    action->setToolTip(text::tr(tip));
  }
}

// The tray icon and its menu; nothing where the desktop has no tray.
void MainFrame::buildTray() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_ = new QSystemTrayIcon(appIcon(), this);
  tray_->setObjectName(QStringLiteral("trayIcon"));
  tray_->setToolTip(text::tr(text::kTrayTip));
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("trayMenu"));
  const std::pair<const char*, int> items[] = {{text::kTrayOpen, kCmdOpenWindow},
                                               {text::kTrayExit, kCmdExit}};
  for (const auto& [label, command] : items) {
    QAction* action = menu->addAction(text::tr(label));
    action->setData(command);
    QObject::connect(action, &QAction::triggered, this,
                     [this, command = command] { runCommand(command); });
  }
  tray_->setContextMenu(menu);
  QObject::connect(tray_, &QSystemTrayIcon::activated, this,
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::Trigger) runCommand(kCmdOpenWindow);
                   });
  tray_->show();
}

void MainFrame::runCommand(int command) {
  run(command, active_);
}

void MainFrame::closeWithoutAsking() {
  exit_confirmed_ = true;
  close();
}

void MainFrame::updateAvailable() {
  prompter_.informTitled(text::tr(text::kUpdateTitle), text::tr(text::kUpdateNotice),
                         PromptIcon::kInformation);
  closeWithoutAsking();
}

void MainFrame::showVersion() {
  QMessageBox box(QMessageBox::Information, text::tr(text::kVersionTitle), text::tr(text::kVersion),
                  QMessageBox::NoButton, this);
  box.setObjectName(QStringLiteral("versionDialog"));
  box.setAccessibleName(text::tr(text::kVersion));
  box.addButton(text::tr(text::kVersionOk), QMessageBox::AcceptRole);
  box.exec();
}

QTreeView* MainFrame::makeList(List which, const char* name, const QString& accessible,
                               FileListModel* model) {
  QTreeView* list = named(new ListView, name, accessible);
  list->setModel(model);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Type, date and club key stay hidden: they are there for sorting and for the logic.
  for (int column = kColType; column <= kColIndex; ++column) list->setColumnHidden(column, true);
  QHeaderView* header = list->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(kColName, QHeaderView::Stretch);
  header->resizeSection(kColSize, 90);
  // The widths the optional columns take when shown: a type name, a whole date.
  header->resizeSection(kColType, 140);
  header->resizeSection(
      kColDate,
      header->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 PM 00:00")) + 20);
  // A header click sorts as the sort button does (always ascending, folders first).
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setSortIndicator(kColName, Qt::AscendingOrder);
  QObject::connect(header, &QHeaderView::sectionClicked, this, [this, which](int column) {
    if (column != kColIndex) sortBy(which, column);
  });
  makeColumnMenu(which, list);
  list->installEventFilter(this);
  list->viewport()->installEventFilter(this);
  list->setDragEnabled(true);
  list->setDragDropMode(QAbstractItemView::DragDrop);
  list->viewport()->setAcceptDrops(true);
  QObject::connect(list, &QTreeView::activated, this,
                   [this, which](const QModelIndex& index) { open(which, index.row()); });
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(list, &QTreeView::customContextMenuRequested, this,
                   [this, which](const QPoint& at) { showContextMenu(which, at); });
  QObject::connect(
      model, &FileListModel::renameRequested, this,
      [this, which](int row, const QString& text) { operations_.rename(which, row, text); });
  return list;
}

QToolButton* MainFrame::makePathButton(const char* name, List list) {
  auto* path = named(new QToolButton, name, QString());
  path->setPopupMode(QToolButton::InstantPopup);
  path->setToolButtonStyle(Qt::ToolButtonTextOnly);
  path->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  auto* menu = new QMenu(path);
  QObject::connect(menu, &QMenu::aboutToShow, this, [this, menu, list] {
    menu->clear();
    PathLevels& levels = list == List::kRemote ? logic_.remoteLevels() : logic_.localLevels();
    const QStringList items = levels.items();
    for (int n = 0; n < items.size(); ++n) {
      QAction* item = menu->addAction(items[n]);
      item->setData(PathLevels::kFirstItem + n);
      item->setCheckable(true);
      item->setChecked(n == items.size() - 1);
      QObject::connect(item, &QAction::triggered, this, [this, list, n] {
        active_ = list;
        logic_.chooseLevel(list, n);
        updateChrome();
      });
    }
  });
  path->setMenu(menu);
  return path;
}

QToolButton* MainFrame::makeSortButton(const char* name, List list) {
  auto* sort = named(new QToolButton, name, text::tr(text::kSortCaption));
  sort->setText(text::tr(text::kSortCaption) + QStringLiteral(" ▼"));
  sort->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(sort);
  for (const auto& [label, column] : kSortChoices) {
    QAction* choice = menu->addAction(text::tr(label));
    choice->setData(column);
    QObject::connect(choice, &QAction::triggered, this,
                     [this, list, column = column] { sortBy(list, column); });
  }
  sort->setMenu(menu);
  return sort;
}

void MainFrame::sortBy(List list, int column) {
  for (const auto& [label, choice] : kSortChoices) {
    if (choice != column) continue;
    QToolButton* sort = list == List::kRemote ? remote_sort_ : local_sort_;
    sort->setText(text::tr(label) + QStringLiteral(" ▼"));
    logic_.sortBy(list, column);
    listOf(list)->header()->setSortIndicator(column, Qt::AscendingOrder);
  }
}

void MainFrame::makeColumnMenu(List list, QTreeView* view) {
  QHeaderView* header = view->header();
  auto* menu = new QMenu(header);
  menu->setObjectName(QLatin1String(listName(list)) + QStringLiteral("ColumnMenu"));
  for (const auto& [label, column] : kOptionalColumns) {
    QAction* item = menu->addAction(text::tr(label));
    item->setData(column);
    item->setCheckable(true);
    QObject::connect(item, &QAction::triggered, this,
                     [this, list, column = column](bool on) { showColumn(list, column, on); });
  }
  QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, view] {
    for (QAction* item : menu->actions())
      item->setChecked(!view->isColumnHidden(item->data().toInt()));
  });
  header->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(
      header, &QHeaderView::customContextMenuRequested, menu,
      [menu, header](const QPoint& at) { menu->popup(header->viewport()->mapToGlobal(at)); });
}

void MainFrame::showColumn(List list, int column, bool shown) {
  listOf(list)->setColumnHidden(column, !shown);
  if (settings_ != nullptr) storeColumnShown(*settings_, listName(list), column, shown);
}

QTreeView* MainFrame::listOf(List list) const {
  return list == List::kRemote ? remote_list_ : local_list_;
}

void MainFrame::open(List list, int row) {
  active_ = list;
  if (const std::optional<QString> file = logic_.openRow(list, row))
    QDesktopServices::openUrl(QUrl::fromLocalFile(*file));
  updateChrome();
}

void MainFrame::connectDisk() {
  QList<int> rows;
  for (const QModelIndex& index : remote_list_->selectionModel()->selectedRows())
    rows << index.row();
  logic_.connectSelected(rows);
  updateChrome();
}

void MainFrame::disconnectDisk() {
  logic_.disconnect(selectedRows(List::kRemote));
  updateChrome();
}

// Keys a desktop user expects: Enter opens, Backspace goes up, F5 refreshes.
bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
  // Events come while the lists are still being made.
  if (remote_list_ == nullptr || local_list_ == nullptr)
    return QMainWindow::eventFilter(watched, event);
  for (const List list : {List::kRemote, List::kLocal}) {
    if (watched != listOf(list)->viewport()) continue;
    // Any press in a list, on a row or on its empty area, makes it the active list before
    // the list itself handles the press.
    if (event->type() == QEvent::MouseButtonPress) {
      active_ = list;
      updateChrome();
      return false;
    }
    return dragEvent(list, event);
  }
  if (event->type() != QEvent::KeyPress || (watched != remote_list_ && watched != local_list_))
    return QMainWindow::eventFilter(watched, event);
  const List list = watched == remote_list_ ? List::kRemote : List::kLocal;
  // Keys typed into a name being edited belong to the editor.
  if (static_cast<ListView*>(watched)->editing()) return QMainWindow::eventFilter(watched, event);
  active_ = list;
  switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      open(list, listOf(list)->currentIndex().row());
      return true;
    case Qt::Key_Backspace:
      logic_.goUp(list);
      updateChrome();
      return true;
    case Qt::Key_F5:
      run(kCmdRefresh, list);
      return true;
    case Qt::Key_F2:
      run(kCmdRename, list);
      return true;
    case Qt::Key_Delete:
      run(kCmdDelete, list);
      return true;
    case Qt::Key_A:
      if (!(static_cast<QKeyEvent*>(event)->modifiers() & Qt::ControlModifier)) break;
      run(kCmdSelectAll, list);
      return true;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

// Drops go between the two lists, and from the desktop onto the remote list, while a disk is
// open; the list's own drag and drop is never used to move rows around.
bool MainFrame::dragEvent(List target, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* drag = static_cast<QDropEvent*>(event);
  QTreeView* other = listOf(target == List::kRemote ? List::kLocal : List::kRemote);
  const bool from_other = drag->source() == other;
  const bool from_desktop =
      drag->source() == nullptr && drag->mimeData()->hasUrls() && target == List::kRemote;
  // A drop is a download or an upload, and is taken only where the rules allow that.
  const bool allowed = target == List::kRemote ? rules(List::kLocal).enabled(kCmdUpload)
                                               : rules(List::kRemote).enabled(kCmdDownload);
  if (!(from_other || from_desktop) || !allowed) {
    drag->ignore();
    return true;
  }
  drag->acceptProposedAction();
  if (type == QEvent::Drop) {
    const List source = target == List::kRemote ? List::kLocal : List::kRemote;
    emit transferRequested(target, from_other ? selectedRows(source) : QList<int>(),
                           from_desktop ? drag->mimeData()->urls() : QList<QUrl>());
  }
  return true;
}

QList<int> MainFrame::selectedRows(List list) const {
  QList<int> rows;
  for (const QModelIndex& index : listOf(list)->selectionModel()->selectedRows())
    rows << index.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

void MainFrame::startRename(List list, int row) {
  if (row < 0 || !operations_.canRename(list, row)) return;
  QTreeView* view = listOf(list);
  FileListModel* model = list == List::kRemote ? &logic_.remote() : &logic_.local();
  model->setEditableRow(row);
  view->setCurrentIndex(model->index(row, kColName));
  view->edit(model->index(row, kColName));
}

CommandRules MainFrame::rules(List active) const {
  return CommandRules(
      CommandRules::stateOf(logic_, document_, active, selectedRows(List::kRemote)));
}

void MainFrame::run(int command, List list) {
  active_ = list;
  if (!rules(list).enabled(command)) {
    updateChrome();
    return;
  }
  const QList<int> rows = selectedRows(list);
  switch (command) {
    case kCmdRefresh:
      logic_.refresh(list);
      break;
    case kCmdNewFolder:
      startRename(list, operations_.newFolder(list));
      break;
    case kCmdRename:
      if (!rows.isEmpty()) startRename(list, rows[0]);
      break;
    case kCmdDelete:
      operations_.remove(list, rows);
      break;
    case kCmdSelectAll:
      listOf(list)->selectAll();
      break;
    case kCmdConnect:
      connectDisk();
      break;
    case kCmdDisconnect:
      disconnectDisk();
      break;
    case kCmdDownload:
      transfers_.download(selectedRows(List::kRemote));
      break;
    case kCmdUpload:
      transfers_.upload(selectedRows(List::kLocal));
      break;
    case kCmdOpenDownloadFolder:
      openDownloadFolder();
      break;
    case kCmdLogin:
      emit signInRequested();
      break;
    case kCmdLoginAsOther:
      shell_.logoutAsOther();
      break;
    case kCmdLogout:
      shell_.logout();
      break;
    case kCmdExit:
      if (shell_.confirmExit()) closeWithoutAsking();
      break;
    case kCmdCapacity:
      shell_.showCapacity();
      break;
    case kCmdVersion:
      showVersion();
      break;
    case kCmdSettings:
      emit settingsRequested();
      break;
    case kCmdMail: {
      MailLogic mail(document_.login(), document_.currentDisk(), logic_.remoteLevels().below(1));
      if (mail.collect(logic_.remote(), selectedRows(List::kRemote), prompter_)) {
        MailDialog dialog(mail, prompter_, this);
        dialog.exec();
      }
      break;
    }
    case kCmdOpenWindow:
      showNormal();
      raise();
      activateWindow();
      if (ProgressDialog* progress = transfer_ui_.dialog()) progress->raise();
      break;
    default:
      break;
  }
  updateChrome();
}

// The list's menu at the point held: the empty area, a file row, or a disk row.
void MainFrame::showContextMenu(List list, const QPoint& at) {
  QTreeView* view = listOf(list);
  const QModelIndex index = view->indexAt(at);
  active_ = list;
  if (!index.isValid())
    view->clearSelection();
  else if (!view->selectionModel()->isSelected(index))
    view->selectionModel()->select(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  updateChrome();
  const bool connected = index.isValid() && list == List::kRemote &&
                         logic_.remote().cell(index.row(), kColSize) == text::tr(text::kConnected);
  QMenu menu(this);
  menu.setObjectName(list == List::kRemote ? QStringLiteral("remoteMenu")
                                           : QStringLiteral("localMenu"));
  for (const CommandRules::Item& item : rules(list).popup(list, index.isValid(), connected)) {
    QAction* action = menu.addAction(text::tr(popupLabel(item.command)));
    action->setData(item.command);
    action->setEnabled(item.enabled);
  }
  QAction* chosen = menu.exec(view->viewport()->mapToGlobal(at));
  if (chosen == nullptr) return;
  // Rename names the row held, whichever rows are selected besides.
  if (chosen->data().toInt() == kCmdRename) {
    startRename(list, index.row());
    updateChrome();
    return;
  }
  run(chosen->data().toInt(), list);
}

void MainFrame::updateChrome() {
  const QFontMetrics metrics = remote_path_->fontMetrics();
  remote_path_->setText(logic_.remoteLevels().caption(metrics));
  remote_path_->setAccessibleName(logic_.remoteLevels().levels().last());
  local_path_->setText(logic_.localLevels().caption(metrics));
  local_path_->setAccessibleName(logic_.localLevels().levels().last());

  const CommandRules now = rules(active_);
  connect_->setVisible(now.connectShown());
  connect_->setEnabled(now.enabled(kCmdConnect));
  disconnect_->setVisible(now.disconnectShown());
  disconnect_->setEnabled(now.enabled(kCmdDisconnect));
  upload_->setEnabled(now.enabled(kCmdUpload));
  download_->setEnabled(now.enabled(kCmdDownload));
  for (QAction* action : commands_) action->setEnabled(now.enabled(action->data().toInt()));
}

void MainFrame::transfer(List target, const QList<int>& sourceRows, const QList<QUrl>& files) {
  if (target == List::kLocal) {
    transfers_.download(sourceRows);
    return;
  }
  QStringList paths;
  for (const QUrl& url : files)
    if (url.isLocalFile()) paths << url.toLocalFile();
  transfers_.upload(sourceRows, paths);
}

void MainFrame::openDownloadFolder() {
  if (const std::optional<QString> host = logic_.devicePaths().toHost(transfers_.downloadFolder()))
    QDesktopServices::openUrl(QUrl::fromLocalFile(*host));
}

// The window's close box asks as the exit command does; a batch keeps the window open.
void MainFrame::closeEvent(QCloseEvent* event) {
  if (transfers_.running() || (!exit_confirmed_ && !shell_.confirmExit())) {
    exit_confirmed_ = false;
    event->ignore();
    return;
  }
  saveWindow();
  QMainWindow::closeEvent(event);
}

void MainFrame::remember(SettingsStore& settings) {
  settings_ = &settings;
  const WindowMemory memory = readWindowMemory(settings);
  const QScreen* primary = QGuiApplication::primaryScreen();
  QList<QRect> screens;
  if (primary != nullptr) screens << primary->availableGeometry();
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen != primary) screens << screen->availableGeometry();
  const QRect restored = restoredGeometry(memory.geometry, screens, kDefaultSize);
  // Without a remembered place the desktop places the window, as it always has.
  if (memory.geometry)
    setGeometry(restored);
  else
    resize(restored.size());
  if (memory.maximized) setWindowState(windowState() | Qt::WindowMaximized);
  pending_split_ = memory.split;
  for (const List list : {List::kRemote, List::kLocal})
    for (const auto& [label, column] : kOptionalColumns)
      listOf(list)->setColumnHidden(column, !columnShown(settings, listName(list), column));
}

// The split is set once the splitter has its size, so that the heights come out as kept.
void MainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  shown_ = true;
  if (!pending_split_.isEmpty()) split_->setSizes(pending_split_);
  pending_split_.clear();
}

// A window never shown has no place of its own to keep.
void MainFrame::saveWindow() {
  if (settings_ == nullptr || !shown_) return;
  WindowMemory memory;
  memory.geometry = normalGeometry();
  memory.maximized = isMaximized();
  memory.split = pending_split_.isEmpty() ? split_->sizes() : pending_split_;
  writeWindowMemory(*settings_, memory);
}

void MainFrame::setNotifier(Notifier* notifier) {
  notifier_ = notifier;
  notifier_chosen_ = true;
}

bool MainFrame::inFront() const {
  if (!isVisible() || isMinimized()) return false;
  for (const QWidget* w = QApplication::activeWindow(); w != nullptr;
       w = w->parentWidget() != nullptr ? w->parentWidget()->window() : nullptr)
    if (w == this) return true;
  return false;
}

// A batch that ended while the user was elsewhere is told on the desktop.
void MainFrame::batchEnded(const BatchOutcome& outcome) {
  if (inFront()) return;
  const std::optional<Notice> notice = batchNotice(outcome);
  if (!notice) return;
  if (!notifier_chosen_) {
    desktop_notifier_ = desktopNotifier(tray_);
    notifier_ = desktop_notifier_.get();
    notifier_chosen_ = true;
  }
  if (notifier_ != nullptr) notifier_->notify(notice->title, notice->body);
}

}  // namespace zavel::app
