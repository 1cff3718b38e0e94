// The progress and conflict dialogs on the offscreen platform: what they show of the state,
// which buttons they offer when, and what each button hands back.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/explorer/texts.h"
#include "app/ui/conflict_dialog.h"
#include "app/ui/qt_transfer_ui.h"
#include "tests/app/support/widgets.h"

namespace zavel::app {
namespace {

using testing::child;

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
  EXPECT_EQ(child<QProgressBar>(dialog, "fileBar")->text(), " 50 %");
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
  struct Case {
    Question question;
    const char* press;
    bool tick;
    Answer answer;
  } cases[] = {
      {Question::kResume, "resumeButton", true, Answer::kResume},
      {Question::kResume, "cancelButton", false, Answer::kSkip},
      {Question::kOverwrite, "overwriteButton", true, Answer::kOverwrite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.press);
    ConflictDialog dialog(c.question, "\n\"a.bin\" 이 이미 존재합니다.", nullptr);
    EXPECT_EQ(dialog.findChild<QPushButton*>("resumeButton") != nullptr,
              c.question == Question::kResume);
    QTimer::singleShot(0, &dialog, [&] {
      child<QCheckBox>(&dialog, "applyToAllBox")->setChecked(c.tick);
      child<QPushButton>(&dialog, c.press)->click();
    });
    dialog.exec();
    EXPECT_EQ(dialog.choice().answer, c.answer);
    EXPECT_EQ(dialog.choice().applyToAll, c.tick);
  }

  ConflictDialog full(text::tr(text::kDiskFull), nullptr);
  EXPECT_EQ(full.findChildren<QPushButton*>().size(), 1);
  QTimer::singleShot(0, &full, [&] { child<QPushButton>(&full, "capacityButton")->click(); });
  full.exec();
  EXPECT_TRUE(full.capacityChosen());
}

}  // namespace
}  // namespace zavel::app
