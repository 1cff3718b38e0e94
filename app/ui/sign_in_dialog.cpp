#include "app/ui/sign_in_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/ui/named.h"
#include "app/ui/texts.h"

namespace zavel::app {
namespace {

QLabel* label(const char* name, const char* source) {
  return named(new QLabel(text::tr(source)), name, text::tr(source));
}

QComboBox* comboBox(const char* name, const char* label_source) {
  auto* box = named(new QComboBox, name, text::tr(label_source));
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMinimumWidth(150);
  return box;
}

QProgressBar* progressBar(const char* name, const char* status_source) {
  auto* bar = named(new QProgressBar, name, text::tr(status_source));
  bar->setRange(0, 100);
  bar->setTextVisible(false);
  bar->setStyleSheet(
      QStringLiteral("QProgressBar { background: #DEF2DE; color: #646464; "
                     "border: 1px solid #646464; height: 12px; } "
                     "QProgressBar::chunk { background: #1018F4; }"));
  return bar;
}

void setChecked(QCheckBox* box, bool on) {
  box->setChecked(on);
}

}  // namespace

SignInDialog::SignInDialog(SignInLogic& logic, QWidget* parent) : QDialog(parent), logic_(logic) {
  setObjectName(QStringLiteral("signInDialog"));
  setWindowTitle(text::tr(text::kExplorerTitle));
  setAccessibleName(windowTitle());

  auto* banner = named(new QLabel(QStringLiteral("ZAVEL")), "banner", QStringLiteral("ZAVEL"));
  banner->setAlignment(Qt::AlignCenter);
  banner->setStyleSheet(
      QStringLiteral("font-size: 22px; font-weight: bold; color: #1018F4; "
                     "padding: 8px;"));

  // The idle view: the account and the three check boxes.
  id_box_ = comboBox("idBox", text::kIdLabel);
  domain_box_ = comboBox("domainBox", text::kDomainLabel);
  password_box_ = named(new QLineEdit, "passwordBox", text::tr(text::kPasswordLabel));
  password_box_->setEchoMode(QLineEdit::Password);
  save_password_ = named(new QCheckBox(text::tr(text::kSavePassword)), "savePasswordBox",
                         text::tr(text::kSavePassword));
  auto_connect_ = named(new QCheckBox(text::tr(text::kAutoConnect)), "autoConnectBox",
                        text::tr(text::kAutoConnect));
  delete_info_ = named(new QCheckBox(text::tr(text::kDeleteInfo)), "deleteInfoBox",
                       text::tr(text::kDeleteInfo));

  auto* idle = new QWidget;
  idle->setObjectName(QStringLiteral("idleView"));
  auto* grid = new QGridLayout(idle);
  grid->addWidget(label("idLabel", text::kIdLabel), 0, 0);
  grid->addWidget(id_box_, 0, 1, 1, 2);
  grid->addWidget(label("domainLabel", text::kDomainLabel), 1, 0);
  grid->addWidget(label("atLabel", text::kAtLabel), 1, 1);
  grid->addWidget(domain_box_, 1, 2);
  grid->addWidget(label("passwordLabel", text::kPasswordLabel), 2, 0);
  grid->addWidget(password_box_, 2, 1, 1, 2);
  auto* checks = new QHBoxLayout;
  checks->addWidget(save_password_);
  checks->addWidget(auto_connect_);
  checks->addWidget(delete_info_);
  grid->addLayout(checks, 3, 0, 1, 3);
  grid->setColumnStretch(2, 1);

  // The working view: two status lines and their bars.
  auth_status_ = named(new QLabel, "authStatus", QString());
  info_status_ = named(new QLabel, "infoStatus", QString());
  auth_bar_ = progressBar("authProgress", text::kAuthWorking);
  info_bar_ = progressBar("infoProgress", text::kInfoWorking);
  auto* working = new QWidget;
  working->setObjectName(QStringLiteral("workingView"));
  auto* column = new QVBoxLayout(working);
  column->addWidget(auth_status_);
  column->addWidget(auth_bar_);
  column->addWidget(info_status_);
  column->addWidget(info_bar_);
  column->addStretch();

  pages_ = new QStackedWidget;
  pages_->addWidget(idle);
  pages_->addWidget(working);

  sign_in_ = named(new QPushButton(text::tr(text::kSignInButton)), "signInButton",
                   text::tr(text::kSignInButton));
  sign_in_->setDefault(true);
  cancel_ = named(new QPushButton(text::tr(text::kCancelButton)), "cancelButton",
                  text::tr(text::kCancelButton));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(sign_in_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(banner);
  layout->addWidget(pages_);
  layout->addLayout(buttons);

  connect(id_box_, &QComboBox::editTextChanged, this, &SignInDialog::pushForm);
  connect(domain_box_, &QComboBox::editTextChanged, this, &SignInDialog::pushForm);
  connect(password_box_, &QLineEdit::textChanged, this, &SignInDialog::pushForm);
  connect(id_box_, &QComboBox::activated, this, &SignInDialog::accountChosen);
  connect(domain_box_, &QComboBox::activated, this, &SignInDialog::accountChosen);
  connect(save_password_, &QCheckBox::clicked, this, [this] {
    pushForm();
    logic_.savePasswordClicked();
  });
  connect(auto_connect_, &QCheckBox::clicked, this, [this] {
    pushForm();
    logic_.autoConnectClicked();
  });
  connect(delete_info_, &QCheckBox::clicked, this, [this] {
    pushForm();
    logic_.deleteInfoClicked();
  });
  connect(sign_in_, &QPushButton::clicked, this, [this] {
    pushForm();
    logic_.startSignIn();
  });
  connect(cancel_, &QPushButton::clicked, this, [this] { logic_.cancel(); });
  connect(&logic_, &SignInLogic::viewChanged, this, &SignInDialog::pullView);
  connect(&logic_, &SignInLogic::finished, this, [this](int result) {
    QDialog::done(result == SignInLogic::kAccepted ? QDialog::Accepted : QDialog::Rejected);
  });
}

void SignInDialog::reject() {
  logic_.cancel();
}

void SignInDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  logic_.start();
  pulling_ = true;
  id_box_->clear();
  id_box_->addItems(logic_.idList());
  domain_box_->clear();
  domain_box_->addItems(logic_.domainList());
  pulling_ = false;
  pullView();
}

void SignInDialog::pushForm() {
  if (pulling_) return;
  SignInForm form = logic_.form();
  form.id = id_box_->currentText();
  form.domain = domain_box_->currentText();
  form.password = password_box_->text();
  form.savePassword = save_password_->isChecked();
  form.autoConnect = auto_connect_->isChecked();
  form.deleteInfo = delete_info_->isChecked();
  logic_.setForm(form);
}

void SignInDialog::accountChosen() {
  pushForm();
  // Only a text that is an item of its list counts as chosen.
  logic_.selectAccount(id_box_->findText(id_box_->currentText(), Qt::MatchFixedString),
                       domain_box_->findText(domain_box_->currentText(), Qt::MatchFixedString));
}

void SignInDialog::pullView() {
  pulling_ = true;
  const SignInForm& form = logic_.form();
  if (id_box_->currentText() != form.id) id_box_->setEditText(form.id);
  if (domain_box_->currentText() != form.domain) domain_box_->setEditText(form.domain);
  if (password_box_->text() != form.password) password_box_->setText(form.password);
  setChecked(save_password_, form.savePassword);
  setChecked(auto_connect_, form.autoConnect);
  setChecked(delete_info_, form.deleteInfo);

  const bool working = logic_.state() == SignInLogic::State::kWorking;
  pages_->setCurrentIndex(working ? 1 : 0);
  sign_in_->setVisible(!working);
  auth_status_->setText(logic_.authStatus());
  auth_status_->setAccessibleName(logic_.authStatus());
  info_status_->setText(logic_.infoStatus());
  info_status_->setAccessibleName(logic_.infoStatus());
  auth_bar_->setValue(logic_.authProgress());
  info_bar_->setValue(logic_.infoProgress());
  pulling_ = false;
  // The lookups block the event loop; show each step as it comes.
  if (isVisible()) repaint();
}

}  // namespace zavel::app
