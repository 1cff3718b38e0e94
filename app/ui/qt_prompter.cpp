#include "app/ui/qt_prompter.h"

#include <QApplication>
#include <QMessageBox>

#include "app/ui/texts.h"

namespace zavel::app {
namespace {

QMessageBox::Icon boxIcon(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::kStop:
      return QMessageBox::Critical;
    case PromptIcon::kInformation:
      return QMessageBox::Information;
    case PromptIcon::kQuestion:
      return QMessageBox::Question;
    case PromptIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

int show(const QString& title, const QString& text, PromptIcon icon,
         QMessageBox::StandardButtons buttons) {
  QMessageBox box(boxIcon(icon), title, text, buttons, QApplication::activeWindow());
  box.setObjectName(QStringLiteral("messageBox"));
  box.setAccessibleName(text);
  return box.exec();
}

}  // namespace

void QtPrompter::inform(const QString& text, PromptIcon icon) {
  show(text::tr(text::kMessageTitle), text, icon, QMessageBox::Ok);
}

bool QtPrompter::confirm(const QString& text, PromptIcon icon) {
  return show(text::tr(text::kMessageTitle), text, icon, QMessageBox::Ok | QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

bool QtPrompter::askYesNo(const QString& text, PromptIcon icon) {
  return show(text::tr(text::kMessageTitle), text, icon, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void QtPrompter::informTitled(const QString& title, const QString& text, PromptIcon icon) {
  show(title, text, icon, QMessageBox::Ok);
}

}  // namespace zavel::app
