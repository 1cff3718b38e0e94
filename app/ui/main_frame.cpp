#include "app/ui/main_frame.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/ui/texts.h"

namespace zavel::app {
namespace {

// The view starts its lists this long after the frame is created.
constexpr int kStartDelayMs = 500;

QLabel* pathLabel(const char* name, const char* source) {
  auto* label = new QLabel(text::tr(source) + QStringLiteral(" ▼"));
  label->setObjectName(QLatin1String(name));
  label->setAccessibleName(text::tr(source));
  label->setStyleSheet(QStringLiteral("font-weight: bold; padding: 2px;"));
  return label;
}

}  // namespace

MainFrame::MainFrame(LoginInfo& login, QWidget* parent) : QMainWindow(parent), login_(login) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowTitle(text::tr(text::kExplorerTitle));
  setAccessibleName(windowTitle());

  remote_path_ = pathLabel("remotePathButton", text::kAllDisks);
  local_path_ = pathLabel("localPathButton", text::kMyDevice);
  remote_list_ = makeList("remoteList", &remote_model_);
  local_list_ = makeList("localList", &local_model_);

  auto* upper = new QWidget;
  auto* upper_layout = new QVBoxLayout(upper);
  upper_layout->setContentsMargins(0, 0, 0, 0);
  upper_layout->addWidget(remote_path_);
  upper_layout->addWidget(remote_list_);
  auto* lower = new QWidget;
  auto* lower_layout = new QVBoxLayout(lower);
  lower_layout->setContentsMargins(0, 0, 0, 0);
  lower_layout->addWidget(local_path_);
  lower_layout->addWidget(local_list_);

  auto* split = new QSplitter(Qt::Vertical);
  split->setObjectName(QStringLiteral("explorerView"));
  split->addWidget(upper);
  split->addWidget(lower);
  setCentralWidget(split);
  resize(640, 560);

  QTimer::singleShot(kStartDelayMs, this, &MainFrame::showDisks);
}

QTreeView* MainFrame::makeList(const char* name, FileListModel* model) {
  auto* list = new QTreeView;
  list->setObjectName(QLatin1String(name));
  list->setAccessibleName(
      text::tr(std::string_view(name) == "remoteList" ? text::kAllDisks : text::kMyDevice));
  list->setModel(model);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  // Type, date and club key stay hidden: they are there for sorting and for the logic.
  for (int column = kColType; column <= kColIndex; ++column) list->setColumnHidden(column, true);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionResizeMode(kColName, QHeaderView::Stretch);
  list->header()->resizeSection(kColSize, 90);
  return list;
}

void MainFrame::showDisks() {
  std::vector<ListRow> rows = diskRows(login_.disks);
  const QIcon disk = style()->standardIcon(QStyle::SP_DriveNetIcon);
  for (ListRow& row : rows) row.icon = disk;
  remote_model_.setRows(std::move(rows));
}

}  // namespace zavel::app
