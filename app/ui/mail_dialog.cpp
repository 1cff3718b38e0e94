#include "app/ui/mail_dialog.h"

#include <QDesktopServices>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/explorer/settings_texts.h"
#include "app/ui/named.h"

namespace zavel::app {
namespace {

QLineEdit* lineEdit(const char* name, const char* label, const QString& text) {
  return named(new QLineEdit(text), name, text::tr(label));
}

QLabel* label(const char* name, const char* source) {
  return named(new QLabel(text::tr(source)), name, text::tr(source));
}

QPushButton* button(const char* name, const char* label) {
  return named(new QPushButton(text::tr(label)), name, text::tr(label));
}

}  // namespace

MailDialog::UrlOpener MailDialog::defaultOpener() {
  return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

MailDialog::MailDialog(MailLogic& logic, Prompter& prompter, QWidget* parent, UrlOpener open)
    : QDialog(parent), logic_(logic), prompter_(prompter), open_(std::move(open)) {
  setObjectName(QStringLiteral("mailDialog"));
  setWindowTitle(text::tr(text::kMailTitle));
  setAccessibleName(windowTitle());
  setModal(true);

  recipient_box_ = lineEdit("recipientBox", text::kMailRecipient, logic_.recipient());
  sender_name_box_ = lineEdit("senderNameBox", text::kMailSenderName, logic_.senderName());
  sender_box_ = lineEdit("senderBox", text::kMailSender, logic_.sender());
  subject_box_ = lineEdit("subjectBox", text::kMailSubject, logic_.subject());
  body_box_ = named(new QPlainTextEdit(logic_.body()), "bodyBox", text::tr(text::kMailBody));
  auto* send = button("sendButton", text::kMailSend);
  auto* cancel = button("cancelButton", text::kCancel);
  send->setDefault(true);

  auto* form = new QFormLayout;
  form->addRow(label("recipientLabel", text::kMailRecipient), recipient_box_);
  form->addRow(label("senderNameLabel", text::kMailSenderName), sender_name_box_);
  form->addRow(label("senderLabel", text::kMailSender), sender_box_);
  form->addRow(label("subjectLabel", text::kMailSubject), subject_box_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(send);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(body_box_, 1);
  layout->addLayout(buttons);
  resize(420, 360);

  connect(send, &QPushButton::clicked, this, &MailDialog::send);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void MailDialog::send() {
  logic_.setRecipient(recipient_box_->text());
  logic_.setSenderName(sender_name_box_->text());
  logic_.setSender(sender_box_->text());
  logic_.setSubject(subject_box_->text());
  logic_.setBody(body_box_->toPlainText());
  const QUrl url = logic_.mailtoUrl();
  if (!url.isValid()) {
    prompter_.inform(text::tr(text::kEnterRecipient), PromptIcon::kInformation);
    recipient_box_->setFocus();
    return;
  }
  // Closing as if sent when no mail program took the mail would lose it without a word.
  if (!open_(url)) {
    prompter_.inform(text::tr(text::kMailProgramFailed), PromptIcon::kStop);
    return;
  }
  accept();
}

}  // namespace zavel::app
