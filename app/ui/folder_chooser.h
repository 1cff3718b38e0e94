// The folder chooser: the drop-down list of visited folders, "위로", the current folder's
// subfolders, and OK/Cancel. It shows FolderChooserLogic and hands it the user's clicks.
#pragma once

#include <QDialog>
#include <QFileIconProvider>

#include "app/explorer/folder_chooser_logic.h"

class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace zavel::app {

class FolderChooser : public QDialog {
  Q_OBJECT

 public:
  // The logic has been started at the folder to show first.
  explicit FolderChooser(FolderChooserLogic& logic, QWidget* parent = nullptr);

  // The folder chosen with OK.
  const QString& chosen() const { return logic_.current(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void pull();
  void rowDoubleClicked(QTreeWidgetItem* item);

  FolderChooserLogic& logic_;
  QFileIconProvider icons_;
  QComboBox* visited_box_;
  QTreeWidget* folder_list_;
};

}  // namespace zavel::app
