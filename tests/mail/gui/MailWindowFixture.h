#pragma once

// The composition window over a fresh program folder, a scripted SMTP peer's
// port, fake dialogs and shell, and a hut stand-in that lends one character.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/gui/MailHost.h"
#include "mail/send/gui/CompositionWindow.h"
#include "mail/store/MailStore.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Shell.h"
#include "platform/qt/QtEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/gui/LinkStubs.h"

namespace mf::testing {

// A bubble window a character brought: beside the character with its tail
// at it, and the two of them whole on the screen's work area.
inline ::testing::AssertionResult BesideCharacterOnScreen(QPoint character, const QRect& bubble) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint beside(character.x() + 46, character.y() - 50);
  if (bubble.topLeft() != beside) {
    return ::testing::AssertionFailure() << "bubble at " << bubble.x() << "," << bubble.y() << ", its tail at "
                                         << beside.x() << "," << beside.y();
  }
  if (!area.contains(QRect(character, QSize(46, 46))) || !area.contains(bubble)) {
    return ::testing::AssertionFailure() << "off the work area: character at " << character.x() << ","
                                         << character.y();
  }
  return ::testing::AssertionSuccess();
}

// Stands in for the hut: one character window, named by slot 0 and its id,
// that exists until the character departs.
class FakeMailHost final : public MailHost {
 public:
  std::optional<CarrierPlace> PlaceOf(const CarrierRef& carrier) const override {
    if (!Lent(carrier)) return std::nullopt;
    return CarrierPlace{place, 46, 46};
  }
  void MoveCarrier(const CarrierRef& carrier, ScreenPoint topLeft) override {
    if (!Lent(carrier)) return;
    place = topLeft;
    moves.push_back(topLeft);
  }
  void BringCarrierIntoView(const CarrierRef& carrier) override {
    if (Lent(carrier)) ++broughtIntoView;
  }
  void RestoreCarrier(const CarrierRef& carrier) override {
    if (Lent(carrier)) ++restored;
  }
  // The hut's part of an opening: runs `compose` as the hut would show the
  // window with its character.
  bool SendMailByCharacterId(const std::string&) override {
    if (!compose) return false;
    compose();
    return true;
  }
  void DepartWithMail(const std::string& id) override {
    departed.push_back(id);
    if (id == characterId) present = false;
  }
  ScreenPoint& MailPosition() override { return mailPosition; }

  CarrierRef Carrier() const { return CarrierRef{0, characterId}; }

  std::function<void()> compose;
  std::string characterId = "<carrier@test>";
  bool present = true;
  ScreenPoint place{300, 250};
  ScreenPoint mailPosition{400, 300};
  std::vector<ScreenPoint> moves;
  std::vector<std::string> departed;
  int broughtIntoView = 0;
  int restored = 0;

 private:
  bool Lent(const CarrierRef& carrier) const {
    return present && !carrier.Empty() && carrier == Carrier();
  }
};

// Runs Qt's loop until `done` or the limit; false on time-out.
inline bool RunUntil(const std::function<bool()>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limit.count()) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Runs `during` inside the window's modal loop and returns the modal
// result; a window still open after the limit is closed and the test fails.
inline int RunModal(CompositionWindow& window, const std::function<void()>& during,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  QTimer::singleShot(0, &window, during);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &window, [&window] {
    ADD_FAILURE() << "the composition window stayed open";
    window.done(QDialog::Rejected);
  });
  guard.start(static_cast<int>(limit.count()));
  return window.ShowModal();
}

class MailWindowTest : public ::testing::Test {
 protected:
  MailWindowTest() {
    settings_.smtpServer = "127.0.0.1";
    settings_.mailAddress = "taro@example.jp";
    settings_.myName = Sj("山田太郎");
    store_.Prepare();
    StubLinks(window_.links);
    window_.links.showSendingProgress = [this] { ++progressShown_; };
    window_.links.hideProgress = [this] { ++progressHidden_; };
    window_.links.deleteReEditedMail = [this] { ++reEditedDeleted_; };
    window_.links.folderChanged = [this](FolderKind folder) { changed_.push_back(folder); };
    errors_.hooks.hideProgress = [this] { ++progressHidden_; };
  }

  // A file outside the program folder.
  std::string UserFile(const std::string& name, const std::string& bytes) {
    const std::string path = outside_.Path() + name;
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    return path;
  }
  std::string StoreFile(FolderKind folder) const {
    return platform::ReadFile(store_.HeaderPath(folder)).value_or(std::string());
  }
  // The mail a user writes to one recipient, carried by the host's character.
  CompositionRequest CarriedMail(CompositionRequest::Kind kind = CompositionRequest::Kind::New) const {
    CompositionRequest request;
    request.kind = kind;
    request.to = "hanako@example.jp";
    request.subject = Sj("こんにちは");
    request.body = Sj("本文です") + "\r\nsecond line";
    request.carrierId = host_.characterId;
    return request;
  }
  void WriteCarriedMail() {
    window_.Fill(CarriedMail());
    window_.SetCarrier("", host_.characterId);
    window_.StandBeside(host_.Carrier(), host_.place, 46);
  }
  // Opens the request as the mail list or the viewer would, the hut showing
  // the window with the host's character; `during` runs inside its modal
  // loop. The modal result.
  int OpenCarried(const CompositionRequest& request, const std::function<void()>& during) {
    int result = -1;
    host_.compose = [&] {
      window_.SetCarrier("", host_.characterId);
      window_.StandBeside(host_.Carrier(), host_.place, 46);
      result = RunModal(window_, during);
    };
    outcome_ = window_.Open(request);
    host_.compose = nullptr;
    return result;
  }
  // Error boxes shown so far.
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& call : dialogs_.calls) {
      if (call.kind == "Error") texts.push_back(call.text);
    }
    return texts;
  }

  platform::TemporaryFolder folder_;
  platform::TemporaryFolder outside_;
  platform::QtEventLoop loop_;
  FixedClock clock_{DateTime{2024, 3, 5, 14, 7, 9, 0, 540}};
  ScriptedRandom random_;
  MailStore store_{folder_.Path()};
  LiveSettings settings_{platform::IniFile(folder_.Path() + "MFMail.ini"), [](int, bool) {}, [](bool) {}};
  platform::FakeDialogs dialogs_;
  platform::FakeShell shell_;
  FakeMailHost host_;
  TransferCommands commands_;
  MailErrorRoutine errors_{loop_, dialogs_, commands_};
  CompositionWindow window_{MailServices{host_, loop_, settings_, store_, clock_, random_, dialogs_, shell_,
                                       platform::IniFile(folder_.Path() + "MFMail.ini"), commands_, errors_}};
  CompositionOutcome outcome_;
  int progressShown_ = 0;
  int progressHidden_ = 0;
  int reEditedDeleted_ = 0;
  std::vector<FolderKind> changed_;
};

}  // namespace mf::testing
