// How the logic talks to the user: message boxes, OK/Cancel and Yes/No questions. The program shows
// them as message boxes titled "ZAVEL"; tests answer from a script.
#pragma once

#include <QString>

namespace zavel::app {

enum class PromptIcon { kNone, kStop, kInformation, kQuestion };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // A message with an OK button.
  virtual void inform(const QString& text, PromptIcon icon) = 0;
  // An OK/Cancel question; true for OK.
  virtual bool confirm(const QString& text, PromptIcon icon) = 0;
  // A Yes/No question; true for Yes.
  virtual bool askYesNo(const QString& text, PromptIcon icon) = 0;
  // A message with its own title (the update notice).
  virtual void informTitled(const QString& title, const QString& text, PromptIcon icon) = 0;
};

}  // namespace zavel::app
