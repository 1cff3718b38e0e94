// The program's settings: sections of named text, integer and binary values in an INI file.
// Section and value names are case-insensitive, as registry names are. The file holds a
// remembered password, so it is kept readable and writable by its owner only.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>

class QSettings;

namespace zavel::app {

class SettingsStore {
 public:
  // ~/.config/vemar/zavel.conf (XDG_CONFIG_HOME honoured).
  SettingsStore();
  explicit SettingsStore(const QString& iniPath);
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // Absent values (and values of another kind) read as the fallback.
  QString getText(const QString& section, const QString& value, const QString& fallback = {}) const;
  int getInt(const QString& section, const QString& value, int fallback) const;
  std::optional<QByteArray> getBinary(const QString& section, const QString& value) const;

  // Every change reaches the file before the call returns. An empty section or value name
  // names nothing: reads give the fallback, writes and removals do nothing.
  void writeText(const QString& section, const QString& value, const QString& text);
  void writeInt(const QString& section, const QString& value, int number);
  void writeBinary(const QString& section, const QString& value, const QByteArray& bytes);
  void removeValue(const QString& section, const QString& value);
  // Removes the section and every value in it.
  void deleteSection(const QString& section);

  QString fileName() const;

 private:
  // The stored spelling of a section or of a value in a section, if there is one.
  std::optional<QString> storedSection(const QString& section) const;
  std::optional<QString> storedValue(const QString& group, const QString& value) const;
  // Where a read finds the value; none when it is absent.
  std::optional<QString> readPath(const QString& section, const QString& value) const;
  // Where a write puts the value: existing spellings reused, else the given ones.
  QString writePath(const QString& section, const QString& value) const;
  void write(const QString& section, const QString& value, const QVariant& data);
  void commit();
  void prepareFile() const;
  void restrictFile() const;

  std::unique_ptr<QSettings> settings_;
};

// A server's address in the settings.
struct ServerEndpoint {
  QString host;
  uint16_t port = 22222;
};

// The portal server: section "server", values "ip" (default 127.0.0.1) and "port".
ServerEndpoint portalServer(const SettingsStore& store);
// The club-disk (OCTA) server: section "serverOCTA", same values and defaults.
ServerEndpoint octaServer(const SettingsStore& store);

}  // namespace zavel::app
