// The program's start-up, in its fixed order: settings, launch keys or the remembered
// account, the sign-in dialog, the remembered account stored, the main window.
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "app/signin/login_info.h"

namespace zavel::app {

class Document;
class MainFrame;
class PortalLookups;
class Prompter;
class SettingsStore;
class SignInLogic;
class UpdateListener;

struct ProgramOptions {
  QString authHost = QStringLiteral("127.0.0.1");
  uint16_t authPort = 10020;
  QString deviceRoot;     // empty: the user's home
  QString launchText;     // the command line's launch keys, if any
  QString settingsPath;   // empty: the user's settings file
  uint16_t filePort = 0;  // the file servers' port when not the service's 9553 (tests)
  QString localSocket;    // where the updater reaches the program; empty: "zavel-" + user
};

class Program {
 public:
  explicit Program(ProgramOptions options);
  ~Program();

  // Shows the sign-in dialog; true when the user signed in, false when they quit.
  bool signIn();
  // Stores or forgets the account as the sign-in asked, and opens the main window.
  void showMainWindow();
  // The "로그인" command of the main window: the dialog again; anything but OK ends the
  // program, as at start-up.
  void signInAgain();
  MainFrame* mainFrame() { return frame_.get(); }
  LoginInfo& login() { return login_; }
  // The updater announced a new version during the sign-in.
  bool updatePending() const;

 private:
  void storeAccount(bool fromMenu);
  void showSettings();

  ProgramOptions options_;
  LoginInfo login_;
  std::unique_ptr<Prompter> prompter_;
  std::unique_ptr<SettingsStore> settings_;
  std::unique_ptr<SignInLogic> sign_in_;
  std::unique_ptr<Document> document_;
  std::unique_ptr<MainFrame> frame_;
  std::unique_ptr<UpdateListener> listener_;
};

}  // namespace zavel::app
