#include "app/ui/qt_transfer_ui.h"

#include <QCoreApplication>

#include "app/ui/conflict_dialog.h"

namespace zavel::app {

QtTransferUi::QtTransferUi(QWidget* parent, std::function<void()> openFolder)
    : parent_(parent), open_folder_(std::move(openFolder)) {}

QtTransferUi::~QtTransferUi() {
  delete dialog_.data();
}

TransferUi::Choice QtTransferUi::ask(Question question, const QString& text) {
  ConflictDialog dialog(question, text, dialog_ ? static_cast<QWidget*>(dialog_) : parent_);
  dialog.exec();
  return dialog.choice();
}

bool QtTransferUi::showNoSpace(const QString& text) {
  ConflictDialog dialog(text, dialog_ ? static_cast<QWidget*>(dialog_) : parent_);
  dialog.exec();
  return dialog.capacityChosen();
}

void QtTransferUi::openProgress(ProgressState& state, std::function<void()> cancel) {
  closeProgress();
  // A top-level window of its own, so it takes input while the main window is disabled.
  auto* dialog = new ProgressDialog(state, parent_);
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  QObject::connect(dialog, &ProgressDialog::cancelRequested, dialog, std::move(cancel));
  QObject::connect(dialog, &ProgressDialog::closeRequested, dialog, [this] { closeProgress(); });
  QObject::connect(dialog, &ProgressDialog::openFolderRequested, dialog, [this] {
    if (open_folder_) open_folder_();
    closeProgress();
  });
  dialog_ = dialog;
  dialog->show();
  since_refresh_.start();
}

void QtTransferUi::showProgress(bool now) {
  if (!dialog_) return;
  if (!now && since_refresh_.isValid() && since_refresh_.elapsed() < kRepaintMs) return;
  dialog_->refresh();
  ++refreshes_;
  since_refresh_.restart();
}

// The dialog may be closed from inside one of its own signals: it goes once control is
// back in the event loop, and counts as closed at once.
void QtTransferUi::closeProgress() {
  if (!dialog_) return;
  ProgressDialog* dialog = dialog_;
  dialog_ = nullptr;
  dialog->hide();
  dialog->deleteLater();
}

void QtTransferUi::letEventsThrough() {
  QCoreApplication::processEvents();
}

}  // namespace zavel::app
