// The settings dialog: the download folder, chosen with the folder chooser; "저장" and
// "적용" end it with OK, "취소" with Cancel. On OK the caller stores folder() with
// SettingsLogic::storeDownloadFolder and downloads there.
#pragma once

#include <QDialog>

#include "app/explorer/device_paths.h"
#include "app/explorer/settings_logic.h"

class QLineEdit;
class QPushButton;

namespace zavel::app {

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  SettingsDialog(SettingsLogic& logic, const DevicePaths& device, QWidget* parent = nullptr);

  const QString& folder() const { return logic_.folder(); }

 private:
  void chooseFolder();
  void pull();

  SettingsLogic& logic_;
  DevicePaths device_;
  QLineEdit* folder_box_;
  QPushButton* apply_;
};

}  // namespace zavel::app
