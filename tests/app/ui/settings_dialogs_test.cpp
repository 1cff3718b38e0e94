// The settings dialog with its folder chooser, and the mail dialog's "전송", on the offscreen
// platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrlQuery>

#include "app/explorer/list_rows.h"
#include "app/explorer/settings_texts.h"
#include "app/ui/folder_chooser.h"
#include "app/ui/mail_dialog.h"
#include "app/ui/settings_dialog.h"
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

  struct Step {
    const char* enter;
    QStringList visited;  // the drop-down's texts, then the selected one
    bool apply;
  } steps[] = {
      // "\download" names no folder here; the chooser still starts there.
      {"Music", {"\\download", "\\", "\\Music", "\\Music"}, true},
      {"Download", {"\\Music", "\\", "\\Download", "\\Download"}, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.enter);
    QStringList visited;
    driveChooser(s.enter, visited);
    child<QPushButton>(&dialog, "chooseFolderButton")->click();
    EXPECT_EQ(visited, s.visited);
    EXPECT_EQ(box->text(), QString("\\") + s.enter);
    EXPECT_EQ(apply->isEnabled(), s.apply);
  }

  for (const char* press : {"saveButton", "cancelButton"}) {
    SCOPED_TRACE(press);
    dialog.setResult(-1);
    child<QPushButton>(&dialog, press)->click();
    EXPECT_EQ(dialog.result(),
              QString(press) == "saveButton" ? QDialog::Accepted : QDialog::Rejected);
  }
  EXPECT_EQ(dialog.folder(), "\\Download");
}

TEST(SettingsDialogs, SendOpensTheMailtoUrlOnlyForAPlausibleRecipient) {
  LoginInfo login;
  login.id = "demo";
  login.domain = "@zavel.net";
  DiskEntry disk;
  disk.diskname = "My zavel";
  FileListModel remote;
  std::vector<ListRow> rows;
  rows.push_back(remoteRow({"/docs/a.bin", false, 2048, "", "", std::nullopt}, "/docs"));
  remote.setRows(std::move(rows));

  struct Case {
    const char* recipient;
    bool opens;  // what the opener answers
    const char* message;
    bool accepted;
  } cases[] = {
      {"", true, text::kEnterRecipient, false},
      {"friend@example.com?cc=x@y.z", true, text::kEnterRecipient, false},
      {"friend@example.com", false, text::kMailProgramFailed, false},
      {"friend@example.com", true, nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recipient);
    testing::ScriptedPrompter prompter;
    MailLogic logic(login, &disk, "/docs");
    ASSERT_TRUE(logic.collect(remote, {0}, prompter));
    QList<QUrl> opened;
    MailDialog dialog(logic, prompter, nullptr, [&](const QUrl& url) {
      opened << url;
      return c.opens;
    });
    dialog.show();
    EXPECT_EQ(child<QLineEdit>(&dialog, "senderBox")->text(), "demo@zavel.net");
    EXPECT_TRUE(child<QPlainTextEdit>(&dialog, "bodyBox")
                    ->toPlainText()
                    .startsWith("a.bin (2,048 byte)\n"));
    child<QLineEdit>(&dialog, "recipientBox")->setText(c.recipient);
    child<QLineEdit>(&dialog, "subjectBox")->setText("자료 & 사진");
    child<QPushButton>(&dialog, "sendButton")->click();

    EXPECT_EQ(prompter.texts(), c.message ? QStringList{text::tr(c.message)} : QStringList{});
    EXPECT_EQ(opened.size(), c.message == text::kEnterRecipient ? 0 : 1);
    if (!opened.isEmpty()) {
      EXPECT_EQ(opened[0].path(), "friend@example.com");
      EXPECT_EQ(QUrlQuery(opened[0]).queryItemValue("subject", QUrl::FullyDecoded), "자료 & 사진");
    }
    EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted);
    EXPECT_EQ(dialog.isVisible(), !c.accepted);
  }
}

}  // namespace
}  // namespace zavel::app
