#include "app/signin/account_store.h"

#include <vector>

#include "protocol/portal/portal_scrambler.h"
#include "protocol/portal/service_domains.h"

namespace zavel::app {
namespace {

const QString kUser = QStringLiteral("user");
const QString kAll = QStringLiteral("ALL");
const QString kLast = QStringLiteral("id");
const QString kAuto = QStringLiteral("Auto");
const QString kPwSave = QStringLiteral("PwSave");
const QString kId = QStringLiteral("Id");
const QString kSiteName = QStringLiteral("sitename");
const QString kPassword = QStringLiteral("password");

QString defaultDomain() {
  return QString::fromUtf8(kPortalDomains[0].data(),
                           static_cast<qsizetype>(kPortalDomains[0].size()));
}

// The password's UTF-16 units, scrambled, two bytes each in little-endian order.
QByteArray scramblePassword(const QString& password) {
  std::u16string units = password.toStdU16String();
  portal::PortalScrambler::scrambleUnits(units.data(), units.size());
  QByteArray bytes;
  bytes.reserve(static_cast<qsizetype>(units.size() * 2));
  for (char16_t u : units) {
    bytes.append(static_cast<char>(u & 0xFF));
    bytes.append(static_cast<char>(u >> 8));
  }
  return bytes;
}

// The stored units unscrambled; an odd last byte is dropped and the text ends at the first
// zero unit.
QString unscramblePassword(const QByteArray& bytes) {
  std::u16string units(static_cast<size_t>(bytes.size() / 2), u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    const auto lo = static_cast<uint8_t>(bytes[static_cast<qsizetype>(2 * i)]);
    const auto hi = static_cast<uint8_t>(bytes[static_cast<qsizetype>(2 * i + 1)]);
    units[i] = static_cast<char16_t>(lo | (hi << 8));
  }
  portal::PortalScrambler::unscrambleUnits(units.data(), units.size());
  const size_t end = units.find(u'\0');
  if (end != std::u16string::npos) units.resize(end);
  return QString::fromStdU16String(units);
}

}  // namespace

AccountStore::AccountStore(SettingsStore& store) : store_(store) {}

QStringList AccountStore::accounts() const {
  return store_.getText(kUser, kAll).split(u',', Qt::SkipEmptyParts);
}

// The list is matched item by item: a key that is part of another key is not a match.
bool AccountStore::remembered(const QString& accountKey) const {
  return accounts().contains(accountKey, Qt::CaseInsensitive);
}

void AccountStore::loadAccount(LoginInfo& info) const {
  const QString last = store_.getText(kUser, kLast);
  info.autoConnect = store_.getInt(kUser, kAuto, 0) != 0;
  info.savePassword = store_.getInt(kUser, kPwSave, 1) != 0;
  info.id = store_.getText(last, kLast);
  info.domain = store_.getText(last, kSiteName, defaultDomain());
  // Saved domains carry their "@" already; the default (and a hand-written one) may not.
  if (!info.domain.startsWith(u'@')) info.domain.prepend(u'@');
  info.password.clear();
  if (!last.isEmpty()) {
    if (const std::optional<QByteArray> stored = store_.getBinary(last, kPassword))
      info.password = unscramblePassword(*stored);
  }
}

void AccountStore::storeSignIn(const LoginInfo& info, bool fromMenu) {
  if (info.deleteInfo)
    deleteAccount(info);
  else if (!fromMenu || !info.password.isEmpty())
    saveAccount(info);
}

void AccountStore::saveAccount(const LoginInfo& info) {
  const QString key = info.accountKey();
  if (info.savePassword) {
    QString list = store_.getText(kUser, kAll);
    if (list.isEmpty())
      list = key;
    else if (!remembered(key))
      list += u',' + key;
    store_.writeText(kUser, kAll, list);
    store_.writeText(kUser, kLast, key);
    store_.writeInt(kUser, kAuto, info.autoConnect ? 1 : 0);
    store_.writeText(key, kId, info.id);
    store_.writeText(key, kSiteName, info.domain);
    if (info.password.size() <= kMaxStoredPassword)
      store_.writeBinary(key, kPassword, scramblePassword(info.password));
    else
      store_.removeValue(key, kPassword);  // never an older password under the new account
  }
  store_.writeInt(kUser, kPwSave, info.savePassword ? 1 : 0);
}

void AccountStore::deleteAccount(const LoginInfo& info) {
  const QString key = info.accountKey();
  QStringList items = store_.getText(kUser, kAll).split(u',');
  items.removeIf([&](const QString& item) { return item.compare(key, Qt::CaseInsensitive) == 0; });
  QString last = store_.getText(kUser, kLast);
  if (last.compare(key, Qt::CaseInsensitive) == 0) last.clear();
  store_.writeText(kUser, kAll, items.join(u','));
  store_.writeText(kUser, kLast, last);
  store_.writeInt(kUser, kAuto, info.autoConnect ? 1 : 0);
  store_.writeInt(kUser, kPwSave, info.savePassword ? 1 : 0);
  store_.deleteSection(key);
}

QString AccountStore::restorePassword(const QString& accountKey) const {
  if (!remembered(accountKey)) return {};
  const std::optional<QByteArray> stored = store_.getBinary(accountKey, kPassword);
  return stored ? unscramblePassword(*stored) : QString();
}

}  // namespace zavel::app
