#pragma once

// The receiving windows over a real hut with characters, the composition
// window, a scripted POP3 mailbox, fake dialogs and shell, wired as the
// program wires them. A test scripts what the user does in each viewer and
// composition window as they open.

#include <gtest/gtest.h>

#include <QTimer>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "character/WindowEdgeSearch.h"
#include "character/gui/CharacterWindow.h"
#include "hut/gui/HutWindow.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/gui/ProgressWindows.h"
#include "mail/receive/gui/ReceivingWindowController.h"
#include "mail/receive/gui/ReturnNotice.h"
#include "mail/receive/gui/MailViewer.h"
#include "mail/send/SendController.h"
#include "mail/send/gui/CompositionWindow.h"
#include "mail/store/MailStore.h"
#include "platform/DesktopWindows.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/gui/MailWindowFixture.h"
#include "tests/mail/receive/FakeMailbox.h"
#include "tests/net/support/ScriptedServer.h"
#include "tests/roster/CharacterFolders.h"

namespace mf::testing {

// Where the character that is out stands before any mail comes.
inline const ScreenPoint kStood{300, 200};

// A plain mail as a server holds it.
inline std::string PlainMail(const std::string& subject, const std::string& extraHeaders = "",
                             const std::string& body = "line one\r\nline two\r\n") {
  return "From: hanako@example.jp\r\nTo: taro@example.jp\r\nSubject: " + subject +
         "\r\nMessage-ID: <" + subject + "@example.jp>\r\n" + extraHeaders + "\r\n" + body;
}

// Runs `action` on the next event-loop turn after `window` is shown, once
// per showing, taking actions in order; a window shown with no action left
// is closed by `fallback` so that no test hangs in a modal loop.
class ShowScript : public QObject {
 public:
  ShowScript(QWidget& window, std::function<void()> fallback) : window_(window), fallback_(std::move(fallback)) {
    window_.installEventFilter(this);
  }
  std::deque<std::function<void()>> actions;
  int shown = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && event->type() == QEvent::Show) {
      ++shown;
      std::function<void()> action = fallback_;
      if (!actions.empty()) {
        action = std::move(actions.front());
        actions.pop_front();
      }
      QTimer::singleShot(0, this, std::move(action));
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QWidget& window_;
  std::function<void()> fallback_;
};

class ReceivingWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("MFMAIL_HOME", Home().c_str(), 1); }

  std::string Home() const { return folder_.Path(); }

  // `count` characters "<c1@test>" ... in the hut, the last one out on the
  // desktop at kStood; then the windows.
  void Start(int count = 2) {
    std::vector<std::string> ids;
    for (int n = 1; n <= count; ++n) {
      const std::string id = "<c" + std::to_string(n) + "@test>";
      MakeCharacter(Home(), CharacterSetup{.folderName = "char" + std::to_string(n), .id = id,
                                          .name = "Chara" + std::to_string(n), .scenes = StandingScenes()});
      ids.push_back(id);
    }
    WriteList(Home() + "visibleDB.dat", ids);
    WriteList(Home() + "outDB.dat", {ids.back()});

    HutStartup startup{Home(), Home() + "MFMail.ini", ""};
    startup.dialogs = &dialogs_;
    hut_ = std::make_unique<HutWindow>(startup, edges_);
    settings_ = std::make_unique<LiveSettings>(platform::IniFile(Home() + "MFMail.ini"), [](int, bool) {},
                                               [](bool) {});
    settings_->pop3Server = "127.0.0.1";
    settings_->pop3User = "taro";
    settings_->pop3Password = "secret";
    settings_->smtpServer = "127.0.0.1";
    settings_->mailAddress = "taro@example.jp";
    store_ = std::make_unique<MailStore>(Home());
    store_->Prepare();
    const MailServices services{*hut_,  loop_,  *settings_, *store_, clock_, random_, dialogs_,
                                shell_, platform::IniFile(Home() + "MFMail.ini"), commands_, errors_};
    composition_ = std::make_unique<CompositionWindow>(services);
    hut_->SetCompositionWindow(composition_.get());
    viewer_ = std::make_unique<MailViewer>(services, *composition_);
    receiving_ = std::make_unique<ReceivingWindowController>(services, *hut_, progress_, *viewer_, notice_);
    StubLinks(composition_->links);
    StubLinks(receiving_->links);
    auto hideProgress = [this] {
      progress_.HideProgress();
      sendingProgress_.HideProgress();
    };
    receiving_->links.hideProgress = hideProgress;
    receiving_->links.sendBusy = [this] { return composition_->Sender().Busy(); };
    composition_->links.hideProgress = hideProgress;
    errors_.hooks.hideProgress = hideProgress;

    HutLinks links;
    links.receive = [this] { receiving_->Receive(ReceiveTrigger::Manual); };
    links.receivePeriodically = [this] { receiving_->Receive(ReceiveTrigger::Periodic); };
    links.receiveEnabled = [this] { return receiving_->ReceiveEnabled(); };
    links.clearReceivingFlag = [this] { progress_.SetShowSwitch(false); };
    hut_->SetLinks(std::move(links));

    viewerScript_ = std::make_unique<ShowScript>(*viewer_, [this] { viewer_->ReplyLater(); });
    compositionScript_ = std::make_unique<ShowScript>(*composition_, [this] { composition_->Cancel(); });

    CharacterWindow& out = Window(hut_->ItemCount() - 1);
    out.move(kStood.x, kStood.y);
    out.Engine().MoveTo(kStood.x, kStood.y);
  }

  CharacterWindow& Window(int row) { return *hut_->CharacterWindows()[hut_->Item(row)->data.index]; }

  // Starts a run the way `start` does (a hut command) against the mailbox
  // and waits until receiving works again.
  void Run(const std::function<void()>& start) {
    test::ScriptedServer server;
    mailbox_.Serve(server);
    server.Start();
    settings_->pop3Port = server.PortText();
    start();
    progressShownAtStart_ = progress_.isVisible();
    EXPECT_TRUE(RunUntil([this] { return receiving_->ReceiveEnabled(); })) << "the run never ended";
    server.Finish();
    // Boxes opened by the loop after the run ended.
    QCoreApplication::processEvents();
  }
  void RunManual() {
    Run([this] { hut_->ReceiveMail(); });
  }

  std::vector<std::string> Dialogs(const std::string& kind) const {
    std::vector<std::string> texts;
    for (const auto& call : dialogs_.calls) {
      if (call.kind == kind) texts.push_back(call.text);
    }
    return texts;
  }
  std::vector<HeaderRecord> Inbox() const { return store_->ReadHeaderRecords(FolderKind::Inbox); }

  platform::TemporaryFolder folder_;
  platform::FakeDesktopWindows desktop_;
  WindowEdgeSearch edges_{desktop_};
  platform::FakeDialogs dialogs_;
  platform::FakeShell shell_;
  platform::QtEventLoop loop_;
  FixedClock clock_{DateTime{2026, 12, 8, 14, 7, 9, 0, 540}};
  ScriptedRandom random_;
  TransferCommands commands_;
  MailErrorRoutine errors_{loop_, dialogs_, commands_};
  ReceivingProgressWindow progress_;
  SendingProgressWindow sendingProgress_;
  ReturnNotice notice_;
  std::unique_ptr<HutWindow> hut_;
  std::unique_ptr<LiveSettings> settings_;
  std::unique_ptr<MailStore> store_;
  std::unique_ptr<CompositionWindow> composition_;
  std::unique_ptr<MailViewer> viewer_;
  std::unique_ptr<ReceivingWindowController> receiving_;
  std::unique_ptr<ShowScript> viewerScript_;
  std::unique_ptr<ShowScript> compositionScript_;
  FakeMailbox mailbox_;
  bool progressShownAtStart_ = false;
};

}  // namespace mf::testing
