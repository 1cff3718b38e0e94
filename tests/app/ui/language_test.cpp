// The program's language: chosen from the environment, Qt's own texts in it, and an English
// translation that keeps up with every marked text.
#include "app/ui/language.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "app/ui/texts.h"

namespace zavel::app {
namespace {

TEST(ProgramLocale, FollowsTheDesktopAsGettextDoes) {
  struct Case {
    LocaleEnvironment environment;  // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
    const char* locale;
  };
  const Case cases[] = {
      {{}, "ko_KR"},
      {{"", "", "", "en_US.UTF-8"}, "en_US"},
      {{"", "", "", "en_GB"}, "en_GB"},
      {{"", "", "", "de_DE.UTF-8"}, "ko_KR"},
      {{"", "", "", "POSIX"}, "ko_KR"},
      // LC_ALL over LC_MESSAGES over LANG.
      {{"", "de_DE.UTF-8", "en_US.UTF-8", "en_US.UTF-8"}, "ko_KR"},
      {{"", "en_GB.UTF-8", "de_DE", "de_DE"}, "en_GB"},
      {{"", "", "en_AU.UTF-8", "ko_KR.UTF-8"}, "en_AU"},
      {{"", "C", "", "en_US.UTF-8"}, "ko_KR"},
      // LANGUAGE over all of them: its first entry in English or Korean, if any.
      {{"ko:en", "", "", "en_US.UTF-8"}, "ko_KR"},
      {{"fr::en_CA", "", "", "fr_FR.UTF-8"}, "en_CA"},
      {{"en@quot", "", "", "de_DE"}, "en_US"},
      {{"fr", "", "", "en_US.UTF-8"}, "ko_KR"},
      // ... except in the C locale, where it is not read.
      {{"en", "", "", ""}, "ko_KR"},
      {{"en", "", "", "C.UTF-8"}, "ko_KR"},
  };
  for (const Case& c : cases) {
    const LocaleEnvironment& e = c.environment;
    EXPECT_EQ(programLocale(e).name(), QLatin1String(c.locale))
        << qPrintable(QStringList({e.language, e.lcAll, e.lcMessages, e.lang}).join(u'|'));
  }
}

TEST(Translations, SpeakTheProgramsLanguageInItsTextsAndQts) {
  struct Case {
    const char* locale;
    const char* title;
    QStringList buttons;  // OK, Cancel, Yes, No
  };
  const Case cases[] = {
      {"en_GB", "ZAVEL Explorer", {"OK", "Cancel", "&Yes", "&No"}},
      {"ko_KR", "ZAVEL 탐색기", {"확인", "취소", "예(&Y)", "아니요(&N)"}},
  };
  for (const Case& c : cases) {
    const Translations translations{QLocale(QLatin1String(c.locale))};
    EXPECT_EQ(text::tr(text::kExplorerTitle), QString::fromUtf8(c.title));
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    QStringList buttons;
    for (const auto b : {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::No})
      buttons << box.button(b)->text();
    EXPECT_EQ(buttons, c.buttons) << c.locale;
  }
  // Once they are gone the program speaks its own texts again.
  EXPECT_EQ(text::tr(text::kExplorerTitle), QStringLiteral("ZAVEL 탐색기"));
}

// What the code fills in or lays out: printf conversions (%s, %5.2f, %%) in their order, then
// arguments (%1, which may move) and line breaks.
QString placeholders(const QString& text) {
  static const QRegularExpression kPrintf(QStringLiteral(R"(%[-+ #0]*[0-9]*(\.[0-9]+)?[sdfu%])"));
  static const QRegularExpression kOthers(QStringLiteral(R"(%[0-9]+|\r|\n|\t)"));
  QStringList found, others;
  for (const QRegularExpressionMatch& m : kPrintf.globalMatch(text)) found << m.captured();
  for (const QRegularExpressionMatch& m : kOthers.globalMatch(text)) others << m.captured();
  others.sort();
  return (found + others).join(u'|');
}

// lupdate over the program's sources, merged into a copy of the committed translation: a text
// marked since, or changed, comes out unfinished; one no longer marked comes out vanished.
TEST(EnglishTranslation, HasEveryMarkedTextFinishedWithItsPlaceholders) {
  QTemporaryDir dir;
  const QString merged = dir.filePath(QStringLiteral("zavel_en.ts"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(ZAVEL_ENGLISH_TS), merged));
  QProcess lupdate;
  lupdate.start(QStringLiteral(ZAVEL_LUPDATE),
                {QStringLiteral(ZAVEL_APP_SOURCES), QStringLiteral("-ts"), merged,
                 QStringLiteral("-locations"), QStringLiteral("none"), QStringLiteral("-silent")});
  ASSERT_TRUE(lupdate.waitForFinished(120000));
  ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();

  QFile file(merged);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  QString text, source, type;
  int messages = 0;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"translation")
      type = xml.attributes().value(QLatin1String("type")).toString();
    if (xml.isStartElement() && (xml.name() == u"source" || xml.name() == u"translation"))
      text.clear();
    if (xml.isCharacters()) text += xml.text();
    // lupdate writes characters such as \r as <byte value="xd"/>.
    if (xml.isStartElement() && xml.name() == u"byte")
      text += QChar(xml.attributes().value(QLatin1String("value")).mid(1).toUInt(nullptr, 16));
    if (xml.isEndElement() && xml.name() == u"source") source = text;
    if (!xml.isEndElement() || xml.name() != u"translation") continue;
    ++messages;
    EXPECT_TRUE(type.isEmpty() && !text.isEmpty())
        << (type.isEmpty() ? "untranslated" : qPrintable(type)) << ": \"" << qPrintable(source)
        << "\"; bring app/translations/zavel_en.ts up to date (cmake --build BUILD --target "
           "zavel_ui_lupdate) and translate what is new";
    if (type.isEmpty()) {
      EXPECT_EQ(placeholders(text).toStdString(), placeholders(source).toStdString())
          << qPrintable(source);
    }
  }
  EXPECT_FALSE(xml.hasError()) << qPrintable(xml.errorString());
  EXPECT_GT(messages, 100);
}

}  // namespace
}  // namespace zavel::app
