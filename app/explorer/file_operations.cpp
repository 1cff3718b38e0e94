#include "app/explorer/file_operations.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "app/explorer/command_rules.h"
#include "app/explorer/list_rows.h"
#include "app/explorer/texts.h"
#include "protocol/error_numbers.h"

namespace zavel::app {
namespace {

constexpr int32_t kErrExistsToo = 7;

QString folderName(int n) {
  return n == 0 ? text::tr(text::kNewFolder) : text::tr(text::kNewFolderNumbered).arg(n);
}

QByteArray wire(const QString& text) {
  return text.toLocal8Bit();
}

}  // namespace

FileOperations::FileOperations(ExplorerLogic& explorer, Document& document, Prompter& prompter)
    : explorer_(explorer), document_(document), prompter_(prompter) {}

bool FileOperations::canCreate(List list) const {
  if (list == List::kLocal) return true;
  return explorer_.mode() == ExplorerLogic::Mode::kFileList &&
         CommandRules::mayCreate(document_.sessionMode());
}

bool FileOperations::canChange(List list) const {
  if (list == List::kLocal) return true;
  return explorer_.mode() == ExplorerLogic::Mode::kFileList &&
         CommandRules::mayChange(document_.sessionMode());
}

bool FileOperations::canRename(List list, int row) const {
  if (canChange(list)) return true;
  return list == List::kRemote && !fresh_.isEmpty() && canCreate(list) &&
         row < explorer_.remote().rowCount() && remoteItem(row) == fresh_;
}

bool FileOperations::refused(bool allowed) {
  if (!allowed) prompter_.inform(text::tr(text::kNoRights), PromptIcon::kStop);
  return !allowed;
}

bool FileOperations::validName(const QString& name) {
  static const QString kInvalid = QStringLiteral("\\/:*?\"<>|");
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return false;
  for (QChar c : name)
    if (kInvalid.contains(c) || c.category() == QChar::Other_Control) return false;
  return true;
}

int FileOperations::rowNamed(List list, const QString& name) const {
  const FileListModel& model = list == List::kRemote ? explorer_.remote() : explorer_.local();
  for (int r = 0; r < model.rowCount(); ++r)
    if (model.cell(r, kColName) == name) return r;
  return -1;
}

QString FileOperations::remoteItem(int row) const {
  const QString key = explorer_.remote().cell(row, kColIndex);
  if (document_.clubListing() && !key.isEmpty()) return key;
  // A name from the server that is not one plain level ("..", "a/b") names no item here.
  const QString name = explorer_.remote().cell(row, kColName);
  if (!DevicePaths::safeName(name)) return QString();
  return explorer_.remoteFolder() + u'/' + name;
}

int FileOperations::newFolder(List list) {
  if (refused(canCreate(list))) return -1;
  for (int n = 0; n <= kMaxFolderNumber; ++n) {
    const QString name = folderName(n);
    if (list == List::kRemote) {
      QString path = explorer_.remoteFolder() + u'/' + name;
      path.replace(QStringLiteral("//"), QStringLiteral("/"));
      if (zavel_MakeFolder(wire(path).constData(), document_.listing())) {
        explorer_.refresh(list);
        const int row = rowNamed(list, name);
        fresh_ = row < 0 ? QString() : remoteItem(row);
        return row;
      }
      const int32_t error = zavel_GetLastError();
      if (error != kErrExists && error != kErrExistsToo) break;
      continue;
    }
    const std::optional<QString> host =
        explorer_.devicePaths().toHost(DevicePaths::join(explorer_.localFolder(), name));
    if (!host) break;
    if (QDir().mkdir(*host)) {
      explorer_.refresh(list);
      return rowNamed(list, name);
    }
    if (!QFileInfo::exists(*host)) break;
  }
  if (list == List::kRemote)
    prompter_.inform(text::tr(text::kRemoteFolderFailed), PromptIcon::kNone);
  else
    prompter_.inform(text::tr(text::kLocalFolderFailed).arg(explorer_.localFolder()),
                     PromptIcon::kStop);
  return -1;
}

bool FileOperations::rename(List list, int row, const QString& text) {
  FileListModel& model = list == List::kRemote ? explorer_.remote() : explorer_.local();
  if (row < 0 || row >= model.rowCount() || refused(canRename(list, row))) return false;
  // The folder just made is named once; after that the rights alone decide.
  if (list == List::kRemote) fresh_.clear();
  const QString old_name = model.cell(row, kColName);
  if (text == old_name) return false;
  if (!validName(text)) {
    prompter_.inform(text::tr(text::kInvalidName), PromptIcon::kStop);
    return false;
  }
  const bool folder = isFolderRow(model.rows()[static_cast<size_t>(row)]);
  if (list == List::kRemote) {
    const QString target = explorer_.remoteFolder() + u'/' + text;
    if (remoteItem(row).isEmpty()) return false;
    if (!zavel_RenameFile(wire(remoteItem(row)).constData(), wire(target).constData(),
                          document_.listing())) {
      prompter_.inform(text::tr(folder ? text::kFolderExists : text::kFileExists),
                       PromptIcon::kInformation);
      return false;
    }
  } else {
    const auto from =
        explorer_.devicePaths().toHost(DevicePaths::join(explorer_.localFolder(), old_name));
    const auto to =
        explorer_.devicePaths().toHost(DevicePaths::join(explorer_.localFolder(), text));
    std::error_code error;
    if (from && to && std::filesystem::exists(to->toStdString(), error)) {
      prompter_.inform(text::tr(folder ? text::kFolderExists : text::kFileExists),
                       PromptIcon::kInformation);
      return false;
    }
    if (!from || !to ||
        std::rename(QFile::encodeName(*from).constData(), QFile::encodeName(*to).constData()) !=
            0) {
      const bool denied = errno == EACCES || errno == EPERM;
      prompter_.inform(
          text::tr(denied ? (folder ? text::kFolderDenied : text::kFileDenied)
                          : (folder ? text::kFolderChangeFailed : text::kFileChangeFailed)),
          PromptIcon::kStop);
      return false;
    }
  }
  model.setCell(row, kColName, text);
  return true;
}

void FileOperations::remove(List list, const QList<int>& rows) {
  if (rows.isEmpty() || refused(canChange(list))) return;
  FileListModel& model = list == List::kRemote ? explorer_.remote() : explorer_.local();
  const char* question = text::kDeleteAll;
  if (rows.size() == 1)
    question = isFolderRow(model.rows().at(static_cast<size_t>(rows[0]))) ? text::kDeleteFolder
                                                                          : text::kDeleteFile;
  if (!prompter_.confirm(text::tr(question), PromptIcon::kQuestion)) return;
  for (int row : rows) {
    if (row < 0 || row >= model.rowCount()) continue;
    if (list == List::kRemote) {
      const QString item = remoteItem(row);
      if (!item.isEmpty()) zavel_DeleteFile(wire(item).constData(), 1, document_.listing());
      continue;
    }
    const QString name = model.cell(row, kColName);
    if (!DevicePaths::safeName(name)) continue;
    if (const auto host =
            explorer_.devicePaths().toHost(DevicePaths::join(explorer_.localFolder(), name)))
      removeTree(*host);
  }
  explorer_.refresh(list);
}

void FileOperations::removeTree(const QString& hostPath) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path path(hostPath.toStdString());
  // A link is removed itself, whatever it points to.
  if (fs::is_directory(fs::symlink_status(path, error))) {
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error))
      removeTree(QString::fromStdString(entry.path().string()));
  }
  fs::remove(path, error);
}

}  // namespace zavel::app
