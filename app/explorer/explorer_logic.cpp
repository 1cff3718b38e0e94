#include "app/explorer/explorer_logic.h"

#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include "app/explorer/list_rows.h"
#include "app/explorer/texts.h"

namespace zavel::app {
namespace {

// The wait cursor for the length of a listing.
class WaitCursor {
 public:
  WaitCursor() {
    if (qGuiApp) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  ~WaitCursor() {
    if (qGuiApp) QGuiApplication::restoreOverrideCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

ExplorerLogic::ExplorerLogic(Document& document, Prompter& prompter, const QString& deviceRoot)
    : document_(document),
      prompter_(prompter),
      device_(deviceRoot),
      remote_levels_(u'/', text::tr(text::kAllDisks)),
      local_levels_(u'\\', text::tr(text::kMyDevice)) {}

void ExplorerLogic::showDisks() {
  std::vector<ListRow> rows = diskRows(document_.disks());
  const QIcon disk = kinds_.disk();
  for (ListRow& row : rows) row.icon = disk;
  sortRows(rows, remote_sort_);
  remote_.setRows(std::move(rows));
  remote_levels_.reset();
  remote_levels_.clearKeys();
  mode_ = Mode::kDiskList;
}

bool ExplorerLogic::connectSelected(const QList<int>& selectedRows) {
  if (selectedRows.size() != 1) {
    prompter_.inform(text::tr(text::kSelectOneClub), PromptIcon::kStop);
    return false;
  }
  const QString name = remote_.cell(selectedRows[0], kColName);
  if (!document_.openDisk(name)) return false;
  remote_levels_.reset();
  remote_levels_.clearKeys();
  remote_levels_.enter(name);
  fillRemote(document_.basePath());
  return true;
}

bool ExplorerLogic::disconnect(const QList<int>& selectedRows) {
  if (!prompter_.confirm(text::tr(text::kDisconnectQuestion), PromptIcon::kQuestion)) return false;
  QString name;
  if (mode_ == Mode::kDiskList) {
    if (selectedRows.size() > 1) {
      prompter_.inform(text::tr(text::kSelectOneToDisconnect), PromptIcon::kNone);
      return false;
    }
    if (selectedRows.isEmpty()) return false;
    name = remote_.cell(selectedRows[0], kColName);
  }
  const bool closed = document_.closeDisk(name);
  if (closed || mode_ == Mode::kFileList) showDisks();
  return closed;
}

void ExplorerLogic::fillRemote(const QString& pathOrKey) {
  const WaitCursor wait;
  std::vector<ListRow> rows;
  if (auto listed = document_.listRemote(pathOrKey)) rows = std::move(*listed);
  showKinds(rows, kinds_);
  sortRows(rows, remote_sort_);
  remote_.setRows(std::move(rows));
  mode_ = Mode::kFileList;
}

void ExplorerLogic::fillLocal(const QString& devicePath) {
  const WaitCursor wait;
  std::vector<ListRow> rows;
  // A folder that cannot be read, or a path that would leave the root, lists as empty.
  if (const std::optional<QString> host = device_.toHost(devicePath)) {
    const QFileInfoList entries = QDir(*host).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::NoSort);
    rows.reserve(static_cast<size_t>(entries.size()));
    const QIcon folder = kinds_.folder();
    for (const QFileInfo& info : entries) {
      const FileKinds::Kind* kind = info.isDir() ? nullptr : &kinds_.file(info.fileName());
      LocalEntry entry{info.fileName(), info.isDir(), info.size(),
                       info.lastModified().toLocalTime(), kind ? kind->typeName : QString()};
      ListRow row = localRow(entry);
      row.icon = kind ? kind->icon : folder;
      rows.push_back(std::move(row));
    }
  }
  sortRows(rows, local_sort_);
  local_.setRows(std::move(rows));
}

QString ExplorerLogic::remoteFolder() const {
  if (document_.clubListing() && remote_levels_.hasKeys()) return remote_levels_.topKey();
  return document_.basePath() + remote_levels_.below(2);
}

std::optional<QString> ExplorerLogic::openRow(List list, int row) {
  FileListModel& model = list == List::kRemote ? remote_ : local_;
  if (row < 0 || row >= model.rowCount()) return std::nullopt;
  const ListRow& r = model.rows()[static_cast<size_t>(row)];
  const QString name = r.cells[kColName];
  if (list == List::kRemote) {
    if (mode_ == Mode::kDiskList) {
      connectSelected({row});
      return std::nullopt;
    }
    // A name from the server that is not one plain level is shown, never entered.
    if (!isFolderRow(r) || !DevicePaths::safeName(name)) return std::nullopt;
    const QString key = r.cells[kColIndex];
    remote_levels_.enter(name);
    if (document_.clubListing() && !key.isEmpty()) {
      remote_levels_.pushKey(key);
      fillRemote(key);
    } else {
      fillRemote(remoteFolder());
    }
    return std::nullopt;
  }
  // A name that would leave its folder is shown but never entered or opened.
  if (!DevicePaths::safeName(name)) return std::nullopt;
  const QString path = DevicePaths::join(localFolder(), name);
  if (isFolderRow(r)) {
    local_levels_.enter(name);
    fillLocal(localFolder());
    return std::nullopt;
  }
  return device_.toHost(path);
}

void ExplorerLogic::chooseLevel(List list, int level) {
  if (list == List::kLocal) {
    local_levels_.choose(level);
    fillLocal(localFolder());
    return;
  }
  if (level == 0 || document_.listing() == nullptr) {
    showDisks();
    return;
  }
  remote_levels_.choose(level);
  fillRemote(remoteFolder());
}

void ExplorerLogic::goUp(List list) {
  PathLevels& levels = list == List::kRemote ? remote_levels_ : local_levels_;
  if (levels.count() > 1) chooseLevel(list, levels.count() - 2);
}

void ExplorerLogic::sortBy(List list, int column) {
  FileListModel& model = list == List::kRemote ? remote_ : local_;
  (list == List::kRemote ? remote_sort_ : local_sort_) = column;
  std::vector<ListRow> rows = model.rows();
  sortRows(rows, column);
  model.setRows(std::move(rows));
}

void ExplorerLogic::refresh(List list) {
  if (list == List::kLocal) {
    fillLocal(localFolder());
  } else if (mode_ == Mode::kDiskList) {
    showDisks();
  } else {
    fillRemote(remoteFolder());
  }
}

}  // namespace zavel::app
