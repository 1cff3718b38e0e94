// What the program's tests share: texts that read in failure messages, files by their bytes,
// a user by id and domain, a scripted Prompter, and a widget's named controls.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <ostream>
#include <vector>

#include "app/signin/login_info.h"
#include "app/signin/prompter.h"

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

// A named control of parent; a missing one fails the test.
template <typename W>
W* child(QWidget* parent, const char* name) {
  W* w = parent->findChild<W*>(QLatin1String(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

struct Prompt {
  bool question = false;
  bool yesNo = false;  // a Yes/No question rather than OK/Cancel
  QString title;       // empty for the standard "ZAVEL" title
  QString text;
  PromptIcon icon = PromptIcon::kNone;
};

// Records every message and question, answers questions from a script.
class ScriptedPrompter : public Prompter {
 public:
  void inform(const QString& text, PromptIcon icon) override {
    prompts_.push_back({false, false, QString(), text, icon});
  }
  bool confirm(const QString& text, PromptIcon icon) override {
    prompts_.push_back({true, false, QString(), text, icon});
    return next();
  }
  bool askYesNo(const QString& text, PromptIcon icon) override {
    prompts_.push_back({true, true, QString(), text, icon});
    return next();
  }
  void informTitled(const QString& title, const QString& text, PromptIcon icon) override {
    prompts_.push_back({false, false, title, text, icon});
  }

  // Answers for the next questions, in order; a question beyond the script is answered OK
  // (or Yes).
  void answer(std::initializer_list<bool> answers) { answers_.insert(answers_.end(), answers); }
  const std::vector<Prompt>& prompts() const { return prompts_; }
  QStringList texts() const {
    QStringList out;
    for (const Prompt& p : prompts_) out << p.text;
    return out;
  }
  void clear() { prompts_.clear(); }

 private:
  bool next() {
    const bool ok = answers_.empty() || answers_.front();
    if (!answers_.empty()) answers_.pop_front();
    return ok;
  }

  std::vector<Prompt> prompts_;
  std::deque<bool> answers_;
};

}  // namespace zavel::app::testing
