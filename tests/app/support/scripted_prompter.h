// A Prompter for tests: records every message and question, answers questions from a script.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "app/signin/prompter.h"

namespace zavel::app::testing {

struct Prompt {
  bool question = false;
  QString title;  // empty for the standard "ZAVEL" title
  QString text;
  PromptIcon icon = PromptIcon::kNone;
};

class ScriptedPrompter : public Prompter {
 public:
  void inform(const QString& text, PromptIcon icon) override;
  bool confirm(const QString& text, PromptIcon icon) override;
  void informTitled(const QString& title, const QString& text, PromptIcon icon) override;

  // Answers for the next questions, in order; a question beyond the script is answered OK.
  void answer(std::initializer_list<bool> answers) { answers_.insert(answers_.end(), answers); }
  const std::vector<Prompt>& prompts() const { return prompts_; }
  QStringList texts() const;
  void clear() { prompts_.clear(); }

 private:
  std::vector<Prompt> prompts_;
  std::deque<bool> answers_;
};

}  // namespace zavel::app::testing
