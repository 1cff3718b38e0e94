// The batch's dialogs on the screen: the conflict dialog (modal), the progress dialog
// (modeless, beside the disabled main window) and the events let through at each report.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <functional>

#include "app/explorer/transfer_manager.h"
#include "app/ui/progress_dialog.h"

namespace zavel::app {

class QtTransferUi : public TransferUi {
 public:
  // The progress dialog repaints at most once in this many milliseconds while a file moves:
  // often enough to look live, rarely enough to cost the transfer nothing.
  static constexpr int kRepaintMs = 100;

  // openFolder: what the progress dialog's open-folder button does.
  QtTransferUi(QWidget* parent, std::function<void()> openFolder);
  ~QtTransferUi() override;

  Choice ask(Question question, const QString& text) override;
  bool showNoSpace(const QString& text) override;
  void openProgress(ProgressState& state, std::function<void()> cancel) override;
  bool progressOpen() const override { return dialog_ != nullptr; }
  void showProgress(bool now) override;
  void closeProgress() override;
  void letEventsThrough() override;

  ProgressDialog* dialog() const { return dialog_; }
  // How many times the dialog has been drawn anew from the state.
  int refreshes() const { return refreshes_; }

 private:
  QWidget* parent_;
  std::function<void()> open_folder_;
  QPointer<ProgressDialog> dialog_;
  QElapsedTimer since_refresh_;
  int refreshes_ = 0;
};

}  // namespace zavel::app
