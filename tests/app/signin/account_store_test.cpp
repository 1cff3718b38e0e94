// The settings file and the remembered accounts in it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "app/signin/account_store.h"
#include "protocol/portal/portal_scrambler.h"
#include "tests/app/support/app_test.h"

namespace zavel::app {
namespace {

LoginInfo account(const QString& id, const QString& password = "pw", bool save = true) {
  LoginInfo info = testing::user(id, "@vemar.net");
  info.password = password;
  info.savePassword = save;
  return info;
}

QByteArray scrambled(std::u16string units) {
  portal::PortalScrambler::scrambleUnits(units.data(), units.size());
  QByteArray bytes;
  for (char16_t u : units) bytes.append(char(u & 0xFF)).append(char(u >> 8));
  return bytes;
}

mode_t modeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class AccountStoreTest : public ::testing::Test {
 protected:
  QTemporaryDir dir_;
  QString path_ = dir_.filePath("config/zavel.conf");
  SettingsStore store_{path_};
  AccountStore accounts_{store_};
};

TEST_F(AccountStoreTest, LoadsTheLastAccountAndOnlyAPasswordChosenToBeSaved) {
  LoginInfo loaded;
  loaded.password = "left over";
  accounts_.loadAccount(loaded);  // an empty store: the defaults
  EXPECT_EQ(loaded.id, "");
  EXPECT_EQ(loaded.domain, "@vemar.net");
  EXPECT_EQ(loaded.password, "");
  EXPECT_FALSE(loaded.autoConnect);
  EXPECT_TRUE(loaded.savePassword);

  // Saving without the password stores only the choice.
  LoginInfo first = account("user1", "first");
  first.autoConnect = true;
  accounts_.saveAccount(first);
  accounts_.saveAccount(account("kim", "second", false));
  accounts_.loadAccount(loaded);
  EXPECT_EQ(loaded.id, "user1");
  EXPECT_EQ(loaded.password, "first");
  EXPECT_TRUE(loaded.autoConnect);
  EXPECT_FALSE(loaded.savePassword);
  EXPECT_EQ(accounts_.accounts(), QStringList{"user1@vemar.net"});
}

TEST_F(AccountStoreTest, SavesAndDeletesKeepTheListItemByItem) {
  // "+id" saves id@vemar.net, "-id" deletes it; the list and the last account after.
  const std::tuple<QString, QString, QString> cases[] = {
      {"+user1 +kim", "user1@vemar.net,kim@vemar.net", "kim@vemar.net"},
      {"+user1 +user1", "user1@vemar.net", "user1@vemar.net"},
      {"+User1 +user1", "User1@vemar.net", "user1@vemar.net"},
      {"+user1 +ser1", "user1@vemar.net,ser1@vemar.net", "ser1@vemar.net"},
      {"+user1 +ser1 -ser1", "user1@vemar.net", ""},
      {"+user1 -user1", "", ""},
      {"+user1 +kim -user1", "kim@vemar.net", "kim@vemar.net"},
      {"+user1 -USER1", "", ""},
  };
  for (const auto& [script, all, last] : cases) {
    SCOPED_TRACE(script.toStdString());
    const QStringList steps = script.split(' ');
    for (const QString& step : steps)
      step[0] == '+' ? accounts_.saveAccount(account(step.mid(1)))
                     : accounts_.deleteAccount(account(step.mid(1)));
    EXPECT_EQ(store_.getText("user", "ALL"), all);
    EXPECT_EQ(store_.getText("user", "id"), last);
    for (const QString& step : steps) {
      const QString key = step.mid(1) + "@vemar.net";
      const bool kept = all.split(',').contains(key, Qt::CaseInsensitive);
      EXPECT_EQ(store_.getText(key, "Id").compare(step.mid(1), Qt::CaseInsensitive) == 0, kept);
      EXPECT_EQ(store_.getText(key, "sitename"), kept ? "@vemar.net" : "");
    }
    for (const QString& step : steps) store_.deleteSection(step.mid(1) + "@vemar.net");
    store_.deleteSection("user");
  }
}

TEST_F(AccountStoreTest, PasswordsComeBackAsSavedUpTo80Characters) {
  const QString passwords[] = {"", "비밀번호", QChar(0x04CB) + QString("abc"),  // scrambles to 0
                               QString(80, 'x'), QString(81, 'x')};
  for (const QString& password : passwords) {
    SCOPED_TRACE(password.toStdString());
    accounts_.saveAccount(account("user1", "older"));
    accounts_.saveAccount(account("user1", password));
    const QString expected = password.size() <= 80 ? password : "";
    EXPECT_EQ(store_.getBinary("user1@vemar.net", "password").has_value(), password.size() <= 80);
    EXPECT_EQ(accounts_.restorePassword("user1@vemar.net"), expected);
    LoginInfo loaded;
    accounts_.loadAccount(loaded);
    EXPECT_EQ(loaded.password, expected);
    EXPECT_EQ(accounts_.accounts(), QStringList{"user1@vemar.net"});
  }
  // Scrambled UTF-16 units, little-endian, no terminator.
  accounts_.saveAccount(account("user1", "pw"));
  EXPECT_EQ(store_.getBinary("user1@vemar.net", "password"), QByteArray("\xbb\x04\x55\xf0", 4));
}

TEST_F(AccountStoreTest, RestoresOnlyListedAccountsUpToAZeroUnit) {
  // The account list, the stored bytes of user1@x, the password restored.
  const std::tuple<QString, QByteArray, QString> cases[] = {
      {"user1@x", scrambled(u"ab\0cd"), "ab"},
      {"user1@x", scrambled(u"ab").left(3), "a"},
      {"kim@x,USER1@X", scrambled(u"secret"), "secret"},
      {"xuser1@x,user1@xy", scrambled(u"secret"), ""},
      {"", scrambled(u"secret"), ""},
  };
  store_.writeText("user", "id", "user1@x");
  for (const auto& [all, bytes, restored] : cases) {
    SCOPED_TRACE(all.toStdString());
    store_.writeText("user", "ALL", all);
    store_.writeBinary("user1@x", "password", bytes);
    EXPECT_EQ(accounts_.restorePassword("user1@x"), restored);
  }
  LoginInfo loaded;  // the last account's password, whether listed or not
  accounts_.loadAccount(loaded);
  EXPECT_EQ(loaded.password, "secret");
}

TEST_F(AccountStoreTest, NamesIgnoreCaseAndSlashesMakeNoNestedSections) {
  store_.writeText("Server", "IP", "10.0.0.1");
  store_.writeText("SERVER", "ip", "10.0.0.2");
  store_.writeText("server", "port", "70000");
  store_.writeText("a/b", "c\\d", "inner");
  store_.writeText("a", "b/c", "outer");
  EXPECT_EQ(portalServer(store_).host, "10.0.0.2");
  EXPECT_EQ(portalServer(store_).port, 22222);
  EXPECT_EQ(store_.getText("A/B", "C\\D"), "inner");
  EXPECT_EQ(store_.getText("a", "b"), "");
  store_.deleteSection("a/b");
  store_.deleteSection("");  // names nothing; must not empty the file
  EXPECT_EQ(store_.getText("a/b", "c\\d"), "");
  EXPECT_EQ(store_.getText("a", "b/c"), "outer");

  QSettings raw(path_, QSettings::IniFormat);
  EXPECT_EQ(raw.childGroups(), (QStringList{"Server", "a"}));
  EXPECT_EQ(raw.value("Server/IP").toString(), "10.0.0.2");
  raw.beginGroup("a");
  EXPECT_TRUE(raw.childGroups().isEmpty());
}

TEST_F(AccountStoreTest, FileIsPrivateFromItsFirstWrite) {
  const mode_t old_mask = ::umask(0);
  accounts_.saveAccount(account("user1", "secret"));
  EXPECT_EQ(modeOf(path_), 0600u);
  // A file left readable by others is closed again, on opening and on writing.
  ::chmod(QFile::encodeName(path_).constData(), 0644);
  SettingsStore reopened(path_);
  EXPECT_EQ(modeOf(path_), 0600u);
  ::chmod(QFile::encodeName(path_).constData(), 0644);
  reopened.writeInt("user", "Auto", 1);
  EXPECT_EQ(modeOf(path_), 0600u);
  ::umask(old_mask);
}

}  // namespace
}  // namespace zavel::app
