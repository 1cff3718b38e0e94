#include "app/ui/conflict_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/explorer/texts.h"
#include "app/ui/named.h"
#include "app/ui/texts.h"

namespace zavel::app {

ConflictDialog::ConflictDialog(TransferUi::Question question, const QString& text, QWidget* parent)
    : QDialog(parent) {
  build(text);
  if (question == TransferUi::Question::kResume) addButton("resumeButton", text::kResume, kResume);
  addButton("overwriteButton", text::kOverwrite, kOverwrite);
  addButton("cancelButton", text::kCancel, kCancel);
  apply_all_ = named(new QCheckBox(text::tr(text::kApplyToAll)), "applyToAllBox",
                     text::tr(text::kApplyToAll));
  static_cast<QVBoxLayout*>(layout())->insertWidget(1, apply_all_);
}

ConflictDialog::ConflictDialog(const QString& text, QWidget* parent) : QDialog(parent) {
  build(text);
  addButton("capacityButton", text::kViewCapacity, kCapacity);
}

void ConflictDialog::build(const QString& text) {
  setObjectName(QStringLiteral("conflictDialog"));
  setWindowTitle(text::tr(text::kMessageTitle));
  setAccessibleName(text);
  setModal(true);
  auto* message = named(new QLabel(text), "conflictText", text);
  message->setWordWrap(true);
  buttons_ = new QHBoxLayout;
  buttons_->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(message);
  layout->addLayout(buttons_);
}

void ConflictDialog::addButton(const char* name, const char* label, Outcome outcome) {
  auto* button = named(new QPushButton(text::tr(label)), name, text::tr(label));
  connect(button, &QPushButton::clicked, this, [this, outcome] { done(outcome); });
  buttons_->addWidget(button);
}

TransferUi::Choice ConflictDialog::choice() const {
  TransferUi::Choice choice;
  switch (result()) {
    case kResume:
      choice.answer = TransferUi::Answer::kResume;
      break;
    case kOverwrite:
      choice.answer = TransferUi::Answer::kOverwrite;
      break;
    default:
      choice.answer = TransferUi::Answer::kSkip;
      break;
  }
  choice.applyToAll = apply_all_ != nullptr && apply_all_->isChecked();
  return choice;
}

}  // namespace zavel::app
