// Receiving through the hut's commands: the progress window, the boxes a run
// shows, each mail presented by its character beside the viewer, and the
// answer written from the viewer through that character.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTextEdit>

#include "base/Base64.h"
#include "character/CharacterPackage.h"
#include "mail/receive/gui/ReturnNotice.h"
#include "tests/mail/receive/gui/ReceivingFixture.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "tests/support/Controls.h"
#include "widgets/LongTextView.h"

namespace mf {
namespace {

// Beside the character at `at` (its picture 46 wide), kept whole on the
// screen: a bubble never reaches over the screen's edge.
using testing::kStood;
using testing::PlainMail;
using testing::RunUntil;

const std::string kNoNewMail = Sj("新着メッセージはありません。");

class Receiving : public testing::ReceivingWindowsTest {};

TEST_F(Receiving, APeriodicRunIsSilentAndALaterManualRunShowsItsProgressAndSaysSo) {
  Start();
  Run([this] { hut_->ReceiveOnTimer(); });
  EXPECT_FALSE(progressShownAtStart_);
  EXPECT_TRUE(dialogs_.calls.empty()) << "a periodic run with no mail says nothing";
  EXPECT_EQ(mailbox_.sessions, 1);

  RunManual();
  EXPECT_TRUE(progressShownAtStart_);
  EXPECT_FALSE(progress_.isVisible());
  EXPECT_EQ(Dialogs("Information"), std::vector<std::string>{kNoNewMail});
  EXPECT_EQ(mailbox_.sessions, 2);
}

TEST_F(Receiving, ATimerTickRefusedDuringASendLeavesTheNextManualRunVisible) {
  Start();
  commands_.SetSendEnabled(false);
  EXPECT_FALSE(receiving_->ReceiveEnabled());
  hut_->ReceiveOnTimer();
  EXPECT_FALSE(receiving_->Running());
  commands_.SetSendEnabled(true);

  RunManual();
  EXPECT_TRUE(progressShownAtStart_);
  EXPECT_EQ(mailbox_.sessions, 1);
}

TEST_F(Receiving, ReceivingIsGreyedWhileARunGoesOnAndASecondClickDoesNothing) {
  Start();
  mailbox_.Add("u1", PlainMail("one"));
  bool greyedDuringRun = false;
  Run([&] {
    hut_->ReceiveMail();
    greyedDuringRun = !receiving_->ReceiveEnabled();
    hut_->PrepareCharacterMenu();
    EXPECT_FALSE(Control<QAction>(*hut_, "receiveAction")->isEnabled());
    hut_->ReceiveMail();
  });
  EXPECT_TRUE(greyedDuringRun);
  EXPECT_EQ(mailbox_.sessions, 1);
  EXPECT_EQ(Inbox().size(), 1u);
  hut_->PrepareCharacterMenu();
  EXPECT_TRUE(Control<QAction>(*hut_, "receiveAction")->isEnabled());
}

TEST_F(Receiving, EachMailIsPresentedByItsCharacterBesideTheViewerOneAfterAnother) {
  Start();
  mailbox_.Add("u1", PlainMail("first", "X-CharacterID: <c1@test>\r\n"));
  mailbox_.Add("u2", PlainMail("second"));
  struct Seen {
    std::string subject;
    CarrierRef lent;
    QPoint character;
    bool topmost = true;
    QPoint viewer;
    bool otherViewerOpen = false;
  };
  std::vector<Seen> seen;
  auto look = [&] {
    Seen now;
    now.subject = platform::FromQString(Control<QLineEdit>(*viewer_, "subjectEdit")->text());
    now.lent = viewer_->LentCarrier();
    const int row = now.lent.id == "<c1@test>" ? 0 : 1;
    now.character = Window(row).pos();
    now.topmost = Window(row).IsTopmost();
    now.viewer = viewer_->pos();
    seen.push_back(now);
    viewer_->ReplyLater();
  };
  viewerScript_->actions = {look, look};

  RunManual();

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].subject, "first");
  EXPECT_EQ(seen[0].lent.id, "<c1@test>");
  // Without a character of its own, the first visible character brings it.
  EXPECT_EQ(seen[1].subject, "second");
  EXPECT_EQ(seen[1].lent.id, "<c1@test>");
  for (const Seen& one : seen) {
    EXPECT_TRUE(testing::BesideCharacterOnScreen(one.character, QRect(one.viewer, viewer_->size())));
    EXPECT_TRUE(one.topmost) << "in sight beside the viewer";
  }
  EXPECT_TRUE(Dialogs("Information").empty());
  // Given back: the character in the hut is hidden again, the one outside
  // walks on where it stood.
  EXPECT_FALSE(Window(0).isVisible());
  EXPECT_EQ(Window(1).pos(), QPoint(kStood.x, kStood.y));
  EXPECT_TRUE(Window(1).IsTopmost());
  EXPECT_TRUE(Control<QTimer>(Window(1), "walkTimer")->isActive());
}

// The mail list reloads the inbox as soon as a mail is stored, so that it
// lists the mail while the viewer presents it.
TEST_F(Receiving, TheMailListIsToldOfEachMailBeforeItsViewerShows) {
  Start();
  mailbox_.Add("u1", PlainMail("first"));
  mailbox_.Add("u2", PlainMail("second"));
  int reloads = 0;
  receiving_->links.inboxChanged = [&] { ++reloads; };
  std::vector<int> reloadsWhenShown;
  auto look = [&] {
    reloadsWhenShown.push_back(reloads);
    viewer_->ReplyLater();
  };
  viewerScript_->actions = {look, look};
  RunManual();
  ASSERT_EQ(reloadsWhenShown.size(), 2u);
  EXPECT_GE(reloadsWhenShown[0], 1);
  EXPECT_GT(reloadsWhenShown[1], reloadsWhenShown[0] + 1) << "the second mail was not reloaded before its viewer";
}

TEST_F(Receiving, TheViewerShowsTheMailAndOpensItsAttachment) {
  Start();
  const std::string attached =
      "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n";
  const std::string body =
      "--b\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nsee the file\r\n"
      "--b\r\nContent-Type: application/octet-stream; name=\"memo.txt\"\r\n"
      "Content-Disposition: attachment; filename=\"memo.txt\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
      "bWVtbw==\r\n--b--\r\n";
  mailbox_.Add("u1", PlainMail("file", attached, body));
  std::string text;
  int listed = 0;
  viewerScript_->actions = {[&] {
    text = platform::FromQString(Control<LongTextView>(*viewer_, "mailText")->Text());
    listed = Control<QListWidget>(*viewer_, "attachmentList")->count();
    viewer_->OpenAttachment(0);
    viewer_->OpenAttachment(5);
    viewer_->ReplyLater();
  }};

  RunManual();

  EXPECT_EQ(text, "see the file\n");
  EXPECT_EQ(listed, 1);
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(platform::ExtractFileName(shell_.opened[0]), "memo.txt");
  EXPECT_EQ(platform::ReadFile(shell_.opened[0]).value_or(""), "memo");
}

TEST_F(Receiving, AnAnswerMarksTheShownRecordAndItsCharacterLeavesWithIt) {
  Start();
  mailbox_.Add("u0", PlainMail("earlier"));
  mailbox_.Add("u1", PlainMail("hello", "X-CharacterID: <c1@test>\r\n", "a\r\nb\r\nc\r\n"));
  testing::SinkLog log;
  test::ScriptedServer smtp;
  smtp.Do(testing::SmtpSink(log)).Start();
  settings_->smtpPort = smtp.PortText();

  std::string to, subject;
  viewerScript_->actions = {[this] { viewer_->ReplyLater(); }, [this] { viewer_->ReplyNow(); }};
  compositionScript_->actions = {[&] {
    to = platform::FromQString(Control<QLineEdit>(*composition_, "toEdit")->text());
    subject = platform::FromQString(Control<QLineEdit>(*composition_, "subjectEdit")->text());
    composition_->SendOut();
  }};

  RunManual();
  smtp.Finish();

  EXPECT_EQ(to, "hanako@example.jp");
  EXPECT_EQ(subject, "Re: hello");
  EXPECT_EQ(viewer_->result(), QDialog::Accepted);
  ASSERT_EQ(Inbox().size(), 2u);
  EXPECT_EQ(Inbox()[0].status, Sj("未読"));
  EXPECT_EQ(Inbox()[1].status, Sj("返信"));
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_NE(log.messages[0].find("In-Reply-To: <hello@example.jp>"), std::string::npos);
  EXPECT_NE(log.messages[0].find("X-CharacterID: <c1@test>"), std::string::npos);
  // It left with the answer; the one outside is back where it stood.
  EXPECT_EQ(hut_->ItemCount(), 1);
  EXPECT_TRUE(viewer_->LentCarrier().Empty());
  EXPECT_EQ(Window(0).pos(), QPoint(kStood.x, kStood.y));
}

TEST_F(Receiving, ACancelledAnswerLeavesTheViewerOpenAndTheCharacterIsGivenBackWhenItCloses) {
  Start();
  mailbox_.Add("u1", PlainMail("hello", "X-CharacterID: <c2@test>\r\n"));
  bool stillOpen = false;
  CarrierRef lentAfterCancel;
  viewerScript_->actions = {[&] {
    viewer_->ReplyNow();
    stillOpen = viewer_->isVisible();
    lentAfterCancel = viewer_->LentCarrier();
    viewer_->ReplyLater();
  }};
  // The composition's fallback cancels the answer.

  RunManual();

  EXPECT_EQ(compositionScript_->shown, 1);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(lentAfterCancel.id, "<c2@test>");
  EXPECT_EQ(Inbox()[0].status, Sj("未読"));
  EXPECT_EQ(hut_->ItemCount(), 2);
  CharacterWindow& carrier = Window(1);
  EXPECT_EQ(carrier.pos(), QPoint(kStood.x, kStood.y));
  EXPECT_TRUE(carrier.IsTopmost());
  EXPECT_TRUE(Control<QTimer>(carrier, "walkTimer")->isActive());
}

TEST_F(Receiving, AnAnswerToASentMailIsBroughtBackByTheCharacterThatCarriedIt) {
  Start();
  // The character outside writes a mail and leaves with it.
  testing::SinkLog log;
  test::ScriptedServer smtp;
  smtp.Do(testing::SmtpSink(log)).Start();
  settings_->smtpPort = smtp.PortText();
  compositionScript_->actions = {[this] {
    Control<QLineEdit>(*composition_, "toEdit")->setText("hanako@example.jp");
    Control<QLineEdit>(*composition_, "subjectEdit")->setText("question");
    Control<QTextEdit>(*composition_, "bodyEdit")->setPlainText("how are you?");
    composition_->SendOut();
  }};
  Control<QListWidget>(*hut_, "characterList")->setCurrentRow(1);
  hut_->WriteMail();
  smtp.Finish();
  ASSERT_EQ(hut_->ItemCount(), 1) << "the carrier left with its mail";
  const std::string sentId = composition_->LastMessageId();
  ASSERT_FALSE(sentId.empty());

  // The answer names no character, only the mail it answers.
  mailbox_.Add("u1", PlainMail("Re: question", "In-Reply-To: " + sentId + "\r\n"));
  CarrierRef presenter;
  viewerScript_->actions = {[&] {
    presenter = viewer_->LentCarrier();
    viewer_->ReplyLater();
  }};
  RunManual();

  EXPECT_EQ(presenter.id, "<c2@test>");
  EXPECT_EQ(hut_->ItemCount(), 2) << "the carrier is back in the hut";
  EXPECT_EQ(Control<QLabel>(notice_, "subjectLabel")->text(), "question");
  EXPECT_EQ(Control<QLabel>(notice_, "recipientLabel")->text(), "hanako@example.jp");
  EXPECT_EQ(Control<QLabel>(notice_, "characterLabel")->text(), "<c2@test>");
  EXPECT_NE(store_->ReadBodyRecord(FolderKind::Inbox, 0).find("\r\nX-Character: <c2@test>\r\n"), std::string::npos);
}

TEST_F(Receiving, ACharacterPackedInAMailJoinsTheHutAndPresentsIt) {
  Start();
  platform::TemporaryFolder elsewhere;
  testing::MakeCharacter(elsewhere.Path(), {.folderName = "guest", .id = "<guest@far>", .name = "Guest",
                                            .scenes = testing::StandingScenes(), .companion = false});
  const std::string package = elsewhere.Path() + "MofutanData.mfd";
  ASSERT_TRUE(PackCharacter(elsewhere.Path() + "guest", package));
  const std::string body =
      "--b\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nhello from far away\r\n"
      "--b\r\nContent-Type: application/octet-stream; name=\"MofutanData.mfd\"\r\n"
      "Content-Disposition: attachment; filename=\"MofutanData.mfd\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
      Base64Encode(platform::ReadFile(package).value_or("")) + "\r\n--b--\r\n";
  mailbox_.Add("u1", PlainMail("guest", "X-CharacterID: <guest@far>\r\nMIME-Version: 1.0\r\n"
                                        "Content-Type: multipart/mixed; boundary=\"b\"\r\n",
                               body));
  CarrierRef presenter;
  int listedAttachments = -1;
  viewerScript_->actions = {[&] {
    presenter = viewer_->LentCarrier();
    listedAttachments = Control<QListWidget>(*viewer_, "attachmentList")->count();
    viewer_->ReplyLater();
  }};

  RunManual();

  EXPECT_EQ(presenter.id, "<guest@far>");
  EXPECT_EQ(listedAttachments, 0) << "a carried character is no attachment to open";
  ASSERT_EQ(hut_->ItemCount(), 3);
  EXPECT_EQ(hut_->Item(2)->data.id, "<guest@far>");
  EXPECT_EQ(hut_->Item(2)->text(), "Guest");
  EXPECT_TRUE(platform::FileExists(Home() + "char3/scene.txt"));
  EXPECT_TRUE(platform::FileExists(Home() + "char3r/image1r.bmp"));
}

TEST_F(Receiving, AWrongPasswordIsAskedForKeptAndTriedAtOnce) {
  Start();
  mailbox_.password = "right";
  mailbox_.Add("u1", PlainMail("one"));
  dialogs_.texts.push_back(std::string("right"));
  test::ScriptedServer server;
  mailbox_.Serve(server);
  server.NextConnection();
  mailbox_.Serve(server);
  server.Start();
  settings_->pop3Port = server.PortText();

  hut_->ReceiveMail();
  EXPECT_TRUE(RunUntil([this] { return Inbox().size() == 1 && receiving_->ReceiveEnabled(); }))
      << "the new password was not tried";
  server.Finish();
  EXPECT_EQ(server.Failures(), std::vector<std::string>{});

  // Asked as a secret: what is typed stays hidden.
  EXPECT_TRUE(Dialogs("InputBox").empty());
  ASSERT_EQ(Dialogs("PasswordBox").size(), 1u);
  EXPECT_EQ(Dialogs("PasswordBox")[0],
            Sj("パスワードの入力") + "|" + Sj("パスワードが間違っています。正しく入力してください"));
  EXPECT_EQ(settings_->pop3Password, "right");
  LiveSettings reread(platform::IniFile(Home() + "MFMail.ini"), [](int, bool) {}, [](bool) {});
  reread.Load();
  EXPECT_EQ(reread.pop3Password, "right");
  EXPECT_EQ(mailbox_.sessions, 2);
}

struct PasswordAnswer {
  const char* name;
  std::optional<std::string> entered;
  std::vector<std::string> informations;
};

class PasswordPrompt : public testing::ReceivingWindowsTest,
                       public ::testing::WithParamInterface<PasswordAnswer> {};

TEST_P(PasswordPrompt, NoNewPasswordEndsTheRunAndReceivingWorksAgain) {
  Start();
  mailbox_.password = "right";
  dialogs_.texts.push_back(GetParam().entered);
  RunManual();
  EXPECT_EQ(Dialogs("Information"), GetParam().informations);
  EXPECT_EQ(settings_->pop3Password, "secret");
  EXPECT_TRUE(receiving_->ReceiveEnabled());
  EXPECT_TRUE(Dialogs("Error").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PasswordPrompt,
    ::testing::Values(PasswordAnswer{"Empty", std::string(), {Sj("パスワードの入力がありません。受信を終了します。")}},
                      PasswordAnswer{"Cancelled", std::nullopt, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The box names the POP3 server, its port and what it said.
TEST_F(Receiving, AFailedRunGoesThroughTheCommonErrorRoutineSayingWhatFailed) {
  Start();
  test::ScriptedServer server;
  server.Say("+OK ready\r\n").ExpectLine().Say("+OK\r\n").ExpectLine().Say("+OK\r\n").ExpectLine()
      .Say("-ERR broken\r\n").CloseConnection();
  server.Start();
  settings_->pop3Port = server.PortText();
  hut_->ReceiveMail();
  ASSERT_TRUE(RunUntil([this] { return !dialogs_.calls.empty(); }));
  server.Finish();
  const std::vector<std::string> errors = Dialogs("Error");
  ASSERT_EQ(errors.size(), 1u);
  const std::string shown = SjisToUtf8(errors[0]);
  EXPECT_NE(shown.find("POP3サーバー 127.0.0.1（ポート " + server.PortText() + "）"), std::string::npos) << shown;
  EXPECT_NE(shown.find("サーバーの応答: -ERR broken"), std::string::npos) << shown;
  EXPECT_TRUE(receiving_->ReceiveEnabled());
  EXPECT_FALSE(progress_.isVisible());
}

TEST_F(Receiving, WithoutAServerReceivingCannotStart) {
  Start();
  settings_->pop3Server = " ";
  hut_->ReceiveMail();
  EXPECT_EQ(Dialogs("Error"), std::vector<std::string>{Sj("受信エラー")});
  EXPECT_TRUE(receiving_->ReceiveEnabled());
  EXPECT_FALSE(progress_.isVisible());
}

TEST_F(Receiving, AMessageThatIsNoMailIsReportedAndTheNextIsStillPresented) {
  Start();
  mailbox_.Add("u1", "this is no mail at all\r\n");
  mailbox_.Add("u2", PlainMail("good"));
  RunManual();
  EXPECT_EQ(Dialogs("Error"), std::vector<std::string>{Sj("無効なメール形式です")});
  EXPECT_EQ(viewerScript_->shown, 1);
  ASSERT_EQ(Inbox().size(), 1u);
  EXPECT_EQ(Inbox()[0].subject, "good");
}

}  // namespace
}  // namespace mf
