// The modeless progress dialog of a batch: where the files go, the current file, a bar for
// the file and one for the batch, bytes, speed, time left and the file counter. It shows a
// ProgressState and hands the user's buttons over; it decides nothing itself.
#pragma once

#include <QDialog>

#include "app/explorer/transfer_progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace zavel::app {

class ProgressDialog : public QDialog {
  Q_OBJECT

 public:
  // Button ids of the dialog.
  static constexpr int kCloseButton = 1031;
  static constexpr int kOpenFolderButton = 1061;

  ProgressDialog(const ProgressState& state, QWidget* parent);

  // Shows the state as it is now.
  void refresh();

 signals:
  // The cancel button, Escape or the window's close button.
  void cancelRequested();
  void closeRequested();
  void openFolderRequested();

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  const ProgressState& state_;
  QLabel* location_;
  QLabel* name_label_;
  QLabel* name_;
  QProgressBar* file_bar_;
  QProgressBar* total_bar_;
  QLabel* size_;
  QLabel* speed_;
  QLabel* remaining_;
  QLabel* counter_;
  QPushButton* cancel_;
  QPushButton* close_;
  QPushButton* open_folder_;
};

}  // namespace zavel::app
