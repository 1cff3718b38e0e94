#include "app/explorer/folder_chooser_logic.h"

#include <QCollator>
#include <QDir>
#include <algorithm>
#include <optional>

namespace zavel::app {
namespace {

const QString kRoot = QStringLiteral("\\");

}  // namespace

FolderChooserLogic::FolderChooserLogic(const DevicePaths& device) : device_(device) {}

void FolderChooserLogic::start(const QString& folder) {
  const bool usable = folder.startsWith(u'\\') && device_.toHost(folder).has_value();
  visited_.clear();
  selected_ = -1;
  go(usable ? folder : kRoot);
}

bool FolderChooserLogic::enter(const QString& name) {
  if (!DevicePaths::safeName(name) || !subfolders_.contains(name)) return false;
  go(DevicePaths::join(current_, name));
  return true;
}

void FolderChooserLogic::selectVisited(int index) {
  if (index < 0 || index >= visited_.size()) return;
  selected_ = index;
  current_ = visited_[index];
  list();
}

void FolderChooserLogic::up() {
  if (current_ == kRoot) return;
  // Device paths start with "\", so a last "\" at 0 ("\a") means the root; a path without
  // the leading "\" is not one of ours, and the root is the one safe place to go.
  const qsizetype last = current_.lastIndexOf(u'\\');
  go(last <= 0 || !current_.startsWith(u'\\') ? kRoot : current_.left(last));
}

void FolderChooserLogic::go(const QString& folder) {
  current_ = folder;
  selected_ = static_cast<int>(visited_.indexOf(folder));
  if (selected_ < 0) {
    visited_.append(folder);
    selected_ = static_cast<int>(visited_.size()) - 1;
  }
  list();
}

void FolderChooserLogic::list() {
  subfolders_.clear();
  if (const std::optional<QString> host = device_.toHost(current_))
    subfolders_ =
        QDir(*host).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::NoSort);
  // "a2" before "a10", "b" next to "B" (in the C locale Qt compares code points, so there
  // only the case is ignored).
  QCollator collator;
  collator.setNumericMode(true);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(subfolders_.begin(), subfolders_.end(), collator);
}

}  // namespace zavel::app
