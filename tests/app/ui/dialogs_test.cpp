// The program's dialogs on the offscreen platform: settings with its folder chooser, the
// mail dialog's "전송", and the progress and conflict dialogs of a transfer batch (what they show
// of the state, which buttons they offer when, and what each button hands back).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrlQuery>
#include <tuple>

#include "app/explorer/list_rows.h"
#include "app/explorer/settings_texts.h"
#include "app/explorer/texts.h"
#include "app/ui/conflict_dialog.h"
#include "app/ui/folder_chooser.h"
#include "app/ui/mail_dialog.h"
#include "app/ui/qt_transfer_ui.h"
#include "app/ui/settings_dialog.h"
#include "tests/app/support/app_test.h"
#include "tests/app/support/scripted_prompter.h"
#include "tests/app/support/widgets.h"

namespace zavel::app {
namespace {

using testing::child;

// While the chooser runs: "위로", a double click on `enter`, then OK; records the drop-down.
void driveChooser(const QString& enter, QStringList& visited) {
  QTimer::singleShot(0, [enter, &visited] {
    auto* chooser = qobject_cast<FolderChooser*>(QApplication::activeModalWidget());
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chooser));
    child<QPushButton>(chooser, "upButton")->click();
    auto* list = child<QTreeWidget>(chooser, "folderList");
    const QList<QTreeWidgetItem*> rows = list->findItems(enter, Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0]->text(1), text::tr(text::kFolder));
    ASSERT_TRUE(list->viewport()->rect().contains(list->visualItemRect(rows[0])));
    // A double click as the platform delivers it: a click, then the double-click event.
    const QPoint at = list->visualItemRect(rows[0]).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    auto* box = child<QComboBox>(chooser, "visitedBox");
    for (int i = 0; i < box->count(); ++i) visited << box->itemText(i);
    visited << box->currentText();
    child<QPushButton>(chooser, "okButton")->click();
  });
}

TEST(SettingsDialogs, ApplyFollowsTheFolderChosenAndOkEndsTheDialog) {
  QTemporaryDir device;
  ASSERT_TRUE(QDir(device.path()).mkpath("Download") && QDir(device.path()).mkpath("Music"));
  SettingsLogic logic("\\download");
  SettingsDialog dialog(logic, DevicePaths(device.path()));
  dialog.show();
  auto* box = child<QLineEdit>(&dialog, "folderBox");
  auto* apply = child<QPushButton>(&dialog, "applyButton");
  EXPECT_TRUE(box->isReadOnly());
  EXPECT_EQ(box->text(), "\\download");
  EXPECT_FALSE(apply->isEnabled());

  // "\download" names no folder here; the chooser still starts there. Its rules for Apply:
  // SettingsLogic.
  QStringList visited;
  driveChooser("Music", visited);
  child<QPushButton>(&dialog, "chooseFolderButton")->click();
  EXPECT_EQ(visited, (QStringList{"\\download", "\\", "\\Music", "\\Music"}));
  EXPECT_EQ(box->text(), "\\Music");
  EXPECT_TRUE(apply->isEnabled());

  for (const char* press : {"saveButton", "cancelButton"}) {
    SCOPED_TRACE(press);
    dialog.setResult(-1);
    child<QPushButton>(&dialog, press)->click();
    EXPECT_EQ(dialog.result(),
              QString(press) == "saveButton" ? QDialog::Accepted : QDialog::Rejected);
  }
  EXPECT_EQ(dialog.folder(), "\\Music");
}

TEST(SettingsDialogs, SendOpensTheMailtoUrlOnlyForAPlausibleRecipient) {
  LoginInfo login = testing::user("demo", "@zavel.net");
  DiskEntry disk;
  disk.diskname = "My zavel";
  FileListModel remote;
  std::vector<ListRow> rows;
  rows.push_back(remoteRow({"/docs/a.bin", false, 2048, "", "", std::nullopt}, "/docs"));
  remote.setRows(std::move(rows));

  // The recipient, what the opener answers, the message shown, whether the dialog ends.
  const std::tuple<const char*, bool, const char*, bool> cases[] = {
      {"", true, text::kEnterRecipient, false},
      {"friend@example.com", false, text::kMailProgramFailed, false},
      {"friend@example.com", true, nullptr, true},
  };
  for (const auto& [recipient, opens, message, accepted] : cases) {
    SCOPED_TRACE(recipient);
    testing::ScriptedPrompter prompter;
    MailLogic logic(login, &disk, "/docs");
    ASSERT_TRUE(logic.collect(remote, {0}, prompter));
    QList<QUrl> opened;
    MailDialog dialog(logic, prompter, nullptr, [&](const QUrl& url) {
      opened << url;
      return opens;
    });
    dialog.show();
    EXPECT_EQ(child<QLineEdit>(&dialog, "senderBox")->text(), "demo@zavel.net");
    EXPECT_TRUE(child<QPlainTextEdit>(&dialog, "bodyBox")
                    ->toPlainText()
                    .startsWith("a.bin (2,048 byte)\n"));
    child<QLineEdit>(&dialog, "recipientBox")->setText(recipient);
    child<QLineEdit>(&dialog, "subjectBox")->setText("자료 & 사진");
    child<QPushButton>(&dialog, "sendButton")->click();

    EXPECT_EQ(prompter.texts(), message ? QStringList{text::tr(message)} : QStringList{});
    EXPECT_EQ(opened.size(), message == text::kEnterRecipient ? 0 : 1);
    if (!opened.isEmpty()) {
      EXPECT_EQ(opened[0].path(), "friend@example.com");
      EXPECT_EQ(QUrlQuery(opened[0]).queryItemValue("subject", QUrl::FullyDecoded), "자료 & 사진");
    }
    EXPECT_EQ(dialog.result() == QDialog::Accepted, accepted);
    EXPECT_EQ(dialog.isVisible(), !accepted);
  }
}

TEST(TransferDialogs, ProgressShowsTheStateAndOffersCloseOnlyOnceComplete) {
  ProgressState state;
  state.begin(ProgressState::Mode::kDownload, 1, 2000, "/My zavel/문서");
  bool folder_opened = false;
  int cancels = 0;
  QtTransferUi ui(nullptr, [&] { folder_opened = true; });
  ui.openProgress(state, [&] { ++cancels; });
  ProgressDialog* dialog = ui.dialog();
  ASSERT_NE(dialog, nullptr);
  state.startFile("\\문서\\a.bin", 0, 2000);
  state.report(1000, 2000, 10);
  ui.showProgress(true);
  EXPECT_EQ(child<QLabel>(dialog, "locationLabel")->text(), "/My zavel/문서");
  EXPECT_EQ(child<QLabel>(dialog, "nameLabel")->text(), "\\문서\\a.bin");
  EXPECT_EQ(child<QProgressBar>(dialog, "fileBar")->value(), 50);
  EXPECT_EQ(child<QLabel>(dialog, "sizeLabel")->text(), "1,000 / 2,000 byte");
  EXPECT_EQ(child<QLabel>(dialog, "counterLabel")->text(), "1 / 1");

  // Reports in quick succession are shown at most every 100 ms.
  const int refreshes = ui.refreshes();
  state.report(1500, 2000, 11);
  ui.showProgress(false);
  EXPECT_EQ(ui.refreshes(), refreshes);

  QPushButton* cancel = child<QPushButton>(dialog, "cancelButton");
  EXPECT_FALSE(child<QPushButton>(dialog, "closeButton")->isVisibleTo(dialog));
  cancel->click();
  QTest::keyClick(dialog, Qt::Key_Escape);
  EXPECT_EQ(cancels, 2);

  state.fileDone();
  ui.showProgress(true);
  EXPECT_FALSE(cancel->isVisibleTo(dialog));
  EXPECT_EQ(cancel->text(), text::tr(text::kDone));
  EXPECT_TRUE(child<QPushButton>(dialog, "closeButton")->isVisibleTo(dialog));
  EXPECT_EQ(child<QProgressBar>(dialog, "totalBar")->value(), 100);
  child<QPushButton>(dialog, "openFolderButton")->click();
  EXPECT_TRUE(folder_opened);
  EXPECT_FALSE(ui.progressOpen());
}

TEST(TransferDialogs, ConflictOffersResumeOnlyForASmallerTarget) {
  using Question = TransferUi::Question;
  using Answer = TransferUi::Answer;
  // The question, the button pressed, "apply to all" ticked, the answer handed back.
  const std::tuple<Question, const char*, bool, Answer> cases[] = {
      {Question::kResume, "resumeButton", true, Answer::kResume},
      {Question::kResume, "cancelButton", false, Answer::kSkip},
      {Question::kOverwrite, "overwriteButton", true, Answer::kOverwrite},
  };
  for (const auto& [question, press, tick, answer] : cases) {
    SCOPED_TRACE(press);
    ConflictDialog dialog(question, "\n\"a.bin\" 이 이미 존재합니다.", nullptr);
    EXPECT_EQ(dialog.findChild<QPushButton*>("resumeButton") != nullptr,
              question == Question::kResume);
    QTimer::singleShot(0, &dialog, [&] {
      child<QCheckBox>(&dialog, "applyToAllBox")->setChecked(tick);
      child<QPushButton>(&dialog, press)->click();
    });
    dialog.exec();
    EXPECT_EQ(dialog.choice().answer, answer);
    EXPECT_EQ(dialog.choice().applyToAll, tick);
  }

  ConflictDialog full(text::tr(text::kDiskFull), nullptr);
  EXPECT_EQ(full.findChildren<QPushButton*>().size(), 1);
  QTimer::singleShot(0, &full, [&] { child<QPushButton>(&full, "capacityButton")->click(); });
  full.exec();
  EXPECT_TRUE(full.capacityChosen());
}

}  // namespace
}  // namespace zavel::app
