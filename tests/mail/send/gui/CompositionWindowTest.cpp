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
#include "tests/support/Controls.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

using testing::MailWindowTest;
using testing::RunModal;
using testing::RunUntil;

class Composition : public MailWindowTest {};

TEST_F(Composition, EveryOpenerStartsFromAnEmptyWindow) {
  // A reset under a pending answer or re-edit (as the hut's new mail does)
  // leaves nothing of it.
  for (CompositionRequest::Kind kind : {CompositionRequest::Kind::Reply, CompositionRequest::Kind::ReEdit}) {
    CompositionRequest old = CarriedMail(kind);
    old.sourceFolder = kind == CompositionRequest::Kind::ReEdit ? FolderKind::Outbox : FolderKind::Inbox;
    old.cc = "cc@example.jp";
    old.inReplyTo = "<r@x>";
    old.references = "<r@x>";
    old.attachments = {UserFile("a.txt", "a")};
    mf::Composition before;
    mf::Composition after;
    int shownAttachments = -1;
    host_.compose = [&] {
      window_.SetCarrier("/p/MofutanData.mfd", "<c>");
      before = window_.Current();
      window_.Reset();
      after = window_.Current();
      shownAttachments = Control<QListWidget>(window_, "attachmentList")->count();
    };
    window_.Open(old);
    host_.compose = nullptr;

    EXPECT_TRUE(before.replyMode || before.reEditMode);
    EXPECT_TRUE(after.to.empty());
    EXPECT_TRUE(after.cc.empty());
    EXPECT_TRUE(after.subject.empty());
    EXPECT_TRUE(after.body.empty());
    EXPECT_TRUE(after.attachments.empty());
    EXPECT_EQ(shownAttachments, 0);
    EXPECT_TRUE(after.inReplyTo.empty());
    EXPECT_TRUE(after.references.empty());
    EXPECT_TRUE(after.packagePath.empty());
    EXPECT_TRUE(after.characterId.empty());
    // A mail written after a cancelled answer or re-edit answers nothing and
    // replaces nothing.
    EXPECT_FALSE(after.replyMode);
    EXPECT_FALSE(after.reEditMode);
  }
}

TEST_F(Composition, TheMailIsTakenAsWrittenWithCrLfLines) {
  CompositionRequest request = CarriedMail(CompositionRequest::Kind::Reply);
  request.cc = "jiro@example.jp";
  const std::string file = UserFile("memo.txt", "memo");
  request.attachments = {file};
  request.sourceIndex = 3;
  mf::Composition mail;
  QString shownName;
  host_.compose = [&] {
    window_.SetCarrier("/somewhere/MofutanData.mfd", host_.characterId);
    mail = window_.Current();
    shownName = Control<QListWidget>(window_, "attachmentList")->item(0)->text();
  };
  window_.Open(request);
  host_.compose = nullptr;

  EXPECT_EQ(mail.to, "hanako@example.jp");
  EXPECT_EQ(mail.cc, "jiro@example.jp");
  EXPECT_EQ(mail.subject, Sj("こんにちは"));
  // An answer's body goes through the quote colouring, which keeps its text.
  EXPECT_EQ(mail.body, Sj("本文です") + "\r\nsecond line");
  EXPECT_EQ(mail.attachments, std::vector<std::string>{file});
  EXPECT_EQ(mail.packagePath, "/somewhere/MofutanData.mfd");
  EXPECT_EQ(mail.characterId, host_.characterId);
  EXPECT_TRUE(mail.replyMode);
  EXPECT_EQ(mail.replyIndex, 3u);
  EXPECT_EQ(shownName, "memo.txt");
  EXPECT_FALSE(window_.Current().replyMode) << "the reply outlived the opening";
}

TEST_F(Composition, TextTypedAboveOrInsideAQuoteIsNotColouredAsQuoted) {
  CompositionRequest request = CarriedMail(CompositionRequest::Kind::Reply);
  request.body = "> quoted\r\n";
  auto* body = Control<QTextEdit>(window_, "bodyEdit");
  // The format of the character just before `position`.
  auto coloured = [&](int position) {
    QTextCursor at(body->document());
    at.setPosition(position);
    return at.charFormat().hasProperty(QTextFormat::ForegroundBrush);
  };
  host_.compose = [&] {
    ASSERT_TRUE(coloured(1)) << "the quote is coloured";
    for (const int position : {0, 4}) {
      QTextCursor cursor = body->textCursor();
      cursor.setPosition(position);
      body->setTextCursor(cursor);
      QTest::keyClicks(body, "x");
      EXPECT_FALSE(coloured(position + 1)) << "typed at " << position;
      EXPECT_TRUE(coloured(position + 2)) << "the quote after it";
    }
  };
  window_.Open(request);
  host_.compose = nullptr;
}

TEST_F(Composition, SendingWithoutRecipientSaysSoAndKeepsTheMail) {
  WriteCarriedMail();
  Control<QLineEdit>(window_, "toEdit")->setText("   ");
  window_.show();
  window_.SendOut();
  EXPECT_EQ(Errors(), std::vector<std::string>{Sj("宛先が指定されていません")});
  EXPECT_TRUE(window_.isVisible());
  EXPECT_TRUE(commands_.SendEnabled());
  EXPECT_EQ(progressShown_, 0);
  EXPECT_EQ(Control<QLineEdit>(window_, "subjectEdit")->text(), QString::fromUtf8("こんにちは"));

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
  EXPECT_TRUE(window_.LentCarrier().Empty() || !host_.PlaceOf(window_.LentCarrier()));
  EXPECT_EQ(changed_, (std::vector<FolderKind>{FolderKind::Sent}));
  EXPECT_EQ(reEditedDeleted_, 0);
  EXPECT_TRUE(Errors().empty());

  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_NE(log.messages[0].find("X-CharacterID: " + host_.characterId), std::string::npos);
  ASSERT_FALSE(window_.LastMessageId().empty());
  EXPECT_NE(log.messages[0].find(window_.LastMessageId()), std::string::npos);
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
  CompositionRequest request = CarriedMail(CompositionRequest::Kind::ReEdit);
  request.sourceFolder = FolderKind::Outbox;

  const int result = OpenCarried(request, [&] { window_.SendOut(); });
  ASSERT_TRUE(RunUntil([&] { return !Errors().empty(); }));
  server.Finish();

  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_FALSE(window_.Cancelled());
  EXPECT_FALSE(window_.Current().reEditMode);
  EXPECT_TRUE(commands_.SendEnabled());
  EXPECT_TRUE(commands_.ReceiveEnabled());
  EXPECT_GE(progressHidden_, 1);
  EXPECT_FALSE(window_.Sender().Busy());
  ASSERT_EQ(Errors().size(), 1u);
  const std::string shown = SjisToUtf8(Errors()[0]);
  EXPECT_NE(shown.find("サーバーの応答: 554 no thanks"), std::string::npos) << shown;
  EXPECT_NE(shown.find("「送信待ち」"), std::string::npos) << shown;
  // Kept as "後で送る" keeps a mail that re-edits a waiting one.
  EXPECT_NE(StoreFile(FolderKind::Outbox).find(Sj("送信待ち")), std::string::npos);
  EXPECT_EQ(reEditedDeleted_, 1);
  EXPECT_EQ(changed_, (std::vector<FolderKind>{FolderKind::Outbox}));
  // The character stays and nothing was filed as sent.
  EXPECT_TRUE(host_.departed.empty());
  EXPECT_EQ(window_.LentCarrier(), host_.Carrier());
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
    to = platform::FromQString(Control<QLineEdit>(window_, "toEdit")->text());
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
  EXPECT_FALSE(window_.Cancelled());
  EXPECT_TRUE(StoreFile(FolderKind::Outbox).empty());
}

TEST_F(Composition, SendLaterFilesTheMailAndTheCharacterStays) {
  CompositionRequest request = CarriedMail(CompositionRequest::Kind::ReEdit);
  request.sourceFolder = FolderKind::Outbox;
  bool reEditedWhenFiled = false;
  const int result = OpenCarried(request, [&] {
    reEditedWhenFiled = window_.Current().reEditMode;
    window_.SendLater();
  });

  EXPECT_TRUE(reEditedWhenFiled);
  EXPECT_FALSE(window_.isVisible());
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_FALSE(window_.Cancelled());
  EXPECT_FALSE(outcome_.cancelled);
  EXPECT_FALSE(window_.Current().reEditMode);
  EXPECT_NE(StoreFile(FolderKind::Outbox).find(Sj("送信待ち")), std::string::npos);
  EXPECT_EQ(reEditedDeleted_, 1);
  EXPECT_EQ(changed_, (std::vector<FolderKind>{FolderKind::Outbox}));
  EXPECT_TRUE(host_.departed.empty());
  EXPECT_TRUE(Errors().empty());
}

TEST_F(Composition, CancelIsRememberedForTheViewer) {
  const int result = OpenCarried(CarriedMail(CompositionRequest::Kind::Reply),
                                 [&] { Control<LabelButton>(window_, "cancelButton")->clicked(); });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_TRUE(outcome_.opened);
  EXPECT_TRUE(outcome_.cancelled);
  EXPECT_FALSE(window_.Current().replyMode);
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
  ASSERT_EQ(Control<QListWidget>(window_, "attachmentList")->count(), 2);

  window_.OpenAttachment(0);
  EXPECT_EQ(shell_.opened, std::vector<std::string>{kept});
  platform::DeleteUserChosenFile(other);
  window_.OpenAttachment(1);
  EXPECT_EQ(shell_.opened.size(), 1u) << "a vanished file is not opened";

  Control<QListWidget>(window_, "attachmentList")->setCurrentRow(1);
  window_.PrepareAttachmentMenu();
  EXPECT_TRUE(Control<QAction>(window_, "removeAttachmentAction")->isEnabled());
  dialogs_.yesNo = {false};
  window_.RemoveAttachments();
  EXPECT_EQ(window_.AttachmentPaths().size(), 2u);
  EXPECT_EQ(dialogs_.calls.back().text, Sj("ファイルを添付から外してよろしいですか"));
  EXPECT_EQ(dialogs_.calls.back().caption, Sj("確認"));

  dialogs_.yesNo = {true};
  QTest::keyClick(Control<QListWidget>(window_, "attachmentList"), Qt::Key_Delete);
  EXPECT_EQ(window_.AttachmentPaths(), std::vector<std::string>{kept});
  ASSERT_EQ(Control<QListWidget>(window_, "attachmentList")->count(), 1);
  EXPECT_EQ(Control<QListWidget>(window_, "attachmentList")->item(0)->text(), "photo.jpg");

  Control<QListWidget>(window_, "attachmentList")->clearSelection();
  window_.PrepareAttachmentMenu();
  EXPECT_FALSE(Control<QAction>(window_, "removeAttachmentAction")->isEnabled());
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
  Control<QLineEdit>(window_, "toEdit")->clear();
  window_.show();
  window_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  EXPECT_GE(host_.broughtIntoView, 1);
  EXPECT_EQ(window_.focusWidget(), Control<QLineEdit>(window_, "toEdit"));
  window_.hide();

  Control<QLineEdit>(window_, "toEdit")->setText("hanako@example.jp");
  window_.show();
  EXPECT_EQ(window_.focusWidget(), Control<QTextEdit>(window_, "bodyEdit"));
  window_.hide();
}

TEST_F(Composition, TheWheelScrollsTheBodyOneLinePerNotch) {
  QStringList lines;
  for (int i = 0; i < 200; ++i) lines << QString::number(i);
  Control<QTextEdit>(window_, "bodyEdit")->setPlainText(lines.join('\n'));
  window_.show();
  QScrollBar* bar = Control<QTextEdit>(window_, "bodyEdit")->verticalScrollBar();
  bar->setValue(0);
  const int line = Control<QTextEdit>(window_, "bodyEdit")->fontMetrics().lineSpacing();

  auto turn = [&](int notches) {
    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Control<QTextEdit>(window_, "bodyEdit")->viewport(), &wheel);
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
  EXPECT_EQ(Control<LabelButton>(window_, "sendButton")->Colour(), QColor(255, 221, 255));
  Control<LabelButton>(window_, "sendButton")->SetHovered(true);
  EXPECT_EQ(Control<LabelButton>(window_, "sendButton")->Colour(), QColor(221, 255, 255));
  Control<LabelButton>(window_, "sendButton")->SetHovered(false);
  // The tail points left at the character, at the height of its head.
  EXPECT_TRUE(window_.Shape().contains(QPoint(30, 65)));
  EXPECT_FALSE(window_.Shape().contains(QPoint(10, 30)));
  EXPECT_FALSE(window_.Shape().contains(QPoint(window_.width() - 2, 2)));
}

}  // namespace
}  // namespace mf
