// What the sign-in dialog does, without the dialog: the form's fields and check-box rules,
// the two views (idle, working) with their progress and status texts, the authentication,
// the user-number and disk-list lookups, the watchdog and the connect logs. The dialog shows
// this state and hands the user's edits and clicks back.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "app/signin/account_store.h"
#include "app/signin/auth_client.h"
#include "app/signin/login_info.h"
#include "app/signin/portal_lookups.h"
#include "app/signin/prompter.h"
#include "app/signin/settings_store.h"

namespace zavel::app {

// What the dialog's input controls hold.
struct SignInForm {
  QString id;
  QString domain;  // without "@"
  QString password;
  bool savePassword = false;
  bool autoConnect = false;
  bool deleteInfo = false;
};

class SignInLogic : public QObject {
  Q_OBJECT

 public:
  enum class State { kIdle = 1, kWorking = 2 };
  enum Result { kAccepted = 1, kCancelled = 2 };
  static constexpr int kWatchdogMs = 10000;

  SignInLogic(LoginInfo& login, SettingsStore& settings, Prompter& prompter,
              QObject* parent = nullptr);
  ~SignInLogic() override;

  // Where the authentication server is (default 127.0.0.1, port 10020).
  void setAuthServer(const QString& host, uint16_t port);
  void setWatchdogInterval(int ms) { watchdog_.setInterval(ms); }
  PortalLookups& lookups() { return lookups_; }
  AccountStore& accounts() { return accounts_; }

  // The launch text of the command line, before the dialog is first shown: its keys, or
  // else the remembered account.
  void launchParameters(const QString& commandLine);
  // Set by the main window before it shows the dialog again.
  void setAutoConnectAllowed(bool allowed) { auto_connect_allowed_ = allowed; }

  // The dialog is being shown: fills the form and the lists, and signs in at once when
  // auto connect is set and allowed.
  void start();

  const SignInForm& form() const { return form_; }
  // The dialog's controls as the user left them.
  void setForm(const SignInForm& form) { form_ = form; }
  const QStringList& idList() const { return id_list_; }
  const QStringList& domainList() const { return domain_list_; }

  // The check boxes, after the control toggled (setForm first).
  void savePasswordClicked();
  void deleteInfoClicked();
  void autoConnectClicked();
  // A list item chosen in the id box or the domain box; -1 for no selected item.
  void selectAccount(int idIndex, int domainIndex);

  void startSignIn();
  void cancel();
  // The updater announced a new version: tell the user and end as cancelled.
  void updateAvailable();
  bool updateRequested() const { return update_requested_; }

  State state() const { return state_; }
  int authProgress() const { return auth_bar_; }
  int infoProgress() const { return info_bar_; }
  const QString& authStatus() const { return auth_status_; }
  const QString& infoStatus() const { return info_status_; }
  bool authenticating() const { return !client_.isNull(); }

 signals:
  // Something the dialog shows changed; it re-reads the form, view and progress.
  void viewChanged();
  // The dialog ends: kAccepted after a complete sign-in, kCancelled when the user quits.
  void finished(int result);

 private:
  void showIdle();
  void showWorking();
  void beginAuthentication();
  void onAuthResult(bool success);
  int fetchDiskList();
  void setAuthProgress(int value);
  void setInfoProgress(int value);
  void onWatchdog();
  void armWatchdog() { watchdog_.start(); }
  void dropClient();
  void copyFormToLogin();

  LoginInfo& login_;
  SettingsStore& settings_;
  Prompter& prompter_;
  AccountStore accounts_;
  PortalLookups lookups_;
  QString auth_host_ = QStringLiteral("127.0.0.1");
  uint16_t auth_port_ = kAuthServerPort;

  SignInForm form_;
  QStringList id_list_;
  QStringList domain_list_;
  State state_ = State::kIdle;
  bool auto_connect_allowed_ = true;
  bool update_requested_ = false;
  int auth_bar_ = 0;
  int info_bar_ = 0;
  int last_auth_ = 0;
  int last_info_ = 0;
  QString auth_status_;
  QString info_status_;
  QPointer<AuthClient> client_;
  QTimer watchdog_;
};

}  // namespace zavel::app
