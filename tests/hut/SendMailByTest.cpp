// Writing a mail carried by a character: the hut makes the package, parks
// the character beside the composition window and gives it back, or lets
// it go when the mail went out.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTextEdit>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "base/DateTime.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "character/CharacterPackage.h"
#include "character/WindowEdgeSearch.h"
#include "character/gui/CharacterWindow.h"
#include "hut/gui/HutWindow.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/send/SendController.h"
#include "mail/send/gui/CompositionWindow.h"
#include "mail/store/MailStore.h"
#include "platform/DesktopWindows.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/qt/QtEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/gui/MailWindowFixture.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "tests/net/support/ScriptedServer.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/Controls.h"

namespace mf {
namespace {

// Beside the character at `at` (its picture 46 wide), kept whole on the
// screen: a bubble never reaches over the screen's edge.
using testing::CharacterSetup;
using testing::MakeCharacter;

const ScreenPoint kStood{300, 200};

class SendMailBy : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("MFMAIL_HOME", Home().c_str(), 1); }

  std::string Home() const { return folder_.Path(); }

  // `count` characters in the hut, the last one out on the desktop at kStood.
  void MakeCharacters(int count) {
    std::vector<std::string> ids;
    for (int n = 1; n <= count; ++n) {
      const std::string id = "<c" + std::to_string(n) + "@test>";
      MakeCharacter(Home(), CharacterSetup{.folderName = "char" + std::to_string(n), .id = id,
                                          .name = "Chara" + std::to_string(n),
                                          .scenes = testing::StandingScenes()});
      ids.push_back(id);
    }
    testing::WriteList(Home() + "visibleDB.dat", ids);
    testing::WriteList(Home() + "outDB.dat", {ids.back()});
  }

  void Start() {
    HutStartup startup{Home(), Home() + "MFMail.ini", ""};
    startup.dialogs = &dialogs_;
    hut_ = std::make_unique<HutWindow>(startup, edges_);
    settings_ = std::make_unique<LiveSettings>(platform::IniFile(Home() + "MFMail.ini"), [](int, bool) {},
                                               [](bool) {});
    settings_->smtpServer = "127.0.0.1";
    settings_->mailAddress = "taro@example.jp";
    store_ = std::make_unique<MailStore>(Home());
    store_->Prepare();
    composition_ = std::make_unique<CompositionWindow>(
        MailServices{*hut_, loop_, *settings_, *store_, clock_, random_, dialogs_, shell_,
                           platform::IniFile(Home() + "MFMail.ini"), commands_, errors_});
    testing::StubLinks(composition_->links);
    composition_->links.deleteReEditedMail = [this] { ++reEditedDeleted_; };
    hut_->SetCompositionWindow(composition_.get());

    CharacterWindow& out = Window(hut_->ItemCount() - 1);
    out.move(kStood.x, kStood.y);
    out.Engine().MoveTo(kStood.x, kStood.y);
    ASSERT_TRUE(out.isVisible());
    ASSERT_TRUE(out.IsTopmost());
  }

  CharacterWindow& Window(int row) { return *hut_->CharacterWindows()[hut_->Item(row)->data.index]; }
  std::string Package(int n) const { return Home() + "char" + std::to_string(n) + "/MofutanData.mfd"; }
  static bool Sound(const std::string& path) {
    auto bytes = platform::ReadFile(path);
    return bytes && CheckPackage(*bytes).has_value();
  }

  // Runs `during` inside the composition's modal loop once it is open.
  void During(std::function<void()> during) {
    QTimer::singleShot(0, composition_.get(), std::move(during));
    QTimer::singleShot(20000, composition_.get(), [this] {
      if (!composition_->isVisible()) return;
      ADD_FAILURE() << "the composition window stayed open";
      composition_->done(QDialog::Rejected);
    });
  }
  void SendTo(test::ScriptedServer& server) {
    settings_->smtpPort = server.PortText();
    Control<QLineEdit>(*composition_, "toEdit")->setText("hanako@example.jp");
    composition_->SendOut();
  }

  platform::TemporaryFolder folder_;
  platform::FakeDesktopWindows desktop_;
  WindowEdgeSearch edges_{desktop_};
  platform::FakeDialogs dialogs_;
  platform::FakeShell shell_;
  platform::QtEventLoop loop_;
  FixedClock clock_{DateTime{2024, 3, 5, 14, 7, 9, 0, 540}};
  ScriptedRandom random_;
  TransferCommands commands_;
  MailErrorRoutine errors_{loop_, dialogs_, commands_};
  std::unique_ptr<HutWindow> hut_;
  std::unique_ptr<LiveSettings> settings_;
  std::unique_ptr<MailStore> store_;
  std::unique_ptr<CompositionWindow> composition_;
  int reEditedDeleted_ = 0;
};

TEST_F(SendMailBy, CancelPutsTheCharacterBackWhereItStoodTopmostAgain) {
  MakeCharacters(2);
  Start();
  CharacterWindow& carrier = Window(1);
  Control<QListWidget>(*hut_, "characterList")->setCurrentRow(1);

  bool checked = false;
  During([&] {
    checked = true;
    EXPECT_TRUE(testing::BesideCharacterOnScreen(carrier.pos(), composition_->geometry()));
    EXPECT_TRUE(carrier.IsTopmost()) << "in sight beside the bubble";
    EXPECT_FALSE(Control<QTimer>(carrier, "walkTimer")->isActive());
    EXPECT_EQ(composition_->Current().packagePath, Package(2));
    EXPECT_EQ(composition_->Current().characterId, "<c2@test>");
    EXPECT_EQ(composition_->LentCarrier(), (CarrierRef{1, "<c2@test>"}));
    EXPECT_TRUE(Sound(Package(2))) << "the package is made before the window opens";
    composition_->Cancel();
  });
  hut_->WriteMail();

  ASSERT_TRUE(checked);
  EXPECT_TRUE(composition_->Cancelled());
  EXPECT_TRUE(composition_->LentCarrier().Empty());
  EXPECT_EQ(carrier.pos(), QPoint(kStood.x, kStood.y));
  EXPECT_TRUE(carrier.IsTopmost());
  EXPECT_TRUE(carrier.isVisible());
  EXPECT_TRUE(Control<QTimer>(carrier, "walkTimer")->isActive());
  EXPECT_EQ(hut_->ItemCount(), 2);
  EXPECT_TRUE(dialogs_.calls.empty());
}

TEST_F(SendMailBy, AnotherCharacterLeavingWithAMailLeavesTheCarrierInPlace) {
  MakeCharacters(3);
  Start();
  CharacterWindow& carrier = Window(2);
  Control<QListWidget>(*hut_, "characterList")->setCurrentRow(2);
  During([&] {
    // The outbox sends a mail carried by the first character meanwhile.
    hut_->DepartWithMail("<c1@test>");
    EXPECT_EQ(composition_->LentCarrier(), (CarrierRef{2, "<c3@test>"}));
    composition_->Cancel();
  });
  hut_->WriteMail();

  EXPECT_EQ(hut_->ItemCount(), 2);
  EXPECT_EQ(carrier.pos(), QPoint(kStood.x, kStood.y));
  EXPECT_TRUE(carrier.IsTopmost());
  EXPECT_TRUE(Control<QTimer>(carrier, "walkTimer")->isActive());
}

TEST_F(SendMailBy, AMailBeingWrittenIsBroughtForwardNotEmptied) {
  MakeCharacters(2);
  Start();
  CharacterWindow& carrier = Window(1);
  // A new mail from the mail list, modeless and carried by no character.
  composition_->Reset();
  Control<QLineEdit>(*composition_, "subjectEdit")->setText("half written");
  composition_->show();

  Control<QListWidget>(*hut_, "characterList")->setCurrentRow(1);
  hut_->WriteMail();
  Control<QAction>(carrier, "writeMailAction")->trigger();

  EXPECT_EQ(Control<QLineEdit>(*composition_, "subjectEdit")->text(), "half written");
  EXPECT_TRUE(composition_->isVisible());
  EXPECT_TRUE(composition_->LentCarrier().Empty());
  EXPECT_EQ(carrier.pos(), QPoint(kStood.x, kStood.y));
  EXPECT_TRUE(Control<QTimer>(carrier, "walkTimer")->isActive());
  composition_->hide();
}

// The only way a user starts a new mail is through a character: from the
// hut's menu or from the character's own, it starts with the signature as
// the mail list's new mail does. An answer keeps its quote alone.
TEST_F(SendMailBy, ANewMailThroughACharacterStartsWithTheSignature) {
  MakeCharacters(2);
  Start();
  settings_->mailSign = true;
  settings_->signature = {"--", Sj("山田太郎")};
  std::vector<QString> bodies;
  auto look = [&] {
    bodies.push_back(Control<QTextEdit>(*composition_, "bodyEdit")->toPlainText());
    composition_->Cancel();
  };
  Control<QListWidget>(*hut_, "characterList")->setCurrentRow(1);
  During(look);
  hut_->WriteMail();
  During(look);
  Control<QAction>(Window(1), "writeMailAction")->trigger();
  // The viewer's reply fills the window and opens it through the character.
  composition_->Reset();
  Control<QTextEdit>(*composition_, "bodyEdit")->setPlainText(QString::fromUtf8("> quoted"));
  During(look);
  hut_->SendMailByCharacterId("<c2@test>");
  const QString signed_ = QString::fromUtf8("\n\n--\n山田太郎");
  EXPECT_EQ(bodies, (std::vector<QString>{signed_, signed_, QString::fromUtf8("> quoted")}));

  settings_->mailSign = false;
  During(look);
  hut_->WriteMail();
  ASSERT_EQ(bodies.size(), 4u);
  EXPECT_TRUE(bodies[3].isEmpty());
}

TEST_F(SendMailBy, ABrokenPackageIsMadeAgain) {
  MakeCharacters(2);
  ASSERT_TRUE(platform::WriteFileAtomic(Package(1), "not a package"));
  Start();
  Control<QListWidget>(*hut_, "characterList")->setCurrentRow(0);

  bool sound = false;
  During([&] {
    sound = Sound(Package(1));
    composition_->Cancel();
  });
  hut_->WriteMail();

  EXPECT_TRUE(sound);
  EXPECT_TRUE(dialogs_.calls.empty());
  // A character from the hut goes back into it, unseen.
  EXPECT_FALSE(Window(0).isVisible());
}

TEST_F(SendMailBy, APackageThatCannotBeMadeIsReportedAndNothingMoves) {
  MakeCharacters(2);
  // A picture that does not load: the package cannot be made.
  ASSERT_TRUE(platform::WriteFileAtomic(Home() + "char2/image2.bmp", "BM broken"));
  Start();
  CharacterWindow& carrier = Window(1);
  bool opened = false;
  During([&] {
    opened = true;
    composition_->Cancel();
  });

  EXPECT_FALSE(hut_->SendMailBy(hut_->Item(1)));

  EXPECT_FALSE(opened);
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(dialogs_.calls[0].kind, "Error");
  EXPECT_EQ(dialogs_.calls[0].text, Sj("正常に処理できません。データが破損している可能性があります。"));
  EXPECT_EQ(carrier.pos(), QPoint(kStood.x, kStood.y));
  EXPECT_TRUE(carrier.IsTopmost());
  EXPECT_TRUE(Control<QTimer>(carrier, "walkTimer")->isActive());
  EXPECT_TRUE(composition_->LentCarrier().Empty());
}

// A completed send started from the character's own menu: with company in
// the hut the carrier leaves, and its window, whose menu is still on the
// call stack, goes only after that call has returned; the last character stays.
class CompletedSend : public SendMailBy {
 protected:
  void SendFromTheCharactersMenu(int characters) {
    MakeCharacters(characters);
    Start();
    const int row = characters - 1;
    slot_ = hut_->Item(row)->data.index;
    carrier_ = &Window(row);
    const std::string id = carrier_->Id();
    // Left over from an earlier re-edit that went wrong; a character's mail
    // never replaces the outbox mail the mail list shows.
    CompositionRequest stale;
    stale.kind = CompositionRequest::Kind::ReEdit;
    stale.sourceFolder = FolderKind::Outbox;
    stale.to = "stale@example.jp";
    composition_->Fill(stale);

    test::ScriptedServer server;
    server.Do(testing::SmtpSink(log_)).Start();
    During([&] {
      reset_ = Control<QLineEdit>(*composition_, "toEdit")->text().isEmpty() && !composition_->Current().reEditMode;
      SendTo(server);
    });
    Control<QAction>(*carrier_, "writeMailAction")->trigger();
    server.Finish();

    EXPECT_TRUE(reset_) << "a character's own menu opens a fresh mail";
    EXPECT_EQ(composition_->result(), QDialog::Accepted);
    EXPECT_EQ(reEditedDeleted_, 0);
    EXPECT_TRUE(composition_->LentCarrier().Empty());
    ASSERT_EQ(log_.messages.size(), 1u);
    EXPECT_NE(log_.messages[0].find("X-CharacterID: " + id), std::string::npos);
  }

  int slot_ = -1;
  QPointer<CharacterWindow> carrier_;
  testing::SinkLog log_;
  bool reset_ = false;
};

TEST_F(CompletedSend, WithTwoCharactersTheCarrierLeaves) {
  SendFromTheCharactersMenu(2);
  EXPECT_EQ(hut_->ItemCount(), 1);
  EXPECT_FALSE(hut_->CharacterWindows()[slot_]);
  ASSERT_FALSE(carrier_.isNull()) << "deleted inside its own menu's call";
  EXPECT_FALSE(carrier_->isVisible());
  EXPECT_FALSE(Control<QTimer>(*carrier_, "walkTimer")->isActive());
  EXPECT_TRUE(testing::RunUntil([&] { return carrier_.isNull(); }, std::chrono::seconds(5)));
  EXPECT_NE(platform::ReadFile(Home() + "resurrDB.dat").value_or("").find("<c2@test>"), std::string::npos);
}

TEST_F(CompletedSend, TheLastCharacterStays) {
  SendFromTheCharactersMenu(1);
  EXPECT_EQ(hut_->ItemCount(), 1);
  ASSERT_FALSE(carrier_.isNull());
  EXPECT_EQ(hut_->CharacterWindows()[slot_].get(), carrier_.data());
  EXPECT_EQ(carrier_->pos(), QPoint(kStood.x, kStood.y));
  EXPECT_TRUE(carrier_->IsTopmost());
  EXPECT_TRUE(Control<QTimer>(*carrier_, "walkTimer")->isActive());
}

TEST_F(SendMailBy, AFailedSendKeepsTheMailGivesTheCharacterBackAndSendingWorksAgain) {
  MakeCharacters(2);
  Start();
  CharacterWindow& carrier = Window(1);
  test::ScriptedServer server;
  server.Say("554 not today\r\n").Start();
  Control<QListWidget>(*hut_, "characterList")->setCurrentRow(1);
  During([&] { SendTo(server); });
  hut_->WriteMail();
  server.Finish();

  ASSERT_TRUE(testing::RunUntil([&] { return !dialogs_.calls.empty(); }));
  const std::string shown = SjisToUtf8(dialogs_.calls.back().text);
  EXPECT_NE(shown.find("554 not today"), std::string::npos) << shown;
  EXPECT_NE(shown.find("「送信待ち」"), std::string::npos) << shown;
  EXPECT_NE(platform::ReadFile(Home() + "FileKeep/WaitTransmissionHeader.txt").value_or("").find(Sj("送信待ち")),
            std::string::npos);
  EXPECT_TRUE(commands_.SendEnabled());
  EXPECT_EQ(hut_->ItemCount(), 2);
  EXPECT_EQ(carrier.pos(), QPoint(kStood.x, kStood.y));
  EXPECT_TRUE(carrier.IsTopmost());
}

}  // namespace
}  // namespace mf
