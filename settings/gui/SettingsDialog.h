#pragma once

#include <QDialog>

#include "settings/LiveSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace mf {

class UpDown;

// "基本設定": edits the live settings. Every control writes straight into
// the settings object, so what the user toggles is in effect at once; OK
// saves, Cancel (and any other way of closing) re-reads the account fields.
class SettingsDialog final : public QDialog {
  Q_OBJECT

 public:
  SettingsDialog(LiveSettings& settings, QWidget* parent = nullptr);

  // Loads every field from the file into the settings and the controls.
  void Load();
  // Shows the dialog modally on its first tab (the mail list's "アカウント設定(&A)").
  void ShowModalOnFirstTab();

  void Save();
  void Dismiss();

  // Controls, named as the forms name them.
  QTabWidget* MailSetUp;
  QLineEdit* ACOUNT;
  QLineEdit* E_SMTP_SV;
  QLineEdit* E_POP3_SV;
  QLineEdit* E_POP3USERID;
  QLineEdit* E_POP3USEPASS;
  QLineEdit* E_NAME;
  QLineEdit* E_MAILADD;
  QLineEdit* SMTPPORT;
  QLineEdit* POP3PORT;
  QCheckBox* cbAlwaysRunning;
  QCheckBox* CheckSine;
  QPlainTextEdit* MemoSine;
  QCheckBox* cbPopBeforeSMTP;
  QCheckBox* MailLeave;
  QCheckBox* cbLeaveOtherMailer;
  QCheckBox* cbRcvOnlyFromThisMailer;
  QCheckBox* cbRcvPeriodically;
  QLineEdit* edRcvPeriod;
  UpDown* periodUpDown;
  QLabel* periodLabel;
  QPushButton* OKButton;
  QPushButton* Cancel;
  // Encryption beside each server, and the SMTP log-in on the sending tab.
  QComboBox* smtpSecurityBox;
  QComboBox* pop3SecurityBox;
  QCheckBox* smtpAuthBox;
  QLineEdit* smtpUserEdit;
  QLineEdit* smtpPasswordEdit;
  // Red lines under the fields whose values are refused, hidden otherwise.
  QLabel* smtpPortProblem;
  QLabel* pop3PortProblem;
  QLabel* mailAddressProblem;
  // Where the passwords are kept: the desktop's keyring or the settings file.
  QLabel* passwordPlace;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void BuildControls();
  void ShowSettings();
  void ApplyEnabling();
  void TidyPeriodText();
  // Shows what is refused beside its field; true when nothing is.
  enum class ProblemFocus { FirstRefused, Stay };
  bool ShowProblems(ProblemFocus focus);

  LiveSettings& settings_;
  bool showing_ = false;  // controls are being filled: do not echo back
  bool closing_ = false;
  bool problemsShown_ = false;  // a refused field is shown: it is checked again as it changes
};

}  // namespace mf
