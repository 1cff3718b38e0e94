// The question asked before a file whose target exists: resume (only for a smaller target),
// overwrite or cancel, with "모든파일에 적용". Its no-space form says the disk is full and
// offers only "용량보기".
#pragma once

#include <QDialog>

#include "app/explorer/transfer_manager.h"

class QCheckBox;
class QHBoxLayout;

namespace zavel::app {

class ConflictDialog : public QDialog {
  Q_OBJECT

 public:
  // The question form.
  ConflictDialog(TransferUi::Question question, const QString& text, QWidget* parent);
  // The no-space form.
  ConflictDialog(const QString& text, QWidget* parent);

  // What the user chose once exec() has returned; closing the dialog is kSkip.
  TransferUi::Choice choice() const;
  // The no-space form: "용량보기" was chosen.
  bool capacityChosen() const { return result() == kCapacity; }

 private:
  enum Outcome { kClosed = 0, kResume, kOverwrite, kCancel, kCapacity };
  void build(const QString& text);
  void addButton(const char* name, const char* label, Outcome outcome);

  QHBoxLayout* buttons_ = nullptr;
  QCheckBox* apply_all_ = nullptr;
};

}  // namespace zavel::app
