// The explorer's logic without a server: which commands are enabled in which state, list rows
// with their type and date texts and sort,
// the path levels, device paths confined to their root, the settings dialog's rules and the
// stored download folder, the folder chooser inside "My Device", and the large-file mail.
#include <gtest/gtest.h>

#include <QDir>
#include <QFont>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <tuple>

#include "app/explorer/command_rules.h"
#include "app/explorer/device_paths.h"
#include "app/explorer/file_kinds.h"
#include "app/explorer/folder_chooser_logic.h"
#include "app/explorer/list_rows.h"
#include "app/explorer/mail_logic.h"
#include "app/explorer/path_levels.h"
#include "app/explorer/settings_logic.h"
#include "app/explorer/settings_texts.h"
#include "tests/app/support/app_test.h"

namespace zavel::app {
namespace {

ListRow file(const QString& name, const QString& size, const QString& date = "") {
  return remoteRow({name, false, size.toLongLong(), date, "", std::nullopt}, "");
}

ListRow folder(const QString& name) {
  return remoteRow({name, true, 0, "", "", std::nullopt}, "");
}

QStringList names(const std::vector<ListRow>& rows) {
  QStringList out;
  for (const ListRow& r : rows) out << r.cells[kColName];
  return out;
}

TEST(ListRows, CellsOfLocalAndRemoteEntries) {
  const QDateTime noon(QDate(2004, 7, 1), QTime(12, 30));
  const std::pair<ListRow, QStringList> cases[] = {
      {localRow({"a.b.txt", false, 1234, noon, ""}),
       {"a.b.txt", "1234", "TXT 파일", "2004-07-01 AM 12:30", ""}},
      {localRow({"readme", false, 0, QDateTime(QDate(2004, 1, 2), QTime(0, 5)), ""}),
       {"readme", "0", "파일", "2004-01-02 AM 00:05", ""}},
      {localRow({"x.mp3", false, 5, QDateTime(QDate(2010, 12, 31), QTime(13, 5)), "MP3 audio"}),
       {"x.mp3", "5", "MP3 audio", "2010-12-31 PM 01:05", ""}},
      {localRow({"사진", true, 4096, QDateTime(QDate(2004, 7, 1), QTime(23, 59)), ""}),
       {"사진", "폴더", "사진", "2004-07-01 PM 11:59", ""}},
      {remoteRow({"/demo/docs/a.pdf", false, 3000000000, "2004-07-01", "", std::nullopt},
                 "/demo/docs"),
       {"a.pdf", "3000000000", "PDF 파일", "2004-07-01", ""}},
      {remoteRow({"/octa/12/사진", true, 0, "d", "", 12}, "/octa/12"),
       {"사진", "폴더", "", "d", "<12@>"}},
      {remoteRow({"/octa/x/y.jpg", false, 1, "d", "", 9}, "<12@>"),
       {"y.jpg", "1", "JPG 파일", "d", "<9>"}},
      {remoteRow({"/octa/12/a", false, 7, "d", "", int64_t{1} << 40}, "/octa/12"),
       {"a", "7", "파일", "d", "<1099511627776>"}},
  };
  for (const auto& [row, cells] : cases) {
    SCOPED_TRACE(cells.join('|').toStdString());
    EXPECT_EQ(QStringList(row.cells.begin(), row.cells.end()), cells);
  }
  EXPECT_TRUE(isFolderRow(folder("x")));
  EXPECT_FALSE(isFolderRow(file("폴더", "1")));
}

TEST(ListRows, SortKeepsFoldersFirstAndSizesNumeric) {
  std::vector<ListRow> rows = {file("b", "1000", "2004-01-02"), folder("z"),
                               file("a", "999", "2004-01-03"),
                               file("c", "3000000000", "2004-01-01"), folder("m")};
  const std::pair<int, QStringList> cases[] = {
      {kColName, {"m", "z", "a", "b", "c"}},
      {kColSize, {"z", "m", "a", "b", "c"}},  // folders keep their order; 999 before 1000
      {kColDate, {"z", "m", "c", "b", "a"}},
      {kColType, {"z", "m", "b", "a", "c"}},  // equal types keep their order
  };
  for (const auto& [column, order] : cases) {
    SCOPED_TRACE(column);
    std::vector<ListRow> sorted = rows;
    sortRows(sorted, column);
    EXPECT_EQ(names(sorted), order);
  }
}

// Counts what the lists ask the desktop for.
class CountingIcons : public QAbstractFileIconProvider {
 public:
  QIcon icon(const QFileInfo& info) const override {
    ++asked;
    return QAbstractFileIconProvider::icon(info);
  }
  using QAbstractFileIconProvider::icon;
  mutable int asked = 0;
};

TEST(FileKinds, IconsAndTypeNamesAreLookedUpOncePerKind) {
  CountingIcons icons;
  FileKinds kinds(&icons);
  std::vector<ListRow> rows;
  for (int i = 0; i < 300; ++i)
    rows.push_back(file(QStringLiteral("/d/photo %1.%2").arg(i).arg(i % 3 ? "jpg" : "JPG"), "1"));
  rows.push_back(file("/d/notes.txt", "1"));
  rows.push_back(file("/d/README", "1"));
  rows.push_back(file("/d.x/README", "1"));  // a dot in a folder's name is no extension
  showKinds(rows, kinds);
  EXPECT_EQ(icons.asked, 3);  // jpg (either case), txt, none
  EXPECT_EQ(rows[0].cells[kColType], rows[1].cells[kColType]);
  EXPECT_EQ(rows[300].cells[kColType], fileTypeText("notes.txt", kinds.file("a.txt").typeName));
  EXPECT_EQ(rows[302].cells[kColType], rows[301].cells[kColType]);
}

TEST(PathLevels, ItemsCaptionsAndPaths) {
  PathLevels remote('/', "전체 ZAVEL 보기");
  remote.enter("My zavel");
  remote.enter("docs");
  remote.pushKey("<12@>");
  EXPECT_EQ(remote.items(), (QStringList{"전체 ZAVEL 보기", " My zavel", "  docs"}));
  EXPECT_EQ(remote.fullPath(), "/전체 ZAVEL 보기/My zavel/docs");
  EXPECT_EQ(remote.below(2), "/docs");
  const QFontMetrics metrics{QFont()};
  EXPECT_EQ(remote.caption(metrics), "  docs ▼");
  remote.enter(QString(60, 'w'));
  EXPECT_EQ(remote.caption(metrics), "   " + QString(13, 'w') + "...▼");
  remote.choose(1);  // two levels dropped, and the one club key
  EXPECT_EQ(remote.count(), 2);
  EXPECT_FALSE(remote.hasKeys());
  remote.choose(-1);  // below the first level: the first
  EXPECT_EQ(remote.items(), QStringList{"전체 ZAVEL 보기"});

  PathLevels local('\\', "My Device");
  local.enter("사진");
  EXPECT_EQ(local.fullPath(), "\\My Device\\사진");
  EXPECT_EQ(local.below(1), "\\사진");
}

TEST(DevicePaths, MapsInsideTheRootAndRefusesTheRest) {
  const DevicePaths paths("/home/kim/");
  const std::pair<QString, std::optional<QString>> cases[] = {
      {"", "/home/kim"},
      {"\\", "/home/kim"},
      {"\\사진\\2004", "/home/kim/사진/2004"},
      {"\\..", std::nullopt},
      {"\\a\\..\\..\\etc", std::nullopt},
      {"\\a/b", std::nullopt},
      {"\\a\\\\b", std::nullopt},
      {"\\a\x01", std::nullopt},
      {"relative", std::nullopt},
  };
  for (const auto& [device, host] : cases) {
    SCOPED_TRACE(device.toStdString());
    EXPECT_EQ(paths.toHost(device), host);
  }
  EXPECT_EQ(DevicePaths::join("\\", "a"), "\\a");
  EXPECT_EQ(DevicePaths::join("\\a", "b"), "\\a\\b");
}

TEST(SettingsLogic, ApplyIsEnabledExactlyWhileTheFolderDiffersIgnoringCase) {
  const std::tuple<const char*, QStringList, bool> cases[] = {
      {"nothing chosen", {}, false},
      {"same folder, other case", {"\\DOWNLOAD"}, false},
      {"another folder", {"\\Music"}, true},
      {"another folder, then the start again", {"\\Music", "\\download"}, false},
      {"the root", {"\\"}, true},
  };
  for (const auto& [name, chosen, apply] : cases) {
    SCOPED_TRACE(name);
    SettingsLogic logic("\\Download");
    for (const QString& folder : chosen) logic.choose(folder);
    EXPECT_EQ(logic.applyEnabled(), apply);
    EXPECT_EQ(logic.folder(), chosen.isEmpty() ? "\\Download" : chosen.last());
  }
}

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    for (const char* sub : {"device/Downloads", "device/a/b", "device/ab/c", "device/a2",
                            "device/a10", "device/B", "device-x/Downloads", "outside"})
      ASSERT_TRUE(QDir(dir_.path()).mkpath(sub));
    testing::writeFile(root_ + "/f.txt", "");
  }

  QTemporaryDir dir_;
  QString root_ = dir_.path() + "/device";
};

// The default is inside the root or the root; a stored folder is read back when it is there.
TEST_F(DeviceTest, DownloadFolderDefaultsInsideTheRootAndReadsBackOnlyWhatIsThere) {
  const DevicePaths device(root_);
  const auto byDefault = [&](const QString& host) {
    return SettingsLogic::defaultDownloadFolder(device, host);
  };
  const QString fallback =
      byDefault(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
  SettingsStore store(dir_.path() + "/zavel.conf");
  const QString unset = SettingsLogic::storedDownloadFolder(store, device);
  const auto stored = [&](const char* folder) {
    SettingsLogic::storeDownloadFolder(store, folder);
    EXPECT_EQ(store.getText("USER", "downpath"), folder);
    return SettingsLogic::storedDownloadFolder(store, device);
  };
  // clang-format off
  const std::pair<QString, QString> cases[] = {
      {byDefault(root_ + "/Downloads"),                       "\\Downloads"},
      {byDefault(root_ + "/a/b/"),                            "\\a\\b"},
      {byDefault(root_),                                      "\\"},
      {byDefault(root_ + "/Missing"),                         "\\"},
      // A sibling whose name starts with the root's is outside it.
      {byDefault(dir_.path() + "/device-x/Downloads"),        "\\"},
      {byDefault(dir_.path() + "/outside"),                   "\\"},
      {byDefault(root_ + "/../outside"),                      "\\"},
      {byDefault(""),                                         "\\"},
      {unset,                                                 fallback},
      {stored("\\a\\b"),                                      "\\a\\b"},
      {stored("\\"),                                          "\\"},
      {stored("\\Program Files\\Tovian\\zavel\\Download"),    fallback},
      {stored("\\..\\outside"),                               fallback},
      {stored("a\\b"),                                        fallback},
      {stored("\\f.txt"),                                     fallback},
  };
  // clang-format on
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;
}

// "up", "+name" (entered), "-name" (refused: not one listed level), "#n" (the drop-down's
// entry n chosen): the folder then, the drop-down's entries and the one selected.
TEST_F(DeviceTest, ChooserClimbsEntersAndReusesTheDropDownEntries) {
  // clang-format off
  const std::tuple<const char*, const char*, const char*, QStringList, int> cases[] = {
      {"\\",          "up",                          "\\",   {"\\"},                  0},
      {"\\a",         "up",                          "\\",   {"\\a", "\\"},           1},
      {"\\ab\\c",     "up",                          "\\ab", {"\\ab\\c", "\\ab"},     1},
      {"\\a\\b",      "up",                          "\\a",  {"\\a\\b", "\\a"},       1},
      {"\\",          "+a +b up up +a",              "\\a",  {"\\", "\\a", "\\a\\b"}, 1},
      {"\\",          "+a +b up up +a #0 #3",        "\\",   {"\\", "\\a", "\\a\\b"}, 0},
      {"\\a",         "-.. -. - -f.txt -missing",    "\\a",  {"\\a"},                 0},
      {"\\a",         "-b\\..\\.. -b/../.. -b\x01",  "\\a",  {"\\a"},                 0},
      // Starting folders that would leave the root, or are not in device form: the root.
      {"\\..",        "",                            "\\",   {"\\"},                  0},
      {"\\a\\..\\..", "",                            "\\",   {"\\"},                  0},
      {"a\\b",        "",                            "\\",   {"\\"},                  0},
      {"",            "",                            "\\",   {"\\"},                  0},
      {"\\a\\",       "",                            "\\",   {"\\"},                  0},
  };
  // clang-format on
  for (const auto& [start, steps, current, visited, selected] : cases) {
    SCOPED_TRACE(std::string(start) + ": " + steps);
    FolderChooserLogic chooser{DevicePaths(root_)};
    chooser.start(start);
    for (const QString& step : QString(steps).split(' ', Qt::SkipEmptyParts)) {
      if (step == "up") chooser.up();
      if (step[0] == '#') chooser.selectVisited(step.mid(1).toInt());
      const bool named = step[0] == '+' || step[0] == '-';
      EXPECT_TRUE(!named || chooser.enter(step.mid(1)) == (step[0] == '+')) << step.toStdString();
    }
    EXPECT_EQ(chooser.current(), current);
    EXPECT_EQ(chooser.visited(), visited);
    EXPECT_EQ(chooser.selectedVisited(), selected);
  }
  // Listed in the user's collation (the C locale of a bare test run has none).
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
  FolderChooserLogic chooser{DevicePaths(root_)};
  chooser.start("\\ab\\c");
  EXPECT_EQ(chooser.subfolders(), QStringList{});
  chooser.up();
  EXPECT_EQ(chooser.subfolders(), QStringList{"c"});
  chooser.up();
  EXPECT_EQ(chooser.subfolders(), QStringList({"a", "a2", "a10", "ab", "B", "Downloads"}));
  QLocale::setDefault(previous);
}

class MailTest : public ::testing::Test {
 protected:
  MailTest() {
    std::vector<ListRow> rows;
    for (const auto& [name, size] :
         {std::pair<QString, int64_t>{"사진", -1}, {"a.bin", 1234567}, {"b.txt", 5}, {"music", -1}})
      rows.push_back(remoteRow(
          {"/docs/" + name, size < 0, std::max<int64_t>(size, 0), "", "", std::nullopt}, "/docs"));
    remote_.setRows(std::move(rows));
    disk_.diskname = "My zavel";
    disk_.diskid = "demo01";
    disk_.publicip = "127.0.0.1";
  }

  LoginInfo login_ = testing::user("demo", "@zavel.net");
  DiskEntry disk_;  // read by the mail when it is made
  FileListModel remote_;
  testing::ScriptedPrompter prompter_;
};

TEST_F(MailTest, FoldersAreLeftOutAndOnlyFilesAreSent) {
  const QString left_out = text::tr(text::kFoldersLeftOut);
  const QString files_only = text::tr(text::kFilesOnly);
  // The rows selected (0 and 3 are folders), whether they do, the prompts, files and bytes.
  const std::tuple<const char*, QList<int>, bool, QStringList, QStringList, uint64_t> cases[] = {
      {"nothing", {}, false, {files_only}, {}, 0},
      {"folders only", {0, 3}, false, {files_only}, {}, 0},
      {"folders and files", {0, 1, 3, 2}, true, {left_out}, {"a.bin", "b.txt"}, 1234572},
      {"files only", {2, 1}, true, {}, {"b.txt", "a.bin"}, 1234572},
      {"a row twice, a row past the end", {1, 1, 9, -1}, true, {}, {"a.bin"}, 1234567},
  };
  for (const auto& [name, selected, ok, prompts, files, total] : cases) {
    SCOPED_TRACE(name);
    prompter_.clear();
    MailLogic mail(login_, &disk_, "/docs");
    EXPECT_EQ(mail.collect(remote_, selected, prompter_), ok);
    EXPECT_EQ(prompter_.texts(), prompts);
    QStringList collected;
    for (const MailFile& f : mail.files()) collected << f.name;
    EXPECT_EQ(collected, files);
    EXPECT_EQ(mail.totalSize(), total);
  }
}

TEST_F(MailTest, FieldsStartWithTheUserAndTheUrlCarriesHostileTextsAndOneAddress) {
  MailLogic mail_{login_, &disk_, "/docs"};
  ASSERT_TRUE(mail_.collect(remote_, {1, 2}, prompter_));
  EXPECT_EQ(mail_.recipient(), "");
  EXPECT_EQ(mail_.senderName(), "demo@zavel.net");
  EXPECT_EQ(mail_.sender(), "demo@zavel.net");
  EXPECT_EQ(mail_.diskId(), "demo01");
  EXPECT_EQ(mail_.diskHost(), "127.0.0.1");
  EXPECT_EQ(mail_.body(),
            "a.bin (1,234,567 byte)\nb.txt (5 byte)\n\n파일 크기: 1,234,572 byte\n"
            "연결된 ZAVEL : My zavel /docs");

  // The mailto: URL carries hostile texts intact.
  const QString subject = "A & B? #1 + 50% 자료&body=x";
  mail_.setRecipient(" 홍길동@예제.한국 ");
  mail_.setSubject(subject);
  mail_.setBody("첫 줄\n둘째 & 줄\r\n셋째");
  const QUrl url = mail_.mailtoUrl();
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

  // Recipients that give a mailto: URL (trimmed), then those that give none.
  const std::pair<bool, std::vector<const char*>> cases[] = {
      {true, {"friend@example.com", "  friend@example.com\t", "홍길동@예제.한국"}},
      {false,
       {"", "   ", "friend", "@example.com", "friend@", "a@b@c", "my friend@example.com",
        "friend@example.com?cc=boss@example.com", "a&b@example.com", "friend@example.com#x",
        "a@x.com,b@y.com", "a@x.com;b@y.com", "friend\r\n@example.com", "friend@exa\x7Fmple.com"}}};
  for (const auto& [ok, recipients] : cases) {
    for (const char* recipient : recipients) {
      SCOPED_TRACE(recipient);
      mail_.setRecipient(recipient);
      EXPECT_EQ(mail_.mailtoUrl().isValid(), ok);
    }
  }
}

using List = ExplorerLogic::List;
using Mode = ExplorerLogic::Mode;

// The commands a state enables, by short names, in a fixed order.
const std::pair<int, const char*> kJudged[] = {
    {kCmdUpload, "up"},       {kCmdDownload, "down"},  {kCmdMail, "mail"},
    {kCmdNewFolder, "new"},   {kCmdDelete, "del"},     {kCmdRename, "ren"},
    {kCmdDisconnect, "disc"}, {kCmdCapacity, "space"}, {kCmdConnect, "conn"},
    {kCmdRefresh, "refresh"}, {kCmdSelectAll, "all"}};

QString commandName(int command) {
  for (const auto& [c, name] : kJudged)
    if (c == command) return name;
  return QString::number(command);
}

TEST(CommandRules, EachCommandFollowsTheListTheModeTheSelectionAndTheRights) {
  constexpr List R = List::kRemote, L = List::kLocal;
  constexpr Mode F = Mode::kFileList, D = Mode::kDiskList;
  // The state (active list, remote mode, session mode, disks, selected remote rows, a
  // selected row connected), the commands enabled besides refresh and select all, and which
  // of connect and disconnect the button row shows.
  // clang-format off
  const std::tuple<ViewState, QString, const char*> cases[] = {
      {{R, F, 1, 3, 1, false}, "down mail new del ren disc space", "disc"},
      {{R, F, 4, 3, 1, false}, "down mail new del ren disc space", "disc"},
      {{R, F, 2, 3, 1, false}, "down mail new disc space", "disc"},
      {{R, F, 3, 3, 1, false}, "down mail disc space", "disc"},
      {{R, F, 3, 3, 4, false}, "down mail disc space", "disc"},
      {{R, F, 1, 3, 0, false}, "new del ren disc space", "disc"},
      {{L, F, 1, 3, 0, false}, "up new del ren disc space", "disc"},
      {{L, F, 2, 3, 1, false}, "up new del ren disc space", "disc"},
      {{L, F, 3, 3, 1, false}, "new del ren disc space", "disc"},
      {{L, F, 4, 3, 0, false}, "up new del ren disc space", "disc"},
      {{R, F, 1, 0, 1, false}, "down mail new del ren", "disc"},
      {{R, D, 1, 3, 0, false}, "", "conn"},
      {{R, D, 1, 3, 1, false}, "conn", "conn"},
      {{R, D, 3, 3, 1, true}, "disc", "disc"},
      {{R, D, 1, 3, 2, true}, "disc", "disc"},
      {{L, D, 1, 3, 0, false}, "new del ren", "conn"},
      {{R, D, 3, 0, 0, false}, "", "conn"},
  };
  // clang-format on
  for (const auto& [state, enabled, shown] : cases) {
    const CommandRules rules(state);
    QStringList on;
    for (const auto& [command, name] : kJudged)
      if (rules.enabled(command) && command != kCmdRefresh && command != kCmdSelectAll) on << name;
    SCOPED_TRACE(enabled.toStdString());
    EXPECT_EQ(on.join(' '), enabled);
    EXPECT_EQ(rules.connectShown() ? "conn" : "disc", QString(shown));
    EXPECT_NE(rules.connectShown(), rules.disconnectShown());
    for (int always : {kCmdRefresh, kCmdSelectAll, kCmdLogin, kCmdLogout, kCmdExit, kCmdVersion,
                       kCmdSettings, kCmdOpenDownloadFolder})
      EXPECT_TRUE(rules.enabled(always)) << always;
  }
}

TEST(CommandRules, PopUpsOfferTheirItemsAsTheListHeldAllows) {
  constexpr List R = List::kRemote, L = List::kLocal;
  constexpr Mode F = Mode::kFileList, D = Mode::kDiskList;
  // The state, the list held, on a row, that row connected; the items ("-" when disabled).
  // clang-format off
  const std::tuple<ViewState, List, bool, bool, QString> cases[] = {
      {{L, F, 2, 3, 0, false}, R, true, false, "-del -ren down"},
      {{R, F, 3, 3, 1, false}, R, false, false, "refresh -new all"},
      {{R, D, 1, 3, 0, false}, R, true, false, "conn"},
      {{R, D, 1, 3, 1, false}, R, true, true, "disc"},
      {{R, F, 3, 3, 1, false}, L, true, false, "del ren -up"},
      {{R, D, 1, 3, 0, false}, L, true, false, "del ren -up"},
  };
  // clang-format on
  for (const auto& [state, list, on_row, connected, items] : cases) {
    QStringList shown;
    for (const CommandRules::Item& item : CommandRules(state).popup(list, on_row, connected))
      shown << (item.enabled ? "" : "-") + commandName(item.command);
    EXPECT_EQ(shown.join(' '), items);
  }
}

}  // namespace
}  // namespace zavel::app
