// The commands that change files in either list: new folder, rename, delete. Remote changes
// go through the listing session; local ones to the device root's folders, never outside it.
#pragma once

#include <QList>
#include <QString>

#include "app/explorer/explorer_logic.h"

namespace zavel::app {

class FileOperations {
 public:
  using List = ExplorerLogic::List;
  // The remote folder numbering gives up after this many taken names.
  static constexpr int kMaxFolderNumber = 1000;

  FileOperations(ExplorerLogic& explorer, Document& document, Prompter& prompter);

  // What the session's rights allow on the remote list (modes 1 and 4 everything, 2 new
  // folders and uploads, 3 nothing); the local list allows everything.
  bool canCreate(List list) const;
  bool canChange(List list) const;
  // Whether a row may be renamed: with the rights to change, or the remote folder this
  // object has just made, whose name is part of making it.
  bool canRename(List list, int row) const;

  // Makes "새 폴더" (or the first free "새 폴더 (n)") in the list's folder; the new row's
  // index for renaming at once, or -1. A change the rights do not allow is refused, with a
  // message, before anything is sent; so are rename and remove.
  int newFolder(List list);
  // Renames a row to text; false (the row kept) after telling the user why.
  bool rename(List list, int row, const QString& text);
  // Asks, then deletes the rows (local folders with everything in them). Failures are not
  // reported: the refreshed list shows what is left.
  void remove(List list, const QList<int>& rows);

  // A name the user may give: none of \ / : * ? " < > |, and not "." or "..".
  static bool validName(const QString& name);
  // Deletes a local folder depth first without following symbolic links out of it.
  static void removeTree(const QString& hostPath);

 private:
  QString remoteItem(int row) const;
  int rowNamed(List list, const QString& name) const;
  bool refused(bool allowed);

  ExplorerLogic& explorer_;
  Document& document_;
  Prompter& prompter_;
  QString fresh_;  // the remote folder just made (path or club key), until it is named
};

}  // namespace zavel::app
