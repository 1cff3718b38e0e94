#include "app/explorer/settings_logic.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <optional>

namespace zavel::app {
namespace {

const QString kSection = QStringLiteral("user");
const QString kValue = QStringLiteral("DownPath");
const QString kRoot = QStringLiteral("\\");

bool existingFolder(const DevicePaths& device, const QString& folder) {
  const std::optional<QString> host = device.toHost(folder);
  return host && QFileInfo(*host).isDir();
}

}  // namespace

SettingsLogic::SettingsLogic(const QString& folder) : start_(folder), folder_(folder) {}

bool SettingsLogic::applyEnabled() const {
  return folder_.compare(start_, Qt::CaseInsensitive) != 0;
}

void SettingsLogic::choose(const QString& folder) {
  folder_ = folder;
}

QString SettingsLogic::storedDownloadFolder(const SettingsStore& store, const DevicePaths& device) {
  // A stored folder that is not there (such as "\Program Files\Tovian\zavel\Download"), or
  // a path that leaves the root, would fail every download.
  const QString stored = store.getText(kSection, kValue);
  if (stored.startsWith(u'\\') && existingFolder(device, stored)) return stored;
  return defaultDownloadFolder(device,
                               QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
}

void SettingsLogic::storeDownloadFolder(SettingsStore& store, const QString& folder) {
  store.writeText(kSection, kValue, folder);
}

QString SettingsLogic::defaultDownloadFolder(const DevicePaths& device,
                                             const QString& hostDownloads) {
  if (hostDownloads.isEmpty()) return kRoot;
  const QString host = QDir::cleanPath(QDir(hostDownloads).absolutePath());
  const QString& root = device.hostRoot();
  if (host == root) return kRoot;
  const QString prefix = root.endsWith(u'/') ? root : root + u'/';
  if (!host.startsWith(prefix)) return kRoot;
  const QString folder = kRoot + host.mid(prefix.size()).replace(u'/', u'\\');
  return existingFolder(device, folder) ? folder : kRoot;
}

}  // namespace zavel::app
