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
#include "settings/InputChecks.h"
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
  MailSetUp = new QTabWidget(this);
  MailSetUp->setAccessibleName(Label("設定の種類"));
  layout->addWidget(MailSetUp);

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
  ACOUNT = Edit(requiredForm, "アカウント名", bind(settings_.account), this);
  E_SMTP_SV = Edit(requiredForm, "SMTPサーバー名", bind(settings_.smtpServer), this);
  smtpSecurityBox = SecurityBox(requiredForm, "SMTPセキュリティ", this);
  E_POP3_SV = Edit(requiredForm, "POP3サーバー名", bind(settings_.pop3Server), this);
  pop3SecurityBox = SecurityBox(requiredForm, "POP3セキュリティ", this);
  E_POP3USERID = Edit(requiredForm, "POP3ユーザーID", bind(settings_.pop3User), this);
  E_POP3USEPASS = Edit(requiredForm, "POP3パスワード", bind(settings_.pop3Password), this);
  E_POP3USEPASS->setEchoMode(QLineEdit::Password);
  E_NAME = Edit(requiredForm, "名前", bind(settings_.myName), this);
  E_MAILADD = Edit(requiredForm, "メールアドレス", bind(settings_.mailAddress), this);
  mailAddressProblem = ProblemLabel(requiredForm, this);
  passwordPlace = new QLabel(required);
  passwordPlace->setObjectName("passwordPlace");
  passwordPlace->setWordWrap(true);
  requiredForm->addRow(passwordPlace);
  auto* options = new QGroupBox(Label("オプション"), basic);
  auto* optionsForm = new QFormLayout(options);
  SMTPPORT = Edit(optionsForm, "SMTPポート", bind(settings_.smtpPort), this);
  smtpPortProblem = ProblemLabel(optionsForm, this);
  POP3PORT = Edit(optionsForm, "POP3ポート", bind(settings_.pop3Port), this);
  pop3PortProblem = ProblemLabel(optionsForm, this);
  for (auto* port : {SMTPPORT, POP3PORT}) port->installEventFilter(new KeyFilter(port, LiveSettings::AcceptPortKey));
  cbAlwaysRunning = new QCheckBox(Label("自動起動する"), options);
  optionsForm->addRow(cbAlwaysRunning);
  basicLayout->addWidget(required);
  basicLayout->addWidget(options);
  MailSetUp->addTab(basic, Label("基本"));

  // Tab "送信".
  auto* sending = new QWidget;
  auto* sendingLayout = new QVBoxLayout(sending);
  CheckSine = new QCheckBox(Label("署名をつける"), sending);
  MemoSine = new QPlainTextEdit(sending);
  MemoSine->setLineWrapMode(QPlainTextEdit::NoWrap);
  cbPopBeforeSMTP = new QCheckBox(Label("POP Before SMTP"), sending);
  sendingLayout->addWidget(CheckSine);
  auto* signatureCaption = new QLabel(Label("署名"), sending);
  signatureCaption->setBuddy(MemoSine);
  sendingLayout->addWidget(signatureCaption);
  sendingLayout->addWidget(MemoSine);
  sendingLayout->addWidget(cbPopBeforeSMTP);
  smtpAuthBox = new QCheckBox(Label("SMTP認証"), sending);
  auto* authForm = new QFormLayout;
  smtpUserEdit = Edit(authForm, "SMTPユーザーID", bind(settings_.smtpUser), this);
  smtpPasswordEdit = Edit(authForm, "SMTPパスワード", bind(settings_.smtpPassword), this);
  smtpPasswordEdit->setEchoMode(QLineEdit::Password);
  auto* authHint = new QLabel(Label("空欄のときはPOP3のユーザーIDとパスワードでログインします"), sending);
  authHint->setWordWrap(true);
  authForm->addRow(authHint);
  sendingLayout->addWidget(smtpAuthBox);
  sendingLayout->addLayout(authForm);
  MailSetUp->addTab(sending, Label("送信"));

  // Tab "受信".
  auto* receiving = new QWidget;
  auto* receivingLayout = new QVBoxLayout(receiving);
  MailLeave = new QCheckBox(Label("サーバーにメールを残す"), receiving);
  cbLeaveOtherMailer = new QCheckBox(Label("モフタンメール以外から送られたメールをサーバーに残す"), receiving);
  cbRcvOnlyFromThisMailer = new QCheckBox(Label("モフタンメールから送られたメールのみを受信する"), receiving);
  cbRcvPeriodically = new QCheckBox(Label("定期的に受信する"), receiving);
  auto* periodRow = new QHBoxLayout;
  edRcvPeriod = new QLineEdit(receiving);
  edRcvPeriod->setMaximumWidth(60);
  edRcvPeriod->installEventFilter(new KeyFilter(edRcvPeriod, LiveSettings::AcceptPeriodKey));
  periodUpDown = new UpDown(1, 60, receiving);
  periodLabel = new QLabel(Label("分ごとに受信"), receiving);
  periodLabel->setBuddy(edRcvPeriod);
  periodRow->addWidget(edRcvPeriod);
  periodRow->addWidget(periodUpDown);
  periodRow->addWidget(periodLabel);
  periodRow->addStretch();
  for (auto* box : {MailLeave, cbLeaveOtherMailer, cbRcvOnlyFromThisMailer, cbRcvPeriodically}) {
    receivingLayout->addWidget(box);
  }
  receivingLayout->addLayout(periodRow);
  receivingLayout->addStretch();
  MailSetUp->addTab(receiving, Label("受信"));

  auto* buttons = new QHBoxLayout;
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  Cancel = new QPushButton(QStringLiteral("Cancel"), this);
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(Cancel);
  layout->addLayout(buttons);

  auto toggle = [this](QCheckBox* box, bool& field) {
    connect(box, &QCheckBox::toggled, this, [this, &field](bool on) {
      if (showing_) return;
      field = on;
      ApplyEnabling();
    });
  };
  toggle(cbAlwaysRunning, settings_.alwaysRunning);
  toggle(CheckSine, settings_.mailSign);
  toggle(cbPopBeforeSMTP, settings_.popBeforeSmtp);
  toggle(smtpAuthBox, settings_.smtpAuth);
  // A port the user left at the usual value follows the choice.
  connect(smtpSecurityBox, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (showing_) return;
    settings_.SetSmtpSecurity(static_cast<ConnectionSecurity>(index));
    SMTPPORT->setText(ToQString(settings_.smtpPort));
  });
  connect(pop3SecurityBox, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (showing_) return;
    settings_.SetPop3Security(static_cast<ConnectionSecurity>(index));
    POP3PORT->setText(ToQString(settings_.pop3Port));
  });
  toggle(MailLeave, settings_.mailLeave);
  toggle(cbLeaveOtherMailer, settings_.leaveOtherMailer);
  toggle(cbRcvOnlyFromThisMailer, settings_.rcvOnlyFromThisMailer);
  toggle(cbRcvPeriodically, settings_.rcvPeriodically);
  connect(MemoSine, &QPlainTextEdit::textChanged, this, [this] {
    if (showing_) return;
    QString text = MemoSine->toPlainText();
    settings_.signature = text.isEmpty() ? std::vector<std::string>{} : SplitLines(FromQString(text));
    if (text.endsWith('\n')) settings_.signature.push_back("");
  });
  connect(edRcvPeriod, &QLineEdit::textChanged, this, [this] { TidyPeriodText(); });
  periodUpDown->onChanged = [this](int value) {
    if (showing_) return;
    settings_.upDownPosition = value;
    edRcvPeriod->setText(QString::number(value));
  };
  connect(MailSetUp, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == 0) OKButton->setFocus();
  });
  // A refused field says so until it is mended, as the user types.
  for (QLineEdit* checked : {E_SMTP_SV, E_POP3_SV, E_MAILADD, SMTPPORT, POP3PORT}) {
    connect(checked, &QLineEdit::textChanged, this, [this] {
      if (!showing_ && problemsShown_) ShowProblems(ProblemFocus::Stay);
    });
  }
  for (QComboBox* security : {smtpSecurityBox, pop3SecurityBox}) {
    connect(security, &QComboBox::currentIndexChanged, this, [this] {
      if (!showing_ && problemsShown_) ShowProblems(ProblemFocus::Stay);
    });
  }
  connect(OKButton, &QPushButton::clicked, this, [this] { Save(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { Dismiss(); });
}

void SettingsDialog::TidyPeriodText() {
  QString text = edRcvPeriod->text();
  std::string normal = LiveSettings::NormalizePeriodText(FromQString(text));
  if (ToQString(normal) != text) {
    edRcvPeriod->setText(ToQString(normal));  // runs this handler again with the normal text
    return;
  }
  if (showing_) return;
  settings_.rcvPeriod = normal;
  // The arrows step on from what was typed.
  if (auto value = ToInteger(normal); value && *value >= 1 && *value <= 60) {
    settings_.upDownPosition = *value;
    periodUpDown->SetPosition(*value);
  }
}

void SettingsDialog::ApplyEnabling() {
  cbLeaveOtherMailer->setEnabled(settings_.LeaveOtherMailerEnabled());
  edRcvPeriod->setEnabled(settings_.PeriodEnabled());
  periodUpDown->setEnabled(settings_.PeriodEnabled());
  periodLabel->setEnabled(settings_.PeriodEnabled());
  smtpUserEdit->setEnabled(settings_.smtpAuth);
  smtpPasswordEdit->setEnabled(settings_.smtpAuth);
}

void SettingsDialog::ShowSettings() {
  showing_ = true;
  passwordPlace->setText(settings_.PasswordsInKeyring() ? Label("パスワードはデスクトップのキーリングに保存されます")
                                                        : Label("パスワードは設定ファイル (MFMail.ini) に保存されます"));
  ACOUNT->setText(ToQString(settings_.account));
  E_SMTP_SV->setText(ToQString(settings_.smtpServer));
  E_POP3_SV->setText(ToQString(settings_.pop3Server));
  E_POP3USERID->setText(ToQString(settings_.pop3User));
  E_POP3USEPASS->setText(ToQString(settings_.pop3Password));
  E_NAME->setText(ToQString(settings_.myName));
  E_MAILADD->setText(ToQString(settings_.mailAddress));
  SMTPPORT->setText(ToQString(settings_.smtpPort));
  POP3PORT->setText(ToQString(settings_.pop3Port));
  cbAlwaysRunning->setChecked(settings_.alwaysRunning);
  CheckSine->setChecked(settings_.mailSign);
  cbPopBeforeSMTP->setChecked(settings_.popBeforeSmtp);
  smtpSecurityBox->setCurrentIndex(static_cast<int>(settings_.smtpSecurity));
  pop3SecurityBox->setCurrentIndex(static_cast<int>(settings_.pop3Security));
  smtpAuthBox->setChecked(settings_.smtpAuth);
  smtpUserEdit->setText(ToQString(settings_.smtpUser));
  smtpPasswordEdit->setText(ToQString(settings_.smtpPassword));
  MailLeave->setChecked(settings_.mailLeave);
  cbLeaveOtherMailer->setChecked(settings_.leaveOtherMailer);
  cbRcvOnlyFromThisMailer->setChecked(settings_.rcvOnlyFromThisMailer);
  cbRcvPeriodically->setChecked(settings_.rcvPeriodically);
  edRcvPeriod->setText(ToQString(settings_.rcvPeriod));
  periodUpDown->SetPosition(settings_.upDownPosition);
  QString memo;
  for (std::size_t i = 0; i < settings_.signature.size(); ++i) {
    if (i > 0) memo += '\n';
    memo += ToQString(settings_.signature[i]);
  }
  MemoSine->setPlainText(memo);
  ApplyEnabling();
  showing_ = false;
}

void SettingsDialog::Load() {
  settings_.Load();
  ShowSettings();
  for (QLabel* label : {smtpPortProblem, pop3PortProblem, mailAddressProblem}) label->hide();
  problemsShown_ = false;
}

bool SettingsDialog::ShowProblems(ProblemFocus focus) {
  // In the order of SettingsField.
  QLabel* const labels[] = {smtpPortProblem, pop3PortProblem, mailAddressProblem};
  QLineEdit* const fields[] = {SMTPPORT, POP3PORT, E_MAILADD};
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
    MailSetUp->setCurrentIndex(0);
    fields[static_cast<int>(problems.front().field)]->setFocus();
  }
  return problems.empty();
}

void SettingsDialog::showEvent(QShowEvent* event) {
  Load();
  QDialog::showEvent(event);
}

void SettingsDialog::ShowModalOnFirstTab() {
  MailSetUp->setCurrentIndex(0);
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
