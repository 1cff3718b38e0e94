#include "tests/app/support/scripted_prompter.h"

namespace zavel::app::testing {

void ScriptedPrompter::inform(const QString& text, PromptIcon icon) {
  prompts_.push_back({false, QString(), text, icon});
}

bool ScriptedPrompter::confirm(const QString& text, PromptIcon icon) {
  prompts_.push_back({true, QString(), text, icon});
  if (answers_.empty()) return true;
  const bool ok = answers_.front();
  answers_.pop_front();
  return ok;
}

void ScriptedPrompter::informTitled(const QString& title, const QString& text, PromptIcon icon) {
  prompts_.push_back({false, title, text, icon});
}

QStringList ScriptedPrompter::texts() const {
  QStringList out;
  for (const Prompt& p : prompts_) out << p.text;
  return out;
}

}  // namespace zavel::app::testing
