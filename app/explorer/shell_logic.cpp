#include "app/explorer/shell_logic.h"

#include <algorithm>

#include "app/explorer/shell_texts.h"

namespace zavel::app {

QString shortSize(uint64_t bytes) {
  static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  size_t unit = 0;
  while (value / 1024 >= 1 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  // Four characters of "%f", three when the fourth is the point. Beyond 9,999 TB the whole
  // number stays: cutting it would show a far smaller disk.
  QString digits = QString::asprintf("%f", value);
  const qsizetype point = digits.indexOf(u'.');
  const qsizetype keep = std::max<qsizetype>(4, point);
  if (digits.size() > keep) digits.truncate(keep);
  if (digits.endsWith(u'.')) digits.chop(1);
  return digits + QLatin1String(kUnits[unit]);
}

QString capacityMessage(const QString& diskname, const DiskSpaceInfo& space) {
  const uint64_t block = space.block;
  // A server that counts more free blocks than there are shows nothing used, not 2^64.
  const uint64_t free_blocks = std::min(space.free, space.total);
  return text::tr(text::kCapacity)
      .arg(diskname, shortSize(block * space.total), shortSize(block * (space.total - free_blocks)),
           shortSize(block * free_blocks));
}

ShellLogic::ShellLogic(ExplorerLogic& explorer, Document& document, Prompter& prompter)
    : explorer_(explorer),
      document_(document),
      prompter_(prompter),
      logout_question_(text::tr(text::kLogoutQuestion)) {}

void ShellLogic::signedInNow() {
  signed_in_ = true;
  explorer_.showDisks();
}

void ShellLogic::closeDisks() {
  document_.closeAll();
  explorer_.showDisks();
}

bool ShellLogic::logout() {
  const bool ok = prompter_.confirm(logout_question_, PromptIcon::kQuestion);
  logout_question_ = text::tr(text::kLogoutQuestion);
  if (!ok) return false;
  document_.closeAll();
  document_.disks().clear();
  explorer_.showDisks();
  signed_in_ = false;
  return true;
}

bool ShellLogic::logoutAsOther() {
  logout_question_ = text::tr(text::kLogoutAsOtherQuestion);
  auto_sign_in_ = false;
  return logout();
}

bool ShellLogic::confirmExit() {
  return prompter_.confirm(text::tr(text::kQuitQuestion), PromptIcon::kQuestion);
}

std::optional<QString> ShellLogic::capacityText() const {
  const DiskEntry* disk = document_.currentDisk();
  DiskSpaceInfo space{};
  if (document_.listing() == nullptr || disk == nullptr ||
      !zavel_GetDiskSpace(&space, document_.listing()))
    return std::nullopt;
  return capacityMessage(disk->diskname, space);
}

void ShellLogic::showCapacity() {
  if (const std::optional<QString> message = capacityText())
    prompter_.inform(*message, PromptIcon::kInformation);
}

}  // namespace zavel::app
