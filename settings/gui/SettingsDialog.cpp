#include "settings/gui/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Integer.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "platform/qt/DialogOwner.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/ScreenPlacement.h"
#include "settings/InputChecks.h"
#include "widgets/ScrollingPage.h"
#include "widgets/UpDown.h"

namespace mf {
namespace {

using platform::FromQString;
using platform::ToQString;

QString Label(const char* utf8) { return QString::fromUtf8(utf8); }

// Swallows typed characters a filter refuses; editing keys pass.
class KeyFilter final : public QObject {
 public:
  KeyFilter(QObject* parent, bool (*accept)(char)) : QObject(parent), accept_(accept) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QString text = key->text();
    if (text.isEmpty() || key->key() == Qt::Key_Backspace || text[0].unicode() < 0x20) return false;
    char typed = text[0].unicode() < 0x80 ? static_cast<char>(text[0].unicode()) : '\x7f';
    return !accept_(typed);
  }

 private:
  bool (*accept_)(char);
};

// "なし", "STARTTLS", "SSL/TLS" in the order of ConnectionSecurity.
QComboBox* SecurityBox(QFormLayout* form, const char* caption, QWidget* parent) {
  auto* box = new QComboBox(parent);
  for (const char* item : {"なし", "STARTTLS", "SSL/TLS"}) box->addItem(Label(item));
  form->addRow(Label(caption), box);
  return box;
}

// A red line under a field, shown while the field's value is refused. One
// line across the row: a wrapped label gets clipped in a form whose rows
// were laid out without it. The line is kept, wide enough for any text,
// whether or not it shows, so that nothing under it moves (and no click
// lands in another field) while the user mends a value.
QLabel* ProblemLabel(QFormLayout* form, QWidget* parent) {
  // A form drops the row of a hidden widget: the label lives in a line that
  // is always there.
  auto* line = new QWidget(parent);
  auto* lineLayout = new QHBoxLayout(line);
  lineLayout->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(line);
  QPalette red = label->palette();
  red.setColor(QPalette::WindowText, QColor(0xC0, 0, 0));
  label->setPalette(red);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lineLayout->addWidget(label);
  int widest = 0;
  for (const std::string& text : ProblemTexts()) {
    widest = std::max(widest, label->fontMetrics().horizontalAdvance(ToQString(text)));
  }
  line->setMinimumSize(widest, label->fontMetrics().height());
  label->hide();
  form->addRow(line);
  return label;
}

QLineEdit* Edit(QFormLayout* form, const char* caption, const std::function<void(const QString&)>& changed,
                QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  form->addRow(Label(caption), edit);
  QObject::connect(edit, &QLineEdit::textEdited, parent, changed);
  return edit;
}

}  // namespace

SettingsDialog::SettingsDialog(LiveSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setWindowTitle(Label("基本設定"));
  BuildControls();
  Load();
}

void SettingsDialog::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  pageTabs_ = new QTabWidget(this);
  pageTabs_->setObjectName("pageTabs");
  pageTabs_->setAccessibleName(Label("設定の種類"));
  layout->addWidget(pageTabs_);

  // Tab "基本".
  auto* basic = new QWidget;
  auto* basicLayout = new QVBoxLayout(basic);
  auto* required = new QGroupBox(Label("必須"), basic);
  auto* requiredForm = new QFormLayout(required);
  auto bind = [this](std::string& field) {
    return [this, &field](const QString& text) {
      if (!showing_) field = FromQString(text);
    };
  };
  accountEdit_ = Edit(requiredForm, "アカウント名", bind(settings_.account), this);
  accountEdit_->setObjectName("accountEdit");
  smtpServerEdit_ = Edit(requiredForm, "SMTPサーバー名", bind(settings_.smtpServer), this);
  smtpServerEdit_->setObjectName("smtpServerEdit");
  smtpSecurityBox_ = SecurityBox(requiredForm, "SMTPセキュリティ", this);
  smtpSecurityBox_->setObjectName("smtpSecurityBox");
  pop3ServerEdit_ = Edit(requiredForm, "POP3サーバー名", bind(settings_.pop3Server), this);
  pop3ServerEdit_->setObjectName("pop3ServerEdit");
  pop3SecurityBox_ = SecurityBox(requiredForm, "POP3セキュリティ", this);
  pop3SecurityBox_->setObjectName("pop3SecurityBox");
  pop3UserEdit_ = Edit(requiredForm, "POP3ユーザーID", bind(settings_.pop3User), this);
  pop3UserEdit_->setObjectName("pop3UserEdit");
  pop3PasswordEdit_ = Edit(requiredForm, "POP3パスワード", bind(settings_.pop3Password), this);
  pop3PasswordEdit_->setObjectName("pop3PasswordEdit");
  pop3PasswordEdit_->setEchoMode(QLineEdit::Password);
  nameEdit_ = Edit(requiredForm, "名前", bind(settings_.myName), this);
  nameEdit_->setObjectName("nameEdit");
  mailAddressEdit_ = Edit(requiredForm, "メールアドレス", bind(settings_.mailAddress), this);
  mailAddressEdit_->setObjectName("mailAddressEdit");
  mailAddressProblem_ = ProblemLabel(requiredForm, this);
  mailAddressProblem_->setObjectName("mailAddressProblem");
  passwordPlace_ = new QLabel(required);
  passwordPlace_->setObjectName("passwordPlace");
  passwordPlace_->setObjectName("passwordPlace");
  passwordPlace_->setWordWrap(true);
  requiredForm->addRow(passwordPlace_);
  auto* options = new QGroupBox(Label("オプション"), basic);
  auto* optionsForm = new QFormLayout(options);
  smtpPortEdit_ = Edit(optionsForm, "SMTPポート", bind(settings_.smtpPort), this);
  smtpPortEdit_->setObjectName("smtpPortEdit");
  smtpPortProblem_ = ProblemLabel(optionsForm, this);
  smtpPortProblem_->setObjectName("smtpPortProblem");
  pop3PortEdit_ = Edit(optionsForm, "POP3ポート", bind(settings_.pop3Port), this);
  pop3PortEdit_->setObjectName("pop3PortEdit");
  pop3PortProblem_ = ProblemLabel(optionsForm, this);
  pop3PortProblem_->setObjectName("pop3PortProblem");
  for (auto* port : {smtpPortEdit_, pop3PortEdit_})
    port->installEventFilter(new KeyFilter(port, LiveSettings::AcceptPortKey));
  autostartBox_ = new QCheckBox(Label("自動起動する"), options);
  autostartBox_->setObjectName("autostartBox");
  optionsForm->addRow(autostartBox_);
  basicLayout->addWidget(required);
  basicLayout->addWidget(options);
  pageTabs_->addTab(new ScrollingPage(basic), Label("基本"));

  // Tab "送信".
  auto* sending = new QWidget;
  auto* sendingLayout = new QVBoxLayout(sending);
  signatureBox_ = new QCheckBox(Label("署名をつける"), sending);
  signatureBox_->setObjectName("signatureBox");
  signatureEdit_ = new QPlainTextEdit(sending);
  signatureEdit_->setObjectName("signatureEdit");
  signatureEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  popBeforeSmtpBox_ = new QCheckBox(Label("POP Before SMTP"), sending);
  popBeforeSmtpBox_->setObjectName("popBeforeSmtpBox");
  sendingLayout->addWidget(signatureBox_);
  auto* signatureCaption = new QLabel(Label("署名"), sending);
  signatureCaption->setBuddy(signatureEdit_);
  sendingLayout->addWidget(signatureCaption);
  sendingLayout->addWidget(signatureEdit_);
  sendingLayout->addWidget(popBeforeSmtpBox_);
  smtpAuthBox_ = new QCheckBox(Label("SMTP認証"), sending);
  smtpAuthBox_->setObjectName("smtpAuthBox");
  auto* authForm = new QFormLayout;
  smtpUserEdit_ = Edit(authForm, "SMTPユーザーID", bind(settings_.smtpUser), this);
  smtpUserEdit_->setObjectName("smtpUserEdit");
  smtpPasswordEdit_ = Edit(authForm, "SMTPパスワード", bind(settings_.smtpPassword), this);
  smtpPasswordEdit_->setObjectName("smtpPasswordEdit");
  smtpPasswordEdit_->setEchoMode(QLineEdit::Password);
  auto* authHint = new QLabel(Label("空欄のときはPOP3のユーザーIDとパスワードでログインします"), sending);
  authHint->setWordWrap(true);
  authForm->addRow(authHint);
  sendingLayout->addWidget(smtpAuthBox_);
  sendingLayout->addLayout(authForm);
  pageTabs_->addTab(new ScrollingPage(sending), Label("送信"));

  // Tab "受信".
  auto* receiving = new QWidget;
  auto* receivingLayout = new QVBoxLayout(receiving);
  leaveOnServerBox_ = new QCheckBox(Label("サーバーにメールを残す"), receiving);
  leaveOnServerBox_->setObjectName("leaveOnServerBox");
  leaveOtherMailersBox_ = new QCheckBox(Label("モフタンメール以外から送られたメールをサーバーに残す"), receiving);
  leaveOtherMailersBox_->setObjectName("leaveOtherMailersBox");
  onlyThisMailerBox_ = new QCheckBox(Label("モフタンメールから送られたメールのみを受信する"), receiving);
  onlyThisMailerBox_->setObjectName("onlyThisMailerBox");
  receivePeriodicallyBox_ = new QCheckBox(Label("定期的に受信する"), receiving);
  receivePeriodicallyBox_->setObjectName("receivePeriodicallyBox");
  auto* periodRow = new QHBoxLayout;
  periodEdit_ = new QLineEdit(receiving);
  periodEdit_->setObjectName("periodEdit");
  periodEdit_->setMaximumWidth(60);
  periodEdit_->installEventFilter(new KeyFilter(periodEdit_, LiveSettings::AcceptPeriodKey));
  periodUpDown_ = new UpDown(1, 60, receiving);
  periodUpDown_->setObjectName("periodUpDown");
  periodLabel_ = new QLabel(Label("分ごとに受信"), receiving);
  periodLabel_->setObjectName("periodLabel");
  periodLabel_->setBuddy(periodEdit_);
  periodRow->addWidget(periodEdit_);
  periodRow->addWidget(periodUpDown_);
  periodRow->addWidget(periodLabel_);
  periodRow->addStretch();
  for (auto* box : {leaveOnServerBox_, leaveOtherMailersBox_, onlyThisMailerBox_, receivePeriodicallyBox_}) {
    receivingLayout->addWidget(box);
  }
  receivingLayout->addLayout(periodRow);
  receivingLayout->addStretch();
  pageTabs_->addTab(new ScrollingPage(receiving), Label("受信"));

  auto* buttons = new QHBoxLayout;
  okButton_ = new QPushButton(QStringLiteral("OK"), this);
  okButton_->setObjectName("okButton");
  cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancelButton_->setObjectName("cancelButton");
  buttons->addStretch();
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  layout->addLayout(buttons);

  auto toggle = [this](QCheckBox* box, bool& field) {
    connect(box, &QCheckBox::toggled, this, [this, &field](bool on) {
      if (showing_) return;
      field = on;
      ApplyEnabling();
    });
  };
  toggle(autostartBox_, settings_.alwaysRunning);
  toggle(signatureBox_, settings_.mailSign);
  toggle(popBeforeSmtpBox_, settings_.popBeforeSmtp);
  toggle(smtpAuthBox_, settings_.smtpAuth);
  // A port the user left at the usual value follows the choice.
  connect(smtpSecurityBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (showing_) return;
    settings_.SetSmtpSecurity(static_cast<ConnectionSecurity>(index));
    smtpPortEdit_->setText(ToQString(settings_.smtpPort));
  });
  connect(pop3SecurityBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (showing_) return;
    settings_.SetPop3Security(static_cast<ConnectionSecurity>(index));
    pop3PortEdit_->setText(ToQString(settings_.pop3Port));
  });
  toggle(leaveOnServerBox_, settings_.mailLeave);
  toggle(leaveOtherMailersBox_, settings_.leaveOtherMailer);
  toggle(onlyThisMailerBox_, settings_.rcvOnlyFromThisMailer);
  toggle(receivePeriodicallyBox_, settings_.rcvPeriodically);
  connect(signatureEdit_, &QPlainTextEdit::textChanged, this, [this] {
    if (showing_) return;
    QString text = signatureEdit_->toPlainText();
    settings_.signature = text.isEmpty() ? std::vector<std::string>{} : SplitLines(FromQString(text));
    if (text.endsWith('\n')) settings_.signature.push_back("");
  });
  connect(periodEdit_, &QLineEdit::textChanged, this, [this] { TidyPeriodText(); });
  periodUpDown_->onChanged = [this](int value) {
    if (showing_) return;
    settings_.upDownPosition = value;
    periodEdit_->setText(QString::number(value));
  };
  connect(pageTabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == 0) okButton_->setFocus();
  });
  // A refused field says so until it is mended, as the user types.
  for (QLineEdit* checked : {smtpServerEdit_, pop3ServerEdit_, mailAddressEdit_, smtpPortEdit_, pop3PortEdit_}) {
    connect(checked, &QLineEdit::textChanged, this, [this] {
      if (!showing_ && problemsShown_) ShowProblems(ProblemFocus::Stay);
    });
  }
  for (QComboBox* security : {smtpSecurityBox_, pop3SecurityBox_}) {
    connect(security, &QComboBox::currentIndexChanged, this, [this] {
      if (!showing_ && problemsShown_) ShowProblems(ProblemFocus::Stay);
    });
  }
  connect(okButton_, &QPushButton::clicked, this, [this] { Save(); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { Dismiss(); });
}

void SettingsDialog::TidyPeriodText() {
  QString text = periodEdit_->text();
  std::string normal = LiveSettings::NormalizePeriodText(FromQString(text));
  if (ToQString(normal) != text) {
    periodEdit_->setText(ToQString(normal));  // runs this handler again with the normal text
    return;
  }
  if (showing_) return;
  settings_.rcvPeriod = normal;
  // The arrows step on from what was typed.
  if (auto value = ToInteger(normal); value && *value >= 1 && *value <= 60) {
    settings_.upDownPosition = *value;
    periodUpDown_->SetPosition(*value);
  }
}

void SettingsDialog::ApplyEnabling() {
  leaveOtherMailersBox_->setEnabled(settings_.LeaveOtherMailerEnabled());
  periodEdit_->setEnabled(settings_.PeriodEnabled());
  periodUpDown_->setEnabled(settings_.PeriodEnabled());
  periodLabel_->setEnabled(settings_.PeriodEnabled());
  smtpUserEdit_->setEnabled(settings_.smtpAuth);
  smtpPasswordEdit_->setEnabled(settings_.smtpAuth);
}

void SettingsDialog::ShowSettings() {
  showing_ = true;
  passwordPlace_->setText(settings_.PasswordsInKeyring()
                              ? Label("パスワードはデスクトップのキーリングに保存されます")
                              : Label("パスワードは設定ファイル (MFMail.ini) に保存されます"));
  accountEdit_->setText(ToQString(settings_.account));
  smtpServerEdit_->setText(ToQString(settings_.smtpServer));
  pop3ServerEdit_->setText(ToQString(settings_.pop3Server));
  pop3UserEdit_->setText(ToQString(settings_.pop3User));
  pop3PasswordEdit_->setText(ToQString(settings_.pop3Password));
  nameEdit_->setText(ToQString(settings_.myName));
  mailAddressEdit_->setText(ToQString(settings_.mailAddress));
  smtpPortEdit_->setText(ToQString(settings_.smtpPort));
  pop3PortEdit_->setText(ToQString(settings_.pop3Port));
  autostartBox_->setChecked(settings_.alwaysRunning);
  signatureBox_->setChecked(settings_.mailSign);
  popBeforeSmtpBox_->setChecked(settings_.popBeforeSmtp);
  smtpSecurityBox_->setCurrentIndex(static_cast<int>(settings_.smtpSecurity));
  pop3SecurityBox_->setCurrentIndex(static_cast<int>(settings_.pop3Security));
  smtpAuthBox_->setChecked(settings_.smtpAuth);
  smtpUserEdit_->setText(ToQString(settings_.smtpUser));
  smtpPasswordEdit_->setText(ToQString(settings_.smtpPassword));
  leaveOnServerBox_->setChecked(settings_.mailLeave);
  leaveOtherMailersBox_->setChecked(settings_.leaveOtherMailer);
  onlyThisMailerBox_->setChecked(settings_.rcvOnlyFromThisMailer);
  receivePeriodicallyBox_->setChecked(settings_.rcvPeriodically);
  periodEdit_->setText(ToQString(settings_.rcvPeriod));
  periodUpDown_->SetPosition(settings_.upDownPosition);
  QString memo;
  for (std::size_t i = 0; i < settings_.signature.size(); ++i) {
    if (i > 0) memo += '\n';
    memo += ToQString(settings_.signature[i]);
  }
  signatureEdit_->setPlainText(memo);
  ApplyEnabling();
  showing_ = false;
}

void SettingsDialog::Load() {
  settings_.Load();
  ShowSettings();
  for (QLabel* label : {smtpPortProblem_, pop3PortProblem_, mailAddressProblem_}) label->hide();
  problemsShown_ = false;
}

bool SettingsDialog::ShowProblems(ProblemFocus focus) {
  // In the order of SettingsField.
  QLabel* const labels[] = {smtpPortProblem_, pop3PortProblem_, mailAddressProblem_};
  QLineEdit* const fields[] = {smtpPortEdit_, pop3PortEdit_, mailAddressEdit_};
  for (QLabel* label : labels) label->hide();
  const std::vector<SettingsProblem> problems = CheckSettings(settings_);
  for (const SettingsProblem& problem : problems) {
    QLabel* label = labels[static_cast<int>(problem.field)];
    label->setText(ToQString(problem.text));
    label->show();
  }
  problemsShown_ = !problems.empty();
  // Only OK takes the user to what is refused; typing stays where it is.
  if (problemsShown_ && focus == ProblemFocus::FirstRefused) {
    // They all live on the first page.
    pageTabs_->setCurrentIndex(0);
    fields[static_cast<int>(problems.front().field)]->setFocus();
  }
  return problems.empty();
}

void SettingsDialog::showEvent(QShowEvent* event) {
  Load();
  QDialog::showEvent(event);
  // Its whole size where the screen has room for it: the toolkit would
  // otherwise keep a dialog to two thirds of the screen.
  platform::FitOnScreen(*this, sizeHint());
}

void SettingsDialog::ShowModalOnFirstTab() {
  pageTabs_->setCurrentIndex(0);
  platform::ExecAbove(*this);
}

void SettingsDialog::Save() {
  // Nothing is saved while a field is refused.
  if (!ShowProblems(ProblemFocus::FirstRefused)) return;
  settings_.Save();
  ShowSettings();  // the port defaults become visible
  accept();
}

void SettingsDialog::Dismiss() { reject(); }

void SettingsDialog::done(int result) {
  // Closing for any reason restores the account fields from the file.
  if (!closing_) {
    closing_ = true;
    settings_.Reread();
    ShowSettings();
    closing_ = false;
  }
  QDialog::done(result);
}

}  // namespace mf
