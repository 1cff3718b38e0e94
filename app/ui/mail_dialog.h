// The large-file mail dialog: the recipient, the sender, the subject and the body that
// MailLogic filled with the files. "전송" hands the mail to the desktop's mail program
// through a mailto: URL and ends the dialog with OK; "취소" ends it with Cancel.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

#include "app/explorer/mail_logic.h"
#include "app/signin/prompter.h"

class QLineEdit;
class QPlainTextEdit;

namespace zavel::app {

class MailDialog : public QDialog {
  Q_OBJECT

 public:
  // Opens a URL with the desktop; true when a program took it. Tests pass their own.
  using UrlOpener = std::function<bool(const QUrl&)>;

  MailDialog(MailLogic& logic, Prompter& prompter, QWidget* parent = nullptr,
             UrlOpener open = defaultOpener());

  static UrlOpener defaultOpener();

 private:
  void send();

  MailLogic& logic_;
  Prompter& prompter_;
  UrlOpener open_;
  QLineEdit* recipient_box_;
  QLineEdit* sender_name_box_;
  QLineEdit* sender_box_;
  QLineEdit* subject_box_;
  QPlainTextEdit* body_box_;
};

}  // namespace zavel::app
