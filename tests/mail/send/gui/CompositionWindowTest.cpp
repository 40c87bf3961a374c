#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QWheelEvent>

#include "mail/send/SendController.h"
#include "platform/qt/QtDialogs.h"
#include "tests/mail/gui/MailWindowFixture.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "tests/net/support/ScriptedServer.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

using testing::MailWindowTest;
using testing::RunModal;
using testing::RunUntil;

class Composition : public MailWindowTest {};

TEST_F(Composition, EveryOpenerStartsFromAnEmptyWindow) {
  window_.Add_s->setText("old@example.jp");
  window_.Add_Cc = "cc@example.jp";
  window_.Title->setText("old");
  window_.MailBodyEdit->setPlainText("old body");
  window_.AddAttachment(UserFile("a.txt", "a"));
  window_.EditInReplyTo = "<r@x>";
  window_.EditReferences = "<r@x>";
  window_.PackagePath = "/p/MofutanData.mfd";
  window_.CharacterId = "<c>";
  window_.ReplyMode = true;
  window_.ReEditMode = true;

  window_.Reset();

  EXPECT_TRUE(window_.Add_s->text().isEmpty());
  EXPECT_TRUE(window_.Add_Cc.empty());
  EXPECT_TRUE(window_.Title->text().isEmpty());
  EXPECT_TRUE(window_.MailBodyEdit->toPlainText().isEmpty());
  EXPECT_TRUE(window_.AttachmentPaths().empty());
  EXPECT_EQ(window_.attachmentList->count(), 0);
  EXPECT_TRUE(window_.EditInReplyTo.empty());
  EXPECT_TRUE(window_.EditReferences.empty());
  EXPECT_TRUE(window_.PackagePath.empty());
  EXPECT_TRUE(window_.CharacterId.empty());
  // A mail written after a cancelled answer or re-edit answers nothing and
  // replaces nothing.
  EXPECT_FALSE(window_.ReplyMode);
  EXPECT_FALSE(window_.ReEditMode);
}

TEST_F(Composition, TheMailIsTakenAsWrittenWithCrLfLines) {
  WriteCarriedMail();
  window_.Add_Cc = "jiro@example.jp";
  const std::string file = UserFile("memo.txt", "memo");
  window_.AddAttachment(file);
  window_.PackagePath = "/somewhere/MofutanData.mfd";
  window_.ReplyMode = true;
  window_.ReplyIndex = 3;

  const mf::Composition mail = window_.Current();
  EXPECT_EQ(mail.to, "hanako@example.jp");
  EXPECT_EQ(mail.cc, "jiro@example.jp");
  EXPECT_EQ(mail.subject, Sj("こんにちは"));
  EXPECT_EQ(mail.body, Sj("本文です") + "\r\nsecond line");
  EXPECT_EQ(mail.attachments, std::vector<std::string>{file});
  EXPECT_EQ(mail.packagePath, "/somewhere/MofutanData.mfd");
  EXPECT_EQ(mail.characterId, host_.characterId);
  EXPECT_TRUE(mail.replyMode);
  EXPECT_EQ(mail.replyIndex, 3u);
  EXPECT_EQ(window_.attachmentList->item(0)->text(), "memo.txt");
}

TEST_F(Composition, SendingWithoutRecipientSaysSoAndKeepsTheMail) {
  WriteCarriedMail();
  window_.Add_s->setText("   ");
  window_.show();
  window_.SendOut();
  EXPECT_EQ(Errors(), std::vector<std::string>{Sj("宛先が指定されていません")});
  EXPECT_TRUE(window_.isVisible());
  EXPECT_TRUE(commands_.SendEnabled());
  EXPECT_EQ(progressShown_, 0);
  EXPECT_EQ(window_.Title->text(), QString::fromUtf8("こんにちは"));

  window_.SendLater();
  EXPECT_EQ(Errors().size(), 2u);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_TRUE(StoreFile(FolderKind::Outbox).empty());
}

TEST_F(Composition, SendingIsRefusedWhileAnotherTransferRuns) {
  WriteCarriedMail();
  commands_.SetSendEnabled(false);
  window_.SendOut();
  EXPECT_FALSE(window_.Sender().Busy());
  EXPECT_EQ(progressShown_, 0);
  EXPECT_TRUE(dialogs_.calls.empty());
}

TEST_F(Composition, ACompletedSendLetsTheCarrierLeaveAndClosesWithOk) {
  testing::SinkLog log;
  test::ScriptedServer server;
  server.Do(testing::SmtpSink(log)).Start();
  settings_.smtpPort = server.PortText();
  WriteCarriedMail();
  bool disabledWhileSending = false;

  const int result = RunModal(window_, [&] {
    window_.SendOut();
    disabledWhileSending = !commands_.SendEnabled();
  });
  server.Finish();

  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_TRUE(disabledWhileSending);
  EXPECT_TRUE(commands_.SendEnabled());
  EXPECT_FALSE(window_.isVisible());
  EXPECT_EQ(progressShown_, 1);
  EXPECT_EQ(progressHidden_, 1);
  EXPECT_EQ(host_.departed, std::vector<std::string>{host_.characterId});
  // The hut makes the window forget the character that left.
  EXPECT_TRUE(window_.CarrierForm.Empty() || !host_.PlaceOf(window_.CarrierForm));
  EXPECT_EQ(changed_, (std::vector<FolderKind>{FolderKind::Sent}));
  EXPECT_EQ(reEditedDeleted_, 0);
  EXPECT_TRUE(Errors().empty());

  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_NE(log.messages[0].find("X-CharacterID: " + host_.characterId), std::string::npos);
  ASSERT_FALSE(window_.MessageId.empty());
  EXPECT_NE(log.messages[0].find(window_.MessageId), std::string::npos);
  EXPECT_NE(StoreFile(FolderKind::Sent).find(Sj("送信済み")), std::string::npos);
}

TEST_F(Composition, ARefusedMailWaitsInTheOutboxAndTheCharacterStaysHome) {
  test::ScriptedServer server;
  server.Do([](test::ScriptedServer::Peer& peer) {
    peer.Send("220 ready\r\n");
    while (auto line = peer.ReadLine()) {
      if (line->rfind("MAIL", 0) == 0) {
        peer.Send("554 no thanks\r\n");
      } else if (*line == "QUIT") {
        peer.Send("221 bye\r\n");
        peer.Close();
        return;
      } else {
        peer.Send("250 ok\r\n");
      }
    }
  }).Start();
  settings_.smtpPort = server.PortText();
  WriteCarriedMail();
  window_.ReplyMode = true;
  window_.ReEditMode = true;

  const int result = RunModal(window_, [&] { window_.SendOut(); });
  ASSERT_TRUE(RunUntil([&] { return !Errors().empty(); }));
  server.Finish();

  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_FALSE(window_.Cancelled);
  EXPECT_FALSE(window_.ReplyMode);
  EXPECT_TRUE(commands_.SendEnabled());
  EXPECT_TRUE(commands_.ReceiveEnabled());
  EXPECT_GE(progressHidden_, 1);
  EXPECT_FALSE(window_.Sender().Busy());
  ASSERT_EQ(Errors().size(), 1u);
  const std::string shown = SjisToUtf8(Errors()[0]);
  EXPECT_NE(shown.find("サーバーの応答: 554 no thanks"), std::string::npos) << shown;
  EXPECT_NE(shown.find("「送信待ち」"), std::string::npos) << shown;
  // Kept as "後で送る" keeps a reply that re-edits a waiting mail.
  EXPECT_NE(StoreFile(FolderKind::Outbox).find(Sj("送信待ち返信")), std::string::npos);
  EXPECT_EQ(reEditedDeleted_, 1);
  EXPECT_EQ(changed_, (std::vector<FolderKind>{FolderKind::Outbox, FolderKind::Inbox}));
  // The character stays and nothing was filed as sent.
  EXPECT_TRUE(host_.departed.empty());
  EXPECT_EQ(window_.CarrierForm, host_.Carrier());
  EXPECT_TRUE(StoreFile(FolderKind::Sent).empty());
}

TEST_F(Composition, AnAttachmentGoneBeforeSendingIsNamedAndTheMailStaysInTheWindow) {
  WriteCarriedMail();
  const std::string gone = outside_.Path() + "gone.pdf";
  window_.AddAttachment(gone);

  bool stillOpen = false;
  std::string to;
  const int result = RunModal(window_, [&] {
    window_.SendOut();
    ASSERT_TRUE(RunUntil([&] { return !Errors().empty(); }));
    stillOpen = window_.isVisible();
    to = platform::FromQString(window_.Add_s->text());
    EXPECT_TRUE(commands_.SendEnabled());
    EXPECT_EQ(progressShown_, progressHidden_);
    window_.Cancel();
  });

  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(to, "hanako@example.jp");
  EXPECT_EQ(result, QDialog::Rejected);
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_NE(Errors()[0].find(gone), std::string::npos);
  EXPECT_NE(SjisToUtf8(Errors()[0]).find("送っていません"), std::string::npos);
  EXPECT_TRUE(StoreFile(FolderKind::Sent).empty());
  EXPECT_TRUE(StoreFile(FolderKind::Outbox).empty());
  EXPECT_TRUE(host_.departed.empty());
}

TEST_F(Composition, AMailOnItsWayIsNeitherFiledAgainNorCancelled) {
  test::ScriptedServer server;
  server.Say("220 ready\r\n").StaySilent().Start();
  settings_.smtpPort = server.PortText();
  WriteCarriedMail();
  bool busy = false;
  const int result = RunModal(window_, [&] {
    window_.SendOut();
    RunUntil([] { return false; }, std::chrono::milliseconds(100));
    busy = window_.Sender().Busy();
    window_.SendLater();
    window_.Cancel();
    QTest::keyClick(&window_, Qt::Key_Escape);
    EXPECT_TRUE(window_.isVisible());
    window_.Sender().Abort();
    window_.done(QDialog::Rejected);
  });
  EXPECT_TRUE(busy);
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_FALSE(window_.Cancelled);
  EXPECT_TRUE(StoreFile(FolderKind::Outbox).empty());
}

TEST_F(Composition, SendLaterFilesTheMailAndTheCharacterStays) {
  WriteCarriedMail();
  window_.ReEditMode = true;
  window_.show();
  window_.SendLater();

  EXPECT_FALSE(window_.isVisible());
  EXPECT_EQ(window_.result(), QDialog::Rejected);
  EXPECT_FALSE(window_.Cancelled);
  EXPECT_FALSE(window_.ReEditMode);
  EXPECT_NE(StoreFile(FolderKind::Outbox).find(Sj("送信待ち")), std::string::npos);
  EXPECT_EQ(reEditedDeleted_, 1);
  EXPECT_EQ(changed_, (std::vector<FolderKind>{FolderKind::Outbox}));
  EXPECT_TRUE(host_.departed.empty());
  EXPECT_TRUE(Errors().empty());
}

TEST_F(Composition, CancelIsRememberedForTheViewer) {
  WriteCarriedMail();
  window_.ReplyMode = true;
  const int result = RunModal(window_, [&] { window_.cancelButton->clicked(); });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_TRUE(window_.Cancelled);
  EXPECT_FALSE(window_.ReplyMode);
  EXPECT_TRUE(StoreFile(FolderKind::Outbox).empty());
}

// Opening and removing attachments: the list shown and the paths behind it
// go together, and a file only opens while it exists.
TEST_F(Composition, AttachmentsOpenAndComeOffOnlyAsAsked) {
  const std::string kept = UserFile("photo.jpg", "jpeg");
  const std::string other = UserFile("notes.txt", "notes");
  dialogs_.paths.push_back(kept);
  window_.Attach();
  window_.AddAttachment(other);
  ASSERT_EQ(window_.attachmentList->count(), 2);

  window_.OpenAttachment(0);
  EXPECT_EQ(shell_.opened, std::vector<std::string>{kept});
  platform::DeleteUserChosenFile(other);
  window_.OpenAttachment(1);
  EXPECT_EQ(shell_.opened.size(), 1u) << "a vanished file is not opened";

  window_.attachmentList->setCurrentRow(1);
  window_.PrepareAttachmentMenu();
  EXPECT_TRUE(window_.pumnDelete->isEnabled());
  dialogs_.yesNo = {false};
  window_.RemoveAttachments();
  EXPECT_EQ(window_.AttachmentPaths().size(), 2u);
  EXPECT_EQ(dialogs_.calls.back().text, Sj("ファイルを添付から外してよろしいですか"));
  EXPECT_EQ(dialogs_.calls.back().caption, Sj("確認"));

  dialogs_.yesNo = {true};
  QTest::keyClick(window_.attachmentList, Qt::Key_Delete);
  EXPECT_EQ(window_.AttachmentPaths(), std::vector<std::string>{kept});
  ASSERT_EQ(window_.attachmentList->count(), 1);
  EXPECT_EQ(window_.attachmentList->item(0)->text(), "photo.jpg");

  window_.attachmentList->clearSelection();
  window_.PrepareAttachmentMenu();
  EXPECT_FALSE(window_.pumnDelete->isEnabled());
}

TEST_F(Composition, DraggingTakesTheCharacterAlongAndKeepsItsPlace) {
  WriteCarriedMail();
  QPoint viewerAt;
  window_.links.moveViewer = [&](QPoint at) { viewerAt = at; };
  window_.move(346, 200);
  window_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));

  // A point on the bubble's surface, left of the fields.
  const QPoint surface(50, 200);
  QTest::mousePress(&window_, Qt::LeftButton, {}, surface);
  QTest::mouseMove(&window_, surface + QPoint(30, 20));
  QTest::mouseRelease(&window_, Qt::LeftButton, {}, surface + QPoint(30, 20));

  ASSERT_FALSE(host_.moves.empty());
  const ScreenPoint expected{window_.x() - 46, window_.y() + SpeechBubbleWindow::kCarrierDrop};
  EXPECT_EQ(host_.moves.back(), expected);
  EXPECT_EQ(viewerAt, window_.pos());
  EXPECT_EQ(host_.mailPosition, expected);
  platform::IniFile ini(folder_.Path() + "MFMail.ini");
  EXPECT_EQ(ini.ReadString("CharPosition", "Left", "A"), std::to_string(expected.x));
  EXPECT_EQ(ini.ReadString("CharPosition", "Top", "A"), std::to_string(expected.y));
  EXPECT_FALSE(window_.Dragging());
  window_.hide();
}

TEST_F(Composition, ADragWithoutCharacterLeavesTheMailPositionAlone) {
  window_.Reset();
  window_.show();
  const QPoint surface(50, 200);
  QTest::mousePress(&window_, Qt::LeftButton, {}, surface);
  QTest::mouseMove(&window_, surface + QPoint(30, 20));
  QTest::mouseRelease(&window_, Qt::LeftButton, {}, surface + QPoint(30, 20));
  EXPECT_TRUE(host_.moves.empty());
  EXPECT_EQ(host_.mailPosition, (ScreenPoint{400, 300}));
  EXPECT_FALSE(platform::IniFile(folder_.Path() + "MFMail.ini").ValueExists("CharPosition", "Left"));
  window_.hide();
}

TEST_F(Composition, ActivationBringsTheCharacterIntoViewAndFocusesWhatIsMissing) {
  WriteCarriedMail();
  window_.Add_s->clear();
  window_.show();
  window_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  EXPECT_GE(host_.broughtIntoView, 1);
  EXPECT_EQ(window_.focusWidget(), window_.Add_s);
  window_.hide();

  window_.Add_s->setText("hanako@example.jp");
  window_.show();
  EXPECT_EQ(window_.focusWidget(), window_.MailBodyEdit);
  window_.hide();
}

TEST_F(Composition, TheWheelScrollsTheBodyOneLinePerNotch) {
  QStringList lines;
  for (int i = 0; i < 200; ++i) lines << QString::number(i);
  window_.MailBodyEdit->setPlainText(lines.join('\n'));
  window_.show();
  QScrollBar* bar = window_.MailBodyEdit->verticalScrollBar();
  bar->setValue(0);
  const int line = window_.MailBodyEdit->fontMetrics().lineSpacing();

  auto turn = [&](int notches) {
    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window_.MailBodyEdit->viewport(), &wheel);
  };
  turn(1);
  EXPECT_EQ(bar->value(), line);
  turn(3);
  EXPECT_EQ(bar->value(), 4 * line);
  turn(-2);
  EXPECT_EQ(bar->value(), 2 * line);
  window_.hide();
}

TEST_F(Composition, TheBubbleHasItsColoursAndShape) {
  EXPECT_EQ(window_.palette().color(QPalette::Window), QColor(255, 255, 140));
  EXPECT_EQ(window_.sendButton->Colour(), QColor(255, 221, 255));
  window_.sendButton->SetHovered(true);
  EXPECT_EQ(window_.sendButton->Colour(), QColor(221, 255, 255));
  window_.sendButton->SetHovered(false);
  // The tail points left at the character, at the height of its head.
  EXPECT_TRUE(window_.Shape().contains(QPoint(30, 65)));
  EXPECT_FALSE(window_.Shape().contains(QPoint(10, 30)));
  EXPECT_FALSE(window_.Shape().contains(QPoint(window_.width() - 2, 2)));
}

}  // namespace
}  // namespace mf
