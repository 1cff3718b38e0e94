// The program's Prompter: message boxes titled "ZAVEL" over the active window.
#pragma once

#include "app/signin/prompter.h"

namespace zavel::app {

class QtPrompter : public Prompter {
 public:
  void inform(const QString& text, PromptIcon icon) override;
  bool confirm(const QString& text, PromptIcon icon) override;
  bool askYesNo(const QString& text, PromptIcon icon) override;
  void informTitled(const QString& title, const QString& text, PromptIcon icon) override;
};

}  // namespace zavel::app
