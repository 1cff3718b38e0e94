#include "app/ui/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QtDebug>

namespace zavel::app {
namespace {

// The language part of a locale name (language[_territory][.codeset][@modifier]), lower-case.
QString languageOf(const QString& name) {
  qsizetype end = 0;
  while (end < name.size() && name[end] != u'_' && name[end] != u'-' && name[end] != u'.' &&
         name[end] != u'@')
    ++end;
  return name.left(end).toLower();
}

// "C" and "POSIX" name no language. Nor, here, does "C.UTF-8" (where glibc would read
// LANGUAGE): it is C with UTF-8 text, what a machine has when nobody chose a language.
bool namesNoLanguage(const QString& locale) {
  const QString language = languageOf(locale);
  return language.isEmpty() || language == u"c" || language == u"posix";
}

QLocale korean() {
  return QLocale(QLocale::Korean, QLocale::SouthKorea);
}

QLocale english(const QString& name) {
  const QLocale locale(name);
  return locale.language() == QLocale::English ? locale
                                               : QLocale(QLocale::English, QLocale::UnitedStates);
}

}  // namespace

LocaleEnvironment LocaleEnvironment::fromProcess() {
  return {qEnvironmentVariable("LANGUAGE"), qEnvironmentVariable("LC_ALL"),
          qEnvironmentVariable("LC_MESSAGES"), qEnvironmentVariable("LANG")};
}

QLocale programLocale(const LocaleEnvironment& environment) {
  // The locale of messages is the first of LC_ALL, LC_MESSAGES and LANG that is set.
  QString locale = environment.lcAll;
  if (locale.isEmpty()) locale = environment.lcMessages;
  if (locale.isEmpty()) locale = environment.lang;
  // In the C locale a program keeps the texts it was written in and LANGUAGE is not read,
  // as gettext does; ours are Korean.
  if (namesNoLanguage(locale)) return korean();
  // Otherwise LANGUAGE, when set, overrides the locale. Its first entry in a language the
  // program has texts for wins: English, or Korean, its own. Entries in other languages are
  // passed over, and when none is left the program keeps its own texts (gettext does not
  // go back to the locale either).
  const QStringList preferences = environment.language.isEmpty()
                                      ? QStringList{locale}
                                      : environment.language.split(u':', Qt::SkipEmptyParts);
  for (const QString& entry : preferences) {
    const QString language = languageOf(entry);
    if (language == u"en") return english(entry);
    if (language == u"ko") return korean();
  }
  return korean();
}

Translations::Translations(const QLocale& locale) {
  QLocale::setDefault(locale);
  const bool in_english = locale.language() == QLocale::English;
  if (in_english) {
    if (program_.load(QStringLiteral(":/i18n/zavel_en.qm")))
      QCoreApplication::installTranslator(&program_);
    else
      qWarning("zavel: the English texts could not be loaded; the program speaks Korean");
  }
  // Qt's own texts (OK, Cancel, Yes, No and the like) are English already; Korean ones come
  // from Qt's translations.
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (qt_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
    QCoreApplication::installTranslator(&qt_);
  else if (!in_english)
    qWarning("zavel: Qt's texts for %s are not in %s; its buttons stay in English",
             qUtf8Printable(locale.name()), qUtf8Printable(folder));
}

Translations::~Translations() {
  QCoreApplication::removeTranslator(&qt_);
  QCoreApplication::removeTranslator(&program_);
}

}  // namespace zavel::app
