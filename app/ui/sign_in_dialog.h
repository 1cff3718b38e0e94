// The sign-in dialog: shows SignInLogic's form, views and progress, and hands it the user's
// edits and clicks. It holds no rule of its own.
#pragma once

#include <QDialog>

#include "app/signin/sign_in_logic.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace zavel::app {

class SignInDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SignInDialog(SignInLogic& logic, QWidget* parent = nullptr);

  void reject() override;  // Escape and the window's close button act as the cancel button

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void pushForm();
  void pullView();
  void accountChosen();

  SignInLogic& logic_;
  QStackedWidget* pages_;
  QComboBox* id_box_;
  QComboBox* domain_box_;
  QLineEdit* password_box_;
  QCheckBox* save_password_;
  QCheckBox* auto_connect_;
  QCheckBox* delete_info_;
  QPushButton* sign_in_;
  QPushButton* cancel_;
  QProgressBar* auth_bar_;
  QProgressBar* info_bar_;
  QLabel* auth_status_;
  QLabel* info_status_;
  bool pulling_ = false;
};

}  // namespace zavel::app
