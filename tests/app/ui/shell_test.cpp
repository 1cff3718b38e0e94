// The shell against the demo devserver: commands by their numbers, logout and signing in
// under another name, disconnect in both modes, exit, and the capacity message.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>

#include "app/explorer/commands.h"
#include "app/explorer/shell_texts.h"
#include "app/explorer/texts.h"
#include "app/ui/main_frame.h"
#include "tests/app/support/demo_explorer.h"

namespace zavel::app {
namespace {

using List = ExplorerLogic::List;

TEST(ShortSize, ReadsAsTheCapacityMessageWritesIt) {
  const std::pair<uint64_t, QString> cases[] = {{0, "0.00B"},
                                                {1023, "1023B"},
                                                {1024, "1.00KB"},
                                                {1536, "1.50KB"},
                                                {102400, "100KB"},
                                                {60ull << 20, "60.0MB"},
                                                {(1ull << 40) * 5, "5.00TB"},
                                                {UINT64_MAX, "16777216TB"}};
  for (const auto& [bytes, shown] : cases) EXPECT_EQ(shortSize(bytes), shown) << bytes;
  EXPECT_EQ(capacityMessage("My zavel", {1048576, 40, 100}),
            "My zavel\n총용량: 100MB\n사용량: 60.0MB\n남은 용량:40.0MB");
  // More free blocks than there are: nothing used, never a wrapped count.
  EXPECT_EQ(capacityMessage("x", {1024, 9, 4}),
            "x\n총용량: 4.00KB\n사용량: 0.00B\n남은 용량:4.00KB");
}

class ShellTest : public testing::DemoExplorerTest {
 protected:
  ShellTest() {
    frame_.start();
    frame_.explorer().connectSelected({0});
    prompter_.clear();
  }
  ExplorerLogic& explorer() { return frame_.explorer(); }
  QStringList remoteRows() {
    QStringList out;
    for (int r = 0; r < explorer().remote().rowCount(); ++r)
      out << explorer().remote().cell(r, kColName) + "|" + explorer().remote().cell(r, kColSize);
    return out;
  }

  MainFrame frame_{document_, prompter_, device_.path()};
};

TEST_F(ShellTest, EveryMenuCommandCarriesItsNumber) {
  const int numbered[] = {
      kCmdLogin,     kCmdLoginAsOther, kCmdLogout, kCmdDisconnect, kCmdExit,
      kCmdRefresh,   kCmdCapacity,     kCmdUpload, kCmdDownload,   kCmdOpenDownloadFolder,
      kCmdNewFolder, kCmdDelete,       kCmdRename, kCmdSelectAll,  kCmdMail,
      kCmdSettings,  kCmdVersion};
  QList<int> found;
  for (QAction* action : frame_.menuBar()->findChildren<QAction*>())
    if (action->data().isValid()) found << action->data().toInt();
  for (int command : numbered) EXPECT_TRUE(found.contains(command)) << command;

  frame_.runCommand(kCmdCapacity);
  ASSERT_EQ(prompter_.texts().size(), 1);
  EXPECT_TRUE(prompter_.texts().value(0).startsWith("My zavel\n총용량: 1.00GB\n"));
}

TEST_F(ShellTest, LogoutAsksAndOnlyOkEndsTheSessions) {
  prompter_.answer({false, false, true});
  EXPECT_FALSE(frame_.shell().logoutAsOther());  // Cancel
  EXPECT_FALSE(frame_.shell().autoSignIn());
  EXPECT_EQ(frame_.shell().logoutQuestion(), text::tr(text::kLogoutQuestion));
  EXPECT_NE(document_.listing(), nullptr);
  EXPECT_FALSE(frame_.shell().logout());
  EXPECT_TRUE(frame_.shell().logout());
  EXPECT_EQ(prompter_.texts(),
            (QStringList{text::tr(text::kLogoutAsOtherQuestion), text::tr(text::kLogoutQuestion),
                         text::tr(text::kLogoutQuestion)}));
  EXPECT_EQ(document_.listing(), nullptr);
  EXPECT_TRUE(document_.disks().empty());
  EXPECT_EQ(explorer().remote().rowCount(), 0);
  EXPECT_FALSE(frame_.shell().signedIn());
  EXPECT_EQ(frame_.shell().capacityText(), std::nullopt);
}

// Disconnecting in the disk list: DocumentTest.OpensEachKindOfDiskWithItsRightsAndListsIt.
TEST_F(ShellTest, DisconnectCommandShowsTheDiskListAndExitAsksFirst) {
  // File-list mode: the listing disk goes, the disk list comes back.
  prompter_.answer({true, false});
  frame_.runCommand(kCmdDisconnect);
  EXPECT_EQ(explorer().mode(), ExplorerLogic::Mode::kDiskList);
  EXPECT_EQ(remoteRows().value(0), "My zavel|" + text::tr(text::kDisconnected));
  frame_.show();
  frame_.runCommand(kCmdExit);  // Cancel
  EXPECT_TRUE(frame_.isVisible());
  EXPECT_EQ(prompter_.texts().last(), text::tr(text::kExitQuestion));
  // The update notice closes the window without asking.
  frame_.updateAvailable();
  EXPECT_FALSE(frame_.isVisible());
  EXPECT_EQ(prompter_.prompts().back().title, text::tr(text::kUpdateTitle));
}

}  // namespace
}  // namespace zavel::app
