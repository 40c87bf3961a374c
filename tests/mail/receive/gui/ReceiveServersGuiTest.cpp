// End to end through the real Postfix and Dovecot: a mail the program sends
// to its own account comes back, is stored without the footer it went out
// with, and is presented by the character that carried it.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTextEdit>
#include <chrono>

#include "base/Text.h"
#include "mail/send/MailFooter.h"
#include "tests/mail/receive/gui/ReceivingFixture.h"
#include "tests/servers/MailServers.h"
#include "tests/support/Controls.h"
#include "widgets/LongTextView.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;
using testing::RunUntil;

class ReceiveFromRealServers : public testing::ReceivingWindowsTest {
 protected:
  void SetUp() override {
    ReceivingWindowsTest::SetUp();
    std::string path = serversFolder_.Path();
    path.pop_back();
    servers_ = std::make_unique<MailServers>(MailServers::Start(path + "/servers"));
    if (servers_->Failed()) FAIL() << servers_->WhyNot();
    if (!servers_->Running()) GTEST_SKIP() << servers_->WhyNot();
  }

  platform::TemporaryFolder serversFolder_;
  std::unique_ptr<MailServers> servers_;
};

TEST_F(ReceiveFromRealServers, AMailToOneselfComesBackWithoutItsFooterCarriedByItsCharacter) {
  Start(2);
  settings_->smtpPort = std::to_string(servers_->SmtpPort());
  settings_->pop3Port = std::to_string(servers_->Pop3Port());
  settings_->pop3User = "alice";
  settings_->pop3Password = MailServers::kPassword;
  settings_->mailAddress = MailServers::Address("alice");
  settings_->myName = Sj("アリス");

  // Written and sent by the character in the hut, which leaves with it.
  const QString typed = QString::fromUtf8("こんにちは。\n\nまたね\n最後の行");
  compositionScript_->actions = {[&] {
    Control<QLineEdit>(*composition_, "toEdit")->setText(QString::fromStdString(MailServers::Address("alice")));
    Control<QLineEdit>(*composition_, "subjectEdit")->setText(QString::fromUtf8("自分へ"));
    Control<QTextEdit>(*composition_, "bodyEdit")->setPlainText(typed);
    composition_->SendOut();
  }};
  Control<QListWidget>(*hut_, "characterList")->setCurrentRow(0);
  hut_->WriteMail();
  ASSERT_EQ(composition_->result(), QDialog::Accepted) << (dialogs_.calls.empty() ? "" : dialogs_.calls[0].text);
  ASSERT_EQ(hut_->ItemCount(), 1) << "the carrier left with the mail";
  ASSERT_TRUE(RunUntil(
      [&] {
        return !platform::ListFolder(servers_->Maildir("alice") + "/new", "*", platform::ListKind::FilesOnly)
                    .empty();
      },
      10s));

  std::string shownSubject;
  std::string shownText;
  CarrierRef presenter;
  bool presenterParked = false;
  viewerScript_->actions = {[&] {
    shownSubject = platform::FromQString(Control<QLineEdit>(*viewer_, "subjectEdit")->text());
    shownText = platform::FromQString(Control<LongTextView>(*viewer_, "mailText")->Text());
    presenter = viewer_->LentCarrier();
    if (auto place = hut_->PlaceOf(presenter)) presenterParked = place->topLeft == hut_->MailPosition();
    viewer_->ReplyLater();
  }};
  hut_->ReceiveMail();
  ASSERT_TRUE(RunUntil([&] { return receiving_->ReceiveEnabled(); }, 30s));
  QCoreApplication::processEvents();

  EXPECT_TRUE(Dialogs("Error").empty()) << Dialogs("Error").front();
  EXPECT_EQ(shownSubject, Sj("自分へ"));
  ASSERT_EQ(Inbox().size(), 1u);
  const std::string record = store_->ReadBodyRecord(FolderKind::Inbox, 0);
  const std::string text = record.substr(record.find("\r\n\r\n") + 4);
  EXPECT_EQ(text, Sj("こんにちは。") + "\r\n\r\n" + Sj("またね") + "\r\n" + Sj("最後の行")) << text;
  for (const std::string& line : MailFooterLines()) {
    if (!Trim(line).empty()) {
      EXPECT_EQ(record.find(line), std::string::npos) << "footer line kept: " << line;
    }
  }
  EXPECT_EQ(SplitLines(shownText).back(), Sj("最後の行"));
  // The character that carried it brings it back, and is in the hut again.
  EXPECT_EQ(presenter.id, "<c1@test>");
  EXPECT_TRUE(presenterParked);
  EXPECT_EQ(hut_->ItemCount(), 2);
}

}  // namespace
}  // namespace mf
