#include "app/ui/progress_dialog.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/explorer/texts.h"
#include "app/ui/named.h"
#include "app/ui/texts.h"

namespace zavel::app {
namespace {

// Value lines change many times a second: a label of fixed size does not make the dialog
// lay itself out again at every change.
constexpr int kValueWidth = 330;

QLabel* value(const char* name, int lines = 1) {
  auto* label = named(new QLabel, name, QString());
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setFixedSize(kValueWidth, label->fontMetrics().lineSpacing() * lines + 2);
  return label;
}

void showText(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

void showPercent(QProgressBar* bar, int percent) {
  if (bar->value() == percent) return;
  bar->setValue(percent);
  bar->setFormat(percentText(percent));
}

QProgressBar* bar(const char* name) {
  auto* b = named(new QProgressBar, name, QString());
  b->setRange(0, 100);
  b->setValue(0);
  b->setFormat(percentText(0));
  b->setTextVisible(true);
  return b;
}

}  // namespace

ProgressDialog::ProgressDialog(const ProgressState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
  setObjectName(QStringLiteral("progressDialog"));
  setWindowTitle(text::tr(text::kMessageTitle));
  setAccessibleName(windowTitle());
  setModal(false);

  location_ = value("locationLabel");
  name_label_ = named(new QLabel, "nameCaption", QString());
  name_ = value("nameLabel", 2);
  name_->setWordWrap(true);
  file_bar_ = bar("fileBar");
  total_bar_ = bar("totalBar");
  size_ = value("sizeLabel");
  speed_ = value("speedLabel");
  remaining_ = value("remainingLabel");
  counter_ = value("counterLabel");
  cancel_ =
      named(new QPushButton(text::tr(text::kCancel)), "cancelButton", text::tr(text::kCancel));
  close_ = named(new QPushButton(text::tr(text::kClose)), "closeButton", text::tr(text::kClose));
  open_folder_ = named(new QPushButton(text::tr(text::kOpenFolder)), "openFolderButton",
                       text::tr(text::kOpenFolder));
  close_->setVisible(false);
  open_folder_->setVisible(false);
  connect(cancel_, &QPushButton::clicked, this, &ProgressDialog::cancelRequested);
  connect(close_, &QPushButton::clicked, this, &ProgressDialog::closeRequested);
  connect(open_folder_, &QPushButton::clicked, this, &ProgressDialog::openFolderRequested);

  auto* values = new QFormLayout;
  values->addRow(text::tr(text::kFileSize), size_);
  values->addRow(text::tr(text::kSpeed), speed_);
  values->addRow(text::tr(text::kTimeLeft), remaining_);
  values->addRow(text::tr(text::kProgress), counter_);
  auto* name_row = new QHBoxLayout;
  name_row->addWidget(name_label_);
  name_row->addWidget(name_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {cancel_, close_, open_folder_}) buttons->addWidget(b);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(text::tr(text::kConnectedDisk)));
  layout->addWidget(location_);
  layout->addLayout(name_row);
  layout->addWidget(file_bar_);
  layout->addWidget(total_bar_);
  layout->addLayout(values);
  layout->addLayout(buttons);
  setMinimumWidth(420);
  refresh();
}

void ProgressDialog::refresh() {
  const bool upload = state_.mode() == ProgressState::Mode::kUpload;
  showText(location_, state_.location());
  showText(name_label_, text::tr(upload ? text::kUploadName : text::kDownloadName));
  if (name_->text() != state_.currentName()) {
    name_->setText(state_.currentName());
    name_->setAccessibleName(state_.currentName());
  }
  showPercent(file_bar_, state_.filePercent());
  showPercent(total_bar_, state_.overallPercent());
  showText(size_, state_.sizeLine());
  showText(speed_, state_.speedLine());
  showText(remaining_, state_.remainingLine());
  showText(counter_, state_.counterLine());
  if (state_.complete()) {
    cancel_->setText(text::tr(text::kDone));
    cancel_->setVisible(false);
    close_->setVisible(true);
    open_folder_->setVisible(!upload);
  }
}

void ProgressDialog::reject() {
  emit cancelRequested();
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  emit cancelRequested();
}

}  // namespace zavel::app
