// The settings dialog's rules and the stored download folder, the folder chooser's
// navigation inside "My Device", and the large-file mail's file list and mailto: URL.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrlQuery>

#include "app/explorer/folder_chooser_logic.h"
#include "app/explorer/list_rows.h"
#include "app/explorer/mail_logic.h"
#include "app/explorer/settings_logic.h"
#include "app/explorer/settings_texts.h"
#include "tests/app/support/scripted_prompter.h"

namespace zavel::app {
namespace {

TEST(SettingsLogic, ApplyIsEnabledExactlyWhileTheFolderDiffersIgnoringCase) {
  struct Case {
    const char* name;
    QStringList chosen;
    bool apply;
  } cases[] = {
      {"nothing chosen", {}, false},
      {"same folder, other case", {"\\DOWNLOAD"}, false},
      {"another folder", {"\\Music"}, true},
      {"another folder, then the start again", {"\\Music", "\\download"}, false},
      {"the root", {"\\"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsLogic logic("\\Download");
    for (const QString& folder : c.chosen) logic.choose(folder);
    EXPECT_EQ(logic.applyEnabled(), c.apply);
    EXPECT_EQ(logic.folder(), c.chosen.isEmpty() ? "\\Download" : c.chosen.last());
  }
}

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    root_ = dir_.path() + "/device";
    for (const char* sub : {"device/Downloads", "device/a/b", "device/ab/c", "device/a2",
                            "device/a10", "device/B", "device-x/Downloads", "outside"})
      ASSERT_TRUE(QDir(dir_.path()).mkpath(sub));
    QFile file(root_ + "/f.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }

  QTemporaryDir dir_;
  QString root_;
};

TEST_F(DeviceTest, DefaultDownloadFolderIsInsideTheRootOrTheRoot) {
  const DevicePaths device(root_);
  struct Case {
    QString host;
    const char* folder;
  } cases[] = {
      {root_ + "/Downloads", "\\Downloads"},
      {root_ + "/a/b/", "\\a\\b"},
      {root_, "\\"},
      {root_ + "/Missing", "\\"},
      // A sibling whose name starts with the root's is outside it.
      {dir_.path() + "/device-x/Downloads", "\\"},
      {dir_.path() + "/outside", "\\"},
      {root_ + "/../outside", "\\"},
      {"", "\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host.toStdString());
    EXPECT_EQ(SettingsLogic::defaultDownloadFolder(device, c.host), c.folder);
  }
}

TEST_F(DeviceTest, StoredDownloadFolderIsReadBackOrFallsBackToTheDefault) {
  const DevicePaths device(root_);
  const QString fallback = SettingsLogic::defaultDownloadFolder(
      device, QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
  SettingsStore store(dir_.path() + "/zavel.conf");
  EXPECT_EQ(SettingsLogic::storedDownloadFolder(store, device), fallback);

  struct Case {
    const char* stored;
    QString read;
  } cases[] = {
      {"\\a\\b", "\\a\\b"},
      {"\\", "\\"},
      // A folder that is not there.
      {"\\Program Files\\Tovian\\zavel\\Download", fallback},
      {"\\..\\outside", fallback},
      {"a\\b", fallback},
      {"\\f.txt", fallback},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    SettingsLogic::storeDownloadFolder(store, c.stored);
    EXPECT_EQ(store.getText("USER", "downpath"), c.stored);
    EXPECT_EQ(SettingsLogic::storedDownloadFolder(store, device), c.read);
  }
}

TEST_F(DeviceTest, UpClimbsOneLevelAndNamesTheRootWithABackslash) {
  struct Case {
    const char* start;
    const char* after;
    QStringList visited;
  } cases[] = {
      {"\\", "\\", {"\\"}},
      {"\\a", "\\", {"\\a", "\\"}},
      {"\\ab\\c", "\\ab", {"\\ab\\c", "\\ab"}},
      {"\\a\\b", "\\a", {"\\a\\b", "\\a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    FolderChooserLogic chooser{DevicePaths(root_)};
    chooser.start(c.start);
    EXPECT_EQ(chooser.visited(), QStringList{c.start});
    chooser.up();
    EXPECT_EQ(chooser.current(), c.after);
    EXPECT_EQ(chooser.visited(), c.visited);
    EXPECT_EQ(chooser.selectedVisited(), c.visited.size() - 1);
  }
  // Listed in the user's collation (the C locale of a bare test run has none).
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
  FolderChooserLogic chooser{DevicePaths(root_)};
  chooser.start("\\ab\\c");
  chooser.up();
  EXPECT_EQ(chooser.subfolders(), QStringList{"c"});
  chooser.up();
  EXPECT_EQ(chooser.subfolders(), QStringList({"a", "a2", "a10", "ab", "B", "Downloads"}));
  QLocale::setDefault(previous);
}

TEST_F(DeviceTest, EnteringAndChoosingVisitedFoldersReuseTheDropDownEntries) {
  FolderChooserLogic chooser{DevicePaths(root_)};
  chooser.start("\\");
  ASSERT_TRUE(chooser.enter("a"));
  ASSERT_TRUE(chooser.enter("b"));
  EXPECT_EQ(chooser.current(), "\\a\\b");
  EXPECT_EQ(chooser.subfolders(), QStringList{});
  chooser.up();
  chooser.up();
  EXPECT_EQ(chooser.visited(), QStringList({"\\", "\\a", "\\a\\b"}));
  EXPECT_EQ(chooser.selectedVisited(), 0);
  ASSERT_TRUE(chooser.enter("a"));
  EXPECT_EQ(chooser.selectedVisited(), 1);
  EXPECT_EQ(chooser.visited().size(), 3);

  chooser.selectVisited(0);
  EXPECT_TRUE(chooser.subfolders().contains("Downloads"));
  chooser.selectVisited(3);
  EXPECT_EQ(chooser.current(), "\\");
  EXPECT_EQ(chooser.selectedVisited(), 0);
}

TEST_F(DeviceTest, NamesThatAreNotOneListedLevelAreRefused) {
  FolderChooserLogic chooser{DevicePaths(root_)};
  chooser.start("\\a");
  for (const char* name : {"..", ".", "", "b\\..\\..", "b/../..", "b\x01", "f.txt", "missing"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(chooser.enter(name));
    EXPECT_EQ(chooser.current(), "\\a");
    EXPECT_EQ(chooser.visited(), QStringList{"\\a"});
  }
  // Starting folders that would leave the root, or are not in device form, start at the root.
  for (const char* start : {"\\..", "\\a\\..\\..", "a\\b", "", "\\a\\"}) {
    SCOPED_TRACE(start);
    chooser.start(start);
    EXPECT_EQ(chooser.current(), "\\");
    EXPECT_EQ(chooser.visited(), QStringList{"\\"});
  }
}

ListRow fileRow(const QString& name, uint64_t size) {
  return remoteRow({"/docs/" + name, false, static_cast<int64_t>(size), "", "", std::nullopt},
                   "/docs");
}

ListRow folderRow(const QString& name) {
  return remoteRow({"/docs/" + name, true, 0, "", "", std::nullopt}, "/docs");
}

class MailTest : public ::testing::Test {
 protected:
  MailTest() {
    login_.id = "demo";
    login_.domain = "@zavel.net";
    disk_.diskname = "My zavel";
    disk_.diskid = "demo01";
    disk_.publicip = "127.0.0.1";
    std::vector<ListRow> rows;
    rows.push_back(folderRow("사진"));
    rows.push_back(fileRow("a.bin", 1234567));
    rows.push_back(fileRow("b.txt", 5));
    rows.push_back(folderRow("music"));
    remote_.setRows(std::move(rows));
  }

  LoginInfo login_;
  DiskEntry disk_;
  FileListModel remote_;
  testing::ScriptedPrompter prompter_;
};

TEST_F(MailTest, FoldersAreLeftOutAndOnlyFilesAreSent) {
  const QString left_out = text::tr(text::kFoldersLeftOut);
  const QString files_only = text::tr(text::kFilesOnly);
  struct Case {
    const char* name;
    QList<int> selected;
    bool ok;
    QStringList prompts;
    QStringList files;
    uint64_t total;
  } cases[] = {
      {"nothing", {}, false, {files_only}, {}, 0},
      {"folders only", {0, 3}, false, {files_only}, {}, 0},
      {"folders and files", {0, 1, 3, 2}, true, {left_out}, {"a.bin", "b.txt"}, 1234572},
      {"files only", {2, 1}, true, {}, {"b.txt", "a.bin"}, 1234572},
      {"a row twice, a row past the end", {1, 1, 9, -1}, true, {}, {"a.bin"}, 1234567},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prompter_.clear();
    MailLogic mail(login_, &disk_, "/docs");
    EXPECT_EQ(mail.collect(remote_, c.selected, prompter_), c.ok);
    EXPECT_EQ(prompter_.texts(), c.prompts);
    QStringList files;
    for (const MailFile& f : mail.files()) files << f.name;
    EXPECT_EQ(files, c.files);
    EXPECT_EQ(mail.totalSize(), c.total);
  }
}

TEST_F(MailTest, FieldsStartWithTheUserAndTheFileList) {
  MailLogic mail(login_, &disk_, "/docs");
  ASSERT_TRUE(mail.collect(remote_, {1, 2}, prompter_));
  EXPECT_EQ(mail.recipient(), "");
  EXPECT_EQ(mail.senderName(), "demo@zavel.net");
  EXPECT_EQ(mail.sender(), "demo@zavel.net");
  EXPECT_EQ(mail.diskId(), "demo01");
  EXPECT_EQ(mail.diskHost(), "127.0.0.1");
  EXPECT_EQ(mail.body(),
            "a.bin (1,234,567 byte)\nb.txt (5 byte)\n\n파일 크기: 1,234,572 byte\n"
            "연결된 ZAVEL : My zavel /docs");
}

TEST_F(MailTest, MailtoUrlCarriesHostileTextsIntact) {
  MailLogic mail(login_, &disk_, "/docs");
  ASSERT_TRUE(mail.collect(remote_, {1}, prompter_));
  const QString subject = "A & B? #1 + 50% 자료&body=x";
  mail.setRecipient(" 홍길동@예제.한국 ");
  mail.setSubject(subject);
  mail.setBody("첫 줄\n둘째 & 줄\r\n셋째");
  const QUrl url = mail.mailtoUrl();
  ASSERT_TRUE(url.isValid());
  EXPECT_EQ(url.scheme(), "mailto");
  EXPECT_EQ(url.path(QUrl::FullyDecoded), "홍길동@예제.한국");
  const QUrlQuery query(url);
  EXPECT_EQ(query.queryItems().size(), 2);
  EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), subject);
  EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded), "첫 줄\r\n둘째 & 줄\r\n셋째");
  const QByteArray encoded = url.toEncoded();
  EXPECT_TRUE(encoded.startsWith("mailto:%ED%99%8D")) << encoded.constData();
  EXPECT_TRUE(encoded.contains("subject=A%20%26%20B%3F%20%231%20%2B%2050%25%20"))
      << encoded.constData();
  EXPECT_TRUE(encoded.contains("%0D%0A")) << encoded.constData();
  EXPECT_FALSE(encoded.contains(' '));
}

TEST_F(MailTest, RecipientMustBeOnePlausibleAddress) {
  struct Case {
    const char* recipient;
    bool ok;
  } cases[] = {
      {"friend@example.com", true},
      {"  friend@example.com\t", true},
      {"홍길동@예제.한국", true},
      {"", false},
      {"   ", false},
      {"friend", false},
      {"@example.com", false},
      {"friend@", false},
      {"a@b@c", false},
      {"my friend@example.com", false},
      {"friend@example.com?cc=boss@example.com", false},
      {"a&b@example.com", false},
      {"friend@example.com#x", false},
      {"a@x.com,b@y.com", false},
      {"a@x.com;b@y.com", false},
      {"friend\r\n@example.com", false},
      {"friend@exa\x7Fmple.com", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recipient);
    MailLogic mail(login_, &disk_, "/docs");
    mail.setRecipient(c.recipient);
    EXPECT_EQ(mail.mailtoUrl().isValid(), c.ok);
  }
}

}  // namespace
}  // namespace zavel::app
