#include "app/explorer/transfer_manager.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStorageInfo>
#include <QThread>
#include <algorithm>
#include <map>
#include <memory>

#include "app/explorer/command_rules.h"
#include "app/explorer/list_rows.h"
#include "app/explorer/texts.h"
#include "client/retry.h"

namespace zavel::app {
namespace {

// Folder levels a batch goes down; deeper folders are left out.
constexpr int kMaxDepth = 64;
// Left-out items named in the message; the rest are counted.
constexpr int kLeftOutNamed = 10;

QString fromLibrary(const char* text) {
  return text != nullptr ? QString::fromLocal8Bit(text) : QString();
}

// The library's text for the calling thread's last error.
QString libraryError() {
  QString text = fromLibrary(zavel_FormatMessage(zavel_GetLastError()));
  if (text.isEmpty()) text = fromLibrary(zavel_GetLastErrStr());
  return text;
}

QString joinRemote(const QString& folder, const QString& rel) {
  QString path = folder + u'/' + rel;
  while (path.contains(QLatin1String("//"))) path.replace(QLatin1String("//"), QLatin1String("/"));
  return path;
}

// What a listing entry's name holds below the listed folder: empty for the folder itself,
// none for a name that is not below it.
std::optional<QString> childOf(const QString& name, const QString& listed) {
  if (name == listed) return QString();
  const QString prefix = listed.endsWith(u'/') ? listed : listed + u'/';
  if (!name.startsWith(prefix)) return std::nullopt;
  return name.mid(prefix.size());
}

// The device answers 0 or exactly 1,024 bytes when it cannot take anything.
bool roomless(uint64_t bytes) {
  return bytes == 0 || bytes == 1024;
}

QString lastLevel(const QString& path) {
  const qsizetype at = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
  return path.mid(at + 1);
}

TransferItem folderItem(const QString& remote) {
  TransferItem item;
  item.folder = true;
  item.remote = remote;
  return item;
}

TransferItem fileItem(const QString& remote, int64_t size) {
  TransferItem item;
  item.size = static_cast<uint64_t>(std::max<int64_t>(size, 0));
  item.remote = remote;
  return item;
}

struct ListingCloser {
  void operator()(ZavelFileInfoList* list) const { zavel_CloseFileInfo(list); }
};
using Listing = std::unique_ptr<ZavelFileInfoList, ListingCloser>;

struct SessionDestroyer {
  void operator()(ZavelSession* session) const { zavel_DestroySession(session); }
};
using OwnedSession = std::unique_ptr<ZavelSession, SessionDestroyer>;

}  // namespace

std::optional<uint64_t> VolumeFreeSpace::bytesFree(const QString& hostFolder) {
  const QStorageInfo volume(hostFolder);
  if (!volume.isValid() || !volume.isReady() || volume.bytesAvailable() < 0) return std::nullopt;
  return static_cast<uint64_t>(volume.bytesAvailable());
}

// One batch's lifetime: the window is disabled and the list and answers are fresh while it
// runs; the list is freed whatever the outcome.
class TransferManager::Batch {
 public:
  explicit Batch(TransferManager& manager) : m_(manager) {
    m_.running_ = true;
    m_.items_.clear();
    m_.total_ = 0;
    m_.left_out_.clear();
    m_.remembered_ = {};
    emit m_.batchStarted();
  }
  ~Batch() {
    std::vector<TransferItem>().swap(m_.items_);
    m_.running_ = false;
    emit m_.batchFinished();
  }
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;

 private:
  TransferManager& m_;
};

TransferManager::TransferManager(ExplorerLogic& explorer, Document& document, Prompter& prompter,
                                 TransferUi& ui, FreeSpace& space)
    : explorer_(explorer),
      document_(document),
      prompter_(prompter),
      ui_(ui),
      space_(space),
      window_([this](uint32_t message, uintptr_t, intptr_t lparam) {
        return onProgress(message, lparam);
      }) {}

QString TransferManager::displayPath() const {
  return explorer_.remoteLevels().below(1);
}

void TransferManager::leaveOut(const QString& name, const char* why) {
  left_out_ << text::tr(why).arg(name);
}

void TransferManager::tellLeftOut() {
  if (left_out_.isEmpty()) return;
  QStringList named = left_out_.mid(0, kLeftOutNamed);
  if (left_out_.size() > kLeftOutNamed)
    named << text::tr(text::kMoreItems).arg(left_out_.size() - kLeftOutNamed);
  prompter_.inform(text::tr(text::kItemsLeftOut).arg(named.join(u'\n')), PromptIcon::kStop);
}

bool TransferManager::add(TransferItem item, const LocalBase& base, const QStringList& levels) {
  item.name = levels.join(u'/');
  for (const QString& level : levels) {
    if (!DevicePaths::safeName(level)) {
      leaveOut(item.name, text::kUnsafeName);
      return false;
    }
  }
  item.host = base.host + u'/' + levels.join(u'/');
  if (base.device) {
    QString local = *base.device;
    for (const QString& level : levels) local = DevicePaths::join(local, level);
    item.local = local;
  } else {
    item.local = item.host;
  }
  if (item.host.toLocal8Bit().size() > kMaxPathBytes ||
      item.remote.toLocal8Bit().size() > kMaxPathBytes) {
    leaveOut(item.name, text::kPathTooLong);
    return false;
  }
  if (!item.folder) total_ += item.size;
  items_.push_back(std::move(item));
  return true;
}

void TransferManager::listRemote(const QString& listed, const LocalBase& base,
                                 const QStringList& levels, bool club, int depth) {
  if (depth >= kMaxDepth || listed.toLocal8Bit().size() > kMaxPathBytes) {
    leaveOut(levels.join(u'/'), text::kPathTooLong);
    return;
  }
  int32_t count = 0;
  const Listing list(
      zavel_OpenFileInfo(listed.toLocal8Bit().constData(), 63, 1, &count, document_.listing()));
  if (!list) {
    prompter_.inform(text::tr(text::kListingFailed)
                         .arg(fromLibrary(zavel_GetLastErrStr()))
                         .arg(zavel_GetLastError()),
                     PromptIcon::kStop);
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    const ZavelFileInfo* info = zavel_ReadFileInfo(list.get(), i);
    if (info == nullptr) continue;
    // Entry 0 is the folder itself; its item comes before its contents.
    if (i == 0) {
      if (!add(folderItem(listed), base, levels)) return;
      continue;
    }
    const QString name = fromLibrary(info->name);
    const std::optional<QString> child = childOf(name, listed);
    if (child && child->isEmpty()) continue;
    // A name from the server must be one plain level below the listed folder.
    if (!child || !DevicePaths::safeName(*child)) {
      leaveOut(levels.join(u'/') + u'/' + child.value_or(name), text::kUnsafeName);
      continue;
    }
    const bool folder = info->type == ZAVEL_TYPE_FOLDER;
    QString remote = joinRemote(listed, *child);
    if (club) {
      if (info->detail == nullptr) continue;
      remote = clubKey(static_cast<const ZavelClubEntry*>(info->detail)->jidx, folder);
    }
    if (folder) {
      listRemote(remote, base, levels + QStringList{*child}, club, depth + 1);
    } else {
      add(fileItem(remote, info->size), base, levels + QStringList{*child});
    }
  }
}

void TransferManager::listLocal(const LocalBase& base, const QStringList& levels,
                                const QString& remoteFolder, int depth) {
  if (depth >= kMaxDepth) {
    leaveOut(levels.join(u'/'), text::kPathTooLong);
    return;
  }
  const QString remote = joinRemote(remoteFolder, levels.join(u'/'));
  if (!add(folderItem(remote), base, levels)) return;
  const QString host = items_.back().host;
  const QFileInfoList entries = QDir(host).entryInfoList(
      QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
  for (const QFileInfo& entry : entries) {
    // A linked folder may lead back up the tree: it is not followed.
    if (entry.isDir() && entry.isSymLink()) continue;
    const QStringList child = levels + QStringList{entry.fileName()};
    if (entry.isDir())
      listLocal(base, child, remoteFolder, depth + 1);
    else
      add(fileItem(joinRemote(remoteFolder, child.join(u'/')), entry.size()), base, child);
  }
}

void TransferManager::download(const QList<int>& rows) {
  if (running_) return;
  if (rows.isEmpty()) {
    prompter_.inform(text::tr(text::kNothingToDownload), PromptIcon::kInformation);
    return;
  }
  if (document_.listing() == nullptr) return;
  const std::optional<QString> target_host =
      explorer_.devicePaths().toHost(explorer_.localFolder());
  if (!target_host) return;

  const Batch batch(*this);
  const bool club = document_.clubListing();
  const QString folder = explorer_.remoteFolder();
  // The root as the settings and the folder chooser write it: one backslash.
  download_folder_ =
      explorer_.localFolder().isEmpty() ? QStringLiteral("\\") : explorer_.localFolder();
  target_host_ = *target_host;
  const LocalBase base{target_host_, download_folder_};
  const FileListModel& model = explorer_.remote();
  for (int row : rows) {
    if (row < 0 || row >= model.rowCount()) continue;
    const ListRow& r = model.rows()[static_cast<size_t>(row)];
    const QString name = r.cells[kColName];
    const QString key = r.cells[kColIndex];
    const QString remote = club && !key.isEmpty() ? key : joinRemote(folder, name);
    if (isFolderRow(r))
      listRemote(remote, base, {name}, club, 0);
    else
      add(fileItem(remote, r.cells[kColSize].toLongLong()), base, {name});
  }
  tellLeftOut();
  if (items_.empty()) return;

  const std::optional<uint64_t> free = space_.bytesFree(target_host_);
  if (!free) {
    prompter_.inform(text::tr(text::kDeviceInfoFailed), PromptIcon::kStop);
    return;
  }
  if (roomless(*free)) {
    prompter_.inform(text::tr(text::kNoRoom), PromptIcon::kStop);
    return;
  }
  if (total_ > *free && !prompter_.confirm(text::tr(text::kNoRoomContinue), PromptIcon::kQuestion))
    return;
  run(Direction::kDownload);
}

void TransferManager::upload(const QList<int>& rows, const QStringList& hostPaths) {
  ZavelSession* listing = document_.listing();
  if (running_ || listing == nullptr || explorer_.mode() != ExplorerLogic::Mode::kFileList) return;
  // The member's rights hold whichever way the upload was asked for: nothing is sent.
  if (!CommandRules::mayCreate(document_.sessionMode())) {
    prompter_.inform(text::tr(text::kNoRights), PromptIcon::kStop);
    return;
  }
  if (rows.isEmpty() && hostPaths.isEmpty()) {
    prompter_.inform(text::tr(text::kNothingToUpload), PromptIcon::kInformation);
    return;
  }
  DiskSpaceInfo space{};
  if (!zavel_GetDiskSpace(&space, listing)) return;
  if (space.total < 5) {
    if (!prompter_.askYesNo(text::tr(text::kZeroCapacity), PromptIcon::kQuestion))
      emit disconnectRequested();
    return;
  }
  if (space.free == 0) {
    noSpace();
    return;
  }
  const std::optional<QString> source_host =
      explorer_.devicePaths().toHost(explorer_.localFolder());
  if (!source_host) return;

  const Batch batch(*this);
  const QString folder = explorer_.remoteFolder();
  const LocalBase base{*source_host, explorer_.localFolder()};
  const FileListModel& model = explorer_.local();
  auto addOne = [&](const LocalBase& from, const QString& name) {
    const QFileInfo entry(from.host + u'/' + name);
    if (entry.isDir())
      listLocal(from, {name}, folder, 0);
    else
      add(fileItem(joinRemote(folder, name), entry.size()), from, {name});
  };
  for (int row : rows)
    if (row >= 0 && row < model.rowCount()) addOne(base, model.cell(row, kColName));
  for (const QString& path : hostPaths) {
    const QFileInfo entry(path);
    addOne({entry.absolutePath(), std::nullopt}, entry.fileName());
  }
  tellLeftOut();
  if (items_.empty()) return;

  if (total_ > static_cast<uint64_t>(space.block) * space.free &&
      !prompter_.confirm(text::tr(text::kNoRoomContinue), PromptIcon::kQuestion)) {
    noSpace();
    return;
  }
  run(Direction::kUpload);
}

// A club disk takes a path of a folder's key and one name ("<77@>/name"), so a folder
// uploaded into a club disk is made, then found by its key for what goes inside it.
// Without this every file of a tree would land in the top folder, one overwriting another.
QString TransferManager::clubFolderKey(const QString& parent, const QString& name) {
  int32_t count = 0;
  const Listing list(
      zavel_OpenFileInfo(parent.toLocal8Bit().constData(), 63, 1, &count, document_.listing()));
  for (int32_t i = 1; list && i < count; ++i) {
    const ZavelFileInfo* info = zavel_ReadFileInfo(list.get(), i);
    if (info != nullptr && info->type == ZAVEL_TYPE_FOLDER && info->detail != nullptr &&
        childOf(fromLibrary(info->name), parent) == name)
      return clubKey(static_cast<const ZavelClubEntry*>(info->detail)->jidx, true);
  }
  return QString();
}

void TransferManager::run(Direction direction) {
  const bool down = direction == Direction::kDownload;
  const bool club_upload = !down && document_.clubListing();
  const QString top = explorer_.remoteFolder();
  std::map<QString, QString> club_keys;  // an uploaded folder's name → its key
  progress_.begin(down ? ProgressState::Mode::kDownload : ProgressState::Mode::kUpload,
                  static_cast<int>(items_.size()), total_, displayPath());
  ui_.openProgress(progress_, [this] { requestCancel(); });
  OwnedSession session(zavel_DuplicateSession(document_.listing()));
  const QString session_error = session ? QString() : libraryError();
  bool failed = !session;
  bool file_failed = false;  // told by reportFailure once the batch has ended
  int done = 0;
  bool refresh = true;
  for (TransferItem& item : items_) {
    if (failed || progress_.cancelled() || !ui_.progressOpen()) break;
    if (club_upload) {
      const QString parent = item.name.section(u'/', 0, -2);
      const auto key = club_keys.find(parent);
      const QString base = parent.isEmpty() ? top : key != club_keys.end() ? key->second : "";
      // The folder above was not made: its contents cannot go anywhere.
      if (base.isEmpty() && !item.folder) {
        failure_ = text::tr(text::kRemoteFolderFailed);
        failed = file_failed = true;
        break;
      }
      item.remote = base.isEmpty() ? QString() : joinRemote(base, item.name.section(u'/', -1));
    }
    if (item.folder) {
      // An existing folder is fine; one that cannot be made fails its files' transfers.
      if (down) {
        QDir().mkpath(item.host);
      } else if (!item.remote.isEmpty()) {
        zavel_MakeFolder(item.remote.toLocal8Bit().constData(), document_.listing());
        if (club_upload)
          club_keys[item.name] =
              clubFolderKey(item.remote.section(u'/', 0, -2), item.name.section(u'/', -1));
      }
      progress_.finishWithoutBytes(item.local);
      ui_.showProgress(true);
      continue;
    }
    switch (transferOne(direction, session.get(), item)) {
      case kSkipped:
        progress_.finishWithoutBytes(item.local);
        ui_.showProgress(true);
        break;
      case kFailed:
        failed = file_failed = true;
        break;
      case kDone:
        if (!progress_.cancelled()) ++done;
        break;
    }
  }
  BatchOutcome outcome;
  outcome.download = down;
  outcome.files = static_cast<int>(
      std::count_if(items_.begin(), items_.end(), [](const TransferItem& i) { return !i.folder; }));
  outcome.filesDone = done;
  outcome.failed = failed;
  outcome.cancelled = !failed && (progress_.cancelled() || !ui_.progressOpen());
  outcome.folder = down ? target_host_ : displayPath();
  emit batchEnded(outcome);
  if (!session) prompter_.inform(session_error, PromptIcon::kStop);
  if (file_failed) refresh = reportFailure(direction);
  session.reset();
  if (ui_.progressOpen() && (failed || progress_.cancelled())) ui_.closeProgress();
  if (!restarted_.isEmpty())
    prompter_.inform(text::tr(text::kSentAgainFromStart).arg(restarted_.join(u'\n')),
                     PromptIcon::kInformation);
  restarted_.clear();
  if (!refresh) return;
  if (down)
    explorer_.fillLocal(explorer_.localFolder());
  else
    explorer_.fillRemote(explorer_.remoteFolder());
}

bool TransferManager::reportFailure(Direction direction) {
  if (direction == Direction::kDownload) {
    const std::optional<uint64_t> free = space_.bytesFree(target_host_);
    if (!free) return true;
    prompter_.inform(roomless(*free) ? text::tr(text::kNoRoom) : failure_, PromptIcon::kStop);
    return true;
  }
  progress_.cancel();
  DiskSpaceInfo space{};
  if (!zavel_GetDiskSpace(&space, document_.listing())) {
    ui_.closeProgress();
    return false;
  }
  if (space.free == 0)
    noSpace();
  else
    prompter_.inform(failure_, PromptIcon::kStop);
  return true;
}

std::optional<uint64_t> TransferManager::startOf(int64_t sourceSize, int64_t targetSize,
                                                 const QString& name) {
  using Answer = TransferUi::Answer;
  using Question = TransferUi::Question;
  if (targetSize < 0) return 0;
  const Question question = targetSize >= sourceSize ? Question::kOverwrite : Question::kResume;
  std::optional<Answer>& remembered = remembered_[question == Question::kResume ? 0 : 1];
  Answer answer;
  if (remembered) {
    answer = *remembered;
  } else {
    const char* format =
        question == Question::kResume ? text::kResumeQuestion : text::kOverwriteQuestion;
    const TransferUi::Choice choice = ui_.ask(question, text::tr(format).arg(name));
    answer = choice.answer;
    // Resuming is offered only for a target smaller than its source.
    if (question == Question::kOverwrite && answer == Answer::kResume) answer = Answer::kOverwrite;
    if (choice.applyToAll) remembered = answer;
  }
  switch (answer) {
    case Answer::kResume:
      return static_cast<uint64_t>(targetSize);
    case Answer::kOverwrite:
      return 0;
    case Answer::kSkip:
      break;
  }
  return std::nullopt;
}

TransferManager::Result TransferManager::transferOne(Direction direction, ZavelSession* session,
                                                     const TransferItem& item) {
  const bool down = direction == Direction::kDownload;
  const QByteArray remote = item.remote.toLocal8Bit();
  const QByteArray host = item.host.toLocal8Bit();
  const QFileInfo local(item.host);
  const int64_t local_size = local.isFile() ? local.size() : -1;
  int64_t source = 0;
  int64_t target = 0;
  if (down) {
    source = zavel_GetFileSize(remote.constData(), session);
    if (source < 0) {
      failure_ = libraryError();
      return kFailed;
    }
    target = local_size;
  } else {
    source = local_size;
    if (source < 0) {
      failure_ = text::tr(text::kLocalFileMissing).arg(item.local);
      return kFailed;
    }
    target = zavel_GetFileSize(remote.constData(), session);
  }
  const std::optional<uint64_t> start = startOf(source, target, lastLevel(item.local));
  if (!start) return kSkipped;

  client::FileTransfer transfer;
  transfer.upload = !down;
  transfer.remote = remote.toStdString();
  transfer.local = host.toStdString();
  transfer.start = *start;
  transfer.end = static_cast<uint64_t>(source);
  transfer.window = &window_;
  transfer.message = down ? kDownloadMessage : kUploadMessage;
  progress_.startFile(item.local, *start, transfer.end);
  ui_.showProgress(true);
  // A lost connection is tried again, the dialog saying so; a part that is not the start of
  // the source is sent again from the start, and the user is told once the batch is over.
  client::RetryEvents events;
  events.retrying = [this](int retry, int of, int, uint64_t, int32_t) {
    progress_.setRetrying(retry, of);
    ui_.showProgress(true);
  };
  events.restarted = [this, &item](uint64_t) {
    restarted_ << item.local;
    progress_.startFile(item.local, 0, progress_.currentEnd());
  };
  events.wait = [this](int ms) {
    QElapsedTimer waited;
    waited.start();
    while (!progress_.cancelled() && waited.elapsed() < ms) {
      ui_.letEventsThrough();
      QThread::msleep(20);
    }
    return !progress_.cancelled();
  };
  const bool ok =
      client::transferFile(session, transfer, progress_.cancelFlag(), retry_policy_, events);
  progress_.setRetrying(0, 0);
  if (!ok) {
    failure_ = libraryError();
    return kFailed;
  }
  // A cancelled transfer also returns success; its file is not finished.
  if (!progress_.cancelled()) {
    progress_.fileDone();
    ui_.showProgress(true);
  }
  return kDone;
}

intptr_t TransferManager::onProgress(uint32_t message, intptr_t lparam) {
  if (!running_ || (message != kUploadMessage && message != kDownloadMessage) || lparam == 0)
    return 0;
  const auto* report = reinterpret_cast<const TransferProgress*>(lparam);
  progress_.report(report->position, report->spec != nullptr ? report->spec->end : 0,
                   report->elapsed);
  if (ui_.progressOpen()) ui_.showProgress(false);
  ui_.letEventsThrough();
  return 0;
}

void TransferManager::requestCancel() {
  if (!running_ || progress_.complete()) {
    ui_.closeProgress();
    return;
  }
  if (prompter_.confirm(progress_.cancelQuestion(), PromptIcon::kQuestion)) progress_.cancel();
}

void TransferManager::noSpace() {
  if (!ui_.showNoSpace(text::tr(text::kDiskFull))) return;
  progress_.cancel();
  emit capacityRequested();
}

}  // namespace zavel::app
