// "My Device": the device root folder on the host. Inside the program local paths keep the
// device form ("\" for the root, "\photos\2004" below it); this maps them to host paths and
// refuses any that would leave the root.
#pragma once

#include <QString>
#include <optional>

namespace zavel::app {

class DevicePaths {
 public:
  // hostRoot: the folder shown as "My Device" (made absolute and clean).
  explicit DevicePaths(const QString& hostRoot);

  const QString& hostRoot() const { return root_; }
  // The host path of a device path, or none when a level is "..", holds a "/" or a control
  // character, or the path is not in device form.
  std::optional<QString> toHost(const QString& devicePath) const;
  // folder + "\" + name in device form ("\" + name at the root).
  static QString join(const QString& folder, const QString& name);
  // A name that stays inside its folder: not empty, not "." or "..", no "/" or "\", no
  // control characters.
  static bool safeName(const QString& name);

 private:
  QString root_;
};

}  // namespace zavel::app
