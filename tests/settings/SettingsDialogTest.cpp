#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "platform/Files.h"
#include "platform/qt/QtDialogs.h"
#include "settings/gui/SettingsDialog.h"
#include "widgets/UpDown.h"

namespace mf {
namespace {

class SettingsDialogTest : public ::testing::Test {
 protected:
  platform::TemporaryFolder folder;
  std::pair<int, bool> timer{-1, false};
  LiveSettings settings{platform::IniFile(folder.Path() + "MFMail.ini"),
                        [this](int ms, bool on) { timer = {ms, on}; }, [](bool) {}};
};

TEST_F(SettingsDialogTest, FirstStartShowsTheDefaults) {
  SettingsDialog dialog(settings);
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("基本設定"));
  EXPECT_EQ(dialog.SMTPPORT->text(), "25");
  EXPECT_EQ(dialog.POP3PORT->text(), "110");
  EXPECT_TRUE(dialog.cbAlwaysRunning->isChecked());
  EXPECT_TRUE(dialog.cbRcvPeriodically->isChecked());
  EXPECT_EQ(dialog.edRcvPeriod->text(), "20");
  EXPECT_EQ(timer, std::make_pair(1200000, true));
  EXPECT_EQ(dialog.MailSetUp->count(), 3);
}

TEST_F(SettingsDialogTest, TypingIntoThePeriodFieldIsFilteredAndNormalised) {
  SettingsDialog dialog(settings);
  dialog.edRcvPeriod->clear();
  QTest::keyClicks(dialog.edRcvPeriod, "7a5");
  EXPECT_EQ(dialog.edRcvPeriod->text(), "60");  // "75" is shown as "60" at once
  dialog.edRcvPeriod->setText("2.");
  EXPECT_EQ(dialog.edRcvPeriod->text(), "20");
  dialog.SMTPPORT->clear();
  QTest::keyClicks(dialog.SMTPPORT, "2x5.");
  EXPECT_EQ(dialog.SMTPPORT->text(), "25");
}

TEST_F(SettingsDialogTest, ArrowsStepThePeriodWithinOneToSixty) {
  SettingsDialog dialog(settings);
  auto arrows = dialog.periodUpDown->findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 2);
  arrows[0]->click();
  EXPECT_EQ(dialog.edRcvPeriod->text(), "21");
  dialog.edRcvPeriod->setText("60");
  arrows[0]->click();
  EXPECT_EQ(dialog.edRcvPeriod->text(), "60");
  dialog.edRcvPeriod->setText("2");
  arrows[1]->click();
  arrows[1]->click();
  EXPECT_EQ(dialog.edRcvPeriod->text(), "1");
  EXPECT_EQ(settings.rcvPeriod, "1");
}

TEST_F(SettingsDialogTest, LeaveOnServerGreysOutTheOtherMailerBox) {
  SettingsDialog dialog(settings);
  EXPECT_TRUE(dialog.cbLeaveOtherMailer->isEnabled());
  dialog.MailLeave->setChecked(true);
  EXPECT_FALSE(dialog.cbLeaveOtherMailer->isEnabled());
  dialog.cbRcvPeriodically->setChecked(false);
  EXPECT_FALSE(dialog.edRcvPeriod->isEnabled());
  EXPECT_FALSE(settings.rcvPeriodically);
}

TEST_F(SettingsDialogTest, CancelRestoresTheServerAndKeepsPopBeforeSmtp) {
  SettingsDialog dialog(settings);
  QTimer::singleShot(0, &dialog, [&] {
    QTest::keyClicks(dialog.E_SMTP_SV, "smtp.example.jp");
    dialog.OKButton->click();
  });
  dialog.ShowModalOnFirstTab();
  EXPECT_EQ(settings.smtpServer, "smtp.example.jp");

  QTimer::singleShot(0, &dialog, [&] {
    dialog.E_SMTP_SV->clear();
    QTest::keyClicks(dialog.E_SMTP_SV, "typo");
    dialog.cbPopBeforeSMTP->click();
    dialog.Cancel->click();
  });
  dialog.ShowModalOnFirstTab();
  EXPECT_EQ(settings.smtpServer, "smtp.example.jp");
  EXPECT_EQ(dialog.E_SMTP_SV->text(), "smtp.example.jp");
  EXPECT_TRUE(settings.popBeforeSmtp);
}

TEST_F(SettingsDialogTest, SecurityChoiceMovesAnUntouchedPortAndLogInIsStored) {
  SettingsDialog dialog(settings);
  EXPECT_EQ(dialog.smtpSecurityBox->currentText(), QString::fromUtf8("なし"));
  EXPECT_FALSE(dialog.smtpUserEdit->isEnabled());
  dialog.smtpSecurityBox->setCurrentIndex(1);
  EXPECT_EQ(dialog.SMTPPORT->text(), "587");
  dialog.POP3PORT->clear();
  QTest::keyClicks(dialog.POP3PORT, "1110");
  dialog.pop3SecurityBox->setCurrentIndex(2);
  EXPECT_EQ(dialog.pop3SecurityBox->currentText(), "SSL/TLS");
  EXPECT_EQ(dialog.POP3PORT->text(), "1110") << "a typed port stays";

  dialog.smtpAuthBox->click();
  EXPECT_TRUE(dialog.smtpUserEdit->isEnabled());
  QTest::keyClicks(dialog.smtpUserEdit, "tim");
  QTest::keyClicks(dialog.smtpPasswordEdit, "secret");
  dialog.Save();

  LiveSettings stored{platform::IniFile(folder.Path() + "MFMail.ini"), nullptr, nullptr};
  stored.Load();
  EXPECT_EQ(stored.smtpSecurity, ConnectionSecurity::StartTls);
  EXPECT_EQ(stored.pop3Security, ConnectionSecurity::Tls);
  EXPECT_EQ(stored.smtpPort, "587");
  EXPECT_EQ(stored.pop3Port, "1110");
  EXPECT_TRUE(stored.smtpAuth);
  EXPECT_EQ(stored.smtpUser, "tim");
  EXPECT_EQ(stored.smtpPassword, "secret");
}

struct RefusedCase {
  const char* name;
  QLineEdit* SettingsDialog::*field;
  const char* bad;
  const char* good;
  QLabel* SettingsDialog::*problem;
  const char* said;  // UTF-8, part of the refusal
};

class RefusedField : public SettingsDialogTest, public ::testing::WithParamInterface<RefusedCase> {};

// A refused value is named in red beside its field; OK saves nothing and
// keeps the dialog open until the value is mended.
TEST_P(RefusedField, IsShownBesideItsFieldAndNothingIsSavedUntilMended) {
  const RefusedCase& c = GetParam();
  SettingsDialog dialog(settings);
  bool openAfterOk = false;
  bool shownAfterOk = false;
  QString problem;
  bool hiddenWhenMended = false;
  bool savedWhileRefused = true;
  QTimer::singleShot(0, &dialog, [&] {
    QTest::keyClicks(dialog.E_SMTP_SV, "mail.example.jp");
    QTest::keyClicks(dialog.E_POP3_SV, "mail.example.jp");
    dialog.MailSetUp->setCurrentIndex(2);
    QLineEdit* field = dialog.*c.field;
    field->clear();
    QTest::keyClicks(field, c.bad);
    dialog.OKButton->click();
    openAfterOk = dialog.isVisible();
    shownAfterOk = (dialog.*c.problem)->isVisible() && dialog.MailSetUp->currentIndex() == 0;
    problem = (dialog.*c.problem)->text();
    savedWhileRefused = platform::FileExists(folder.Path() + "MFMail.ini");
    field->clear();
    QTest::keyClicks(field, c.good);
    hiddenWhenMended = !(dialog.*c.problem)->isVisible();
    dialog.OKButton->click();
  });
  dialog.ShowModalOnFirstTab();

  EXPECT_TRUE(openAfterOk);
  EXPECT_TRUE(shownAfterOk);
  EXPECT_TRUE(problem.contains(QString::fromUtf8(c.said))) << problem.toStdString();
  EXPECT_TRUE(hiddenWhenMended);
  EXPECT_FALSE(savedWhileRefused);
  LiveSettings stored{platform::IniFile(folder.Path() + "MFMail.ini"), nullptr, nullptr};
  stored.Load();
  EXPECT_EQ(stored.smtpServer, "mail.example.jp") << "saved once mended";
  EXPECT_EQ(platform::FromQString((dialog.*c.field)->text()), c.good);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedField,
    ::testing::Values(
        RefusedCase{"SmtpPortZero", &SettingsDialog::SMTPPORT, "0", "587", &SettingsDialog::smtpPortProblem, "1から65535"},
        RefusedCase{"Pop3PortTooHigh", &SettingsDialog::POP3PORT, "70000", "995", &SettingsDialog::pop3PortProblem,
                    "1から65535"},
        RefusedCase{"SmtpPortIsThePop3Port", &SettingsDialog::SMTPPORT, "110", "25", &SettingsDialog::smtpPortProblem,
                    "POP3ポートと同じ"},
        RefusedCase{"AddressWithoutAt", &SettingsDialog::E_MAILADD, "taro.example.jp", "taro@example.jp",
                    &SettingsDialog::mailAddressProblem, "@"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogTest, OkGoesToTheFirstRefusedFieldAndMendingAnotherKeepsTheFocus) {
  SettingsDialog dialog(settings);
  dialog.show();
  dialog.SMTPPORT->clear();
  QTest::keyClicks(dialog.SMTPPORT, "0");
  QTest::keyClicks(dialog.E_MAILADD, "taro");
  dialog.MailSetUp->setCurrentIndex(1);
  dialog.Save();
  EXPECT_EQ(dialog.MailSetUp->currentIndex(), 0);
  EXPECT_EQ(dialog.focusWidget(), dialog.SMTPPORT);
  EXPECT_TRUE(dialog.smtpPortProblem->isVisible());
  EXPECT_TRUE(dialog.mailAddressProblem->isVisible());

  // The user mends the address first: every key stays in the address.
  dialog.E_MAILADD->setFocus();
  dialog.E_MAILADD->clear();
  QTest::keyClicks(dialog.focusWidget(), "taro@example.jp");
  EXPECT_EQ(dialog.E_MAILADD->text(), "taro@example.jp");
  EXPECT_FALSE(dialog.mailAddressProblem->isVisible());
  EXPECT_TRUE(dialog.smtpPortProblem->isVisible());
  EXPECT_EQ(dialog.focusWidget(), dialog.E_MAILADD);
  dialog.Cancel->click();
}

// Red lines come and go under the fields while the user mends them: every
// field and button stays where it was, and so does the dialog's size.
TEST_F(SettingsDialogTest, FieldsStayInPlaceWhileRefusedValuesAreShownAndMended) {
  SettingsDialog dialog(settings);
  dialog.show();
  QApplication::processEvents();
  auto places = [&] {
    std::vector<QRect> seen{QRect(QPoint(), dialog.size())};
    for (QWidget* widget : std::initializer_list<QWidget*>{dialog.E_MAILADD, dialog.SMTPPORT, dialog.POP3PORT,
                                                           dialog.cbAlwaysRunning, dialog.OKButton}) {
      seen.push_back(QRect(widget->mapTo(&dialog, QPoint()), widget->size()));
    }
    return seen;
  };
  const std::vector<QRect> before = places();
  dialog.SMTPPORT->clear();
  QTest::keyClicks(dialog.SMTPPORT, "0");
  dialog.POP3PORT->clear();
  QTest::keyClicks(dialog.POP3PORT, "70000");
  QTest::keyClicks(dialog.E_MAILADD, "taro @example.jp");
  dialog.Save();
  QApplication::processEvents();
  ASSERT_TRUE(dialog.smtpPortProblem->isVisible());
  ASSERT_TRUE(dialog.pop3PortProblem->isVisible());
  ASSERT_TRUE(dialog.mailAddressProblem->isVisible());
  EXPECT_EQ(places(), before) << "a refusal moved the fields";
  // The widest text fits its line whole.
  EXPECT_GE(dialog.mailAddressProblem->width(),
            dialog.mailAddressProblem->fontMetrics().horizontalAdvance(dialog.mailAddressProblem->text()));

  dialog.E_MAILADD->clear();
  QTest::keyClicks(dialog.E_MAILADD, "taro@example.jp");
  QApplication::processEvents();
  EXPECT_FALSE(dialog.mailAddressProblem->isVisible());
  EXPECT_EQ(places(), before) << "mending one field moved the others";
  dialog.Cancel->click();
}

}  // namespace
}  // namespace mf
