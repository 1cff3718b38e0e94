#include "app/explorer/device_paths.h"

#include <QDir>

namespace zavel::app {

DevicePaths::DevicePaths(const QString& hostRoot)
    : root_(QDir::cleanPath(QDir(hostRoot).absolutePath())) {}

bool DevicePaths::safeName(const QString& name) {
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return false;
  for (QChar c : name)
    if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) return false;
  return true;
}

QString DevicePaths::join(const QString& folder, const QString& name) {
  if (folder.isEmpty() || folder == QLatin1String("\\")) return QStringLiteral("\\") + name;
  return folder + u'\\' + name;
}

std::optional<QString> DevicePaths::toHost(const QString& devicePath) const {
  if (devicePath.isEmpty() || devicePath == QLatin1String("\\")) return root_;
  if (!devicePath.startsWith(u'\\')) return std::nullopt;
  QString host = root_;
  for (const QString& level : devicePath.mid(1).split(u'\\')) {
    if (!safeName(level)) return std::nullopt;
    host += u'/' + level;
  }
  return QDir::cleanPath(host);
}

}  // namespace zavel::app
