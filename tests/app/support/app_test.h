// What the program's tests share: texts that read in failure messages, files by their bytes,
// and a user by id and domain.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <ostream>

#include "app/signin/login_info.h"

// Failures show a QString (and the items of a QStringList) as its text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace zavel::app::testing {

// Writes bytes to path, making the folders above it.
inline void writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  file.write(bytes);
}

// A file's bytes, or "<absent>" when it cannot be read.
inline QByteArray contentOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

inline LoginInfo user(const QString& id, const QString& domain) {
  LoginInfo login;
  login.id = id;
  login.domain = domain;
  return login;
}

}  // namespace zavel::app::testing
