// The program's windows send a mail carried by a character through a real
// Postfix: chosen in the hut, written in the composition window with a
// Japanese subject and an attachment added through the file dialog.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QTextEdit>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>

#include "base/DateTime.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/CharacterPackage.h"
#include "character/WindowEdgeSearch.h"
#include "hut/gui/HutWindow.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/send/gui/CompositionWindow.h"
#include "mail/store/MailStore.h"
#include "mime/MimeDecoder.h"
#include "platform/DesktopWindows.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/qt/QtEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/gui/MailWindowFixture.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/servers/MailServers.h"
#include "tests/support/Controls.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

TEST(SendThroughWindows, ACarriedMailReachesTheRealServerAndTheSentFolder) {
  platform::TemporaryFolder home;
  platform::TemporaryFolder outside;
  platform::TemporaryFolder serversFolder;
  std::string serversPath = serversFolder.Path();
  serversPath.pop_back();
  auto servers = MailServers::Start(serversPath + "/servers");
  if (servers.Failed()) FAIL() << servers.WhyNot();
  if (!servers.Running()) GTEST_SKIP() << servers.WhyNot();
  ::setenv("MFMAIL_HOME", home.Path().c_str(), 1);

  for (int n : {1, 2}) {
    testing::MakeCharacter(home.Path(), {.folderName = "char" + std::to_string(n),
                                         .id = "<c" + std::to_string(n) + ".77@mfmail.test>",
                                         .name = "Chara" + std::to_string(n),
                                         .scenes = testing::StandingScenes()});
  }
  testing::WriteList(home.Path() + "visibleDB.dat", {"<c1.77@mfmail.test>", "<c2.77@mfmail.test>"});

  platform::FakeDialogs dialogs;
  platform::FakeShell shell;
  platform::FakeDesktopWindows desktop;
  WindowEdgeSearch edges(desktop);
  platform::QtEventLoop loop;
  SystemClock clock;
  MersenneRandom random;
  random.SeedFromClock();
  TransferCommands commands;
  MailErrorRoutine errors(loop, dialogs, commands);
  HutStartup startup{home.Path(), home.Path() + "MFMail.ini", ""};
  startup.dialogs = &dialogs;
  HutWindow hut(startup, edges);
  LiveSettings settings(platform::IniFile(home.Path() + "MFMail.ini"), [](int, bool) {}, [](bool) {});
  settings.smtpServer = "127.0.0.1";
  settings.smtpPort = std::to_string(servers.SmtpPort());
  settings.mailAddress = MailServers::Address("bob");
  settings.myName = Sj("ボブ");
  MailStore store(home.Path());
  store.Prepare();
  CompositionWindow composition(MailServices{hut, loop, settings, store, clock, random, dialogs, shell,
                                           platform::IniFile(home.Path() + "MFMail.ini"), commands, errors});
  testing::StubLinks(composition.links);
  hut.SetCompositionWindow(&composition);

  std::string attachment;
  for (int i = 0; i < 3000; ++i) attachment.push_back(static_cast<char>((i * 17 + 3) & 0xff));
  const std::string attachmentPath = outside.Path() + "data.bin";
  ASSERT_TRUE(platform::WriteFileAtomic(attachmentPath, attachment));
  dialogs.paths.push_back(attachmentPath);

  Control<QListWidget>(hut, "characterList")->setCurrentRow(1);
  QTimer::singleShot(0, &composition, [&] {
    Control<QLineEdit>(composition, "toEdit")
        ->setText(QString::fromUtf8("アリス <") + QString::fromStdString(MailServers::Address("alice")) + ">");
    Control<QLineEdit>(composition, "subjectEdit")->setText(QString::fromUtf8("キャラクターが運ぶメール"));
    Control<QTextEdit>(composition, "bodyEdit")->setPlainText(QString::fromUtf8("こんにちは。\nまたね"));
    composition.Attach();
    composition.SendOut();
  });
  QTimer::singleShot(30000, &composition, [&] {
    if (composition.isVisible()) composition.done(QDialog::Rejected);
  });
  hut.WriteMail();
  ASSERT_EQ(composition.result(), QDialog::Accepted) << (dialogs.calls.empty() ? "" : dialogs.calls[0].text);
  EXPECT_EQ(hut.ItemCount(), 1) << "the carrier left with the mail";

  // The one message Postfix put into alice's maildir.
  const std::string folder = servers.Maildir("alice") + "/new/";
  std::vector<std::string> names;
  testing::RunUntil(
      [&] {
        names = platform::ListFolder(folder, "*", platform::ListKind::FilesOnly);
        return !names.empty();
      },
      10s);
  ASSERT_EQ(names.size(), 1u);
  const std::string message = JoinLines(SplitLines(platform::ReadFile(folder + names[0]).value_or("")));
  const std::string header = message.substr(0, message.find("\r\n\r\n") + 2);
  EXPECT_NE(header.find("\r\nX-Mailer: MofutanMail\r\n"), std::string::npos) << header;
  EXPECT_NE(header.find("\r\nX-CharacterID: <c2.77@mfmail.test>\r\n"), std::string::npos) << header;
  ASSERT_FALSE(composition.LastMessageId().empty());
  EXPECT_NE(header.find("\r\nMessage-Id: " + composition.LastMessageId() + "\r\n"), std::string::npos) << header;

  const std::string mailFile = outside.Path() + "MailNo1.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(mailFile, message));
  MimeDecoder decoder;
  std::map<int, std::string> parts;
  std::map<int, std::string> partNames;
  decoder.OnPartBegin = [&](MimeDecoder& sender) { partNames[sender.PartNumber()] = sender.PartFileName(); };
  decoder.OnPartLine = [&](MimeDecoder& sender, const char* data, std::size_t length) {
    parts[sender.PartNumber()].append(data, length);
  };
  decoder.DecodeFile(mailFile);
  std::string subject = decoder.Subject();
  DecodeHeaderWords(subject);
  EXPECT_EQ(SjisToUtf8(subject), "キャラクターが運ぶメール");
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_NE(ConvertJapaneseCode(parts[1], jcSjis).find(Sj("こんにちは。") + "\r\n" + Sj("またね")), std::string::npos);
  EXPECT_EQ(partNames[2], "data.bin");
  EXPECT_TRUE(parts[2] == attachment) << "attachment bytes differ";
  EXPECT_EQ(partNames[3], "MofutanData.mfd");
  EXPECT_TRUE(CheckPackage(parts[3]).has_value()) << "the package fails its check";

  const std::string sentBody = platform::ReadFile(store.BodyPath(FolderKind::Sent)).value_or("");
  EXPECT_NE(sentBody.find("\r\nMessage-ID: " + composition.LastMessageId() + "\r\n"), std::string::npos);
}

}  // namespace
}  // namespace mf
