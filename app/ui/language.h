// The program's language: English where the desktop speaks English, else its own Korean
// texts. The choice reads the environment as gettext does; the translations it installs are
// the program's English texts (built in) and Qt's own texts in the chosen language.
#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

namespace zavel::app {

// The variables that name the desktop's language, as the process sees them.
struct LocaleEnvironment {
  QString language;    // LANGUAGE: a colon-separated list of preferences
  QString lcAll;       // LC_ALL
  QString lcMessages;  // LC_MESSAGES
  QString lang;        // LANG

  static LocaleEnvironment fromProcess();
};

// The locale the program speaks: English (with the desktop's territory, e.g. en_GB) when the
// desktop asks for English, Korean (ko_KR) for every other language and for none.
QLocale programLocale(const LocaleEnvironment& environment);

// Makes the running application speak locale's language while it lives: installs the
// translators and makes locale the default, so that what Qt itself names, formats or orders
// (dialog buttons, file type names, the order of names in the lists) agrees with the
// program's texts. A translation that cannot be
// loaded is reported on stderr and leaves those texts as they are.
class Translations {
 public:
  explicit Translations(const QLocale& locale);
  ~Translations();
  Translations(const Translations&) = delete;
  Translations& operator=(const Translations&) = delete;

 private:
  QTranslator program_;
  QTranslator qt_;
};

}  // namespace zavel::app
