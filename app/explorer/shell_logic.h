// The shell's behaviour around the explorer: signed in or not, logout (and "다른 이름으로
// 로그인"), the exit question, the capacity message with its short size texts, and the
// update notice. The main window runs the commands; this decides what they do.
#pragma once

#include <QString>
#include <optional>

#include "app/explorer/explorer_logic.h"

namespace zavel::app {

// A byte count as the capacity message writes it: "1.50KB", "100KB", "0.00B".
QString shortSize(uint64_t bytes);
// The capacity message of a disk: its name, total, used and free.
QString capacityMessage(const QString& diskname, const DiskSpaceInfo& space);

class ShellLogic {
 public:
  ShellLogic(ExplorerLogic& explorer, Document& document, Prompter& prompter);

  bool signedIn() const { return signed_in_; }
  bool autoSignIn() const { return auto_sign_in_; }
  void setAutoSignIn(bool on) { auto_sign_in_ = on; }
  // A sign-in ended with OK: the new disk list is shown.
  void signedInNow();
  // Before a sign-in from the menu: every session of the disk list ends, and no disk is the
  // current one.
  void closeDisks();

  // Asks the logout question; OK closes every session, empties the disk list and the
  // remote list. The question is the plain one again afterwards, whatever the answer.
  bool logout();
  // The same with the question of signing in under another name; auto sign-in is off.
  bool logoutAsOther();
  const QString& logoutQuestion() const { return logout_question_; }

  // "ZAVEL 탐색기를 종료 하시겠습니까?"; true to close the window.
  bool confirmExit();
  // The listing disk's capacity message; none when there is no disk or the server does
  // not tell.
  std::optional<QString> capacityText() const;
  // Shows it; nothing when there is none.
  void showCapacity();

 private:
  ExplorerLogic& explorer_;
  Document& document_;
  Prompter& prompter_;
  QString logout_question_;
  bool signed_in_ = false;
  bool auto_sign_in_ = false;
};

}  // namespace zavel::app
