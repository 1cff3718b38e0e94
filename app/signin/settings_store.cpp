#include "app/signin/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace zavel::app {
namespace {

constexpr mode_t kOwnerOnly = 0600;
constexpr uint16_t kDefaultServerPort = 22222;

// QSettings reads "/" and "\" in a key as group separators; an id may hold either, so both
// (and the escape character itself) are written as %XX. Upper-case hex keeps the encoding
// unique, so encoded names compare ignoring case exactly as the names themselves do.
QString encodeName(const QString& name) {
  QString out;
  out.reserve(name.size());
  for (QChar c : name) {
    if (c == u'%')
      out += QLatin1String("%25");
    else if (c == u'/')
      out += QLatin1String("%2F");
    else if (c == u'\\')
      out += QLatin1String("%5C");
    else
      out += c;
  }
  return out;
}

std::optional<QString> matchIgnoringCase(const QStringList& names, const QString& name) {
  for (const QString& n : names)
    if (n.compare(name, Qt::CaseInsensitive) == 0) return n;
  return std::nullopt;
}

ServerEndpoint serverIn(const SettingsStore& store, const QString& section) {
  ServerEndpoint server;
  server.host = store.getText(section, QStringLiteral("ip"), QStringLiteral("127.0.0.1"));
  const int port = store.getInt(section, QStringLiteral("port"), kDefaultServerPort);
  server.port = port > 0 && port <= 65535 ? static_cast<uint16_t>(port) : kDefaultServerPort;
  return server;
}

}  // namespace

// The user's file, ~/.config/vemar/zavel.conf (QSettings' own INI user path would end in
// ".ini"); XDG_CONFIG_HOME moves it.
SettingsStore::SettingsStore()
    : SettingsStore(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                    QStringLiteral("/vemar/zavel.conf")) {}

SettingsStore::SettingsStore(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {
  settings_->setFallbacksEnabled(false);
  restrictFile();
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::fileName() const {
  return settings_->fileName();
}

std::optional<QString> SettingsStore::storedSection(const QString& section) const {
  return matchIgnoringCase(settings_->childGroups(), encodeName(section));
}

std::optional<QString> SettingsStore::storedValue(const QString& group,
                                                  const QString& value) const {
  settings_->beginGroup(group);
  const QStringList keys = settings_->childKeys();
  settings_->endGroup();
  return matchIgnoringCase(keys, encodeName(value));
}

std::optional<QString> SettingsStore::readPath(const QString& section, const QString& value) const {
  if (section.isEmpty() || value.isEmpty()) return std::nullopt;
  const std::optional<QString> group = storedSection(section);
  if (!group) return std::nullopt;
  const std::optional<QString> key = storedValue(*group, value);
  if (!key) return std::nullopt;
  return *group + u'/' + *key;
}

QString SettingsStore::writePath(const QString& section, const QString& value) const {
  const QString group = storedSection(section).value_or(encodeName(section));
  return group + u'/' + storedValue(group, value).value_or(encodeName(value));
}

QString SettingsStore::getText(const QString& section, const QString& value,
                               const QString& fallback) const {
  const std::optional<QString> path = readPath(section, value);
  if (!path) return fallback;
  const QVariant v = settings_->value(*path);
  // An unquoted text with commas in a hand-edited file reads as a list.
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(u',');
  if (v.typeId() == QMetaType::QByteArray) return fallback;
  return v.toString();
}

int SettingsStore::getInt(const QString& section, const QString& value, int fallback) const {
  const std::optional<QString> path = readPath(section, value);
  if (!path) return fallback;
  const QVariant v = settings_->value(*path);
  if (v.typeId() == QMetaType::QByteArray) return fallback;
  bool ok = false;
  const int number = v.toInt(&ok);
  return ok ? number : fallback;
}

std::optional<QByteArray> SettingsStore::getBinary(const QString& section,
                                                   const QString& value) const {
  const std::optional<QString> path = readPath(section, value);
  if (!path) return std::nullopt;
  const QVariant v = settings_->value(*path);
  if (v.typeId() != QMetaType::QByteArray) return std::nullopt;
  return v.toByteArray();
}

void SettingsStore::writeText(const QString& section, const QString& value, const QString& text) {
  write(section, value, text);
}

void SettingsStore::writeInt(const QString& section, const QString& value, int number) {
  write(section, value, number);
}

void SettingsStore::writeBinary(const QString& section, const QString& value,
                                const QByteArray& bytes) {
  write(section, value, bytes);
}

void SettingsStore::write(const QString& section, const QString& value, const QVariant& data) {
  // An empty name would land outside its section (QSettings drops empty path parts).
  if (section.isEmpty() || value.isEmpty()) return;
  prepareFile();
  settings_->setValue(writePath(section, value), data);
  commit();
}

void SettingsStore::removeValue(const QString& section, const QString& value) {
  if (const std::optional<QString> path = readPath(section, value)) {
    settings_->remove(*path);
    commit();
  }
}

void SettingsStore::deleteSection(const QString& section) {
  // Never remove("") : that would empty the whole file.
  if (section.isEmpty()) return;
  if (const std::optional<QString> group = storedSection(section)) {
    settings_->remove(*group);
    commit();
  }
}

void SettingsStore::commit() {
  settings_->sync();
  restrictFile();
}

// QSettings saves through a temporary file that takes the permissions of the existing file
// (and is itself created 0600 while one exists), so creating the file 0600 before the first
// save leaves no moment in which the password could be read by others.
void SettingsStore::prepareFile() const {
  const QString path = settings_->fileName();
  if (QFileInfo::exists(path)) return;
  QDir().mkpath(QFileInfo(path).absolutePath());
  const int fd = ::open(QFile::encodeName(path).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kOwnerOnly);
  if (fd < 0) return;
  ::fchmod(fd, kOwnerOnly);  // the umask may have taken the owner's bits too
  ::close(fd);
}

void SettingsStore::restrictFile() const {
  const QByteArray path = QFile::encodeName(settings_->fileName());
  struct stat st {};
  if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  if ((st.st_mode & 07777) != kOwnerOnly) ::chmod(path.constData(), kOwnerOnly);
}

ServerEndpoint portalServer(const SettingsStore& store) {
  return serverIn(store, QStringLiteral("server"));
}

ServerEndpoint octaServer(const SettingsStore& store) {
  return serverIn(store, QStringLiteral("serverOCTA"));
}

}  // namespace zavel::app
