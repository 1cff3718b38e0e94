#include "app/explorer/file_kinds.h"

#include <QFileInfo>

#include "app/explorer/list_rows.h"

namespace zavel::app {

void FileKinds::setIconProvider(const QAbstractFileIconProvider* icons) {
  icons_ = icons;
  kinds_.clear();
}

const FileKinds::Kind& FileKinds::file(const QString& name) {
  const qsizetype dot = name.lastIndexOf(u'.');
  const qsizetype slash = name.lastIndexOf(u'/');
  const QString extension = dot > slash + 1 ? name.mid(dot + 1).toLower() : QString();
  auto it = kinds_.find(extension);
  if (it != kinds_.end()) return *it;
  // One name of the kind stands for all of them.
  const QString sample = extension.isEmpty() ? QStringLiteral("file") : "file." + extension;
  Kind kind;
  const QMimeType type = mime_.mimeTypeForFile(sample, QMimeDatabase::MatchExtension);
  if (!type.isDefault()) kind.typeName = type.comment();
  if (icons_ != nullptr) {
    kind.icon = icons_->icon(QFileInfo(sample));
    if (kind.icon.isNull()) kind.icon = icons_->icon(QAbstractFileIconProvider::File);
  }
  return *kinds_.insert(extension, kind);
}

QIcon FileKinds::folder() const {
  return icons_ != nullptr ? icons_->icon(QAbstractFileIconProvider::Folder) : QIcon();
}

QIcon FileKinds::disk() const {
  return icons_ != nullptr ? icons_->icon(QAbstractFileIconProvider::Network) : QIcon();
}

void showKinds(std::vector<ListRow>& rows, FileKinds& kinds) {
  const QIcon folder = kinds.folder();
  for (ListRow& row : rows) {
    if (isFolderRow(row)) {
      row.icon = folder;
      continue;
    }
    const FileKinds::Kind& kind = kinds.file(row.cells[kColName]);
    row.icon = kind.icon;
    row.cells[kColType] = fileTypeText(row.cells[kColName], kind.typeName);
  }
}

}  // namespace zavel::app
