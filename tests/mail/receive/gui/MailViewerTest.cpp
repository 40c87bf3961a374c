// The viewer on its own: what an answer takes from the shown mail, where the
// answer opens, the bubble and its buttons, and the other two small windows.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include "mail/gui/VersionWindow.h"
#include "mail/receive/AnsweredMail.h"
#include "mail/receive/InboxIntake.h"
#include "tests/mail/receive/gui/ReceivingFixture.h"
#include "tests/support/Controls.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

// Beside the character at `at` (its picture 46 wide), kept whole on the
// screen: a bubble never reaches over the screen's edge.
const std::string kNoCharacter = Sj("適切なキャラクターを表示できないため送信できません");

class Viewer : public testing::ReceivingWindowsTest {
 protected:
  void SetUp() override {
    ReceivingWindowsTest::SetUp();
    Start();
  }
  // Shows a mail whose character the hut does not know, so that "返信"
  // prepares the answer and then stops.
  // With `lentId`, the hut lends that character to present it.
  void Show(const std::string& subject, const std::string& text, const std::string& from = "hanako@example.jp",
            const std::string& lentId = {}) {
    ArrivedMail mail;
    mail.from = from;
    mail.subject = subject;
    mail.text = text;
    mail.inReplyTo = "<m@example.jp>";
    mail.references = "<r@example.jp>,<m@example.jp>";
    mail.deliveringId = "<gone@test>";
    viewer_->Reset();
    viewer_->Fill(mail, lentId.empty() ? CarrierRef{} : hut_->LendCharacter(lentId));
  }
  std::string AnsweredSubject() {
    return platform::FromQString(Control<QLineEdit>(*composition_, "subjectEdit")->text());
  }
};

struct SubjectCase {
  const char* subject;
  const char* answered;
};

class AnswerSubject : public Viewer, public ::testing::WithParamInterface<SubjectCase> {};

TEST_P(AnswerSubject, KeepsAnAnswersSubjectAndPrefixesAnyOther) {
  Show(GetParam().subject, "text");
  viewer_->ReplyNow();
  EXPECT_EQ(AnsweredSubject(), GetParam().answered);
}

INSTANTIATE_TEST_SUITE_P(Subjects, AnswerSubject,
                         ::testing::Values(SubjectCase{"re: lunch", "re: lunch"}, SubjectCase{"RE:lunch", "RE:lunch"},
                                           SubjectCase{"rE: lunch", "rE: lunch"},
                                           SubjectCase{"Re: Re: x", "Re: Re: x"},
                                           SubjectCase{"lunch", "Re: lunch"}, SubjectCase{"re lunch", "Re: re lunch"},
                                           SubjectCase{"Fwd: re: x", "Re: Fwd: re: x"}, SubjectCase{"", "Re: "}));

TEST_F(Viewer, AnAnswerQuotesEveryLineInTheColourOfItsDepthAndTakesTheMailsIds) {
  Show("hello", "first\r\nsecond\r\n> earlier\r\n>> earliest\r\nthird");
  viewer_->ReplyNow();

  EXPECT_EQ(Control<QLineEdit>(*composition_, "toEdit")->text(), "hanako@example.jp");
  EXPECT_EQ(composition_->Current().inReplyTo, "<m@example.jp>");
  EXPECT_EQ(composition_->Current().references, "<r@example.jp>,<m@example.jp>");
  EXPECT_EQ(Control<QTextEdit>(*composition_, "bodyEdit")->toPlainText(),
            "> first\n> second\n> > earlier\n> >> earliest\n> third\n");
  const QColor green(0, 128, 0), blue(0, 0, 255), red(255, 0, 0);
  const QColor colours[] = {green, green, blue, red, green};
  QTextBlock block = Control<QTextEdit>(*composition_, "bodyEdit")->document()->begin();
  for (int line = 0; line < 5; ++line, block = block.next()) {
    ASSERT_TRUE(block.isValid());
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    EXPECT_EQ(cursor.charFormat().foreground().color(), colours[line]) << "line " << line;
  }
}

// The sender field shows the name as a reader sees it; the answer's
// recipient field keeps the quotes the name needs and no others.
TEST_F(Viewer, TheSenderShowsItsNameUnquotedAndTheAnswerGoesToAValidRecipient) {
  struct Case {
    std::string from;
    std::string shown;
    std::string to;
  };
  const Case cases[] = {
      {"\"Alice\" <alice@example.test>", "Alice <alice@example.test>", "Alice <alice@example.test>"},
      {"\"Doe, John\" <j@example.test>", "Doe, John <j@example.test>", "\"Doe, John\" <j@example.test>"},
      {Sj("花子 <hanako@example.jp>"), Sj("花子 <hanako@example.jp>"), Sj("花子 <hanako@example.jp>")},
      {"a@example.test (Alice)", "Alice <a@example.test>", "Alice <a@example.test>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    Show("hello", "text", c.from);
    EXPECT_EQ(platform::FromQString(Control<QLineEdit>(*viewer_, "senderEdit")->text()), c.shown);
    viewer_->ReplyNow();
    EXPECT_EQ(platform::FromQString(Control<QLineEdit>(*composition_, "toEdit")->text()), c.to);
  }
}

TEST_F(Viewer, WithoutTheCharacterInTheHutTheAnswerIsRefusedAndTheMailStays) {
  Show("hello", "text");
  viewer_->show();
  viewer_->ReplyNow();
  EXPECT_EQ(Dialogs("Error"), std::vector<std::string>{kNoCharacter});
  EXPECT_TRUE(viewer_->isVisible());
  EXPECT_FALSE(composition_->isVisible());
  EXPECT_FALSE(composition_->Current().replyMode);
  viewer_->hide();
}

TEST_F(Viewer, TheMailOpensWithTheKeyboardInItsTextAndNothingSelected) {
  Show("hello", "text");
  QWidget* focused = nullptr;
  QString selected = "not looked at";
  viewerScript_->actions.push_back([&] {
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewer_->isActiveWindow(); }, 2000));
    focused = QApplication::focusWidget();
    selected = Control<QLineEdit>(*viewer_, "senderEdit")->selectedText();
    viewer_->ReplyLater();
  });
  viewer_->ShowModal();
  EXPECT_EQ(focused, Control<QWidget>(*viewer_, "mailText"));
  EXPECT_EQ(selected, QString());
}

TEST_F(Viewer, AMailPositionOffTheScreenMovesToItsCentreBeforeTheAnswerOpens) {
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  struct Case {
    ScreenPoint stored;
    ScreenPoint used;
  };
  const Case cases[] = {
      {{screen.width() + 1, 100}, {screen.width() / 2, 100}},
      {{-47, 100}, {screen.width() / 2, 100}},
      {{-46, -46}, {-46, -46}},
      {{100, screen.height() + 1}, {100, screen.height() / 2}},
      {{100, -47}, {100, screen.height() / 2}},
      {{99999, -99999}, {screen.width() / 2, screen.height() / 2}},
  };
  for (const Case& one : cases) {
    hut_->MailPosition() = one.stored;
    Show("hello", "text");
    viewer_->ReplyNow();
    EXPECT_EQ(hut_->MailPosition(), one.used) << one.stored.x << "," << one.stored.y;
    // Beside where the character would stand, both on the screen.
    EXPECT_TRUE(testing::BesideCharacterOnScreen(composition_->pos() + QPoint(-46, 50), composition_->geometry()));
  }
}

TEST_F(Viewer, DraggingTakesTheLentCharacterAlongAndKeepsWhereItWasLeft) {
  Show("hello", "text", "hanako@example.jp", "<c2@test>");
  CharacterWindow& carrier = testing::ReceivingWindowsTest::Window(1);
  const ScreenPoint start = hut_->MailPosition();
  viewer_->move(SpeechBubbleWindow::BesideCarrier(start, 46));
  viewer_->show();
  EXPECT_FALSE(Control<QListWidget>(*viewer_, "attachmentList")->isVisible())
      << "a mail without attachments shows no empty list";

  const QPoint surface(40, 200);
  QTest::mousePress(viewer_.get(), Qt::LeftButton, {}, surface);
  QTest::mouseMove(viewer_.get(), surface + QPoint(30, 20));
  QTest::mouseRelease(viewer_.get(), Qt::LeftButton, {}, surface + QPoint(30, 20));

  const ScreenPoint expected{viewer_->x() - 46, viewer_->y() + 50};
  EXPECT_NE(expected, start);
  EXPECT_EQ(carrier.pos(), QPoint(expected.x, expected.y));
  EXPECT_EQ(hut_->MailPosition(), expected);
  platform::IniFile ini(Home() + "MFMail.ini");
  EXPECT_EQ(ini.ReadString("CharPosition", "Left", "A"), std::to_string(expected.x));
  EXPECT_EQ(ini.ReadString("CharPosition", "Top", "A"), std::to_string(expected.y));
  viewer_->ErrorRelease();
  EXPECT_EQ(carrier.pos(), QPoint(testing::kStood.x, testing::kStood.y));
}

TEST_F(Viewer, AnAttachmentCanBeSavedElsewhereThroughItsMenu) {
  platform::TemporaryFolder attachments;
  platform::TemporaryFolder chosen;
  ASSERT_TRUE(platform::WriteFileAtomic(attachments.Path() + "plan.xyz", "plan"));
  ArrivedMail mail;
  mail.from = "hanako@example.jp";
  mail.subject = "files";
  mail.attachmentFolder = attachments.Path();
  mail.attachments = {"plan.xyz"};
  viewer_->Reset();
  viewer_->Fill(mail);

  EXPECT_EQ(Control<QAction>(*viewer_, "saveAttachmentAsAction")->text(), QString::fromUtf8("名前を付けて保存(&S)..."));
  dialogs_.folders = {chosen.Path()};
  Control<QListWidget>(*viewer_, "attachmentList")->setCurrentRow(0);
  Control<QAction>(*viewer_, "saveAttachmentAsAction")->trigger();
  EXPECT_EQ(platform::ReadFile(chosen.Path() + "plan.xyz").value_or(""), "plan");
}

TEST_F(Viewer, TheErrorRoutineGivesTheCharacterBackAndDismissesTheViewer) {
  Show("hello", "text", "hanako@example.jp", "<c2@test>");
  CharacterWindow& carrier = testing::ReceivingWindowsTest::Window(1);
  ASSERT_FALSE(viewer_->LentCarrier().Empty());
  EXPECT_TRUE(carrier.IsTopmost());
  viewer_->show();
  errors_.Run();
  EXPECT_FALSE(viewer_->isVisible());
  EXPECT_TRUE(viewer_->LentCarrier().Empty());
  EXPECT_EQ(carrier.pos(), QPoint(testing::kStood.x, testing::kStood.y));
  EXPECT_TRUE(carrier.IsTopmost());
}

TEST_F(Viewer, TheReturnNoticeShowsTheAnsweredMailAndCloseHidesIt) {
  AnsweredMail answered{Sj("件名です"), "hanako@example.jp", "<c1@test>", Sj("本文"), false};
  notice_.Fill(answered);
  EXPECT_EQ(Control<QLabel>(notice_, "subjectLabel")->text(), QString::fromUtf8("件名です"));
  EXPECT_TRUE(Control<QLabel>(notice_, "subjectLabel")->font().bold() &&
              Control<QLabel>(notice_, "subjectLabel")->font().italic() &&
              Control<QLabel>(notice_, "subjectLabel")->font().underline());
  EXPECT_EQ(Control<QLabel>(notice_, "characterLabel")->text(), "<c1@test>");
  EXPECT_EQ(notice_.Colour(), ReturnNotice::kColour);
  answered.foundByReference = true;
  notice_.Fill(answered);
  EXPECT_EQ(notice_.Colour(), ReturnNotice::kReferenceColour);
  EXPECT_FALSE(notice_.Shape().contains(QPoint(2, 2)));
  notice_.show();
  QTest::mouseClick(Control<QPushButton>(notice_, "closeButton"), Qt::LeftButton);
  EXPECT_FALSE(notice_.isVisible());
}

TEST_F(Viewer, TheHutsVersionCommandShowsTheVersionWindowUntilOk) {
  VersionWindow version{QIcon()};
  HutLinks links;
  links.showVersion = [&] { version.exec(); };
  hut_->SetLinks(std::move(links));
  QString product;
  QTimer::singleShot(0, &version, [&] {
    product = Control<QLabel>(version, "productLabel")->text();
    QTest::mouseClick(Control<LabelButton>(version, "okButton"), Qt::LeftButton);
  });
  hut_->ShowVersion();
  EXPECT_EQ(product, QString::fromUtf8("モフタンメール　　Version   1.4"));
  EXPECT_EQ(version.result(), QDialog::Accepted);
  EXPECT_EQ(version.palette().color(QPalette::Window), QColor(254, 222, 239));
  EXPECT_EQ(Control<QLabel>(version, "productLabel")->font().pixelSize(), 16);
}

}  // namespace
}  // namespace mf
