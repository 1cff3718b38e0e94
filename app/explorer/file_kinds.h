// What the lists show of a kind of file: the desktop's icon and type name, looked up once
// for each kind (a file name's extension) rather than once for each row, since a folder of
// ten thousand photos holds one kind.
#pragma once

#include <QAbstractFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>
#include <vector>

#include "app/explorer/file_list_model.h"

namespace zavel::app {

class FileKinds {
 public:
  struct Kind {
    QIcon icon;
    QString typeName;  // the desktop's name for the type; empty when it has none
  };

  // Without icons the rows have none; the type names come from the desktop's types alone.
  explicit FileKinds(const QAbstractFileIconProvider* icons = nullptr) : icons_(icons) {}

  void setIconProvider(const QAbstractFileIconProvider* icons);
  // The kind of a file of this name (nothing on the machine is read: a remote name has no
  // file behind it here).
  const Kind& file(const QString& name);
  QIcon folder() const;
  QIcon disk() const;

 private:
  const QAbstractFileIconProvider* icons_;
  QMimeDatabase mime_;
  QHash<QString, Kind> kinds_;  // by lower-case extension; "" for names without one
};

// Gives rows listed from a disk their icons and their files' type names.
void showKinds(std::vector<ListRow>& rows, FileKinds& kinds);

}  // namespace zavel::app
