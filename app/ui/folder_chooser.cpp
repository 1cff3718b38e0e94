#include "app/ui/folder_chooser.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/explorer/settings_texts.h"
#include "app/ui/named.h"

namespace zavel::app {
namespace {

QPushButton* button(const char* name, const char* label) {
  return named(new QPushButton(text::tr(label)), name, text::tr(label));
}

}  // namespace

FolderChooser::FolderChooser(FolderChooserLogic& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
  setObjectName(QStringLiteral("folderChooser"));
  setWindowTitle(text::tr(text::kSettingsTitle));
  setAccessibleName(windowTitle());
  setModal(true);

  visited_box_ = named(new QComboBox, "visitedBox", text::tr(text::kChooseFolder));
  auto* up = button("upButton", text::kUp);
  folder_list_ = named(new QTreeWidget, "folderList", text::tr(text::kFolder));
  folder_list_->setColumnCount(2);
  folder_list_->setHeaderLabels({text::tr(text::kColumnName), text::tr(text::kColumnSize)});
  folder_list_->setRootIsDecorated(false);
  folder_list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  folder_list_->setAllColumnsShowFocus(true);
  folder_list_->header()->setStretchLastSection(false);
  folder_list_->installEventFilter(this);
  auto* ok = button("okButton", text::kOk);
  auto* cancel = button("cancelButton", text::kCancel);
  ok->setDefault(true);

  auto* top = new QHBoxLayout;
  top->addWidget(visited_box_, 1);
  top->addWidget(up);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(folder_list_, 1);
  layout->addLayout(buttons);
  resize(320, 300);

  connect(visited_box_, &QComboBox::activated, this, [this](int index) {
    logic_.selectVisited(index);
    pull();
  });
  connect(up, &QPushButton::clicked, this, [this] {
    logic_.up();
    pull();
  });
  // Only a double click enters: Enter in the list presses OK with the current folder.
  connect(folder_list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { rowDoubleClicked(item); });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  pull();
}

bool FolderChooser::eventFilter(QObject* watched, QEvent* event) {
  // The name column takes what the size column leaves of the list's width.
  if (watched == folder_list_ && event->type() == QEvent::Resize) {
    folder_list_->setColumnWidth(0, folder_list_->width() - 85);
    folder_list_->setColumnWidth(1, 75);
  }
  return QDialog::eventFilter(watched, event);
}

void FolderChooser::pull() {
  visited_box_->clear();
  visited_box_->addItems(logic_.visited());
  visited_box_->setCurrentIndex(logic_.selectedVisited());
  folder_list_->clear();
  const QIcon folder_icon = icons_.icon(QFileIconProvider::Folder);
  for (const QString& name : logic_.subfolders()) {
    auto* item = new QTreeWidgetItem(folder_list_, {name, text::tr(text::kFolder)});
    item->setIcon(0, folder_icon);
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  }
}

void FolderChooser::rowDoubleClicked(QTreeWidgetItem* item) {
  if (item != nullptr && logic_.enter(item->text(0))) pull();
}

}  // namespace zavel::app
