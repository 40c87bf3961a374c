#include <gtest/gtest.h>

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
#include <QWheelEvent>
#include <cstdlib>

#include "platform/Files.h"
#include "platform/qt/QtDialogs.h"
#include "settings/gui/SettingsDialog.h"
#include "tests/support/Controls.h"
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
  EXPECT_EQ(Control<QLineEdit>(dialog, "smtpPortEdit")->text(), "25");
  EXPECT_EQ(Control<QLineEdit>(dialog, "pop3PortEdit")->text(), "110");
  EXPECT_TRUE(Control<QCheckBox>(dialog, "autostartBox")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(dialog, "receivePeriodicallyBox")->isChecked());
  EXPECT_EQ(Control<QLineEdit>(dialog, "periodEdit")->text(), "20");
  EXPECT_EQ(timer, std::make_pair(1200000, true));
  EXPECT_EQ(Control<QTabWidget>(dialog, "pageTabs")->count(), 3);
}

// Scrolling a page that had to be made small went through the choice under
// the pointer and changed a server's security unseen.
TEST_F(SettingsDialogTest, TheWheelTurnsAChoiceOnlyOnceItHasTheKeyboard) {
  SettingsDialog dialog(settings);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  auto* box = Control<QComboBox>(dialog, "pop3SecurityBox");
  const QPoint middle = box->rect().center();
  auto turn = [&] {
    QWheelEvent wheel(middle, box->mapToGlobal(middle), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
  };
  const int before = box->currentIndex();
  turn();
  EXPECT_EQ(box->currentIndex(), before);
  box->setFocus();
  turn();
  EXPECT_NE(box->currentIndex(), before);
}

TEST_F(SettingsDialogTest, TypingIntoThePeriodFieldIsFilteredAndNormalised) {
  SettingsDialog dialog(settings);
  Control<QLineEdit>(dialog, "periodEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(dialog, "periodEdit"), "7a5");
  EXPECT_EQ(Control<QLineEdit>(dialog, "periodEdit")->text(), "60");  // "75" is shown as "60" at once
  Control<QLineEdit>(dialog, "periodEdit")->setText("2.");
  EXPECT_EQ(Control<QLineEdit>(dialog, "periodEdit")->text(), "20");
  Control<QLineEdit>(dialog, "smtpPortEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(dialog, "smtpPortEdit"), "2x5.");
  EXPECT_EQ(Control<QLineEdit>(dialog, "smtpPortEdit")->text(), "25");
}

TEST_F(SettingsDialogTest, ArrowsStepThePeriodWithinOneToSixty) {
  SettingsDialog dialog(settings);
  auto arrows = Control<UpDown>(dialog, "periodUpDown")->findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 2);
  arrows[0]->click();
  EXPECT_EQ(Control<QLineEdit>(dialog, "periodEdit")->text(), "21");
  Control<QLineEdit>(dialog, "periodEdit")->setText("60");
  arrows[0]->click();
  EXPECT_EQ(Control<QLineEdit>(dialog, "periodEdit")->text(), "60");
  Control<QLineEdit>(dialog, "periodEdit")->setText("2");
  arrows[1]->click();
  arrows[1]->click();
  EXPECT_EQ(Control<QLineEdit>(dialog, "periodEdit")->text(), "1");
  EXPECT_EQ(settings.rcvPeriod, "1");
}

TEST_F(SettingsDialogTest, LeaveOnServerGreysOutTheOtherMailerBox) {
  SettingsDialog dialog(settings);
  EXPECT_TRUE(Control<QCheckBox>(dialog, "leaveOtherMailersBox")->isEnabled());
  Control<QCheckBox>(dialog, "leaveOnServerBox")->setChecked(true);
  EXPECT_FALSE(Control<QCheckBox>(dialog, "leaveOtherMailersBox")->isEnabled());
  Control<QCheckBox>(dialog, "receivePeriodicallyBox")->setChecked(false);
  EXPECT_FALSE(Control<QLineEdit>(dialog, "periodEdit")->isEnabled());
  EXPECT_FALSE(settings.rcvPeriodically);
}

TEST_F(SettingsDialogTest, CancelRestoresTheServerAndKeepsPopBeforeSmtp) {
  SettingsDialog dialog(settings);
  QTimer::singleShot(0, &dialog, [&] {
    QTest::keyClicks(Control<QLineEdit>(dialog, "smtpServerEdit"), "smtp.example.jp");
    Control<QPushButton>(dialog, "okButton")->click();
  });
  dialog.ShowModalOnFirstTab();
  EXPECT_EQ(settings.smtpServer, "smtp.example.jp");

  QTimer::singleShot(0, &dialog, [&] {
    Control<QLineEdit>(dialog, "smtpServerEdit")->clear();
    QTest::keyClicks(Control<QLineEdit>(dialog, "smtpServerEdit"), "typo");
    Control<QCheckBox>(dialog, "popBeforeSmtpBox")->click();
    Control<QPushButton>(dialog, "cancelButton")->click();
  });
  dialog.ShowModalOnFirstTab();
  EXPECT_EQ(settings.smtpServer, "smtp.example.jp");
  EXPECT_EQ(Control<QLineEdit>(dialog, "smtpServerEdit")->text(), "smtp.example.jp");
  EXPECT_TRUE(settings.popBeforeSmtp);
}

TEST_F(SettingsDialogTest, SecurityChoiceMovesAnUntouchedPortAndLogInIsStored) {
  SettingsDialog dialog(settings);
  EXPECT_EQ(Control<QComboBox>(dialog, "smtpSecurityBox")->currentText(), QString::fromUtf8("なし"));
  EXPECT_FALSE(Control<QLineEdit>(dialog, "smtpUserEdit")->isEnabled());
  Control<QComboBox>(dialog, "smtpSecurityBox")->setCurrentIndex(1);
  EXPECT_EQ(Control<QLineEdit>(dialog, "smtpPortEdit")->text(), "587");
  Control<QLineEdit>(dialog, "pop3PortEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(dialog, "pop3PortEdit"), "1110");
  Control<QComboBox>(dialog, "pop3SecurityBox")->setCurrentIndex(2);
  EXPECT_EQ(Control<QComboBox>(dialog, "pop3SecurityBox")->currentText(), "SSL/TLS");
  EXPECT_EQ(Control<QLineEdit>(dialog, "pop3PortEdit")->text(), "1110") << "a typed port stays";

  Control<QCheckBox>(dialog, "smtpAuthBox")->click();
  EXPECT_TRUE(Control<QLineEdit>(dialog, "smtpUserEdit")->isEnabled());
  QTest::keyClicks(Control<QLineEdit>(dialog, "smtpUserEdit"), "tim");
  QTest::keyClicks(Control<QLineEdit>(dialog, "smtpPasswordEdit"), "secret");
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
  const char* field;  // object names
  const char* bad;
  const char* good;
  const char* problem;
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
    QTest::keyClicks(Control<QLineEdit>(dialog, "smtpServerEdit"), "mail.example.jp");
    QTest::keyClicks(Control<QLineEdit>(dialog, "pop3ServerEdit"), "mail.example.jp");
    Control<QTabWidget>(dialog, "pageTabs")->setCurrentIndex(2);
    QLineEdit* field = Control<QLineEdit>(dialog, c.field);
    field->clear();
    QTest::keyClicks(field, c.bad);
    Control<QPushButton>(dialog, "okButton")->click();
    openAfterOk = dialog.isVisible();
    shownAfterOk =
        Control<QLabel>(dialog, c.problem)->isVisible() && Control<QTabWidget>(dialog, "pageTabs")->currentIndex() == 0;
    problem = Control<QLabel>(dialog, c.problem)->text();
    savedWhileRefused = platform::FileExists(folder.Path() + "MFMail.ini");
    field->clear();
    QTest::keyClicks(field, c.good);
    hiddenWhenMended = !Control<QLabel>(dialog, c.problem)->isVisible();
    Control<QPushButton>(dialog, "okButton")->click();
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
  EXPECT_EQ(platform::FromQString(Control<QLineEdit>(dialog, c.field)->text()), c.good);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedField,
    ::testing::Values(RefusedCase{"SmtpPortZero", "smtpPortEdit", "0", "587", "smtpPortProblem", "1から65535"},
                      RefusedCase{"Pop3PortTooHigh", "pop3PortEdit", "70000", "995", "pop3PortProblem", "1から65535"},
                      RefusedCase{"SmtpPortIsThePop3Port", "smtpPortEdit", "110", "25", "smtpPortProblem",
                                  "POP3ポートと同じ"},
                      RefusedCase{"AddressWithoutAt", "mailAddressEdit", "taro.example.jp", "taro@example.jp",
                                  "mailAddressProblem", "@"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogTest, OkGoesToTheFirstRefusedFieldAndMendingAnotherKeepsTheFocus) {
  SettingsDialog dialog(settings);
  dialog.show();
  Control<QLineEdit>(dialog, "smtpPortEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(dialog, "smtpPortEdit"), "0");
  QTest::keyClicks(Control<QLineEdit>(dialog, "mailAddressEdit"), "taro");
  Control<QTabWidget>(dialog, "pageTabs")->setCurrentIndex(1);
  dialog.Save();
  EXPECT_EQ(Control<QTabWidget>(dialog, "pageTabs")->currentIndex(), 0);
  EXPECT_EQ(dialog.focusWidget(), Control<QLineEdit>(dialog, "smtpPortEdit"));
  EXPECT_TRUE(Control<QLabel>(dialog, "smtpPortProblem")->isVisible());
  EXPECT_TRUE(Control<QLabel>(dialog, "mailAddressProblem")->isVisible());

  // The user mends the address first: every key stays in the address.
  Control<QLineEdit>(dialog, "mailAddressEdit")->setFocus();
  Control<QLineEdit>(dialog, "mailAddressEdit")->clear();
  QTest::keyClicks(dialog.focusWidget(), "taro@example.jp");
  EXPECT_EQ(Control<QLineEdit>(dialog, "mailAddressEdit")->text(), "taro@example.jp");
  EXPECT_FALSE(Control<QLabel>(dialog, "mailAddressProblem")->isVisible());
  EXPECT_TRUE(Control<QLabel>(dialog, "smtpPortProblem")->isVisible());
  EXPECT_EQ(dialog.focusWidget(), Control<QLineEdit>(dialog, "mailAddressEdit"));
  Control<QPushButton>(dialog, "cancelButton")->click();
}

// Red lines come and go under the fields while the user mends them: every
// field and button stays where it was, and so does the dialog's size.
TEST_F(SettingsDialogTest, FieldsStayInPlaceWhileRefusedValuesAreShownAndMended) {
  SettingsDialog dialog(settings);
  dialog.show();
  QApplication::processEvents();
  auto places = [&] {
    std::vector<QRect> seen{QRect(QPoint(), dialog.size())};
    for (QWidget* widget : std::initializer_list<QWidget*>{
             Control<QLineEdit>(dialog, "mailAddressEdit"), Control<QLineEdit>(dialog, "smtpPortEdit"),
             Control<QLineEdit>(dialog, "pop3PortEdit"), Control<QCheckBox>(dialog, "autostartBox"),
             Control<QPushButton>(dialog, "okButton")}) {
      seen.push_back(QRect(widget->mapTo(&dialog, QPoint()), widget->size()));
    }
    return seen;
  };
  const std::vector<QRect> before = places();
  Control<QLineEdit>(dialog, "smtpPortEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(dialog, "smtpPortEdit"), "0");
  Control<QLineEdit>(dialog, "pop3PortEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(dialog, "pop3PortEdit"), "70000");
  QTest::keyClicks(Control<QLineEdit>(dialog, "mailAddressEdit"), "taro @example.jp");
  dialog.Save();
  QApplication::processEvents();
  ASSERT_TRUE(Control<QLabel>(dialog, "smtpPortProblem")->isVisible());
  ASSERT_TRUE(Control<QLabel>(dialog, "pop3PortProblem")->isVisible());
  ASSERT_TRUE(Control<QLabel>(dialog, "mailAddressProblem")->isVisible());
  EXPECT_EQ(places(), before) << "a refusal moved the fields";
  // The widest text fits its line whole.
  EXPECT_GE(Control<QLabel>(dialog, "mailAddressProblem")->width(),
            Control<QLabel>(dialog, "mailAddressProblem")
                ->fontMetrics()
                .horizontalAdvance(Control<QLabel>(dialog, "mailAddressProblem")->text()));

  Control<QLineEdit>(dialog, "mailAddressEdit")->clear();
  QTest::keyClicks(Control<QLineEdit>(dialog, "mailAddressEdit"), "taro@example.jp");
  QApplication::processEvents();
  EXPECT_FALSE(Control<QLabel>(dialog, "mailAddressProblem")->isVisible());
  EXPECT_EQ(places(), before) << "mending one field moved the others";
  Control<QPushButton>(dialog, "cancelButton")->click();
}

}  // namespace
}  // namespace mf
