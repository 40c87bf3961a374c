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

  // Controls; their object names are these names without the underscore.
  QTabWidget* pageTabs_;
  QLineEdit* accountEdit_;
  QLineEdit* smtpServerEdit_;
  QLineEdit* pop3ServerEdit_;
  QLineEdit* pop3UserEdit_;
  QLineEdit* pop3PasswordEdit_;
  QLineEdit* nameEdit_;
  QLineEdit* mailAddressEdit_;
  QLineEdit* smtpPortEdit_;
  QLineEdit* pop3PortEdit_;
  QCheckBox* autostartBox_;
  QCheckBox* signatureBox_;
  QPlainTextEdit* signatureEdit_;
  QCheckBox* popBeforeSmtpBox_;
  QCheckBox* leaveOnServerBox_;
  QCheckBox* leaveOtherMailersBox_;
  QCheckBox* onlyThisMailerBox_;
  QCheckBox* receivePeriodicallyBox_;
  QLineEdit* periodEdit_;
  UpDown* periodUpDown_;
  QLabel* periodLabel_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
  // Encryption beside each server, and the SMTP log-in on the sending tab.
  QComboBox* smtpSecurityBox_;
  QComboBox* pop3SecurityBox_;
  QCheckBox* smtpAuthBox_;
  QLineEdit* smtpUserEdit_;
  QLineEdit* smtpPasswordEdit_;
  // Red lines under the fields whose values are refused, hidden otherwise.
  QLabel* smtpPortProblem_;
  QLabel* pop3PortProblem_;
  QLabel* mailAddressProblem_;
  // Where the passwords are kept: the desktop's keyring or the settings file.
  QLabel* passwordPlace_;
};

}  // namespace mf
