#include "app/ui/settings_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/explorer/folder_chooser_logic.h"
#include "app/explorer/settings_texts.h"
#include "app/ui/folder_chooser.h"
#include "app/ui/named.h"

namespace zavel::app {
namespace {

QPushButton* button(const char* name, const char* label) {
  return named(new QPushButton(text::tr(label)), name, text::tr(label));
}

}  // namespace

SettingsDialog::SettingsDialog(SettingsLogic& logic, const DevicePaths& device, QWidget* parent)
    : QDialog(parent), logic_(logic), device_(device) {
  setObjectName(QStringLiteral("settingsDialog"));
  setWindowTitle(text::tr(text::kSettingsTitle));
  setAccessibleName(windowTitle());
  setModal(true);

  auto* tree = named(new QTreeWidget, "settingsTree", text::tr(text::kSettingsDownload));
  tree->setHeaderHidden(true);
  tree->setRootIsDecorated(false);
  tree->setMaximumWidth(110);
  auto* download = new QTreeWidgetItem(tree, {text::tr(text::kSettingsDownload)});
  tree->setCurrentItem(download);

  auto* label = named(new QLabel(text::tr(text::kDownloadFolderLabel)), "folderLabel",
                      text::tr(text::kDownloadFolderLabel));
  folder_box_ = named(new QLineEdit, "folderBox", text::tr(text::kDownloadFolderLabel));
  folder_box_->setReadOnly(true);
  auto* choose = button("chooseFolderButton", text::kChooseFolder);
  auto* save = button("saveButton", text::kSave);
  apply_ = button("applyButton", text::kApply);
  auto* cancel = button("cancelButton", text::kCancel);
  save->setDefault(true);

  auto* page = new QGridLayout;
  page->addWidget(label, 0, 0, 1, 2);
  page->addWidget(folder_box_, 1, 0);
  page->addWidget(choose, 1, 1);
  page->setRowStretch(2, 1);
  auto* body = new QHBoxLayout;
  body->addWidget(tree);
  body->addLayout(page, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(apply_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addLayout(buttons);
  resize(420, 220);

  connect(choose, &QPushButton::clicked, this, &SettingsDialog::chooseFolder);
  connect(save, &QPushButton::clicked, this, &QDialog::accept);
  connect(apply_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  pull();
}

void SettingsDialog::chooseFolder() {
  FolderChooserLogic chooser_logic(device_);
  chooser_logic.start(logic_.folder());
  FolderChooser chooser(chooser_logic, this);
  if (chooser.exec() != QDialog::Accepted) return;
  logic_.choose(chooser.chosen());
  pull();
}

void SettingsDialog::pull() {
  folder_box_->setText(logic_.folder());
  apply_->setEnabled(logic_.applyEnabled());
}

}  // namespace zavel::app
