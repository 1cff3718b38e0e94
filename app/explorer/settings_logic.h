// The settings dialog's behaviour: the download folder it shows, and whether "적용" is
// enabled; and where the download folder is kept in the settings.
#pragma once

#include <QString>

#include "app/explorer/device_paths.h"
#include "app/signin/settings_store.h"

namespace zavel::app {

class SettingsLogic {
 public:
  // folder: the current download folder, in device form.
  explicit SettingsLogic(const QString& folder);

  // The folder the text box shows.
  const QString& folder() const { return folder_; }
  // "적용": enabled exactly while the shown folder differs, ignoring case, from the start.
  bool applyEnabled() const;
  // The folder chooser ended with OK with this folder.
  void choose(const QString& folder);

  // The stored download folder (section "user", value "DownPath"). A value that is not a
  // folder inside "My Device" reads as defaultDownloadFolder() of the user's download folder.
  static QString storedDownloadFolder(const SettingsStore& store, const DevicePaths& device);
  static void storeDownloadFolder(SettingsStore& store, const QString& folder);
  // hostDownloads in device form when it is an existing folder inside the device root,
  // else the root "\".
  static QString defaultDownloadFolder(const DevicePaths& device, const QString& hostDownloads);

 private:
  QString start_;
  QString folder_;
};

}  // namespace zavel::app
