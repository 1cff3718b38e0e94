// The remembered accounts around the sign-in dialog: the last account used, the sign-in
// check boxes, and per account its id, portal domain and scrambled password.
#pragma once

#include <QString>
#include <QStringList>

#include "app/signin/login_info.h"
#include "app/signin/settings_store.h"

namespace zavel::app {

class AccountStore {
 public:
  explicit AccountStore(SettingsStore& store);

  // Fills id, domain, password and the check boxes from the last account used. The domain
  // always begins with "@"; with nothing stored it is the default portal's.
  void loadAccount(LoginInfo& info) const;
  // Remembers the account (with its password) when savePassword is set; stores the
  // savePassword choice either way.
  void saveAccount(const LoginInfo& info);
  // Forgets the account and its section; stores the check boxes.
  void deleteAccount(const LoginInfo& info);
  // After a sign-in that ended with OK: forgets the account when asked to, else saves it.
  // From the main window's menu an account signed in without a password (a session key) is
  // not saved, so it never overwrites a remembered password.
  void storeSignIn(const LoginInfo& info, bool fromMenu);
  // The stored password of a remembered account ("id@domain"), or empty.
  QString restorePassword(const QString& accountKey) const;
  // The remembered account keys, in the order they were first saved.
  QStringList accounts() const;

  // Longer passwords are not remembered.
  static constexpr int kMaxStoredPassword = 80;

 private:
  bool remembered(const QString& accountKey) const;

  SettingsStore& store_;
};

}  // namespace zavel::app
